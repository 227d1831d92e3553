// Writes a made-up history of matches as the plugin would have written it, for the sample
// report, the browser test and the benchmark:
//   tallyrig-stats-history --data-dir DIR --matches N [--seed S] [--start YYYY-MM-DD]
//                          [--days D] [--hostile-names]
// One player ("Ana", Steam|76561198000000001|0) plays sessions of a few matches a day across the
// ranked and casual playlists; ratings wander, team-mates and opponents come from fixed pools.
// With --hostile-names those pools hold names and ids made to break out of the outputs.
// The same seed gives the same files.

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "stats/statistics_reader.h"

namespace {

namespace fs = std::filesystem;
using tallyrig::stats::LocalTime;

struct Playlist {
  const char* name;
  int teamSize;
  bool ranked;
};

constexpr std::array<Playlist, 6> kPlaylists = {{{"Duel_Ranked", 1, true},
                                                 {"Doubles_Ranked", 2, true},
                                                 {"Standard_Ranked", 3, true},
                                                 {"Casual", 3, false},
                                                 {"Hoops_Ranked", 2, true},
                                                 {"Rumble", 3, false}}};

constexpr const char* kOwnerName = "Ana";
constexpr const char* kOwnerId = "Steam|76561198000000001|0";

struct Person {
  std::string name;
  std::string id;
};

// Names an attacker would choose: each tries to leave the text it lands in.
const std::vector<std::string> kHostile = {
    "</script><script>alert('name')</script>",
    "<img src=x onerror=alert(1)>",
    "\"><svg onload=alert(2)>",
    "' onmouseover='alert(3)",
    "<!--<script>",
    "line\xe2\x80\xa8sep\xe2\x80\xa9para",
    "bad \xff\xfe\xc0\xaf utf-8",
    std::string("nul\0\x1b[31mred", 12),
    "=HYPERLINK(\"http://example.invalid\")",
    "\\u003c/script\\u003e ${alert(4)} `x`",
};

std::vector<Person> pool(const char* prefix, int count, std::mt19937_64& random, bool hostile) {
  // A few names hold what trips up a plain split: the separator, quotes, accents.
  static const std::array<const char*, 6> kOdd = {
      "Nova, Jr.", "Zo\xc3\xab", "\"Q\"", "", "Kai , ", "\xe5\xa4\xa9\xe4\xbd\xbf"};
  std::vector<Person> people;
  for (int i = 0; i < count; ++i) {
    const auto at = static_cast<std::size_t>(i);
    std::string name = hostile && at < kHostile.size()         ? kHostile[at]
                       : at < kOdd.size() && random() % 4 == 0 ? kOdd[at]
                                                               : fmt::format("{}{}", prefix, i);
    std::string id = fmt::format("{}|{}|0", i % 3 == 0 ? "Epic" : "Steam",
                                 76561198100000000ULL + random() % 100000000ULL);
    if (hostile && at < kHostile.size()) id += kHostile[kHostile.size() - 1 - at];
    people.push_back({name, id});
  }
  return people;
}

class Writer {
 public:
  explicit Writer(fs::path root) : root_(std::move(root)) {}
  std::ofstream& file(int year, const char* playlist) {
    if (year != year_) {
      files_.clear();
      year_ = year;
    }
    auto found = files_.find(playlist);
    if (found == files_.end()) {
      const fs::path folder = root_ / "Tallyrig" / std::to_string(year);
      fs::create_directories(folder);
      found = files_
                  .emplace(playlist, std::ofstream(folder / (std::string(playlist) + ".csv"),
                                                   std::ios::binary | std::ios::app))
                  .first;
    }
    return found->second;
  }

 private:
  fs::path root_;
  int year_ = 0;
  std::map<std::string, std::ofstream> files_;
};

}  // namespace

int main(int argc, char** argv) {
  std::string dataDir;
  std::uint64_t matches = 1000;
  std::uint64_t seed = 1;
  std::string start = "2022-01-03";
  bool hostile = false;
  std::uint64_t days = 0;
  CLI::App app{"Writes a made-up history of matches as statistics files"};
  app.add_option("--data-dir", dataDir, "Where Tallyrig/ is made")->required();
  app.add_option("--matches", matches, "How many matches")->capture_default_str();
  app.add_option("--seed", seed, "Seed of the random choices")->capture_default_str();
  app.add_option("--start", start, "The first day (YYYY-MM-DD)")->capture_default_str();
  app.add_flag("--hostile-names", hostile,
               "Give team-mates and opponents names and ids that try to break out of the "
               "outputs, and one playlist a hostile file name");
  app.add_option("--days", days,
                 "Spread the matches evenly over this many days, every block three a side (six "
                 "rows), a minute apart");
  CLI11_PARSE(app, argc, argv);
  const auto first = tallyrig::stats::parseIsoDate(start);
  if (!first) {
    std::fprintf(stderr, "--start: expected YYYY-MM-DD\n");
    return 2;
  }

  std::mt19937_64 random(seed);
  const auto uniform = [&](int low, int high) {
    return low + static_cast<int>(random() % static_cast<std::uint64_t>(high - low + 1));
  };
  const std::vector<Person> mates = pool("Mate", 30, random, hostile);
  const std::vector<Person> rivals = pool("Rival", hostile ? 30 : 400, random, hostile);
  std::array<double, kPlaylists.size()> ratings = {980, 1104.5, 1020, 600, 870, 640};
  Writer writer{fs::path(dataDir)};

  // One match's block, appended to its playlist's file.
  const auto writeMatch = [&](std::int64_t minute, std::size_t playlistIndex, int teamSize) {
    const Playlist& playlist = kPlaylists[playlistIndex];
    const LocalTime time = LocalTime::fromMinutes(minute);
    const std::string timestamp = fmt::format("{:02}/{:02}/{:04} {:02}:{:02}", time.month, time.day,
                                              time.year, time.hour, time.minute);
    int own = uniform(0, 5);
    const int other = uniform(0, 5);
    if (own == 0 && other == 0) own = 1;  // a 0-0 match leaves no block
    const bool win = own > other;
    double& rating = ratings[playlistIndex];
    rating += win ? uniform(6, 11) + 0.25 * uniform(0, 3) : -uniform(6, 11) - 0.5 * uniform(0, 1);
    const bool ownBlue = uniform(0, 1) == 0;

    std::string block(tallyrig::stats::kHeaderLine);
    block += '\n';
    const auto addRow = [&](const Person& person, bool ownSide, int goals, double mmr) {
      block += fmt::format("{}, {}, {}, {}, {}, {}, {}, {}, {:g}, {}, {}, {}, {}\n",
                           ownSide == ownBlue ? "Blue" : "Orange", person.name, goals,
                           uniform(0, 2), uniform(0, 3), goals + uniform(0, 3), uniform(0, 2),
                           100 * goals + uniform(20, 400), static_cast<float>(mmr),
                           ownSide ? own : other, (ownSide ? win : !win) ? "WIN" : "LOSS",
                           timestamp, person.id);
    };
    // The team's goals spread over its players, the owner first.
    std::vector<int> ownGoals(static_cast<std::size_t>(teamSize), 0);
    std::vector<int> otherGoals(ownGoals.size(), 0);
    for (int g = 0; g < own; ++g) ++ownGoals[random() % ownGoals.size()];
    for (int g = 0; g < other; ++g) ++otherGoals[random() % otherGoals.size()];
    addRow({kOwnerName, kOwnerId}, true, ownGoals[0], rating);
    for (std::size_t i = 1; i < ownGoals.size(); ++i) {
      addRow(mates[random() % mates.size()], true, ownGoals[i], rating + uniform(-80, 80));
    }
    for (const int goals : otherGoals) addRow(rivals[random() % rivals.size()], false, goals, 0);
    block += "\n\n";
    writer.file(time.year, hostile && playlistIndex == 5 ? "<!--<script>" : playlist.name) << block;
  };

  std::int64_t day = LocalTime{first->year, first->month, first->day, 0, 0}.minutes() / 1440;
  std::uint64_t written = 0;
  if (days > 0) {
    // Dense: every day the same number of three-a-side matches, a minute apart.
    const std::uint64_t perDay = (matches + days - 1) / days;
    if (perDay > 1440) {
      std::fprintf(stderr, "--days: more than 1,440 matches a day\n");
      return 2;
    }
    for (; written < matches; ++day) {
      for (std::uint64_t k = 0; k < perDay && written < matches; ++k, ++written) {
        writeMatch(day * 1440 + static_cast<std::int64_t>(k),
                   static_cast<std::size_t>(uniform(0, 5)), 3);
      }
    }
    return 0;
  }
  while (written < matches) {
    for (int session = uniform(0, 3); session > 0 && written < matches; --session) {
      std::int64_t minute = day * 1440 + uniform(9, 22) * 60 + uniform(0, 59);
      const std::size_t playlistIndex = static_cast<std::size_t>(uniform(0, 5));
      for (int game = uniform(2, 9); game > 0 && written < matches; --game, ++written) {
        minute += uniform(7, 14);
        writeMatch(minute, playlistIndex, kPlaylists[playlistIndex].teamSize);
      }
    }
    ++day;
  }
  return 0;
}

// Writes a made-up history of matches as the plugin would have written it, for the sample
// report, the browser test and the benchmark:
//   tallyrig-stats-history --data-dir DIR --matches N [--seed S] [--start YYYY-MM-DD]
//                          [--days D] [--dense] [--append] [--hostile-names]
// One player ("Ana", Steam|76561198000000001|0) plays sessions of a few matches on several days
// a week across the ranked and casual playlists. Each playlist's rating wanders around the
// player's level there, which itself drifts slowly: a win raises the rating, a loss lowers it,
// and the further the rating is above the level, the likelier a loss. Draws are rare.
// Team-mates and opponents come from fixed pools; with --hostile-names those pools hold names
// and ids made to break out of the outputs. The same seed gives the same files.
#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
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
      closeAll();
      year_ = year;
    }
    auto found = files_.find(playlist);
    if (found == files_.end()) {
      const fs::path folder = root_ / "Tallyrig" / std::to_string(year);
      fs::create_directories(folder);
      fs::path path = folder / (std::string(playlist) + ".csv");
      std::ofstream stream(path, std::ios::binary | std::ios::app);
      found = files_.emplace(playlist, Open{std::move(path), std::move(stream)}).first;
    }
    return found->second.stream;
  }
  // The files that could not be opened or written in full: a history short of them would look
  // whole to whoever reads it.
  std::set<fs::path> finish() {
    closeAll();
    return failed_;
  }

 private:
  struct Open {
    fs::path path;
    std::ofstream stream;
  };
  void closeAll() {
    for (auto& [playlist, open] : files_) {
      open.stream.close();
      if (open.stream.fail()) {
        failed_.insert(open.path);
      }
    }
    files_.clear();
  }

  fs::path root_;
  int year_ = 0;
  std::map<std::string, Open> files_;
  std::set<fs::path> failed_;
};

// Whether DIR/Tallyrig already holds a statistics file.
bool holdsStatistics(const fs::path& folder) {
  std::error_code error;
  for (auto entry = fs::recursive_directory_iterator(folder, error);
       !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
    if (entry->path().extension() == ".csv") return true;
  }
  return false;
}

// A rating and the level it wanders around, per playlist.
struct Rating {
  double mmr;
  double level;
};

}  // namespace

int main(int argc, char** argv) {
  std::string dataDir;
  std::uint64_t matches = 1000;
  std::uint64_t seed = 1;
  std::string start = "2022-01-03";
  bool hostile = false;
  bool dense = false;
  bool append = false;
  std::uint64_t days = 0;
  CLI::App app{"Writes a made-up history of matches as statistics files", "tallyrig-stats-history"};
  app.add_option("--data-dir", dataDir, "Where Tallyrig/ is made")->required();
  app.add_option("--matches", matches, "How many matches")->capture_default_str();
  app.add_option("--seed", seed, "Seed of the random choices")->capture_default_str();
  app.add_option("--start", start, "The first day (YYYY-MM-DD)")->capture_default_str();
  app.add_option("--days", days,
                 "Spread the matches over this many days (default: about four sessions a week)");
  app.add_flag("--dense", dense,
               "Every day the same number of matches, every block three a side (six rows), a "
               "minute apart (for the benchmark; needs --days)");
  app.add_flag("--append", append, "Add to the statistics files already in DIR/Tallyrig/");
  app.add_flag("--hostile-names", hostile,
               "Give team-mates and opponents names and ids that try to break out of the "
               "outputs, and one playlist a hostile file name");
  CLI11_PARSE(app, argc, argv);
  const auto first = tallyrig::stats::parseIsoDate(start);
  if (!first) {
    std::fprintf(stderr, "tallyrig-stats-history: --start: expected YYYY-MM-DD\n");
    return 2;
  }
  if (dense && days == 0) {
    std::fprintf(stderr, "tallyrig-stats-history: --dense needs --days\n");
    return 2;
  }
  if (!append && holdsStatistics(fs::path(dataDir) / "Tallyrig")) {
    std::fprintf(stderr,
                 "tallyrig-stats-history: %s already holds statistics files; give --append to "
                 "add to them, or another --data-dir\n",
                 (fs::path(dataDir) / "Tallyrig").string().c_str());
    return 2;
  }

  std::mt19937_64 random(seed);
  const auto uniform = [&](int low, int high) {
    return low + static_cast<int>(random() % static_cast<std::uint64_t>(high - low + 1));
  };
  // In [0, 1), the same on every platform (the standard distributions are not).
  const auto chance = [&] { return static_cast<double>(random() >> 11) * 0x1p-53; };
  const std::vector<Person> mates = pool("Mate", 30, random, hostile);
  const std::vector<Person> rivals = pool("Rival", hostile ? 30 : 400, random, hostile);
  std::array<Rating, kPlaylists.size()> ratings = {
      {{980, 1000}, {1104.5, 1120}, {1020, 1010}, {600, 620}, {870, 880}, {640, 650}}};
  Writer writer{fs::path(dataDir)};

  // One match's block, appended to its playlist's file.
  const auto writeMatch = [&](std::int64_t minute, std::size_t playlistIndex, int teamSize) {
    const Playlist& playlist = kPlaylists[playlistIndex];
    const LocalTime time = LocalTime::fromMinutes(minute);
    const std::string timestamp = fmt::format("{:02}/{:02}/{:04} {:02}:{:02}", time.month, time.day,
                                              time.year, time.hour, time.minute);
    Rating& rating = ratings[playlistIndex];
    // The further above the level, the likelier a loss; about one match in a hundred a draw,
    // which the files show as a loss for both sides.
    const double winChance = std::clamp(0.5 + (rating.level - rating.mmr) / 300, 0.15, 0.85);
    const bool draw = chance() < 0.01;
    const bool win = !draw && chance() < winChance;
    const int winnerGoals = uniform(1, 5);
    const int loserGoals = uniform(0, winnerGoals - 1);
    const int own = draw ? winnerGoals : win ? winnerGoals : loserGoals;
    const int other = draw ? winnerGoals : win ? loserGoals : winnerGoals;
    // The row holds the rating the match began with; the change lands on the next match.
    const double mmr = rating.mmr;
    if (!draw) rating.mmr += (win ? 1 : -1) * (uniform(7, 11) + 0.25 * uniform(0, 3));
    rating.mmr = std::clamp(rating.mmr, 100.0, 2200.0);
    rating.level = std::clamp(rating.level + 0.5 * uniform(-4, 4), 300.0, 1900.0);
    const bool ownBlue = uniform(0, 1) == 0;

    std::string block(tallyrig::stats::kHeaderLine);
    block += '\n';
    const auto addRow = [&](const Person& person, bool ownSide, int goals, double rowMmr) {
      block += fmt::format("{}, {}, {}, {}, {}, {}, {}, {}, {:g}, {}, {}, {}, {}\n",
                           ownSide == ownBlue ? "Blue" : "Orange", person.name, goals,
                           uniform(0, 2), uniform(0, 3), goals + uniform(0, 3), uniform(0, 2),
                           100 * goals + uniform(20, 400), static_cast<float>(rowMmr),
                           ownSide ? own : other, (ownSide ? win : !win && !draw) ? "WIN" : "LOSS",
                           timestamp, person.id);
    };
    // The team's goals spread over its players, the owner first.
    std::vector<int> ownGoals(static_cast<std::size_t>(teamSize), 0);
    std::vector<int> otherGoals(ownGoals.size(), 0);
    for (int g = 0; g < own; ++g) ++ownGoals[random() % ownGoals.size()];
    for (int g = 0; g < other; ++g) ++otherGoals[random() % otherGoals.size()];
    addRow({kOwnerName, kOwnerId}, true, ownGoals[0], mmr);
    for (std::size_t i = 1; i < ownGoals.size(); ++i) {
      addRow(mates[random() % mates.size()], true, ownGoals[i], mmr + uniform(-80, 80));
    }
    for (const int goals : otherGoals) addRow(rivals[random() % rivals.size()], false, goals, 0);
    block += "\n\n";
    writer.file(time.year, hostile && playlistIndex == 5 ? "<!--<script>" : playlist.name) << block;
  };

  const std::int64_t firstDay =
      LocalTime{first->year, first->month, first->day, 0, 0}.minutes() / 1440;
  std::uint64_t written = 0;
  if (dense) {
    const std::uint64_t perDay = (matches + days - 1) / days;
    if (perDay > 1440) {
      std::fprintf(stderr, "tallyrig-stats-history: --days: more than 1,440 matches a day\n");
      return 2;
    }
    for (std::int64_t day = firstDay; written < matches; ++day) {
      for (std::uint64_t k = 0; k < perDay && written < matches; ++k, ++written) {
        writeMatch(day * 1440 + static_cast<std::int64_t>(k),
                   static_cast<std::size_t>(uniform(0, 5)), 3);
      }
    }
    return 0;
  }
  // About four sessions a week of three to ten matches, unless --days asks for another pace.
  constexpr double kMeanSession = 6.5;
  if (days == 0) days = std::max<std::uint64_t>(1, matches * 7 / 26);
  for (std::uint64_t dayIndex = 0; written < matches; ++dayIndex) {
    const bool lastDay = dayIndex + 1 >= days;
    const double perDay = static_cast<double>(matches - written) /
                          static_cast<double>(std::max<std::uint64_t>(1, days - dayIndex));
    // Sessions today: a Poisson count around the pace still needed, at most six.
    const double limit = std::exp(-perDay / kMeanSession);
    int sessions = 0;
    for (double product = chance(); product > limit && sessions < 6; product *= chance()) {
      ++sessions;
    }
    if (lastDay) sessions = std::max(sessions, 1);
    const std::int64_t day = firstDay + static_cast<std::int64_t>(dayIndex);
    for (int session = 0; session < sessions && written < matches; ++session) {
      // Sessions spread over 08:00 to 22:00, each its own stretch of the day.
      const int stretch = 14 * 60 / sessions;
      std::int64_t minute = day * 1440 + 8 * 60 + session * stretch + uniform(0, stretch / 3);
      const std::size_t playlistIndex = static_cast<std::size_t>(uniform(0, 5));
      std::uint64_t games = static_cast<std::uint64_t>(uniform(3, 10));
      if (lastDay)
        games = (matches - written + static_cast<std::uint64_t>(sessions - session) - 1) /
                static_cast<std::uint64_t>(sessions - session);
      // A fast pace packs more into each session.
      games = std::max<std::uint64_t>(games,
                                      static_cast<std::uint64_t>(perDay / std::max(1, sessions)));
      for (; games > 0 && written < matches; --games, ++written) {
        writeMatch(minute, playlistIndex, kPlaylists[playlistIndex].teamSize);
        minute += uniform(7, 14);
      }
    }
  }
  const std::set<fs::path> failed = writer.finish();
  for (const fs::path& path : failed) {
    std::cerr << "tallyrig-stats-history: could not write " << path.string() << "\n";
  }
  return failed.empty() ? 0 : 1;
}

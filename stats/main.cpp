// tallyrig-stats: a player's own view of the statistics files the plugin writes. It only reads
// them; what it makes goes to standard output and to the files its options name.

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "stats/history.h"
#include "stats/output_guard.h"
#include "stats/outputs.h"
#include "stats/summary.h"
#include "stats/version.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;
using namespace tallyrig::stats;

constexpr int kDone = 0;
constexpr int kNothingRead = 1;
constexpr int kUsage = 2;

void say(const std::string& message) {
  std::fprintf(stderr, "tallyrig-stats: %s\n", message.c_str());
}

struct Options {
  std::string dataDir = "data";
  std::optional<std::string> player;
  std::optional<std::string> since;
  std::optional<std::string> until;
  std::vector<std::string> playlists;
  std::optional<std::string> last;
  std::optional<std::string> html;
  std::optional<std::string> csv;
  std::optional<std::string> json;
  bool csvRaw = false;
};

// Written to a temporary file in the output's folder, through the handle opened before the
// statistics were read, and renamed over the output when complete: a reader never sees half an
// output, and a link at the output is replaced, not written through.
int writeOutput(OutputTarget& target, const std::string& flag, const std::string& path,
                const fs::path& statisticsFolder, const std::function<void(std::ostream&)>& write) {
  // Taken again right before the rename: a folder swapped in while the files were read.
  const auto recheck = [&]() -> std::optional<std::string> {
    const ProtectedTree tree = readProtectedTree(statisticsFolder);
    if (tree.problem) return fmt::format("{}, so the output may reach it", *tree.problem);
    return target.reachesStatistics(tree);
  };
  std::string error;
  bool refused = false;
  if (target.write(write, recheck, error, refused)) return kDone;
  if (refused) {
    say(fmt::format("{} {}: {}; not written", flag, shownText(path), error));
    return kUsage;
  }
  say(fmt::format("cannot write {}: {}", path, error));
  return kNothingRead;
}

// The ids of the rows that bear `name`, first read first, as shown; none when some row has
// `name` as its id.
std::vector<std::string> idsNamed(const History& history, TextId name) {
  std::vector<TextId> ids;
  for (const Row& row : history.rows) {
    if (row.playerId == name) return {};
    if (row.name == name && std::find(ids.begin(), ids.end(), row.playerId) == ids.end()) {
      ids.push_back(row.playerId);
    }
  }
  std::vector<std::string> shown;
  for (const TextId id : ids) shown.push_back(shownText(history.text(id)));
  return shown;
}

int usageError(const std::string& message) {
  say(message);
  return kUsage;
}

// Digits only: CLI11 would take "1e3" and "+4", and name its range in 309 digits.
std::optional<std::size_t> wholeNumber(const std::string& text) {
  std::size_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// Whose figures follow, and where other local players wrote matches too, who they are and how
// to see them: a demo over several players' matches must not read as matches lost.
std::string ownerMessage(const History& history, const OwnerChoice& owner) {
  const std::string shown = shownText(history.text(owner.player));
  if (owner.firstRows == history.matches.size()) {
    return fmt::format("statistics of {}, the local player of all {}", shown,
                       plural(history.matches.size(), "match", "matches"));
  }
  std::vector<std::pair<TextId, std::size_t>> others;
  for (const Match& match : history.matches) {
    const TextId id = history.rows[match.firstRow].playerId;
    if (id == owner.player) continue;
    const auto found = std::find_if(others.begin(), others.end(),
                                    [&](const auto& other) { return other.first == id; });
    if (found == others.end()) {
      others.emplace_back(id, 1);
    } else {
      ++found->second;
    }
  }
  std::string listed;
  for (std::size_t i = 0; i < others.size() && i < 5; ++i) {
    listed += fmt::format("{}{} ({})", i == 0 ? "" : ", ", shownText(history.text(others[i].first)),
                          plural(others[i].second, "match", "matches"));
  }
  if (others.size() > 5) listed += fmt::format(" and {} more", others.size() - 5);
  return fmt::format(
      "statistics of {}, the local player of {} of {} matches; in the rest it was {}; "
      "--player ID shows another",
      shown, owner.firstRows, history.matches.size(), listed);
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
  SetConsoleOutputCP(CP_UTF8);
#endif
  Options options;
  CLI::App app{
      "Reads the statistics files that the Tallyrig plugin writes, "
      "<data folder>/Tallyrig/<year>/<playlist>.csv, and shows one player's figures: a summary "
      "per playlist and overall on standard output, and on request the same figures as JSON, a "
      "clean CSV export of every row and an HTML report with charts. The files are only read.",
      "tallyrig-stats"};
  app.set_version_flag("--version", std::string(kVersion));
  app.add_option("--data-dir", options.dataDir,
                 "The data folder that holds Tallyrig/. The plugin writes below the game host's "
                 "data folder; look for the Tallyrig folder there.")
      ->type_name("DIR")
      ->capture_default_str();
  app.add_option("--player", options.player,
                 "Whose statistics, by PLAYERID text (default: the id in the first row of the "
                 "most blocks, the files' owner)")
      ->type_name("ID");
  const auto isoDate = [](const std::string& text) {
    return parseIsoDate(text) ? std::string() : "expected a date as YYYY-MM-DD, got " + text;
  };
  app.add_option("--since", options.since, "Only matches on or after this day")
      ->type_name("YYYY-MM-DD")
      ->check(isoDate);
  app.add_option("--until", options.until, "Only matches on or before this day")
      ->type_name("YYYY-MM-DD")
      ->check(isoDate);
  app.add_option("--playlist", options.playlists,
                 "Only this playlist, by the file's base name in any case (for example "
                 "doubles_ranked); give it again for more than one")
      ->type_name("NAME")
      ->allow_extra_args(false);
  app.add_option("--last", options.last,
                 "Only the player's latest N matches of those the other filters admit")
      ->type_name("N");
  app.add_option("--html", options.html, "Write an HTML report with charts to FILE")
      ->type_name("FILE");
  app.add_option("--csv", options.csv, "Write every row as RFC 4180 CSV to FILE")
      ->type_name("FILE");
  app.add_flag("--csv-raw", options.csvRaw,
               "In --csv, keep every text as the files hold it (by default control characters "
               "become U+FFFD and a text that starts with = + - @, a tab or a carriage return "
               "gets a leading ' so that spreadsheets do not run it as a formula)");
  app.add_option("--json", options.json, "Write the summary's figures as JSON to FILE")
      ->type_name("FILE");
  app.footer(
      "Exit status: 0 done (also when some lines could not be read; each is named on standard "
      "error as FILE:LINE: what), 1 nothing to show or an output could not be written, 2 usage "
      "error (also an output inside the Tallyrig folder, or two outputs naming one file).\n");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? kDone : kUsage;
  }

  const fs::path dataDir = fs::path(options.dataDir);
  const fs::path statisticsFolder = dataDir / "Tallyrig";
  const std::vector<std::pair<std::string, std::optional<std::string>>> outputs = {
      {"--html", options.html}, {"--csv", options.csv}, {"--json", options.json}};
  std::optional<std::size_t> last;
  if (options.last) {
    last = wholeNumber(*options.last);
    if (!last || *last == 0) return usageError("--last takes a whole number of at least 1");
  }
  if (options.csvRaw && !options.csv) {
    return usageError("--csv-raw changes only the CSV export: give --csv FILE too");
  }
  // Each output's folder is opened now, before anything is read, and written through later.
  std::vector<std::optional<OutputTarget>> targets(outputs.size());
  const ProtectedTree tree = readProtectedTree(statisticsFolder);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const auto& [flag, path] = outputs[i];
    if (!path) continue;
    if (path->empty())
      return usageError(fmt::format("{} needs a file name, got an empty one", flag));
    std::error_code error;
    if (fs::is_directory(fs::path(*path), error)) {
      return usageError(
          fmt::format("{} {}: that is a folder; name a file to write", flag, shownText(*path)));
    }
    if (tree.problem) {
      say(fmt::format("{} {}: {}, so no output can be told apart from it", flag, shownText(*path),
                      *tree.problem));
      return kUsage;
    }
    OutputTarget& target = targets[i].emplace(fs::path(*path));
    if (const auto reason = target.reachesStatistics(tree)) {
      say(fmt::format("{} {}: {}", flag, shownText(*path), *reason));
      return kUsage;
    }
    for (std::size_t j = 0; j < i; ++j) {
      const auto& [otherFlag, otherPath] = outputs[j];
      if (otherPath && (*otherPath == *path || targets[j]->sameOutput(target))) {
        say(fmt::format("{} {} and {} {} name the same file; one would replace the other",
                        otherFlag, shownText(*otherPath), flag, shownText(*path)));
        return kUsage;
      }
    }
  }
  Filters filters;
  if (options.since) filters.since = parseIsoDate(*options.since);
  if (options.until) filters.until = parseIsoDate(*options.until);
  filters.playlists = options.playlists;
  filters.last = last;

  std::error_code error;
  if (!fs::is_directory(dataDir, error)) {
    say(fmt::format("no folder named {}; --data-dir names the folder that holds Tallyrig/",
                    displayPath(dataDir)));
    return kNothingRead;
  }
  // The likeliest mistake: naming the statistics folder itself, or a year folder in it.
  fs::path named = dataDir.lexically_normal();
  if (!named.has_filename()) named = named.parent_path();
  for (fs::path folder = named; !fs::exists(statisticsFolder, error) && folder.has_filename();
       folder = folder.parent_path()) {
    if (!sameName(displayPath(folder.filename()), "Tallyrig")) continue;
    say(fmt::format("{} holds no Tallyrig folder; did you mean --data-dir {}?",
                    displayPath(dataDir),
                    displayPath(folder.has_parent_path() ? folder.parent_path() : fs::path("."))));
    return kNothingRead;
  }

  const WarningSink warn = [](const std::string& message) {
    std::fprintf(stderr, "%s\n", shownText(message).c_str());
  };
  const std::vector<StatisticsFile> files = findStatisticsFiles(dataDir, warn);
  if (files.empty()) {
    say(fmt::format("no statistics files in {}/<year>/", displayPath(statisticsFolder)));
    return kNothingRead;
  }
  const History history = readHistory(files, warn);
  if (history.matches.empty()) {
    say(fmt::format("no match could be read from {} files", files.size()));
    return kNothingRead;
  }

  for (const std::string& wanted : filters.playlists) {
    if (std::none_of(history.playlists.begin(), history.playlists.end(),
                     [&](const std::string& name) { return sameName(name, wanted); })) {
      std::vector<std::string> names;
      for (const std::string& name : history.playlists) names.push_back(shownText(name));
      std::sort(names.begin(), names.end());
      say(fmt::format("no playlist {}; the files hold {}", shownText(wanted),
                      fmt::join(names, ", ")));
      return kNothingRead;
    }
  }

  TextId player = 0;
  if (options.player) {
    const TextId* found = history.find(*options.player);
    const std::vector<std::string> named =
        found == nullptr ? std::vector<std::string>{} : idsNamed(history, *found);
    if (!named.empty()) {
      say(fmt::format("--player takes a player id, not a name; {} is the name of {}",
                      shownText(*options.player), fmt::join(named, ", ")));
      return kNothingRead;
    }
    if (found == nullptr) {
      say(fmt::format("no match has a row with the player id {}", shownText(*options.player)));
      return kNothingRead;
    }
    player = *found;
  } else {
    const OwnerChoice owner = *chooseOwner(history);
    player = owner.player;
    say(ownerMessage(history, owner));
  }

  std::vector<PlayerMatch> matches = findPlayerMatches(history, player, filters);
  keepLatest(matches, filters);
  if (matches.empty()) {
    say(fmt::format("no match of {} {}", shownText(history.text(player)),
                    !filters.playlists.empty() || filters.since || filters.until || filters.last
                        ? "passes the filters"
                        : "was found"));
    return kNothingRead;
  }
  const Summary summary = summarise(history, player, filters, matches);
  const std::string text = summaryText(summary);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);

  int status = kDone;
  const auto writeTo = [&](std::size_t at, const std::function<void(std::ostream&)>& write) {
    if (!targets[at] || status == kUsage) return;
    const int result =
        writeOutput(*targets[at], outputs[at].first, *outputs[at].second, statisticsFolder, write);
    if (result != kDone) status = result;
  };
  writeTo(2, [&](std::ostream& out) { out << summaryJson(summary); });
  writeTo(1, [&](std::ostream& out) {
    writeCsvExport(out, history, player, matches, options.csvRaw ? CsvText::Raw : CsvText::Defused);
  });
  writeTo(0, [&](std::ostream& out) { writeHtmlReport(out, history, summary, matches); });
  return status;
}

// tallyrig-stats: a player's own view of the statistics files the plugin writes. It only reads
// them; what it makes goes to standard output and to the files its options name.

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

#include "stats/history.h"
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

constexpr std::size_t kCompanionsShown = 15;

void say(const std::string& message) {
  std::fprintf(stderr, "tallyrig-stats: %s\n", message.c_str());
}

struct Options {
  std::string dataDir = "data";
  std::optional<std::string> player;
  std::optional<std::string> since;
  std::optional<std::string> playlist;
  std::optional<std::string> html;
  std::optional<std::string> csv;
  std::optional<std::string> json;
};

// True when `path` lies inside `folder`; both may not exist yet.
bool isInside(const fs::path& path, const fs::path& folder) {
  std::error_code error;
  const fs::path inner = fs::weakly_canonical(fs::absolute(path, error), error);
  const fs::path outer = fs::weakly_canonical(fs::absolute(folder, error), error);
  auto a = inner.begin();
  for (auto b = outer.begin(); b != outer.end(); ++b, ++a) {
    if (b->empty()) continue;
    if (a == inner.end() || *a != *b) return false;
  }
  return true;
}

template <typename Write>
bool writeOutput(const std::string& path, Write write) {
  std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
  if (out) write(out);
  if (out) out.close();
  if (!out) {
    say(fmt::format("cannot write {}: {}", path,
                    std::error_code(errno, std::generic_category()).message()));
    return false;
  }
  return true;
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
  app.add_option("--since", options.since, "Only matches on or after this day")
      ->type_name("YYYY-MM-DD")
      ->check([](const std::string& text) {
        return parseIsoDate(text) ? std::string() : "expected a date as YYYY-MM-DD, got " + text;
      });
  app.add_option("--playlist", options.playlist,
                 "Only this playlist, by the file's base name (for example Doubles_Ranked)")
      ->type_name("NAME");
  app.add_option("--html", options.html, "Write an HTML report with charts to FILE")
      ->type_name("FILE");
  app.add_option("--csv", options.csv, "Write every row as RFC 4180 CSV to FILE")
      ->type_name("FILE");
  app.add_option("--json", options.json, "Write the summary's figures as JSON to FILE")
      ->type_name("FILE");
  app.footer(
      "Exit status: 0 done (also when some lines could not be read; each is named on standard "
      "error as FILE:LINE: what), 1 nothing to show or an output could not be written, 2 usage "
      "error.\n");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? kDone : kUsage;
  }

  const fs::path dataDir = fs::path(options.dataDir);
  const fs::path statisticsFolder = dataDir / "Tallyrig";
  for (const auto& [flag, path] :
       {std::pair{"--html", options.html}, std::pair{"--csv", options.csv},
        std::pair{"--json", options.json}}) {
    if (path && isInside(fs::path(*path), statisticsFolder)) {
      say(fmt::format("{} {}: that is inside {}, where only the plugin writes", flag, *path,
                      displayPath(statisticsFolder)));
      return kUsage;
    }
  }
  Filters filters;
  if (options.since) filters.since = parseIsoDate(*options.since);
  filters.playlist = options.playlist;

  const WarningSink warn = [](const std::string& message) {
    std::fprintf(stderr, "%s\n", printable(message).c_str());
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

  TextId player = 0;
  if (options.player) {
    const TextId* found = history.find(*options.player);
    if (found == nullptr) {
      say(fmt::format("no match has a row with the player id {}", printable(*options.player)));
      return kNothingRead;
    }
    player = *found;
  } else {
    const OwnerChoice owner = *chooseOwner(history);
    player = owner.player;
    say(fmt::format(
        "statistics of {}, the first row of {} of {} matches (--player chooses another)",
        printable(history.text(player)), owner.firstRows, history.matches.size()));
  }

  const std::vector<PlayerMatch> matches = findPlayerMatches(history, player, filters);
  if (matches.empty()) {
    say(fmt::format("no match of {} {}", printable(history.text(player)),
                    filters.playlist || filters.since ? "passes the filters" : "was found"));
    return kNothingRead;
  }
  const Summary summary = summarise(history, player, filters, matches);
  const std::string text = summaryText(summary);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);

  bool written = true;
  if (options.json) {
    written &= writeOutput(*options.json, [&](std::ostream& out) { out << summaryJson(summary); });
  }
  if (options.csv) {
    written &= writeOutput(
        *options.csv, [&](std::ostream& out) { writeCsvExport(out, history, player, filters); });
  }
  if (options.html) {
    written &= writeOutput(*options.html, [&](std::ostream& out) {
      writeHtmlReport(out, history, summary, matches,
                      findCompanions(history, player, matches, kCompanionsShown));
    });
  }
  return written ? kDone : kNothingRead;
}

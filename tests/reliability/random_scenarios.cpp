// Randomised scenarios through the real host: each generated document must pass the parser, and
// the host, replaying it in a process of its own, must exit 0 with nothing but injected faults
// on standard error, rating lines on standard output and whole, consistent blocks on disk.
//
//   random-scenarios --host PATH --plugin PATH --work DIR [--seeds FIRST-LAST] [--print SEED]
//
// The seeds default to TALLYRIG_RANDOM_SEEDS, else 1-200. A failing seed keeps its files in DIR
// and is replayed alone with --seeds N-N.
//
// A process per scenario, not host::replay() in this process: the host promises each scenario
// a fresh module, which unloading a module does not give (the loader may keep it mapped), a
// sanitizer report or crash then fails one seed instead of ending the run, and the path tried
// is the one users take, from the command line to the exit status.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "host/scenario.h"
#include "scenario_generator.h"
#include "statistics_check.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace tallyrig::reliability;

struct Options {
  std::string host;
  std::string plugin;
  fs::path work;
  std::uint64_t first = 1;
  std::uint64_t last = 200;
  bool print = false;
};

bool parseSeeds(std::string_view text, Options& options) {
  const std::size_t dash = text.find('-');
  try {
    options.first = std::stoull(std::string(text.substr(0, dash)));
    options.last = dash == std::string_view::npos ? options.first
                                                  : std::stoull(std::string(text.substr(dash + 1)));
  } catch (const std::exception&) {
    return false;
  }
  return options.first <= options.last;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

// Runs the host with its standard streams in files; the exit status, or -1 when it did not exit.
int runHost(const std::vector<std::string>& arguments, const fs::path& out, const fs::path& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Everything wrong with one replay; empty when it is all as promised.
std::vector<std::string> problemsOf(const GeneratedScenario& scenario, int replays, int status,
                                    const std::string& out, const std::string& err,
                                    const fs::path& data) {
  std::vector<std::string> problems;
  if (status != 0) problems.push_back("exit status " + std::to_string(status));

  std::size_t faults = 0;
  for (const std::string& line : linesOf(err)) {
    if (line.rfind("tallyrig-host: exception from ", 0) == 0 &&
        line.find(": injected fault: ") != std::string::npos) {
      ++faults;
    } else {
      problems.push_back("standard error: " + line);
      if (problems.size() > 20) return problems;
    }
  }
  if (faults > scenario.failSteps * static_cast<std::size_t>(replays)) {
    problems.push_back(std::to_string(faults) + " exceptions from " +
                       std::to_string(scenario.failSteps) + " injected faults");
  }

  std::size_t ratingLines = 0;
  for (const std::string& line : linesOf(out)) {
    const std::size_t at = line.rfind(" MMR is: ");
    bool good = at != std::string::npos && scenario.notifiedIds.count(line.substr(0, at)) > 0;
    if (good) {
      const std::string value = line.substr(at + 9);
      char* end = nullptr;
      const float rating = std::strtof(value.c_str(), &end);
      good = !value.empty() && *end == '\0' && std::isfinite(rating);
    }
    if (!good) {
      problems.push_back("standard output: " + line);
      if (problems.size() > 20) return problems;
    }
    ++ratingLines;
  }
  if (ratingLines > scenario.notifications * static_cast<std::size_t>(replays)) {
    problems.push_back(std::to_string(ratingLines) + " rating lines from " +
                       std::to_string(scenario.notifications) + " notifications");
  }

  CheckOptions options;
  options.knownIds = scenario.playerIds;
  std::size_t blocks = 0;
  for (const auto& [path, text] : readTree(data)) {
    const std::string masked = maskYearFolder(path);
    if (masked.rfind("Tallyrig/YEAR/", 0) != 0 || masked.size() < 18 ||
        masked.compare(masked.size() - 4, 4, ".csv") != 0 ||
        masked.find('/', 14) != std::string::npos) {
      problems.push_back("unexpected file " + path);
      continue;
    }
    const CheckResult check = checkStatisticsText(text, options);
    if (!check.ok()) problems.push_back(path + ": " + check.problem);
    for (std::size_t i = 0; i < check.blocks.size(); ++i) {
      if (std::string problem = checkBlockConsistency(check.blocks[i]); !problem.empty()) {
        problems.push_back(path + ": block " + std::to_string(i + 1) + ": " + problem);
      }
    }
    blocks += check.blocks.size();
  }
  if (blocks > scenario.maxBlocks * static_cast<std::size_t>(replays)) {
    problems.push_back(std::to_string(blocks) + " blocks from at most " +
                       std::to_string(scenario.maxBlocks) + " match ends");
  }
  return problems;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const char* seeds = std::getenv("TALLYRIG_RANDOM_SEEDS"); seeds != nullptr) {
    if (!parseSeeds(seeds, options)) {
      std::fprintf(stderr, "TALLYRIG_RANDOM_SEEDS: expected FIRST-LAST\n");
      return 2;
    }
  }
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--host" && hasValue) {
      options.host = argv[++i];
    } else if (argument == "--plugin" && hasValue) {
      options.plugin = argv[++i];
    } else if (argument == "--work" && hasValue) {
      options.work = argv[++i];
    } else if ((argument == "--seeds" || argument == "--print") && hasValue) {
      options.print = argument == "--print";
      if (!parseSeeds(argv[++i], options)) {
        std::fprintf(stderr, "%s: expected FIRST-LAST\n", argv[i - 1]);
        return 2;
      }
    } else {
      std::fprintf(stderr,
                   "usage: random-scenarios --host PATH --plugin PATH --work DIR "
                   "[--seeds FIRST-LAST] [--print SEED]\n");
      return 2;
    }
  }
  if (options.print) {
    std::fputs(generateScenario(options.first).json.c_str(), stdout);
    std::fputc('\n', stdout);
    return 0;
  }
  if (options.host.empty() || options.plugin.empty() || options.work.empty()) {
    std::fprintf(stderr, "random-scenarios: --host, --plugin and --work are required\n");
    return 2;
  }
  fs::create_directories(options.work);

  std::size_t run = 0;
  std::size_t failures = 0;
  for (std::uint64_t seed = options.first; seed <= options.last; ++seed) {
    const GeneratedScenario scenario = generateScenario(seed);
    const std::string name = "seed-" + std::to_string(seed);
    const fs::path file = options.work / (name + ".json");
    const fs::path data = options.work / (name + "-data");
    const fs::path out = options.work / (name + ".out");
    const fs::path err = options.work / (name + ".err");
    ++run;
    std::vector<std::string> problems;
    try {
      tallyrig::host::parseScenario(scenario.json, file.string());
    } catch (const tallyrig::host::ScenarioError& error) {
      problems.push_back(std::string("the generated document is refused: ") + error.what());
    }
    { std::ofstream(file, std::ios::binary) << scenario.json; }
    fs::remove_all(data);
    if (problems.empty()) {
      // Every tenth seed is given twice, so the host replays it in two child processes.
      const int replays = seed % 10 == 0 ? 2 : 1;
      std::vector<std::string> arguments = {options.host, "--plugin",    options.plugin,
                                            "--data-dir", data.string(), file.string()};
      if (replays == 2) arguments.push_back(file.string());
      const int status = runHost(arguments, out, err);
      problems = problemsOf(scenario, replays, status, readFile(out), readFile(err), data);
    }
    if (problems.empty()) {
      fs::remove_all(data);
      fs::remove(file);
      fs::remove(out);
      fs::remove(err);
      continue;
    }
    ++failures;
    std::fprintf(stderr, "seed %llu (%s):\n", static_cast<unsigned long long>(seed),
                 file.string().c_str());
    for (const std::string& problem : problems) std::fprintf(stderr, "  %s\n", problem.c_str());
  }
  std::printf("randomised scenarios: %zu run, %zu failures\n", run, failures);
  return failures == 0 ? 0 : 1;
}

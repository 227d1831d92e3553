// Measures what Tallyrig's hook handlers cost inside the game's frame, each against the least
// that the same work costs, and prints the table docs/performance.md keeps.
//
//   tallyrig-bench [--smoke] [--data-dir=PATH] [benchmark options]
//
// --smoke runs every benchmark once, to prove they work; it measures nothing. --data-dir picks
// the folder (default: the system's temporary folder) in which a scratch data folder is made.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <benchmark/benchmark.h>

#include "benchmarks.h"
#include "report.h"

namespace {

// Made here and removed at the end, so that runs never see each other's files.
std::filesystem::path makeDataFolder(const std::filesystem::path& parent) {
  std::string pattern = (parent / "tallyrig-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

}  // namespace

int main(int argc, char** argv) {
  bool smoke = false;
  std::filesystem::path parent;
  std::vector<std::string> options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--smoke") {
      smoke = true;
    } else if (arg.starts_with("--data-dir=")) {
      parent = std::string(arg.substr(std::string_view("--data-dir=").size()));
    } else {
      options.emplace_back(arg);
    }
  }
  // Defaults first, so that the caller's own options win.
  std::vector<std::string> arguments = {argv[0]};
  if (smoke) {
    arguments.insert(arguments.end(), {"--benchmark_min_time=0", "--benchmark_repetitions=1"});
  } else {
    // Repetitions in random order spread any drift of the machine over handler and floor alike.
    arguments.insert(arguments.end(), {"--benchmark_min_time=0.05", "--benchmark_repetitions=20",
                                       "--benchmark_enable_random_interleaving=true",
                                       "--benchmark_display_aggregates_only=true"});
  }
  arguments.insert(arguments.end(), options.begin(), options.end());
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  int count = static_cast<int>(pointers.size());
  benchmark::Initialize(&count, pointers.data());
  if (benchmark::ReportUnrecognizedArguments(count, pointers.data())) return 2;

  if (!allocationCountingWorks()) {
    std::cerr << "tallyrig-bench: the SDK's allocations are not counted\n";
    return 1;
  }
  std::error_code error;
  if (parent.empty()) parent = std::filesystem::temp_directory_path(error);
  const std::filesystem::path dataFolder = makeDataFolder(parent);
  if (dataFolder.empty()) {
    std::cerr << "tallyrig-bench: cannot make a data folder in " << parent << '\n';
    return 1;
  }

  bool ok = true;
  {
    Scenes scenes(dataFolder);
    const std::string exportBlock = captureExportBlock(scenes.chaos);
    if (exportBlock.rfind("TEAM COLOR, ", 0) != 0) {
      std::cerr << "tallyrig-bench: the match-end export wrote no block\n";
      ok = false;
    }
    ok = floorsMirrorHandlers(scenes, std::cout) && ok;
    if (ok) {
      std::cout << "export block: " << exportBlock.size() << " bytes into " << dataFolder << "\n\n";
      registerBenchmarks(scenes, exportBlock, smoke);
      SummaryReporter reporter;
      benchmark::RunSpecifiedBenchmarks(&reporter);
      reporter.printSummary(std::cout, smoke);
      ok = !reporter.failed();
    }
    benchmark::Shutdown();
  }
  std::filesystem::remove_all(dataFolder, error);
  return ok ? 0 : 1;
}

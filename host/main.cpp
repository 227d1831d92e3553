// tallyrig-host: loads a plugin module as a game host would and replays match scenarios into it.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "host/platform.h"
#include "host/replay.h"
#include "host/scenario.h"

namespace {

using namespace tallyrig::host;

constexpr const char* kUsage =
    "usage: tallyrig-host [--plugin PATH] [--data-dir DIR] SCENARIO.json [SCENARIO.json ...]\n";

struct Options {
  std::filesystem::path plugin;
  std::filesystem::path dataDir = "data";
  std::vector<std::string> scenarios;
};

bool parseArguments(int argc, char** argv, Options& options) {
  bool pluginGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") return false;
    if (argument == "--plugin" || argument == "--data-dir") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "tallyrig-host: %s needs a value\n", argv[i]);
        return false;
      }
      if (argument == "--plugin") {
        options.plugin = argv[++i];
        pluginGiven = true;
      } else {
        options.dataDir = argv[++i];
      }
      continue;
    }
    if (argument.size() > 1 && argument.front() == '-') {
      std::fprintf(stderr, "tallyrig-host: unknown option %s\n", argv[i]);
      return false;
    }
    options.scenarios.emplace_back(argument);
  }
  if (!pluginGiven) {
    options.plugin = platform::executablePath().parent_path() / platform::pluginModuleFileName();
  }
  return !options.scenarios.empty();
}

}  // namespace

int main(int argc, char** argv) {
  platform::prepareProcess();
  Options options;
  if (!parseArguments(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return kExitBadScenario;
  }

  // Every file is checked before any of them runs.
  std::vector<Scenario> scenarios;
  bool allValid = true;
  for (const std::string& file : options.scenarios) {
    try {
      scenarios.push_back(loadScenario(file));
    } catch (const ScenarioError& error) {
      std::fprintf(stderr, "tallyrig-host: %s\n", error.what());
      allValid = false;
    }
  }
  if (!allValid) return kExitBadScenario;

  if (scenarios.size() == 1) return replay(scenarios.front(), options.plugin, options.dataDir);

  // Each scenario gets a process of its own, so no module state carries over between them.
  for (const std::string& file : options.scenarios) {
    std::fflush(stdout);
    const int status = platform::runSelf(
        {"--plugin", options.plugin.string(), "--data-dir", options.dataDir.string(), file});
    if (status == kExitOk) continue;
    if (status == kExitBadModule || status == kExitBadScenario) return status;
    std::fprintf(stderr, "tallyrig-host: %s: the replay ended abnormally (status %d)\n",
                 file.c_str(), status);
    return 1;
  }
  return kExitOk;
}

// Any bytes as a scenario file; what parses is replayed in this process over a fresh world, with
// the plugin's code linked in. Besides crashes and sanitizer reports, a replay must not index
// outside the PRI array, must raise nothing but the faults the scenario injects, and must leave
// statistics files that hold whole blocks only.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "host/scenario.h"
#include "in_process_host.h"
#include "statistics_check.h"

#if defined(_WIN32)
#include <process.h>
#define TALLYRIG_PROCESS_ID _getpid
#else
#include <unistd.h>
#define TALLYRIG_PROCESS_ID getpid
#endif

namespace {

namespace fs = std::filesystem;
using namespace tallyrig;

// Bounds on one input's work, so that each run stays short.
constexpr std::size_t kMaxSteps = 200;
constexpr std::size_t kMaxPris = 64;

[[noreturn]] void broken(const char* what, std::string_view detail) {
  std::fprintf(stderr, "replay: %s: %.*s\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

const fs::path& dataFolder() {
  static const fs::path folder =
      fs::temp_directory_path() / ("tallyrig-replay-fuzz-" + std::to_string(TALLYRIG_PROCESS_ID()));
  return folder;
}

std::size_t prisCreated(const host::Scenario& scenario) {
  std::size_t count = scenario.world.players.size();
  for (const host::Step& step : scenario.steps) {
    if (std::holds_alternative<host::JoinStep>(step)) ++count;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  host::Scenario scenario;
  try {
    scenario = host::parseScenario(std::string_view(reinterpret_cast<const char*>(data), size),
                                   "fuzz.json");
  } catch (const host::ScenarioError&) {
    return 0;
  }
  if (prisCreated(scenario) > kMaxPris) return 0;

  std::error_code ignored;
  fs::remove_all(dataFolder(), ignored);
  fs::create_directories(dataFolder());
  const reliability::ReplayOutcome outcome =
      reliability::replayInProcess(scenario, dataFolder(), kMaxSteps);

  if (outcome.contractViolations != 0) broken("the plugin left the SDK's contract", "");
  for (const std::string& exception : outcome.exceptions) {
    if (exception.find("injected fault: ") == std::string::npos) {
      broken("an exception nobody injected", exception);
    }
  }
  reliability::CheckOptions options;
#if defined(_WIN32)
  options.crlf = true;
#endif
  // Names and ids are arbitrary here, and blocks are only checked for being whole: what a
  // block says is the business of the randomised scenarios and the block invariants.
  options.plainFields = false;
  options.maxRows = 2 * reliability::kMaxRowsPerBlock;
  for (const auto& [path, text] : reliability::readTree(dataFolder())) {
    const reliability::CheckResult check = reliability::checkStatisticsText(text, options);
    if (!check.ok()) broken("a statistics file with a broken block", path + ": " + check.problem);
  }
  fs::remove_all(dataFolder(), ignored);
  return 0;
}

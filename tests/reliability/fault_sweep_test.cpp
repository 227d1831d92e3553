// Every call the plugin makes into the SDK during a match, made to throw in turn: the host goes
// on, the file keeps whole blocks only, and the next match is recorded exactly as without it.
// Indexes outside the PRI array are counted by the SDK; under the sanitizer presets any access
// outside the table ends the run. TALLYRIG_SWEEP_TRACE=1 names each run before it starts.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "host/scenario.h"
#include "in_process_host.h"
#include "pluginsdk/sim/instrumentation.h"
#include "pluginsdk/sim/world.h"
#include "statistics_check.h"

namespace tallyrig::reliability {
namespace {

namespace fs = std::filesystem;
using pluginsdk::sim::kOpCount;
using pluginsdk::sim::Op;

// A match in scenario form: the world, the faulted match with its rating updates, and the clean
// match after it. goldenTwo is the block the second match appends, timestamps masked.
struct MatchScript {
  const char* name;
  const char* world;
  const char* matchOne;
  const char* matchTwo;
  const char* goldenTwo;
};

const MatchScript kStandard = {
    "standard_3v3",
    R"({"playlistId": 13,
      "players": [
        {"name": "Ana", "team": 0, "playerId": 1, "uniqueId": "Steam|76561198000000001|0",
         "local": true},
        {"name": "Bo", "team": 0, "playerId": 2, "uniqueId": "Epic|b0b0b0b0|0"},
        {"name": "Cy", "team": 0, "playerId": 3, "uniqueId": "PS4|3|0"},
        {"name": "Di", "team": 1, "playerId": 4, "uniqueId": "Steam|76561198000000004|0"},
        {"name": "Ed", "team": 1, "playerId": 5, "uniqueId": "XboxOne|5|0"},
        {"name": "Fy", "team": 1, "playerId": 6, "uniqueId": "Switch|6|0"}],
      "ratings": {"Steam|76561198000000001|0": {"13": 1204.5, "11": 1187.25},
                  "Epic|b0b0b0b0|0": {"13": 1150}, "PS4|3|0": {"13": 1099.75},
                  "Steam|76561198000000004|0": {"13": 1230, "11": 990}}})",
    R"([
      {"gameStarted": {}},
      {"player": {"ref": "Di", "shots": 1, "score": 20}},
      {"statEvent": {"pri": "Di", "event": "Shot"}},
      {"player": {"ref": "Ana", "saves": 1, "score": 50}},
      {"statEvent": {"pri": "Ana", "event": "Save"}},
      {"player": {"ref": "Ana", "demolishes": 1, "score": 75}},
      {"statTicker": {"pri": "Ana", "other": "Ed", "event": "Demolish"}},
      {"player": {"ref": "Bo", "goals": 1, "shots": 1, "score": 110}},
      {"player": {"ref": "Cy", "assists": 1, "score": 50}},
      {"statEvent": {"pri": "Bo", "event": "Goal"}},
      {"statTicker": {"pri": "Bo", "other": null, "event": "Goal"}},
      {"player": {"ref": "Ed", "demolishes": 1, "score": 25}},
      {"statTicker": {"pri": "Ed", "other": "Cy", "event": "Demolish"}},
      {"player": {"ref": "Di", "goals": 1, "shots": 2, "score": 130}},
      {"statEvent": {"pri": "Di", "event": "Goal"}},
      {"player": {"ref": "Ana", "goals": 1, "shots": 1, "score": 185}},
      {"statEvent": {"pri": "Ana", "event": "Goal"}},
      {"statTicker": {"pri": "Fy", "other": "Ana", "event": "Demolish"}},
      {"matchEnded": {}},
      {"rating": {"uniqueId": "Steam|76561198000000001|0", "playlist": 11, "value": 1195.5}},
      {"rating": {"uniqueId": "Epic|b0b0b0b0|0", "playlist": 13, "value": 1159}},
      {"notify": {"uniqueId": "Steam|76561198000000004|0"}}])",
    R"([
      {"player": {"ref": "Ana", "goals": 0, "assists": 0, "saves": 0, "shots": 0,
                  "demolishes": 0, "score": 0}},
      {"player": {"ref": "Bo", "goals": 0, "shots": 0, "score": 0}},
      {"player": {"ref": "Cy", "assists": 0, "score": 0}},
      {"player": {"ref": "Di", "goals": 0, "shots": 0, "score": 0}},
      {"player": {"ref": "Ed", "demolishes": 0, "score": 0}},
      {"order": ["Di", "Ana", "Ed", "Bo", "Fy", "Cy"]},
      {"gameStarted": {}},
      {"player": {"ref": "Fy", "goals": 1, "shots": 1, "score": 120}},
      {"statEvent": {"pri": "Fy", "event": "Goal"}},
      {"statTicker": {"pri": "Cy", "other": "Di", "event": "Demolish"}},
      {"player": {"ref": "Cy", "goals": 1, "shots": 2, "score": 140, "demolishes": 1}},
      {"statEvent": {"pri": "Cy", "event": "Goal"}},
      {"player": {"ref": "Ana", "goals": 1, "assists": 1, "shots": 1, "score": 160}},
      {"statEvent": {"pri": "Ana", "event": "Goal"}},
      {"matchEnded": {}},
      {"rating": {"uniqueId": "Steam|76561198000000001|0", "playlist": 11, "value": 1203.75}}])",
    "TEAM COLOR, NAME, GOALS, ASSISTS, SAVES, SHOTS, DEMOS, SCORE, MMR, TEAM GOALS, W/L, "
    "TIMESTAMP, PLAYERID\n"
    "Blue, Ana, 1, 1, 0, 1, 0, 160, 1204.5, 2, WIN, TIME, Steam|76561198000000001|0\n"
    "Blue, Bo, 0, 0, 0, 0, 0, 0, 1159, 2, WIN, TIME, Epic|b0b0b0b0|0\n"
    "Blue, Cy, 1, 0, 0, 2, 1, 140, 1099.75, 2, WIN, TIME, PS4|3|0\n"
    "Orange, Di, 0, 0, 0, 0, 0, 0, 0, 1, LOSS, TIME, Steam|76561198000000004|0\n"
    "Orange, Ed, 0, 0, 0, 0, 0, 0, 0, 1, LOSS, TIME, XboxOne|5|0\n"
    "Orange, Fy, 1, 0, 0, 1, 0, 120, 0, 1, LOSS, TIME, Switch|6|0\n"
    "\n\n",
};

// Ten PRIs: Cam's slot (team 255) keeps its empty row, Hal and Ivo are beyond the table, and a
// late joiner shifts the array against the slots.
const MatchScript kCrowded = {
    "crowded_lobby",
    R"({"playlistId": 0,
      "players": [
        {"name": "Ana", "team": 1, "playerId": 1, "uniqueId": "Steam|1|0", "local": true},
        {"name": "Bo", "team": 1, "playerId": 2, "uniqueId": "Steam|2|0"},
        {"name": "Cam", "team": 255, "playerId": 3, "uniqueId": "Steam|3|0"},
        {"name": "Cy", "team": 0, "playerId": 4, "uniqueId": "Steam|4|0"},
        {"name": "Di", "team": 0, "playerId": 5, "uniqueId": "Steam|5|0"},
        {"name": "Ed", "team": 1, "playerId": 6, "uniqueId": "Steam|6|0"},
        {"name": "Fy", "team": 0, "playerId": 7, "uniqueId": "Steam|7|0"},
        {"name": "Gus", "team": 1, "playerId": 8, "uniqueId": "Steam|8|0"},
        {"name": "Hal", "team": 0, "playerId": 9, "uniqueId": "Steam|9|0"},
        {"name": "Ivo", "team": 2, "playerId": 10, "uniqueId": "Steam|10|0"}],
      "ratings": {"Steam|1|0": {"0": 800, "11": 1010}, "Steam|2|0": {"0": 790.5},
                  "Steam|8|0": {"0": 1e-3}}})",
    R"([
      {"gameStarted": {}},
      {"player": {"ref": "Hal", "goals": 1, "score": 100}},
      {"statEvent": {"pri": "Hal", "event": "Goal"}},
      {"statTicker": {"pri": "Hal", "other": "Ana", "event": "Demolish"}},
      {"statTicker": {"pri": "Gus", "other": "Hal", "event": "Demolish"}},
      {"leave": "Bo"},
      {"join": {"name": "Late", "team": 1, "playerId": 11, "uniqueId": "Steam|11|0", "at": 0}},
      {"player": {"ref": "Ana", "goals": 2, "score": 220}},
      {"statEvent": {"pri": "Ana", "event": "Goal"}},
      {"statEvent": {"pri": null, "event": null}},
      {"player": {"ref": "Cy", "goals": 1, "score": 90}},
      {"statTicker": {"pri": "Cy", "other": "Late", "event": "Demolish"}},
      {"matchEnded": {}},
      {"rating": {"uniqueId": "Steam|1|0", "playlist": 11, "value": 1018}}])",
    R"([
      {"leave": "Late"},
      {"join": {"ref": "Bo again", "name": "Bo", "team": 1, "playerId": 2,
                "uniqueId": "Steam|2|0", "at": 1}},
      {"player": {"ref": "Ana", "goals": 0, "score": 0}},
      {"player": {"ref": "Cy", "goals": 0, "score": 0}},
      {"player": {"ref": "Hal", "goals": 0, "score": 0}},
      {"gameStarted": {}},
      {"player": {"ref": "Gus", "goals": 1, "score": 100}},
      {"statEvent": {"pri": "Gus", "event": "Goal"}},
      {"statTicker": {"pri": "Di", "other": "Gus", "event": "Demolish"}},
      {"player": {"ref": "Hal", "goals": 3, "score": 300}},
      {"statEvent": {"pri": "Hal", "event": "Goal"}},
      {"matchEnded": {}},
      {"notify": {"uniqueId": "Steam|1|0"}}])",
    "TEAM COLOR, NAME, GOALS, ASSISTS, SAVES, SHOTS, DEMOS, SCORE, MMR, TEAM GOALS, W/L, "
    "TIMESTAMP, PLAYERID\n"
    "Orange, Ana, 0, 0, 0, 0, 0, 0, 800, 1, WIN, TIME, Steam|1|0\n"
    "Orange, Bo, 0, 0, 0, 0, 0, 0, 790.5, 1, WIN, TIME, Steam|2|0\n"
    "Orange, Ed, 0, 0, 0, 0, 0, 0, 0, 1, WIN, TIME, Steam|6|0\n"
    "Orange, Gus, 1, 0, 0, 0, 0, 100, 0.001, 1, WIN, TIME, Steam|8|0\n"
    "Blue, , 0, 0, 0, 0, 0, 0, -1, 0, LOSS, TIME, \n"
    "Blue, Cy, 0, 0, 0, 0, 0, 0, 0, 0, LOSS, TIME, Steam|4|0\n"
    "Blue, Di, 0, 0, 0, 0, 1, 0, 0, 0, LOSS, TIME, Steam|5|0\n"
    "Blue, Fy, 0, 0, 0, 0, 0, 0, 0, 0, LOSS, TIME, Steam|7|0\n"
    "\n\n",
};

// Test names print the match, not its bytes.
void PrintTo(const MatchScript& script, std::ostream* out) {
  *out << script.name;
}

struct Parsed {
  host::Scenario scenario;
  std::size_t matchOneSteps = 0;
};

Parsed parse(const MatchScript& script) {
  const std::string head = std::string(R"({"version": 1, "world": )") + script.world;
  Parsed parsed;
  parsed.matchOneSteps =
      host::parseScenario(head + R"(, "steps": )" + script.matchOne + "}", script.name)
          .steps.size();
  std::string both = std::string(script.matchOne);
  both.pop_back();  // the closing bracket
  both += ",";
  both += std::string(script.matchTwo).substr(1);
  parsed.scenario = host::parseScenario(head + R"(, "steps": )" + both + "}", script.name);
  return parsed;
}

struct Fault {
  Op op;
  std::uint64_t after;
};

using Files = std::map<std::string, std::string>;

// What one run left behind. File paths have their year folder masked, texts their timestamps.
struct Outcome {
  std::vector<std::string> exceptions;
  std::size_t exceptionsDuringLoad = 0;
  std::array<std::uint64_t, kOpCount> calls{};
  Files filesAfterOne;
  Files filesAfterTwo;
  std::vector<std::string> consoleTwo;
  bool reloaded = false;
  std::size_t hooksAfterReload = 0;
  std::size_t notifiersAfterReload = 0;
  std::size_t hooksAfterUnload = 0;
  std::size_t notifiersAfterUnload = 0;
  std::uint64_t violations = 0;
};

Files maskedTree(const fs::path& folder) {
  Files masked;
  for (const auto& [path, text] : readTree(folder)) masked[maskYearFolder(path)] = text;
  return masked;
}

// One run from a fresh module, world and data folder: load, the first match with `fault`
// armed, the second match clean, unload. A run whose load failed reloads before the second.
Outcome play(const Parsed& parsed, const fs::path& folder, std::optional<Fault> fault,
             bool forceReload = false) {
  resetModuleState();
  fs::remove_all(folder);
  fs::create_directories(folder);
  Outcome run;
  {
    pluginsdk::sim::World world;
    buildWorld(world, parsed.scenario.world, folder);
    std::vector<std::string> consoleOne;
    std::vector<std::string>* console = &consoleOne;
    world.consoleSink = [&console](const std::string& line) { console->push_back(line); };
    InProcessHost host(world);
    if (fault) pluginsdk::sim::injectFault(fault->op, fault->after);
    host.load();
    run.exceptionsDuringLoad = host.exceptions().size();
    const auto& steps = parsed.scenario.steps;
    for (std::size_t i = 0; i < parsed.matchOneSteps; ++i) host.play(steps[i]);
    for (int op = 0; op < kOpCount; ++op) {
      run.calls[static_cast<std::size_t>(op)] = pluginsdk::sim::callCount(static_cast<Op>(op));
    }
    pluginsdk::sim::clearFaults();
    run.filesAfterOne = maskedTree(folder);
    if (forceReload || run.exceptionsDuringLoad > 0) {
      host.unload();
      host.load();
      run.reloaded = true;
      run.hooksAfterReload = world.hookNames().size();
      run.notifiersAfterReload = world.liveNotifierCount();
    }
    console = &run.consoleTwo;
    for (std::size_t i = parsed.matchOneSteps; i < steps.size(); ++i) host.play(steps[i]);
    host.unload();
    run.hooksAfterUnload = world.hookNames().size();
    run.notifiersAfterUnload = world.liveNotifierCount();
    run.exceptions = host.exceptions();
    run.violations = pluginsdk::sim::contractViolations();
    run.filesAfterTwo = maskedTree(folder);
  }
  resetModuleState();
  return run;
}

// What the second match appended to each file. A file it left empty does not count: a match
// without goals creates one, under whatever playlist the table last saw.
Files appended(const Outcome& run) {
  Files added;
  for (const auto& [path, text] : run.filesAfterTwo) {
    const auto before = run.filesAfterOne.find(path);
    const std::size_t from = before == run.filesAfterOne.end() ? 0 : before->second.size();
    if (from < text.size()) added[path] = maskTimestamps(text.substr(from));
  }
  return added;
}

std::string describe(const Files& files) {
  std::string text;
  for (const auto& [path, content] : files) text += "\n    " + path + ":\n" + content;
  return text;
}

Files masked(const Files& files) {
  Files out;
  for (const auto& [path, text] : files) out[path] = maskTimestamps(text);
  return out;
}

CheckOptions fileCheckOptions() {
  CheckOptions options;
#if defined(_WIN32)
  options.crlf = true;
#endif
  return options;
}

// Every problem of a faulted run compared with the clean one; empty when there is none.
std::vector<std::string> problemsOf(const Outcome& run, const Outcome& clean, const Fault& fault) {
  std::vector<std::string> problems;
  const std::string injected = "injected fault: " + std::string(pluginsdk::sim::opName(fault.op));
  if (run.exceptions.size() != 1 || run.exceptions[0].size() < injected.size() ||
      run.exceptions[0].compare(run.exceptions[0].size() - injected.size(), injected.size(),
                                injected) != 0) {
    std::string seen;
    for (const std::string& e : run.exceptions) seen += " [" + e + "]";
    problems.push_back("the host saw" + seen + " instead of the one injected fault");
  }
  if (run.violations != 0) {
    problems.push_back(std::to_string(run.violations) + " calls outside the SDK's contract");
  }
  for (const auto& [path, text] : run.filesAfterTwo) {
    const CheckResult check = checkStatisticsText(text, fileCheckOptions());
    if (!check.ok()) problems.push_back(path + ": " + check.problem);
    for (const Block& block : check.blocks) {
      if (std::string problem = checkBlockConsistency(block); !problem.empty()) {
        problems.push_back(path + ": " + problem);
      }
    }
  }
  for (const auto& [path, text] : run.filesAfterOne) {
    const auto after = run.filesAfterTwo.find(path);
    if (after == run.filesAfterTwo.end() || after->second.compare(0, text.size(), text) != 0) {
      problems.push_back(path + ": the second match rewrote what the first had written");
    }
  }
  if (appended(run) != appended(clean)) {
    problems.push_back("the second match appended" + describe(appended(run)) +
                       "\n  where a clean run appends" + describe(appended(clean)));
  }
  if (run.consoleTwo != clean.consoleTwo) {
    problems.push_back("the second match's console lines differ from a clean run's");
  }
  if (run.reloaded && (run.hooksAfterReload != 4 || run.notifiersAfterReload != 1)) {
    problems.push_back("after the reload: " + std::to_string(run.hooksAfterReload) + " hooks, " +
                       std::to_string(run.notifiersAfterReload) + " notifiers");
  }
  if (run.hooksAfterUnload != 0 || run.notifiersAfterUnload != 0) {
    problems.push_back("a hook or notifier outlived the unload");
  }
  return problems;
}

struct Totals {
  std::size_t runs = 0;
  std::set<int> operations;
  std::size_t failures = 0;
};

Totals& totals() {
  static Totals value;
  return value;
}

// The line the README quotes, once every match has been swept.
class SweepTotals : public ::testing::Environment {
 public:
  void TearDown() override {
    std::printf("fault sweep: %zu runs over %zu operations, %zu failures\n", totals().runs,
                totals().operations.size(), totals().failures);
  }
};
[[maybe_unused]] ::testing::Environment* const kTotals =
    ::testing::AddGlobalTestEnvironment(new SweepTotals);

class FaultSweep : public ::testing::TestWithParam<MatchScript> {
 protected:
  fs::path folder() const {
    return fs::temp_directory_path() / (std::string("tallyrig-fault-sweep-") + GetParam().name);
  }
  void TearDown() override { fs::remove_all(folder()); }
};

TEST_P(FaultSweep, EveryCallOfEveryOperationThrowsOnceAndTheNextMatchIsExact) {
  const Parsed parsed = parse(GetParam());
  const Outcome clean = play(parsed, folder(), std::nullopt);
  ASSERT_TRUE(clean.exceptions.empty()) << clean.exceptions.front();
  ASSERT_EQ(clean.violations, 0u);

  // The clean run itself: whole blocks, and the second match's block as reviewed.
  Files cleanAppended = appended(clean);
  ASSERT_EQ(cleanAppended.size(), 1u);
  EXPECT_EQ(withUnixLineEnds(cleanAppended.begin()->second), GetParam().goldenTwo);
  const Outcome reloaded = play(parsed, folder(), std::nullopt, true);
  ASSERT_EQ(appended(reloaded), cleanAppended);
  ASSERT_EQ(reloaded.consoleTwo, clean.consoleTwo);

  // onLoad's operations are part of the sweep.
  for (const Op op :
       {Op::HookEvent, Op::HookEventWithCallerPost, Op::RegisterMMRNotifier, Op::GetMMRWrapper}) {
    EXPECT_GT(clean.calls[static_cast<std::size_t>(op)], 0u) << pluginsdk::sim::opName(op);
  }

  const bool trace = std::getenv("TALLYRIG_SWEEP_TRACE") != nullptr;
  std::size_t runs = 0;
  std::size_t failures = 0;
  std::size_t keptOne = 0;
  std::size_t lostOne = 0;
  std::size_t changedOne = 0;
  std::size_t reloads = 0;
  for (int index = 0; index < kOpCount; ++index) {
    const auto op = static_cast<Op>(index);
    const std::uint64_t count = clean.calls[static_cast<std::size_t>(index)];
    if (count > 0) totals().operations.insert(index);
    for (std::uint64_t k = 0; k < count; ++k) {
      const Fault fault{op, k};
      if (trace) {
        std::fprintf(stderr, "%s: %s after %llu\n", GetParam().name,
                     std::string(pluginsdk::sim::opName(op)).c_str(),
                     static_cast<unsigned long long>(k));
      }
      const Outcome run = play(parsed, folder(), fault);
      ++runs;
      if (run.reloaded) ++reloads;
      const std::vector<std::string> problems = problemsOf(run, clean, fault);
      if (!problems.empty()) {
        ++failures;
        // The first few in full; the count says the rest.
        if (failures <= 10) {
          std::string text;
          for (const std::string& problem : problems) text += "\n  " + problem;
          ADD_FAILURE() << pluginsdk::sim::opName(op) << " after " << k << ":" << text;
        }
      }
      const Files one = masked(run.filesAfterOne);
      const Files cleanOne = masked(clean.filesAfterOne);
      if (one == cleanOne) {
        ++keptOne;
      } else {
        bool nothing = true;
        for (const auto& [path, text] : one) nothing = nothing && text.empty();
        ++(nothing ? lostOne : changedOne);
      }
    }
  }
  totals().runs += runs;
  totals().failures += failures;
  EXPECT_EQ(failures, 0u);
  // Each of onLoad's six calls (two of each hook kind, the rating service, its notifier) failed
  // once, and each time the host loaded the plugin again.
  EXPECT_EQ(reloads, 6u);
  std::printf(
      "fault sweep %s: %zu runs, %zu failures; the faulted match was written as without the "
      "fault %zu times, not written %zu times, written otherwise %zu times\n",
      GetParam().name, runs, failures, keptOne, lostOne, changedOne);
}

INSTANTIATE_TEST_SUITE_P(Matches, FaultSweep, ::testing::Values(kStandard, kCrowded),
                         [](const ::testing::TestParamInfo<MatchScript>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace tallyrig::reliability

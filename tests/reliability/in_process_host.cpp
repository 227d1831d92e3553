#include "in_process_host.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "plugin/tallyrig.h"
#include "pluginsdk/sim/instrumentation.h"
#include "tracking/player_table.h"

extern "C" std::shared_ptr<Vantor::Plugin::VantorPlugin>* getPlugin();
extern "C" void deleteMe();

namespace tallyrig::reliability {

using pluginsdk::sim::World;

InProcessHost::InProcessHost(World& world)
    : session_(world, &getPlugin, &deleteMe,
               [this](const std::string& what, const std::string& message) {
                 exceptions_.push_back(what + ": " + message);
               }) {}

void resetModuleState() {
  deleteMe();
  logConsole.reset();
  playerTable = PlayerTable{};
  matchState = MatchState{};
  pluginsdk::sim::resetInstrumentation();
}

ReplayOutcome replayInProcess(const host::Scenario& scenario,
                              const std::filesystem::path& dataFolder, std::size_t maxSteps) {
  resetModuleState();
  ReplayOutcome outcome;
  {
    // The world outlives the plugin, as in the host.
    World world;
    buildWorld(world, scenario.world, dataFolder);
    world.consoleSink = [&](const std::string& line) { outcome.console.push_back(line); };
    InProcessHost host(world);
    host.load();
    const std::size_t steps = std::min(maxSteps, scenario.steps.size());
    for (std::size_t i = 0; i < steps; ++i) host.play(scenario.steps[i]);
    if (host.loaded()) host.unload();
    outcome.exceptions = host.exceptions();
    outcome.contractViolations = pluginsdk::sim::contractViolations();
  }
  resetModuleState();
  return outcome;
}

}  // namespace tallyrig::reliability

#pragma once

// The simulated host's replay, with the plugin's code linked into this program instead of loaded
// from a module, so that one process can play many scenarios and look at the plugin's state
// between steps. It calls the plugin exactly as host/replay.cpp does; keep the two in step.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/scenario.h"
#include "pluginsdk/plugin.h"
#include "pluginsdk/sim/world.h"

namespace tallyrig::reliability {

class InProcessHost {
 public:
  explicit InProcessHost(pluginsdk::sim::World& world);
  ~InProcessHost();
  InProcessHost(const InProcessHost&) = delete;
  InProcessHost& operator=(const InProcessHost&) = delete;

  void load();
  void unload();
  void play(const host::Step& step);
  bool loaded() const { return plugin_ != nullptr; }

  // Every exception the host caught, as "WHAT: MESSAGE" with WHAT named as the host names it.
  const std::vector<std::string>& exceptions() const { return exceptions_; }

 private:
  template <typename Call>
  void callPlugin(const char* operation, Call&& call);
  pluginsdk::sim::CallbackErrorSink sinkFor(const std::string& what);

  pluginsdk::sim::World& world_;
  std::shared_ptr<Vantor::Plugin::VantorPlugin> plugin_;
  std::vector<std::string> exceptions_;
};

// Builds the world a scenario describes, as the host does before the first step.
void buildWorld(pluginsdk::sim::World& world, const host::WorldSetup& setup,
                const std::filesystem::path& dataFolder);

// Puts the plugin's process-wide state and the SDK's instruments back to what a freshly loaded
// module sees: no plugin object, no console, an empty table, no counts and no faults.
void resetModuleState();

// A whole scenario as the host plays it: load, the steps, unload. At most `maxSteps` steps.
struct ReplayOutcome {
  std::vector<std::string> console;
  std::vector<std::string> exceptions;
  std::uint64_t contractViolations = 0;
};
ReplayOutcome replayInProcess(const host::Scenario& scenario,
                              const std::filesystem::path& dataFolder,
                              std::size_t maxSteps = static_cast<std::size_t>(-1));

}  // namespace tallyrig::reliability

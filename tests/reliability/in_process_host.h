#pragma once

// The simulated host's session, with the plugin's code linked into this program instead of loaded
// from a module, so that one process can play many scenarios and look at the plugin's state
// between steps.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/scenario.h"
#include "host/session.h"
#include "plugin/descriptor.h"
#include "pluginsdk/plugin.h"
#include "pluginsdk/sim/world.h"

namespace tallyrig::reliability {

class InProcessHost {
 public:
  explicit InProcessHost(pluginsdk::sim::World& world);

  void load() { session_.load(); }
  void unload() { session_.unload(); }
  void play(const host::Step& step) { session_.play(step); }
  bool loaded() const { return session_.loaded(); }

  // Every exception the host caught, as "WHAT: MESSAGE" with WHAT named as the host names it.
  const std::vector<std::string>& exceptions() const { return exceptions_; }

 private:
  // Declared first: the session reports into it until the session's own end.
  std::vector<std::string> exceptions_;
  host::PluginSession session_;
};

using host::buildWorld;

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

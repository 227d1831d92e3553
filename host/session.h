#pragma once

// What a host does with a plugin over one scenario: load it, deliver the steps, unload it. The
// simulated host plays it with a loaded module; tests play it with the plugin's code linked in.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "host/scenario.h"
#include "plugin/descriptor.h"
#include "pluginsdk/plugin.h"
#include "pluginsdk/sim/world.h"

namespace tallyrig::host {

// Told of every exception that leaves the plugin: WHAT is the quoted hook name, "rating
// notifier", or the plugin operation the host called.
using ExceptionReport = std::function<void(const std::string& what, const std::string& message)>;

class PluginSession {
 public:
  PluginSession(pluginsdk::sim::World& world, PluginCreateEntry create, PluginDestroyEntry destroy,
                ExceptionReport report);
  // Unloads the plugin when it is still loaded.
  ~PluginSession();
  PluginSession(const PluginSession&) = delete;
  PluginSession& operator=(const PluginSession&) = delete;

  void load();
  void unload();
  void play(const Step& step);
  bool loaded() const { return plugin_ != nullptr; }

 private:
  template <typename Call>
  void callPlugin(const char* operation, Call&& call);
  pluginsdk::sim::CallbackErrorSink reportFrom(const std::string& what) const;
  std::uintptr_t priWord(const std::optional<std::string>& ref);
  std::uintptr_t eventWord(const std::optional<std::string>& name);

  void perform(const GameStartedStep&);
  void perform(const MatchEndedStep&);
  void perform(const StatEventStep& step);
  void perform(const StatTickerStep& step);
  void perform(const RatingStep& step);
  void perform(const NotifyStep& step);
  void perform(const WorldStep& step);
  void perform(const PlayerStep& step);
  void perform(const JoinStep& step);
  void perform(const LeaveStep& step);
  void perform(const OrderStep& step);
  void perform(const UnloadStep&);
  void perform(const LoadStep&);
  void perform(const FailStep& step);

  pluginsdk::sim::World& world_;
  PluginCreateEntry create_;
  PluginDestroyEntry destroy_;
  ExceptionReport report_;
  // The host's own copy of the plugin pointer while the plugin is loaded.
  std::shared_ptr<Vantor::Plugin::VantorPlugin> plugin_;
};

// Builds the world a scenario describes, as the host does before the first step.
void buildWorld(pluginsdk::sim::World& world, const WorldSetup& setup,
                const std::filesystem::path& dataFolder);

}  // namespace tallyrig::host

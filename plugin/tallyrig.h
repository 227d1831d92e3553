#pragma once

#include <memory>
#include <string>

#include "export/kept_blocks.h"
#include "pluginsdk/game_wrapper.h"
#include "pluginsdk/plugin.h"
#include "pluginsdk/wrappers.h"

// The plugin. The host owns it through the shared pointer that getPlugin hands out; the hook
// callbacks hold only its address.
class Tallyrig final : public Vantor::Plugin::VantorPlugin {
 public:
  Tallyrig() = default;
  Tallyrig(const Tallyrig&) = delete;
  Tallyrig& operator=(const Tallyrig&) = delete;
  // The rating notifications end before the base part's pointers are released.
  ~Tallyrig() = default;

  void onGameStarted(std::string eventName);
  void onMatchEnded(std::string eventName);
  void onStatTickerMessage(ServerWrapper caller, void* params, std::string eventName);
  void onStatEvent(ServerWrapper caller, void* params, std::string eventName);
  void onRatingUpdated(UniqueIDWrapper id);
  void refreshRoster();

  // The blocks their files could not take yet, written at a later export or at unload.
  KeptBlocks keptBlocks;
  std::unique_ptr<MMRNotifierToken> ratingNotifierToken;

 private:
  void onLoad() override;
  // Tries every kept block once more.
  void onUnload() override;
};

// The module's own reference to the single plugin object, and the console the rating log
// writes to. Both live from module load to module unload.
extern std::shared_ptr<Vantor::Plugin::VantorPlugin> pluginInstance;
extern std::shared_ptr<CVarManagerWrapper> logConsole;

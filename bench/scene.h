#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "pluginsdk/game_wrapper.h"
#include "pluginsdk/sim/world.h"
#include "pluginsdk/wrappers.h"

// The game functions Tallyrig hooks, by the names the host delivers.
inline const std::string kGameStartedHook = "Function ProjectX.GRI_X.EventGameStarted";
inline const std::string kMatchEndedHook = "Function TAGame.GameEvent_Soccar_TA.EventMatchEnded";
inline const std::string kStatTickerHook = "Function TAGame.GFxHUD_TA.HandleStatTickerMessage";
inline const std::string kStatEventHook = "Function TAGame.GFxHUD_TA.HandleStatEvent";

enum class Phase {
  kickoff,   // every statistic 0, as at a game start
  midMatch,  // goals on both sides, shots, saves, scores
};

// What the host does to the plugin, one kind of call each.
enum class Call { statEvent, statTicker, gameStart, matchEnd, rating };

// A match in a simulated world: players with names and ids of the lengths real ones have (some
// fit a short string, some do not), ratings, and the parameter blocks the host passes to the
// stat hooks. The world is the host's; handler, floor and raw baseline all run over it.
class Scene {
 public:
  Scene(int players, int playlistId, std::string playlistFile,
        const std::filesystem::path& dataFolder);
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  void setPhase(Phase phase);
  // Makes the call the way the host does, through the world's hooks.
  void deliver(Call call);

  // The rows the plugin's table uses for this match.
  std::size_t rowsInUse() const { return pris_.size() < 8 ? pris_.size() : 8; }
  // The file the match-end export appends to, and the parts of its path.
  const std::filesystem::path& dataFolder() const { return world.dataFolder; }
  const std::string& year() const { return year_; }
  const std::string& playlistFile() const { return playlistFile_; }
  std::filesystem::path statisticsFile() const;

  pluginsdk::sim::World world;

 private:
  std::vector<pluginsdk::sim::Pri*> pris_;
  std::string playlistFile_;
  std::string year_;
  std::string ratedId_;
  std::array<std::uint64_t, 2> statEventBlock_{};
  std::array<std::uint64_t, 3> statTickerBlock_{};
};

// Tallyrig loaded into the scene's world as the host loads it, with the module's state as a
// fresh load leaves it (an empty table); unloaded again when the session ends.
class PluginSession {
 public:
  explicit PluginSession(Scene& scene);
  ~PluginSession();
  PluginSession(const PluginSession&) = delete;
  PluginSession& operator=(const PluginSession&) = delete;

  // The game start at kickoff, then the match goes on to mid-match.
  void startMatch();
  // Brings the freshly loaded plugin to where `call` is measured: a game start at kickoff,
  // anything else after the game start, mid-match.
  void prepareFor(Call call);

 private:
  Scene& scene_;
};

// A receiver hooked into the scene's world exactly as Tallyrig::onLoad hooks the plugin: the
// same functions, in the same order, through callables that hold one address.
template <typename Receiver>
class ReceiverSession {
 public:
  ReceiverSession(Scene& scene, Receiver& receiver) : scene_(scene) {
    GameWrapper game = *scene.world.makeGameWrapper();
    Receiver* const self = &receiver;
    game.HookEvent(kGameStartedHook,
                   [self](std::string name) { self->onGameStarted(std::move(name)); });
    game.HookEvent(kMatchEndedHook,
                   [self](std::string name) { self->onMatchEnded(std::move(name)); });
    token_ = game.GetMMRWrapper().RegisterMMRNotifier(
        [self](UniqueIDWrapper id) { self->onRatingUpdated(id); });
    game.HookEventWithCallerPost<ServerWrapper>(
        kStatTickerHook, [self](ServerWrapper caller, void* params, std::string name) {
          self->onStatTickerMessage(caller, params, std::move(name));
        });
    game.HookEventWithCallerPost<ServerWrapper>(
        kStatEventHook, [self](ServerWrapper caller, void* params, std::string name) {
          self->onStatEvent(caller, params, std::move(name));
        });
  }
  ~ReceiverSession() {
    token_.reset();
    scene_.world.removeAllHooks();
  }
  ReceiverSession(const ReceiverSession&) = delete;
  ReceiverSession& operator=(const ReceiverSession&) = delete;

 private:
  Scene& scene_;
  std::unique_ptr<MMRNotifierToken> token_;
};

#pragma once

// The host's side of the stand-in: a simulated game world that the plugin reads through the
// wrappers, and the deliveries of hooks and rating notifications into the plugin.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pluginsdk/api.h"
#include "pluginsdk/game_wrapper.h"
#include "pluginsdk/wrappers.h"

namespace pluginsdk::sim {

// One participant's record. Its address is what PriWrapper handles and parameter blocks hold,
// so a World never moves one.
struct Pri {
  std::string ref;
  std::string name;
  unsigned char team = 0;
  int playerId = 0;
  std::string uniqueId;
  bool local = false;
  int goals = 0;
  int assists = 0;
  int saves = 0;
  int shots = 0;
  int demolishes = 0;
  int score = 0;
};

struct StatEvent {
  std::string name;
};

// Called with the what() of an exception that left a plugin callback.
using CallbackErrorSink = std::function<void(const std::string& message)>;

class World;

// The game objects behind the handles other than PRIs: each knows its world and has an address of
// its own, so that handles to different objects are told apart, in a trace too.
struct GameObject {
  World* world = nullptr;
};
// A PRI array. The online game's lists the world's PRIs in order; the game state's is a different
// array of the same PRIs in reverse order, so that reading the wrong one shows.
struct PriList : GameObject {
  bool reversed = false;
};
struct GameEvent : GameObject {
  PriList pris;
  GameObject playlist;
};

class PLUGINSDK_API World {
 public:
  World();
  ~World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  bool online = true;
  bool gameStateValid = true;
  bool playlistValid = true;
  int playlistId = 0;
  // Unset: the rating service reports playlistId as its current playlist.
  std::optional<int> ratingPlaylist;
  std::filesystem::path dataFolder;
  // Receives every console line; by default the lines are dropped.
  std::function<void(const std::string&)> consoleSink;

  // Creates a PRI that lives as long as the world, and puts it into the array at `at`
  // (default: the end).
  Pri& addPri(Pri pri, std::optional<std::size_t> at = std::nullopt);
  Pri* findPri(std::string_view ref);
  // The PRI stays alive and keeps its address; it is only taken out of the array.
  void removeFromArray(const Pri& pri);
  void reorderArray(std::vector<Pri*> order);
  const std::vector<Pri*>& array() const { return array_; }

  void setRating(const std::string& uniqueId, int playlist, float value);
  float rating(std::string_view uniqueId, int playlist) const;
  int currentRatingPlaylist() const { return ratingPlaylist.value_or(playlistId); }

  // Handles the host gives the plugin.
  std::shared_ptr<GameWrapper> makeGameWrapper();
  std::shared_ptr<CVarManagerWrapper> makeConsole();
  // The online game while `online`, else a null handle; the caller of the stat hooks.
  ServerWrapper onlineGame();
  // The game state while `gameStateValid`, else a null handle.
  ServerWrapper gameState();
  // The rating service.
  std::uintptr_t ratingsAddress() const {
    return reinterpret_cast<std::uintptr_t>(&ratingService_);
  }
  std::uintptr_t address(const Pri& pri) const { return reinterpret_cast<std::uintptr_t>(&pri); }

  // What a trace calls the object at `address`: "game", "gameState", "onlineGame", "pris" (the
  // online game's array), "gameState.pris", "playlist" (the game state's),
  // "onlineGame.playlist", "mmr", "console", "pri:REF" and its "pri:REF.name" and "pri:REF.id",
  // "id:TEXT" (an id the host hands over), "event:NAME", "null" for a null handle, "?" else.
  std::string labelOf(std::uintptr_t address) const;
  // A stat event object of that name; the same address for the same name.
  std::uintptr_t statEventAddress(const std::string& name);

  // Calls every hook bound to `name`, in registration order. An exception that leaves a
  // callback goes to `onError` and the next callback still runs; without a sink it propagates.
  void callHook(const std::string& name, const CallbackErrorSink& onError = {});
  void callHookWithCaller(const std::string& name, void* params,
                          const CallbackErrorSink& onError = {});
  // Delivers a rating notification for `uniqueId` to every live notifier.
  void notifyRating(const std::string& uniqueId, const CallbackErrorSink& onError = {});
  std::size_t hookCount(std::string_view name) const;
  // The hooked function names in registration order.
  std::vector<std::string> hookNames() const;
  std::size_t liveNotifierCount() const;
  // Drops every hook, as a host does when it unloads a plugin.
  void removeAllHooks();

  // Used by the wrappers.
  struct Hook {
    std::string name;
    std::function<void(std::string)> plain;
    std::function<void(ServerWrapper, void*, std::string)> withCaller;
  };
  void addHook(Hook hook);
  std::unique_ptr<MMRNotifierToken> addNotifier(std::function<void(UniqueIDWrapper)> notifier);
  const std::string* internId(const std::string& uniqueId);

 private:
  void label(const void* object, std::string text);

  GameEvent gameState_;
  GameEvent onlineGame_;
  GameObject ratingService_;
  GameObject console_;
  std::map<std::uintptr_t, std::string> labels_;
  std::deque<Pri> pris_;
  std::vector<Pri*> array_;
  std::deque<StatEvent> statEvents_;
  std::deque<std::string> ids_;
  std::map<std::string, std::map<int, float>, std::less<>> ratings_;
  std::vector<Hook> hooks_;
  std::vector<std::weak_ptr<MMRNotifierToken::Registration>> notifiers_;
};

}  // namespace pluginsdk::sim

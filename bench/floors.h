#pragma once

// What a handler cannot do without: receivers that the benchmarks hook into the world in the
// plugin's place. Each has Tallyrig's five callbacks with the same parameters, so the host's
// dispatch costs the same whichever receiver is attached.

#include <cstddef>
#include <memory>
#include <string>

#include "pluginsdk/game_wrapper.h"
#include "pluginsdk/wrappers.h"

// Makes exactly the SDK calls of each Tallyrig handler, in the same order and number, and
// nothing else: the values read are dropped, no table is kept, no text is composed.
class SdkFloor {
 public:
  // `rowsInUse` is the number of table rows the plugin walks (the PRIs at game start, at most 8);
  // the demolition handler reads the actor's id once per row.
  SdkFloor(std::shared_ptr<GameWrapper> game, std::shared_ptr<CVarManagerWrapper> console,
           std::size_t rowsInUse);

  void onGameStarted(std::string eventName);
  void onMatchEnded(std::string eventName);
  void onStatTickerMessage(ServerWrapper caller, void* params, std::string eventName);
  void onStatEvent(ServerWrapper caller, void* params, std::string eventName);
  void onRatingUpdated(UniqueIDWrapper id);

 private:
  void refreshRosterReads();

  std::shared_ptr<GameWrapper> game_;
  std::shared_ptr<CVarManagerWrapper> console_;
  std::size_t rows_;
  // The local team as the plugin last saw it; it decides which players' ratings are read.
  int localTeam_ = 0;
};

// The match end as plain system calls: both folders (an existing one is fine), the file opened
// for appending and locked, the block given beforehand written in one write, the file closed.
class RawAppend {
 public:
  RawAppend(const std::string& dataFolder, const std::string& year, const std::string& fileName,
            std::string block);

  void onGameStarted(std::string eventName);
  void onMatchEnded(std::string eventName);
  void onStatTickerMessage(ServerWrapper caller, void* params, std::string eventName);
  void onStatEvent(ServerWrapper caller, void* params, std::string eventName);
  void onRatingUpdated(UniqueIDWrapper id);

  // Calls that did not do what they should; the benchmark reports them as an error.
  int failures() const { return failures_; }

 private:
  std::string pluginFolder_;
  std::string yearFolder_;
  std::string file_;
  std::string block_;
  int failures_ = 0;
};

// Does nothing: what is left is the host's dispatch of the hook.
class NoWork {
 public:
  void onGameStarted(std::string eventName);
  void onMatchEnded(std::string eventName);
  void onStatTickerMessage(ServerWrapper caller, void* params, std::string eventName);
  void onStatEvent(ServerWrapper caller, void* params, std::string eventName);
  void onRatingUpdated(UniqueIDWrapper id);
};

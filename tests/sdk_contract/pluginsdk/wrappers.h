#pragma once

// The host SDK's value handles, declared exactly as far as the SDK promises them and no further:
// no member is const unless the SDK says so, no handle can be made from nothing, and the handles
// show none of their insides. The plugin is compiled against these declarations to prove it
// relies on nothing more. Comments name where the stand-in in sdk/ promises more.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class UnrealStringWrapper {
 public:
  UnrealStringWrapper() = delete;  // the stand-in can make a null handle; the SDK promises none
  std::string ToString();          // const in the stand-in
};

class UniqueIDWrapper {
 public:
  UniqueIDWrapper() = delete;  // the stand-in can make a null handle; the SDK promises none
  std::string GetIdString() const;
};

class ActorWrapper {
 public:
  ActorWrapper() = delete;  // the stand-in can make a null handle; the SDK promises none
  // True while its object exists. The stand-in's is const and explicit.
  operator bool();
};

class GameSettingPlaylistWrapper {
 public:
  GameSettingPlaylistWrapper() = delete;  // the stand-in can make a null handle
  operator bool() const;                  // explicit in the stand-in
  int GetPlaylistId();                    // const in the stand-in
};

// The stand-in's getters below are const; the SDK promises none of them as const.
class PlayerReplicationInfoWrapper {
 public:
  PlayerReplicationInfoWrapper() = delete;  // the stand-in's derives from ActorWrapper
  UnrealStringWrapper GetPlayerName();
  unsigned char GetTeamNum();
  int GetPlayerID();
  UniqueIDWrapper GetUniqueIdWrapper();
};

class PriWrapper : public PlayerReplicationInfoWrapper {
 public:
  explicit PriWrapper(std::uintptr_t address);
  int GetMatchGoals();
  int GetMatchAssists();
  int GetMatchSaves();
  int GetMatchShots();
  int GetMatchDemolishes();
  int GetMatchScore();
  bool IsLocalPlayerPRI();
};

class StatEventWrapper {
 public:
  explicit StatEventWrapper(std::uintptr_t address);
  std::string GetEventName();  // const in the stand-in
};

// A class template here; the stand-in has only the PriWrapper specialisation, with const members.
template <typename T>
class ArrayWrapper {
 public:
  ArrayWrapper() = delete;
  int Count();
  // Only indexes below Count() are valid.
  T Get(int index);
};

class GameEventWrapper : public ActorWrapper {
 public:
  GameEventWrapper() = delete;
  ArrayWrapper<PriWrapper> GetPRIs();        // const in the stand-in
  GameSettingPlaylistWrapper GetPlaylist();  // const in the stand-in
};

class ServerWrapper : public GameEventWrapper {
 public:
  ServerWrapper() = delete;
};

// Ends its notifier's registration when destroyed.
class MMRNotifierToken {
 public:
  MMRNotifierToken() = delete;
  MMRNotifierToken(const MMRNotifierToken&) = delete;
  MMRNotifierToken& operator=(const MMRNotifierToken&) = delete;
  ~MMRNotifierToken();
};

class MMRWrapper {
 public:
  MMRWrapper() = delete;
  int GetCurrentPlaylist();                              // const in the stand-in
  float GetPlayerMMR(UniqueIDWrapper id, int playlist);  // const in the stand-in
  std::unique_ptr<MMRNotifierToken> RegisterMMRNotifier(
      std::function<void(UniqueIDWrapper)> notifier);
};

class CVarManagerWrapper {
 public:
  CVarManagerWrapper() = delete;
  // One line on the host's console.
  void log(std::string text);
};

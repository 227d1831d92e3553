#pragma once

// Value handles over game objects. Each holds the address of the object it reads; a handle made
// from address 0 is a null handle whose reads give 0, false or an empty text and never crash.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "pluginsdk/api.h"

class PLUGINSDK_API UnrealStringWrapper {
 public:
  explicit UnrealStringWrapper(std::uintptr_t address = 0) : memory_address(address) {}
  std::string ToString() const;

  std::uintptr_t memory_address;
};

class PLUGINSDK_API UniqueIDWrapper {
 public:
  explicit UniqueIDWrapper(std::uintptr_t address = 0) : memory_address(address) {}
  std::string GetIdString() const;

  std::uintptr_t memory_address;
};

class PLUGINSDK_API ActorWrapper {
 public:
  explicit ActorWrapper(std::uintptr_t address = 0) : memory_address(address) {}
  // True while the object exists.
  explicit operator bool() const;

  std::uintptr_t memory_address;
};

class PLUGINSDK_API PlayerReplicationInfoWrapper : public ActorWrapper {
 public:
  using ActorWrapper::ActorWrapper;
  UnrealStringWrapper GetPlayerName() const;
  unsigned char GetTeamNum() const;
  int GetPlayerID() const;
  UniqueIDWrapper GetUniqueIdWrapper() const;
};

class PLUGINSDK_API PriWrapper : public PlayerReplicationInfoWrapper {
 public:
  explicit PriWrapper(std::uintptr_t address = 0) : PlayerReplicationInfoWrapper(address) {}
  int GetMatchGoals() const;
  int GetMatchAssists() const;
  int GetMatchSaves() const;
  int GetMatchShots() const;
  int GetMatchDemolishes() const;
  int GetMatchScore() const;
  bool IsLocalPlayerPRI() const;
};

class PLUGINSDK_API StatEventWrapper {
 public:
  explicit StatEventWrapper(std::uintptr_t address = 0) : memory_address(address) {}
  std::string GetEventName() const;

  std::uintptr_t memory_address;
};

template <typename T>
class ArrayWrapper;

template <>
class PLUGINSDK_API ArrayWrapper<PriWrapper> {
 public:
  explicit ArrayWrapper(std::uintptr_t address = 0) : memory_address(address) {}
  int Count() const;
  // Only indexes below Count() are valid; the stand-in answers others with a null handle and
  // records the misuse (pluginsdk::sim::contractViolations).
  PriWrapper Get(int index) const;

  std::uintptr_t memory_address;
};

class PLUGINSDK_API GameSettingPlaylistWrapper {
 public:
  explicit GameSettingPlaylistWrapper(std::uintptr_t address = 0) : memory_address(address) {}
  explicit operator bool() const;
  int GetPlaylistId() const;

  std::uintptr_t memory_address;
};

class PLUGINSDK_API GameEventWrapper : public ActorWrapper {
 public:
  using ActorWrapper::ActorWrapper;
  ArrayWrapper<PriWrapper> GetPRIs() const;
  GameSettingPlaylistWrapper GetPlaylist() const;
};

class PLUGINSDK_API ServerWrapper : public GameEventWrapper {
 public:
  using GameEventWrapper::GameEventWrapper;
};

// Ends its notifier's registration when destroyed.
class PLUGINSDK_API MMRNotifierToken {
 public:
  struct Registration;
  explicit MMRNotifierToken(std::shared_ptr<Registration> registration);
  ~MMRNotifierToken();
  MMRNotifierToken(const MMRNotifierToken&) = delete;
  MMRNotifierToken& operator=(const MMRNotifierToken&) = delete;

 private:
  std::shared_ptr<Registration> registration_;
};

class PLUGINSDK_API MMRWrapper {
 public:
  explicit MMRWrapper(std::uintptr_t address = 0) : memory_address(address) {}
  int GetCurrentPlaylist() const;
  float GetPlayerMMR(UniqueIDWrapper id, int playlist) const;
  std::unique_ptr<MMRNotifierToken> RegisterMMRNotifier(
      std::function<void(UniqueIDWrapper)> notifier);

  std::uintptr_t memory_address;
};

class PLUGINSDK_API CVarManagerWrapper {
 public:
  explicit CVarManagerWrapper(std::uintptr_t address = 0) : memory_address(address) {}
  // One line on the host's console.
  void log(std::string text);

  std::uintptr_t memory_address;
};

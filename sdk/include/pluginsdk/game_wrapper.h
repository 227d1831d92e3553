#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "pluginsdk/api.h"
#include "pluginsdk/wrappers.h"

class PLUGINSDK_API GameWrapper {
 public:
  explicit GameWrapper(std::uintptr_t address = 0) : memory_address(address) {}

  // Calls back, with the function's name, whenever the named game function runs.
  void HookEvent(std::string name, std::function<void(std::string)> callback);
  // Likewise, adding the caller and the hooked function's parameter block.
  template <typename Caller>
  void HookEventWithCallerPost(std::string name,
                               std::function<void(Caller, void*, std::string)> callback);

  bool IsInOnlineGame();
  ServerWrapper GetCurrentGameState();
  ServerWrapper GetOnlineGame();
  MMRWrapper GetMMRWrapper();
  std::filesystem::path GetDataFolder();

  std::uintptr_t memory_address;
};

template <>
PLUGINSDK_API void GameWrapper::HookEventWithCallerPost<ServerWrapper>(
    std::string name, std::function<void(ServerWrapper, void*, std::string)> callback);

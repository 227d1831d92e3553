#pragma once

// The plugin's road to the game, declared exactly as far as the SDK promises it.

#include <filesystem>
#include <functional>
#include <string>

#include "pluginsdk/wrappers.h"

class GameWrapper {
 public:
  GameWrapper() = delete;  // the host makes it; the stand-in can make one from an address

  // Calls back, with the function's name, whenever the named game function runs.
  void HookEvent(std::string name, std::function<void(std::string)> callback);
  // Likewise, adding the caller and the hooked function's parameter block. A member template
  // here; the stand-in defines only the ServerWrapper specialisation.
  template <typename T>
  void HookEventWithCallerPost(std::string name,
                               std::function<void(T, void*, std::string)> callback);

  bool IsInOnlineGame();
  ServerWrapper GetCurrentGameState();
  ServerWrapper GetOnlineGame();
  MMRWrapper GetMMRWrapper();
  // An existing folder.
  std::filesystem::path GetDataFolder();
};

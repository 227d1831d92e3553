#pragma once

// The plugin base class as the host's SDK declares it. The module compiles and exports its
// members itself.

#include <memory>

class CVarManagerWrapper;
class GameWrapper;

namespace Vantor::Plugin {

class VantorPlugin {
 public:
  VantorPlugin();
  VantorPlugin(const VantorPlugin& other);
  VantorPlugin(VantorPlugin&& other);
  VantorPlugin& operator=(const VantorPlugin& other);
  VantorPlugin& operator=(VantorPlugin&& other);
  ~VantorPlugin();  // not virtual: a module deletes its plugin as the derived type

  virtual void onLoad();
  virtual void onUnload();

  std::shared_ptr<CVarManagerWrapper> consoleManager;
  std::shared_ptr<GameWrapper> gameAccess;
};

}  // namespace Vantor::Plugin

#pragma once

// The plugin base class, whose members the module itself compiles and exports. The descriptor a
// module exports is the module's own (plugin/descriptor.h).

#include <memory>

class CVarManagerWrapper;
class GameWrapper;

#if defined(PLUGIN_MODULE_BUILDING)
#if defined(_WIN32)
#define PLUGIN_MODULE_API __declspec(dllexport)
#else
#define PLUGIN_MODULE_API __attribute__((visibility("default")))
#endif
#else
#define PLUGIN_MODULE_API
#endif

namespace Vantor::Plugin {

// The destructor is deliberately not virtual: a module's control block deletes its plugin as the
// derived type, and the host only ever holds the object through a shared pointer.
class PLUGIN_MODULE_API VantorPlugin {
 public:
  VantorPlugin();
  VantorPlugin(const VantorPlugin& other);
  VantorPlugin(VantorPlugin&& other);
  VantorPlugin& operator=(const VantorPlugin& other);
  VantorPlugin& operator=(VantorPlugin&& other);
  ~VantorPlugin();

  virtual void onLoad();
  virtual void onUnload();

  std::shared_ptr<CVarManagerWrapper> consoleManager;
  std::shared_ptr<GameWrapper> gameAccess;
};

}  // namespace Vantor::Plugin

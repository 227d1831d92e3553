#pragma once

// The contract between a host and a plugin module: the plugin base class, whose members the
// module itself compiles and exports, and the descriptor the module exports as `exports`.

#include <cstddef>
#include <cstdint>
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
  VantorPlugin(VantorPlugin&& other) noexcept;
  VantorPlugin& operator=(const VantorPlugin& other);
  VantorPlugin& operator=(VantorPlugin&& other) noexcept;
  ~VantorPlugin();

  virtual void onLoad();
  virtual void onUnload();

  std::shared_ptr<CVarManagerWrapper> consoleManager;
  std::shared_ptr<GameWrapper> gameAccess;
};

}  // namespace Vantor::Plugin

using PluginCreateEntry = std::shared_ptr<Vantor::Plugin::VantorPlugin>* (*)();
using PluginDestroyEntry = void (*)();

// Read by the host by layout: 64 bytes, 8-byte aligned, pointers 8 bytes wide.
struct PluginDescriptor {
  std::int32_t hostApiLevel;
  std::int32_t alignmentGap0;
  const char* sourcePath;
  const char* typeName;
  const char* displayName;
  const char* versionText;
  std::int32_t kindCode;
  std::int32_t alignmentGap1;
  PluginCreateEntry createEntry;
  PluginDestroyEntry destroyEntry;
};

static_assert(sizeof(void*) == 8, "plugin modules are 64-bit");
static_assert(sizeof(PluginDescriptor) == 64);
static_assert(alignof(PluginDescriptor) == 8);
static_assert(offsetof(PluginDescriptor, hostApiLevel) == 0);
static_assert(offsetof(PluginDescriptor, sourcePath) == 8);
static_assert(offsetof(PluginDescriptor, typeName) == 16);
static_assert(offsetof(PluginDescriptor, displayName) == 24);
static_assert(offsetof(PluginDescriptor, versionText) == 32);
static_assert(offsetof(PluginDescriptor, kindCode) == 40);
static_assert(offsetof(PluginDescriptor, createEntry) == 48);
static_assert(offsetof(PluginDescriptor, destroyEntry) == 56);

inline constexpr std::int32_t kHostApiLevel = 95;
inline constexpr std::int32_t kPluginKindCode = 1;

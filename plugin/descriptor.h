#pragma once

// The host's module contract: the descriptor a plugin module exports as `exports`, and the two
// entry points it names. The host reads the descriptor by layout, so the layout is fixed here,
// by the module itself, whatever SDK it is built against.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Vantor::Plugin {
class VantorPlugin;
}

// What the module exports: visible on every platform, whatever the default visibility.
#if defined(_WIN32)
#define TALLYRIG_MODULE_EXPORT __declspec(dllexport)
#else
#define TALLYRIG_MODULE_EXPORT __attribute__((visibility("default")))
#endif

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

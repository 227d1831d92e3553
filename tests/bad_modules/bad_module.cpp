// A plugin module that is wrong in one way, chosen when it is built, for the host's checks.

#include "plugin/descriptor.h"

#if defined(_WIN32)
#define BAD_MODULE_EXPORT extern "C" __declspec(dllexport)
#else
#define BAD_MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#ifndef API_LEVEL
#define API_LEVEL 95
#endif
#ifndef KIND_CODE
#define KIND_CODE 1
#endif
#ifndef TYPE_NAME
#define TYPE_NAME "Broken"
#endif
#ifndef CREATE_ENTRY
#define CREATE_ENTRY &getPlugin
#endif

namespace {
std::shared_ptr<Vantor::Plugin::VantorPlugin> instance;
}

BAD_MODULE_EXPORT std::shared_ptr<Vantor::Plugin::VantorPlugin>* getPlugin() {
  return &instance;
}
BAD_MODULE_EXPORT void deleteMe() {
  instance.reset();
}

#ifndef WITHOUT_DESCRIPTOR
BAD_MODULE_EXPORT const PluginDescriptor exports = {
    API_LEVEL, 0, __FILE__, TYPE_NAME, "Broken", "0.0.0.0", KIND_CODE, 0, CREATE_ENTRY, &deleteMe,
};
#endif

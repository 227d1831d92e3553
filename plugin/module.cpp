// What the host sees of the module: the descriptor, the two entry points and the module-wide
// objects. They are defined together so that their construction order, and so the reverse
// order of their destruction at unload, is fixed: the player table goes first, then the
// console, then the plugin object.

#include "plugin/descriptor.h"
#include "plugin/tallyrig.h"
#include "plugin/version.h"
#include "tracking/player_table.h"

std::shared_ptr<Vantor::Plugin::VantorPlugin> pluginInstance;
std::shared_ptr<CVarManagerWrapper> logConsole;
PlayerTable playerTable;
MatchState matchState;

extern "C" {

TALLYRIG_MODULE_EXPORT std::shared_ptr<Vantor::Plugin::VantorPlugin>* getPlugin() {
  if (!pluginInstance) {
    // The deleter is Tallyrig's own: the base destructor is not virtual.
    pluginInstance = std::shared_ptr<Tallyrig>(new Tallyrig());
  }
  return &pluginInstance;
}

TALLYRIG_MODULE_EXPORT void deleteMe() {
  pluginInstance.reset();
}

TALLYRIG_MODULE_EXPORT extern const PluginDescriptor exports;
const PluginDescriptor exports = {
    kHostApiLevel,   0, __FILE__,   "Tallyrig", "Tallyrig", kTallyrigVersionText,
    kPluginKindCode, 0, &getPlugin, &deleteMe,
};

}  // extern "C"

#include "pluginsdk/game_wrapper.h"
#include "pluginsdk/plugin.h"
#include "pluginsdk/wrappers.h"

namespace Vantor::Plugin {

VantorPlugin::VantorPlugin() = default;
VantorPlugin::VantorPlugin(const VantorPlugin& other) = default;
VantorPlugin::VantorPlugin(VantorPlugin&& other) = default;
VantorPlugin& VantorPlugin::operator=(const VantorPlugin& other) = default;
VantorPlugin& VantorPlugin::operator=(VantorPlugin&& other) = default;
// Members go in reverse order of declaration: gameAccess, then consoleManager.
VantorPlugin::~VantorPlugin() = default;

void VantorPlugin::onLoad() {}
void VantorPlugin::onUnload() {}

}  // namespace Vantor::Plugin

#pragma once

// Everything the simulated host needs from the operating system, in one place.

#include <filesystem>
#include <string>
#include <vector>

namespace tallyrig::host::platform {

// The plugin module's file name on this platform.
const char* pluginModuleFileName();

// A loaded module; null when loading failed, with the loader's reason in `error`.
void* loadModule(const std::filesystem::path& path, std::string& error);
void* findSymbol(void* module, const char* name);
void unloadModule(void* module);

std::filesystem::path executablePath();

// Runs this executable again with `arguments`, sharing its standard streams, and returns the
// child's exit status (-1 when it could not be started or did not exit normally).
int runSelf(const std::vector<std::string>& arguments);

// Console lines end in a line feed on every platform, and a crash ends the process instead of
// waiting on a dialog.
void prepareProcess();

}  // namespace tallyrig::host::platform

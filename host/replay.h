#pragma once

#include <filesystem>

#include "host/scenario.h"

namespace tallyrig::host {

inline constexpr int kExitOk = 0;
inline constexpr int kExitBadScenario = 2;
inline constexpr int kExitBadModule = 3;

// Loads the module, checks its descriptor, plays the scenario against a fresh world and unloads
// the module again. Console lines go to standard output, the host's own words to standard error.
// Returns kExitOk, or kExitBadModule when the module cannot be used.
int replay(const Scenario& scenario, const std::filesystem::path& pluginPath,
           const std::filesystem::path& dataFolder);

}  // namespace tallyrig::host

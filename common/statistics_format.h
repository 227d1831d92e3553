#pragma once

// The statistics file's layout, as the plugin writes it and tallyrig-stats reads it: blocks of a
// header line and one row per player, fields separated by ", ", blocks ended by empty lines.

#include <string_view>

namespace tallyrig::statistics {

inline constexpr std::string_view kHeaderLine =
    "TEAM COLOR, NAME, GOALS, ASSISTS, SAVES, SHOTS, DEMOS, SCORE, MMR, TEAM GOALS, W/L, "
    "TIMESTAMP, PLAYERID";
inline constexpr std::string_view kSeparator = ", ";

}  // namespace tallyrig::statistics

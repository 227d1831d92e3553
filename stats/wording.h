#pragma once

// The sentences the summary and the report both write, worded once; each output puts them in
// its own frame (a line of the terminal, the page's text, escaped there).

#include <cstdint>
#include <string>

#include "stats/summary.h"

namespace tallyrig::stats {

// "2024-03-07 21:05 to 2024-03-07 22:40"
std::string timeSpan(std::int64_t firstMinutes, std::int64_t latestMinutes);
// "Longest winning streak: 3, 2024-03-07 21:05 to 2024-03-07 22:40"
std::string streakText(const Streak& streak);
// "Last session: 2024-03-07 21:05 to 2024-03-07 22:40, 3 matches, 2-1, MMR +8 (Duel)"
std::string lastSessionText(const Period& session);
// A playlist's highest rating and when it was first reached: "1234.5, 2024-03-07 21:05".
std::string peakText(const Figures& figures);

}  // namespace tallyrig::stats

#include "stats/wording.h"

#include <fmt/format.h>

#include "stats/outputs.h"

namespace tallyrig::stats {

std::string timeSpan(std::int64_t firstMinutes, std::int64_t latestMinutes) {
  return fmt::format("{} to {}", displayTime(firstMinutes), displayTime(latestMinutes));
}

std::string streakText(const Streak& streak) {
  return fmt::format("Longest {} streak: {}, {}", streak.win ? "winning" : "losing", streak.length,
                     timeSpan(streak.firstMinutes, streak.latestMinutes));
}

std::string lastSessionText(const Period& session) {
  return fmt::format("Last session: {}, {}, {}-{}, MMR {}",
                     timeSpan(session.firstMinutes, session.latestMinutes),
                     plural(session.matches, "match", "matches"), session.wins, session.losses,
                     periodChange(session));
}

std::string peakText(const Figures& figures) {
  return fmt::format("{}, {}",
                     figures.peakMmr ? ratingText(*figures.peakMmr) : std::string(kUnknown),
                     displayTime(figures.peakMinutes));
}

}  // namespace tallyrig::stats

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "stats/outputs.h"

namespace tallyrig::stats {
namespace {

constexpr std::string_view kNone = "-";

std::string displayTime(std::int64_t minutes) {
  const LocalTime time = LocalTime::fromMinutes(minutes);
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}", time.year, time.month, time.day, time.hour,
                     time.minute);
}

std::string optionalRating(const std::optional<double>& mmr) {
  return mmr ? ratingText(*mmr) : std::string(kNone);
}

std::string ratingChange(const std::optional<double>& change) {
  return change ? fmt::format("{:+g}", *change) : std::string(kNone);
}

std::string streakText(const Streak& streak) {
  if (streak.length == 0) return std::string(kNone);
  return fmt::format("{}{}", streak.win ? 'W' : 'L', streak.length);
}

constexpr std::array<std::string_view, 16> kColumns = {
    "playlist", "matches", "W",     "L",         "win %",      "goals",  "assists",    "saves",
    "shots",    "demos",   "score", "MMR first", "MMR latest", "change", "win streak", "now"};

std::vector<std::string> tableRow(const Figures& figures) {
  return {printable(figures.label),
          fmt::format("{}", figures.matches),
          fmt::format("{}", figures.wins),
          fmt::format("{}", figures.losses),
          fmt::format("{:.1f}%", figures.winRate() * 100),
          fmt::format("{:.2f}", figures.perMatch(figures.goals)),
          fmt::format("{:.2f}", figures.perMatch(figures.assists)),
          fmt::format("{:.2f}", figures.perMatch(figures.saves)),
          fmt::format("{:.2f}", figures.perMatch(figures.shots)),
          fmt::format("{:.2f}", figures.perMatch(figures.demos)),
          fmt::format("{:.1f}", figures.perMatch(figures.score)),
          optionalRating(figures.firstMmr),
          optionalRating(figures.latestMmr),
          ratingChange(figures.mmrChange),
          fmt::format("{}", figures.longestWinStreak),
          streakText(figures.currentStreak)};
}

// The first column to the left, the figures to the right, two spaces between.
void appendTable(std::string& out, const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths(kColumns.size(), 0);
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  for (const auto& row : rows) {
    std::string line = fmt::format("{:<{}}", row[0], widths[0]);
    for (std::size_t i = 1; i < row.size(); ++i) line += fmt::format("  {:>{}}", row[i], widths[i]);
    out += line;
    out += '\n';
  }
}

}  // namespace

std::string summaryText(const Summary& summary) {
  const Figures& all = summary.overall;
  std::string out = fmt::format("Player {}: {} {}", printable(summary.player), all.matches,
                                all.matches == 1 ? "match" : "matches");
  if (all.matches > 0) {
    out += fmt::format(", {} to {}", displayTime(all.firstMinutes), displayTime(all.latestMinutes));
  }
  if (summary.filters.playlist)
    out += fmt::format(", playlist {}", printable(*summary.filters.playlist));
  if (summary.filters.since) {
    const LocalDate& since = *summary.filters.since;
    out += fmt::format(", since {:04}-{:02}-{:02}", since.year, since.month, since.day);
  }
  out += "\n\n";
  std::vector<std::vector<std::string>> rows;
  rows.emplace_back(kColumns.begin(), kColumns.end());
  for (const Figures& figures : summary.playlists) rows.push_back(tableRow(figures));
  rows.push_back(tableRow(all));
  appendTable(out, rows);
  out +=
      "\nGoals to score: per match. MMR: the player's rating at the first and the latest match of\n"
      "the playlist (\"all\" adds up the changes). Win streak: the longest; now: the current "
      "run.\n";
  if (summary.lastSession) {
    const Session& session = *summary.lastSession;
    out += fmt::format("\nLast session: {} to {}, {} {}, {}-{}, MMR {}",
                       displayTime(session.firstMinutes), displayTime(session.latestMinutes),
                       session.matches, session.matches == 1 ? "match" : "matches", session.wins,
                       session.losses, ratingChange(session.mmrChange));
    if (session.ratingChanges.size() > 1) {
      std::string parts;
      for (const RatingChange& change : session.ratingChanges) {
        parts += fmt::format("{}{} {:+g}", parts.empty() ? "" : ", ", printable(change.playlist),
                             change.change);
      }
      out += fmt::format(" ({})", parts);
    }
    out += '\n';
  }
  return out;
}

}  // namespace tallyrig::stats

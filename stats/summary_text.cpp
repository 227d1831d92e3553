#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "stats/outputs.h"

namespace tallyrig::stats {
namespace {

std::string ratingChange(const std::optional<double>& change) {
  return change ? fmt::format("{:+g}", *change) : std::string(kUnknown);
}

// The first column to the left, the figures to the right, two spaces between.
void appendTable(std::string& out, const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths(kFigureColumns.size(), 0);
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
  std::string out = fmt::format("Player {}", shownText(summary.player));
  if (!summary.playerName.empty()) out += fmt::format(" ({})", shownText(summary.playerName));
  out += ": " + plural(all.matches, "match", "matches");
  if (all.matches > 0) {
    out += fmt::format(", {} to {}", displayTime(all.firstMinutes), displayTime(all.latestMinutes));
  }
  for (std::size_t i = 0; i < summary.filters.playlists.size(); ++i) {
    out += fmt::format("{}{}", i == 0 ? ", playlist " : " or ",
                       shownText(summary.filters.playlists[i]));
  }
  if (summary.filters.since) {
    const LocalDate& since = *summary.filters.since;
    out += fmt::format(", since {:04}-{:02}-{:02}", since.year, since.month, since.day);
  }
  if (summary.filters.last) out += fmt::format(", the latest {}", *summary.filters.last);
  if (summary.filters.until) {
    const LocalDate& until = *summary.filters.until;
    out += fmt::format(", until {:04}-{:02}-{:02}", until.year, until.month, until.day);
  }
  out += "\n\n";
  std::vector<std::vector<std::string>> rows;
  rows.emplace_back(kFigureColumns.begin(), kFigureColumns.end());
  for (const Figures& figures : summary.playlists) rows.push_back(figureCells(figures));
  rows.push_back(figureCells(all));
  if (summary.recent) rows.push_back(figureCells(*summary.recent));
  appendTable(out, rows);
  out +=
      "\nGoals, assists, saves, shots, demos (demolitions) and score: the average per match;\n"
      "shooting %: goals out of shots. MMR first, latest and peak: the rating at the playlist's\n"
      "first and latest match and the highest, none where the files hold no rating; change: the\n"
      "latest less the first (\"all\" adds up the playlists' changes). Win streak: the longest\n"
      "run of wins; now: the current run (W3: three wins in a row, L2: two losses).\n";
  if (summary.recent) {
    out += fmt::format("\"{}\": the latest {} matches as one, to set beside \"all\".\n",
                       summary.recent->label, kRecentMatches);
  }
  if (all.matches > 0) out += '\n';
  for (const Figures& figures : summary.playlists) {
    if (!figures.peakMmr) continue;
    out += fmt::format("Highest MMR in {}: {}, {}\n", shownText(figures.label),
                       ratingText(*figures.peakMmr), displayTime(figures.peakMinutes));
  }
  for (const Streak* streak : {&all.longestWins, &all.longestLosses}) {
    if (streak->length == 0) continue;
    out += fmt::format("Longest {} streak: {}, {} to {}\n", streak->win ? "winning" : "losing",
                       streak->length, displayTime(streak->firstMinutes),
                       displayTime(streak->latestMinutes));
  }
  if (summary.lastSession) {
    const Session& session = *summary.lastSession;
    out += fmt::format("\nLast session: {} to {}, {}, {}-{}, MMR {}",
                       displayTime(session.firstMinutes), displayTime(session.latestMinutes),
                       plural(session.matches, "match", "matches"), session.wins, session.losses,
                       ratingChange(session.mmrChange));
    if (session.ratingChanges.size() > 1) {
      std::string parts;
      for (const RatingChange& change : session.ratingChanges) {
        parts += fmt::format("{}{} {:+g}", parts.empty() ? "" : ", ", shownText(change.playlist),
                             change.change);
      }
      out += fmt::format(" ({})", parts);
    }
    out += '\n';
  }
  return out;
}

}  // namespace tallyrig::stats

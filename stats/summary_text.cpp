#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "stats/outputs.h"
#include "stats/wording.h"

namespace tallyrig::stats {
namespace {

// The terminal gets the latest few; --json and the report have more.
constexpr std::size_t kPeriodsShown = 7;
constexpr std::size_t kMetShown = 3;

// The first column to the left, the figures to the right, two spaces between; with
// `lastLeft`, the last column to the left too.
void appendTable(std::string& out, const std::vector<std::vector<std::string>>& rows,
                 bool lastLeft = false) {
  std::vector<std::size_t> widths(rows.empty() ? 0 : rows.front().size(), 0);
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  for (const auto& row : rows) {
    std::string line = fmt::format("{:<{}}", row[0], widths[0]);
    for (std::size_t i = 1; i < row.size(); ++i) {
      if (lastLeft && i + 1 == row.size()) {
        line += "  " + row[i];
      } else {
        line += fmt::format("  {:>{}}", row[i], widths[i]);
      }
    }
    out += line;
    out += '\n';
  }
}

void appendPeriods(std::string& out, const Periods& periods, PeriodKind kind, std::size_t shown) {
  const std::size_t count = std::min(shown, periods.latest.size());
  out += fmt::format("\nMMR change per {}, the latest {} of {}:\n",
                     kind == PeriodKind::Day ? "day" : "session", count, periods.total);
  std::vector<std::vector<std::string>> rows;
  for (std::size_t i = periods.latest.size() - count; i < periods.latest.size(); ++i) {
    const Period& period = periods.latest[i];
    rows.push_back({periodLabel(period, kind), plural(period.matches, "match", "matches"),
                    fmt::format("{}-{}", period.wins, period.losses), periodChange(period)});
  }
  appendTable(out, rows, true);
}

std::string metLine(std::string_view side, const MetPlayer& met) {
  std::string names;
  for (const std::string& other : met.otherNames) {
    names += fmt::format("{}{}", names.empty() ? ", also " : " or ", shownText(other));
  }
  return fmt::format("  {:<9}  {} ({}{}): {}, {}-{}, {:.1f}%\n", side,
                     met.name.empty() ? std::string("unnamed") : shownText(met.name),
                     shownText(met.playerId), names, plural(met.matches, "match", "matches"),
                     met.wins, met.losses, met.winRate() * 100);
}

}  // namespace

std::string summaryText(const Summary& summary) {
  const Figures& all = summary.overall;
  std::string out = fmt::format("Player {}", shownText(summary.player));
  if (!summary.playerName.empty()) out += fmt::format(" ({})", shownText(summary.playerName));
  out += ": " + plural(all.matches, "match", "matches");
  if (all.matches > 0) out += ", " + timeSpan(all.firstMinutes, all.latestMinutes);
  out += filtersText(summary.filters, shownText);
  out += "\n\n";
  std::vector<std::vector<std::string>> rows;
  rows.emplace_back(kFigureColumns.begin(), kFigureColumns.end());
  for (const Figures& figures : summary.playlists) rows.push_back(figureCells(figures));
  rows.push_back(figureCells(all));
  if (summary.recent) rows.push_back(figureCells(*summary.recent));
  appendTable(out, rows);
  out +=
      "\nGoals, assists, saves, shots, demos (demolitions) and score: the average per match;\n"
      "shooting %: goals out of shots. MMR first, latest and peak: the first, the latest and the\n"
      "highest rating the files give for the playlist, none where they give none; change: the\n"
      "latest less the first (\"all\" adds up the playlists' changes). Win streak: the longest\n"
      "run of wins; now: the current run (W3: three wins in a row, L2: two losses).\n";
  if (summary.recent) {
    out += fmt::format("\"{}\": the latest {} matches as one, to set beside \"all\".\n",
                       summary.recent->label, kRecentMatches);
  }
  if (all.matches > 0) out += '\n';
  for (const Figures& figures : summary.playlists) {
    if (!figures.peakMmr) continue;
    out += fmt::format("Highest MMR in {}: {}\n", shownText(figures.label), peakText(figures));
  }
  for (const Streak* streak : {&all.longestWins, &all.longestLosses}) {
    if (streak->length == 0) continue;
    out += streakText(*streak) + "\n";
  }
  if (summary.recent && summary.trend.size() > kRecentMatches) {
    const TrendPoint& now = summary.trend.back();
    const TrendPoint& before = summary.trend[summary.trend.size() - 1 - kRecentMatches];
    const auto rate = [](const std::optional<double>& value) {
      return value ? fmt::format("{:.1f}%", *value * 100) : std::string(kUnknown);
    };
    out += fmt::format(
        "Moving average of {} matches, now (and {} matches before): shooting {} ({}), "
        "saves {:.2f} ({:.2f}), assists {:.2f} ({:.2f})\n",
        kRecentMatches, kRecentMatches, rate(now.shootingRate), rate(before.shootingRate),
        now.saves, before.saves, now.assists, before.assists);
  }
  if (const Period* last = summary.lastSession()) out += "\n" + lastSessionText(*last) + "\n";
  if (summary.days.total > 1) appendPeriods(out, summary.days, PeriodKind::Day, kPeriodsShown);
  if (summary.sessions.total > 1) {
    appendPeriods(out, summary.sessions, PeriodKind::Session, kPeriodsShown);
  }
  for (const PlaylistCompanions& met : summary.companions) {
    if (met.teamMates.empty() && met.opponents.empty()) continue;
    out += fmt::format("\nMet most often in {} (the player's W-L and win % beside them):\n",
                       shownText(met.playlist));
    for (std::size_t i = 0; i < std::min(kMetShown, met.teamMates.size()); ++i) {
      out += metLine("team-mate", met.teamMates[i]);
    }
    for (std::size_t i = 0; i < std::min(kMetShown, met.opponents.size()); ++i) {
      out += metLine("opponent", met.opponents[i]);
    }
  }
  return out;
}

}  // namespace tallyrig::stats

#include <fmt/format.h>

#include <algorithm>

#include "stats/outputs.h"
#include "stats/report.h"

namespace tallyrig::stats {
namespace {

using nlohmann::json;

// A table for the page's script: column titles with their kind ("t" text, "n" number, "r" a
// result), and the rows' cells as the page shows them.
json tableJson(std::initializer_list<std::pair<const char*, const char*>> columns) {
  json tableData = {{"columns", json::array()}, {"rows", json::array()}};
  for (const auto& [title, kind] : columns) tableData["columns"].push_back({title, kind});
  return tableData;
}

json summaryTable(const Summary& summary) {
  json tableData = {{"columns", json::array()}, {"rows", json::array()}};
  for (const std::string_view column : kFigureColumns) {
    const char* kind = column == kFigureColumns.front()  ? "t"
                       : column == kFigureColumns.back() ? "s"
                                                         : "n";
    tableData["columns"].push_back({column, kind});
  }
  for (const Figures& figures : summary.playlists)
    tableData["rows"].push_back(figureCells(figures));
  tableData["rows"].push_back(figureCells(summary.overall));
  if (summary.recent) tableData["rows"].push_back(figureCells(*summary.recent));
  return tableData;
}

// The other side's total: the TEAM GOALS of the first row of the other colour.
std::optional<std::int32_t> opponentGoals(const History& history, const Match& match, Colour own) {
  for (std::uint32_t at = match.firstRow; at < match.firstRow + match.rowCount; ++at) {
    if (history.rows[at].colour != own) return history.rows[at].teamGoals;
  }
  return std::nullopt;
}

// Both sides' lines as the file holds them, for the row's details: colour, name, the six
// counters, the rating and the id.
json matchPlayers(const History& history, const Match& match) {
  json players = json::array();
  for (std::uint32_t at = match.firstRow; at < match.firstRow + match.rowCount; ++at) {
    const Row& row = history.rows[at];
    const Counters& counters = row.counters;
    players.push_back({row.colour == Colour::Blue ? "Blue" : "Orange",
                       shownText(history.text(row.name)), counters.goals, counters.assists,
                       counters.saves, counters.shots, counters.demos, counters.score,
                       isRating(row.mmr) ? ratingText(row.mmr) : std::string(kUnknown),
                       shownText(history.text(row.playerId))});
  }
  return players;
}

json matchRow(const History& history, const PlayerMatch& found) {
  const Match& match = history.matches[found.match];
  const Row& row = history.rows[found.row];
  const std::optional<std::int32_t> against = opponentGoals(history, match, row.colour);
  return {displayTime(match.minutes),
          shownText(history.playlists[match.playlist]),
          row.win ? "WIN" : "LOSS",
          against ? fmt::format("{}\xE2\x80\x93{}", row.teamGoals, *against)
                  : fmt::format("{}", row.teamGoals),
          fmt::format("{}", row.counters.goals),
          fmt::format("{}", row.counters.assists),
          fmt::format("{}", row.counters.saves),
          fmt::format("{}", row.counters.shots),
          fmt::format("{}", row.counters.demos),
          fmt::format("{}", row.counters.score),
          isRating(row.mmr) ? ratingText(row.mmr) : std::string(kUnknown),
          matchPlayers(history, match)};
}

json companionTable(const Summary& summary, bool teamMates) {
  json tableData = tableJson({{"playlist", "t"},
                              {"name", "t"},
                              {"player id", "t"},
                              {"matches", "n"},
                              {"W-L", "p"},
                              {"win %", "n"},
                              {"other names", "t"}});
  // Those met most often first, whichever playlist; the first 20 are the top of the list.
  std::vector<std::pair<const PlaylistCompanions*, const MetPlayer*>> everyone;
  for (const PlaylistCompanions& perPlaylist : summary.companions) {
    for (const MetPlayer& met : teamMates ? perPlaylist.teamMates : perPlaylist.opponents) {
      everyone.emplace_back(&perPlaylist, &met);
    }
  }
  std::stable_sort(everyone.begin(), everyone.end(), [](const auto& a, const auto& b) {
    return a.second->matches > b.second->matches;
  });
  for (const auto& [perPlaylist, metPlayer] : everyone) {
    {
      const MetPlayer& met = *metPlayer;
      std::string others;
      for (const std::string& name : met.otherNames) {
        others += (others.empty() ? "" : ", ") + shownText(name);
      }
      tableData["rows"].push_back({shownText(perPlaylist->playlist), shownText(met.name),
                                   shownText(met.playerId), fmt::format("{}", met.matches),
                                   fmt::format("{}-{}", met.wins, met.losses),
                                   fmt::format("{:.1f}%", met.winRate() * 100), others});
    }
  }
  return tableData;
}

// Latest first, as the match table.
json periodTable(const Periods& periods, PeriodKind kind) {
  json tableData = tableJson({{kind == PeriodKind::Day ? "day" : "session", "d"},
                              {"matches", "n"},
                              {"W-L", "p"},
                              {"MMR change", "n"},
                              {"per playlist", "t"}});
  for (auto period = periods.latest.rbegin(); period != periods.latest.rend(); ++period) {
    tableData["rows"].push_back({periodLabel(*period, kind), fmt::format("{}", period->matches),
                                 fmt::format("{}-{}", period->wins, period->losses),
                                 ratingChangeText(period->mmrChange), playlistChanges(*period)});
  }
  return tableData;
}

// The latest first.
json matchTable(const History& history, const std::vector<PlayerMatch>& matches) {
  json tableData = tableJson({{"date", "d"},
                              {"playlist", "t"},
                              {"result", "r"},
                              {"team goals", "p"},
                              {"goals", "n"},
                              {"assists", "n"},
                              {"saves", "n"},
                              {"shots", "n"},
                              {"demos", "n"},
                              {"score", "n"},
                              {"MMR", "n"}});
  const std::size_t listed = matchesListed(matches.size());
  for (std::size_t i = 0; i < listed; ++i) {
    tableData["rows"].push_back(matchRow(history, matches[matches.size() - 1 - i]));
  }
  return tableData;
}

}  // namespace

json reportTables(const History& history, const Summary& summary,
                  const std::vector<PlayerMatch>& matches) {
  return {{"summary", summaryTable(summary)},
          {"days", periodTable(summary.days, PeriodKind::Day)},
          {"sessions", periodTable(summary.sessions, PeriodKind::Session)},
          {"mates", companionTable(summary, true)},
          {"opponents", companionTable(summary, false)},
          {"matches", matchTable(history, matches)}};
}

}  // namespace tallyrig::stats

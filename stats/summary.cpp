#include "stats/summary.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

namespace tallyrig::stats {
namespace {

void addMatch(Figures& figures, const Row& row, std::int64_t minutes) {
  if (figures.matches == 0) figures.firstMinutes = minutes;
  figures.latestMinutes = minutes;
  ++figures.matches;
  ++(row.win ? figures.wins : figures.losses);
  figures.goals += row.counters.goals;
  figures.assists += row.counters.assists;
  figures.saves += row.counters.saves;
  figures.shots += row.counters.shots;
  figures.demos += row.counters.demos;
  figures.score += row.counters.score;
  if (isRating(row.mmr)) {
    if (!figures.firstMmr) figures.firstMmr = row.mmr;
    figures.latestMmr = row.mmr;
    figures.mmrChange = *figures.latestMmr - *figures.firstMmr;
    if (!figures.peakMmr || row.mmr > *figures.peakMmr) {
      figures.peakMmr = row.mmr;
      figures.peakMinutes = minutes;
    }
  }
  Streak& streak = figures.currentStreak;
  if (streak.length > 0 && streak.win == row.win) {
    ++streak.length;
  } else {
    streak = {row.win, 1, minutes, minutes};
  }
  streak.latestMinutes = minutes;
  Streak& longest = row.win ? figures.longestWins : figures.longestLosses;
  if (streak.length > longest.length) longest = streak;
  if (row.win) figures.longestWinStreak = std::max(figures.longestWinStreak, streak.length);
}

std::int64_t dayOf(const LocalDate& date) {
  return LocalTime{date.year, date.month, date.day, 0, 0}.minutes();
}

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

bool Filters::admits(const History& history, const Match& match) const {
  if (!playlists.empty() &&
      std::none_of(playlists.begin(), playlists.end(), [&](const std::string& name) {
        return sameName(name, history.playlists[match.playlist]);
      })) {
    return false;
  }
  if (until && match.minutes >= dayOf(*until) + 1440) return false;
  if (onlyMatches) {
    const auto index = static_cast<std::uint32_t>(&match - history.matches.data());
    if (!std::binary_search(onlyMatches->begin(), onlyMatches->end(), index)) return false;
  }
  return !since || match.minutes >= dayOf(*since);
}

void keepLatest(std::vector<PlayerMatch>& matches, const History&, Filters& filters) {
  if (!filters.last) return;
  if (matches.size() > *filters.last) {
    matches.erase(matches.begin(), matches.end() - static_cast<std::ptrdiff_t>(*filters.last));
  }
  std::vector<std::uint32_t> kept;
  for (const PlayerMatch& found : matches) kept.push_back(found.match);
  std::sort(kept.begin(), kept.end());
  filters.onlyMatches = std::move(kept);
}

bool isRating(double mmr) {
  return std::isfinite(mmr) && mmr > 0;
}

std::optional<double> Figures::shootingRate() const {
  if (shots <= 0) return std::nullopt;
  return static_cast<double>(goals) / static_cast<double>(shots);
}

double Figures::perMatch(std::int64_t total) const {
  return matches == 0 ? 0.0 : static_cast<double>(total) / static_cast<double>(matches);
}

std::optional<OwnerChoice> chooseOwner(const History& history) {
  std::unordered_map<TextId, std::size_t> firstRows;
  std::optional<OwnerChoice> best;
  for (const Match& match : history.matches) {
    const TextId id = history.rows[match.firstRow].playerId;
    const std::size_t count = ++firstRows[id];
    if (!best || count > best->firstRows) best = OwnerChoice{id, count};
  }
  return best;
}

std::vector<PlayerMatch> findPlayerMatches(const History& history, TextId player,
                                           const Filters& filters) {
  std::vector<PlayerMatch> found;
  for (std::uint32_t index = 0; index < history.matches.size(); ++index) {
    const Match& match = history.matches[index];
    if (!filters.admits(history, match)) continue;
    for (std::uint32_t row = match.firstRow; row < match.firstRow + match.rowCount; ++row) {
      if (history.rows[row].playerId == player) {
        found.push_back({index, row});
        break;
      }
    }
  }
  std::stable_sort(found.begin(), found.end(), [&](const PlayerMatch& a, const PlayerMatch& b) {
    return history.matches[a.match].minutes < history.matches[b.match].minutes;
  });
  return found;
}

Summary summarise(const History& history, TextId player, const Filters& filters,
                  const std::vector<PlayerMatch>& matches) {
  Summary summary;
  summary.player = history.text(player);
  if (!matches.empty()) summary.playerName = history.text(history.rows[matches.back().row].name);
  summary.filters = filters;
  summary.overall.label = "all";
  std::map<std::string, Figures> byPlaylist;
  for (const PlayerMatch& found : matches) {
    const Match& match = history.matches[found.match];
    const Row& row = history.rows[found.row];
    Figures& figures = byPlaylist[history.playlists[match.playlist]];
    figures.label = history.playlists[match.playlist];
    addMatch(figures, row, match.minutes);
    addMatch(summary.overall, row, match.minutes);
  }
  // A rating belongs to one playlist: across playlists only the changes add up.
  summary.overall.firstMmr.reset();
  summary.overall.latestMmr.reset();
  summary.overall.mmrChange.reset();
  summary.overall.peakMmr.reset();
  for (auto& [name, figures] : byPlaylist) {
    if (figures.mmrChange) {
      summary.overall.mmrChange = summary.overall.mmrChange.value_or(0) + *figures.mmrChange;
    }
    summary.playlists.push_back(std::move(figures));
  }

  if (matches.size() > kRecentMatches) {
    Figures& recent = summary.recent.emplace();
    recent.label = fmt::format("last {}", kRecentMatches);
    std::map<std::string, Figures> recentByPlaylist;
    for (std::size_t i = matches.size() - kRecentMatches; i < matches.size(); ++i) {
      const Match& match = history.matches[matches[i].match];
      const Row& row = history.rows[matches[i].row];
      addMatch(recent, row, match.minutes);
      addMatch(recentByPlaylist[history.playlists[match.playlist]], row, match.minutes);
    }
    recent.firstMmr.reset();
    recent.latestMmr.reset();
    recent.peakMmr.reset();
    recent.mmrChange.reset();
    for (const auto& [name, figures] : recentByPlaylist) {
      if (figures.mmrChange) recent.mmrChange = recent.mmrChange.value_or(0) + *figures.mmrChange;
    }
  }

  if (matches.empty()) return summary;
  std::size_t first = matches.size() - 1;
  while (first > 0 && history.matches[matches[first].match].minutes -
                              history.matches[matches[first - 1].match].minutes <
                          kSessionGapMinutes) {
    --first;
  }
  std::map<std::string, Figures> sessionByPlaylist;
  Figures session;
  for (std::size_t i = first; i < matches.size(); ++i) {
    const Match& match = history.matches[matches[i].match];
    const Row& row = history.rows[matches[i].row];
    addMatch(session, row, match.minutes);
    addMatch(sessionByPlaylist[history.playlists[match.playlist]], row, match.minutes);
  }
  Session& last = summary.lastSession.emplace();
  last.firstMinutes = session.firstMinutes;
  last.latestMinutes = session.latestMinutes;
  last.matches = session.matches;
  last.wins = session.wins;
  last.losses = session.losses;
  for (const auto& [name, figures] : sessionByPlaylist) {
    if (!figures.mmrChange) continue;
    last.ratingChanges.push_back({name, *figures.mmrChange});
    last.mmrChange = last.mmrChange.value_or(0) + *figures.mmrChange;
  }
  return summary;
}

Companions findCompanions(const History& history, TextId player,
                          const std::vector<PlayerMatch>& matches, std::size_t limit) {
  std::unordered_map<TextId, Companion> teamMates;
  std::unordered_map<TextId, Companion> opponents;
  for (const PlayerMatch& found : matches) {
    const Match& match = history.matches[found.match];
    const Row& own = history.rows[found.row];
    for (std::uint32_t index = match.firstRow; index < match.firstRow + match.rowCount; ++index) {
      const Row& row = history.rows[index];
      // A local player on the other team is written twice; the copy is the player again.
      if (row.playerId == player) continue;
      Companion& met = (row.colour == own.colour ? teamMates : opponents)[row.playerId];
      met.playerId = row.playerId;
      met.name = row.name;
      if (met.names.size() < kNamesKept &&
          std::find(met.names.begin(), met.names.end(), row.name) == met.names.end()) {
        met.names.push_back(row.name);
      }
      ++met.matches;
      ++(own.win ? met.wins : met.losses);
    }
  }
  const auto ranked = [&](const std::unordered_map<TextId, Companion>& met) {
    std::vector<Companion> list;
    list.reserve(met.size());
    for (const auto& [id, companion] : met) list.push_back(companion);
    std::sort(list.begin(), list.end(), [&](const Companion& a, const Companion& b) {
      if (a.matches != b.matches) return a.matches > b.matches;
      return history.text(a.playerId) < history.text(b.playerId);
    });
    if (list.size() > limit) list.resize(limit);
    return list;
  };
  return {ranked(teamMates), ranked(opponents)};
}

}  // namespace tallyrig::stats

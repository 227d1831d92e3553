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
}

// A rating belongs to one playlist: across playlists only the changes add up.
void ratingsAcross(Figures& across, const std::map<std::string, Figures>& byPlaylist) {
  across.firstMmr.reset();
  across.latestMmr.reset();
  across.peakMmr.reset();
  across.mmrChange.reset();
  for (const auto& [name, figures] : byPlaylist) {
    if (figures.mmrChange) across.mmrChange = across.mmrChange.value_or(0) + *figures.mmrChange;
  }
}

// The day a match began on, counted from 1970-01-01.
std::int64_t dayNumber(std::int64_t minutes) {
  return minutes >= 0 ? minutes / 1440 : (minutes - 1439) / 1440;
}

// Calls `each(i, point)` with the trend at matches[i], for matches[from] and every later match.
template <typename Each>
void forEachTrendPoint(const History& history, const std::vector<PlayerMatch>& matches,
                       std::size_t from, Each each) {
  std::int64_t goals = 0;
  std::int64_t shots = 0;
  std::int64_t saves = 0;
  std::int64_t assists = 0;
  const auto add = [&](std::size_t i, std::int64_t sign) {
    const Counters& counters = history.rows[matches[i].row].counters;
    goals += sign * counters.goals;
    shots += sign * counters.shots;
    saves += sign * counters.saves;
    assists += sign * counters.assists;
  };
  const std::size_t windowStart = from + 1 >= kRecentMatches ? from + 1 - kRecentMatches : 0;
  for (std::size_t i = windowStart; i < from; ++i) add(i, 1);
  for (std::size_t i = from; i < matches.size(); ++i) {
    add(i, 1);
    if (i >= windowStart + kRecentMatches) add(i - kRecentMatches, -1);
    const auto count = static_cast<double>(std::min(i + 1, kRecentMatches));
    TrendPoint point;
    point.minutes = history.matches[matches[i].match].minutes;
    if (shots > 0) point.shootingRate = static_cast<double>(goals) / static_cast<double>(shots);
    point.saves = static_cast<double>(saves) / count;
    point.assists = static_cast<double>(assists) / count;
    point.goals = goals;
    point.shots = shots;
    each(i, point);
  }
}

std::vector<ChartDay> chartDays(const History& history, const std::vector<PlayerMatch>& matches) {
  std::map<std::int64_t, ChartDay> byDay;
  forEachTrendPoint(history, matches, 0, [&](std::size_t i, const TrendPoint& point) {
    ChartDay& day = byDay[dayNumber(point.minutes)];
    day.day = dayNumber(point.minutes);
    const Row& row = history.rows[matches[i].row];
    ++(row.win ? day.wins : day.losses);
    day.trend = point;
    if (!isRating(row.mmr)) return;
    const std::uint32_t playlist = history.matches[matches[i].match].playlist;
    std::erase_if(day.ratings, [&](const auto& rating) { return rating.first == playlist; });
    day.ratings.emplace_back(playlist, row.mmr);
  });
  std::vector<ChartDay> days;
  days.reserve(byDay.size());
  for (auto& [number, day] : byDay) days.push_back(std::move(day));
  return days;
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
  return !since || match.minutes >= dayOf(*since);
}

void keepLatest(std::vector<PlayerMatch>& matches, const Filters& filters) {
  if (filters.last && matches.size() > *filters.last) {
    matches.erase(matches.begin(), matches.end() - static_cast<std::ptrdiff_t>(*filters.last));
  }
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
  std::vector<TextId> inReadingOrder;
  for (const Match& match : history.matches) {
    const TextId id = history.rows[match.firstRow].playerId;
    if (firstRows[id]++ == 0) inReadingOrder.push_back(id);
  }
  // Counted to the end before choosing: a tie goes to the id read first, whichever reached
  // the count first.
  std::optional<OwnerChoice> best;
  for (const TextId id : inReadingOrder) {
    if (!best || firstRows[id] > best->firstRows) best = OwnerChoice{id, firstRows[id]};
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
  ratingsAcross(summary.overall, byPlaylist);
  for (auto& [name, figures] : byPlaylist) summary.playlists.push_back(std::move(figures));

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
    ratingsAcross(recent, recentByPlaylist);
  }

  if (matches.empty()) return summary;
  summary.sessions = periodsOf(history, matches, PeriodKind::Session, kPeriodsKept);
  summary.days = periodsOf(history, matches, PeriodKind::Day, kPeriodsKept);
  summary.trend =
      movingAverages(history, matches, matches.size() - std::min(matches.size(), kTrendKept));
  summary.companions = companionsPerPlaylist(history, player, matches);
  summary.everyDay = chartDays(history, matches);
  return summary;
}

Periods periodsOf(const History& history, const std::vector<PlayerMatch>& matches, PeriodKind kind,
                  std::size_t most) {
  const auto minutesOf = [&](std::size_t i) { return history.matches[matches[i].match].minutes; };
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < matches.size(); ++i) {
    const bool opens = i == 0 || (kind == PeriodKind::Session
                                      ? minutesOf(i) - minutesOf(i - 1) >= kSessionGapMinutes
                                      : dayNumber(minutesOf(i)) != dayNumber(minutesOf(i - 1)));
    if (opens) starts.push_back(i);
  }
  Periods periods;
  periods.total = starts.size();
  const std::size_t kept = std::min(most, starts.size());
  periods.latest.resize(kept);
  // Latest first, so that each period knows the rating each playlist's next match began with.
  std::map<std::string_view, double> nextStart;
  for (std::size_t k = 0; k < kept; ++k) {
    const std::size_t index = starts.size() - 1 - k;
    const std::size_t begin = starts[index];
    const std::size_t end = index + 1 < starts.size() ? starts[index + 1] : matches.size();
    Period& period = periods.latest[kept - 1 - k];
    std::map<std::string_view, std::pair<double, double>> ratings;  // first and latest
    for (std::size_t i = begin; i < end; ++i) {
      const Row& row = history.rows[matches[i].row];
      ++period.matches;
      ++(row.win ? period.wins : period.losses);
      if (!isRating(row.mmr)) continue;
      const std::string_view playlist =
          history.playlists[history.matches[matches[i].match].playlist];
      const auto [at, added] = ratings.try_emplace(playlist, row.mmr, row.mmr);
      if (!added) at->second.second = row.mmr;
    }
    period.firstMinutes = minutesOf(begin);
    period.latestMinutes = minutesOf(end - 1);
    for (const auto& [playlist, firstAndLatest] : ratings) {
      const auto next = nextStart.find(playlist);
      const double until = next != nextStart.end() ? next->second : firstAndLatest.second;
      period.ratingChanges.push_back({std::string(playlist), until - firstAndLatest.first});
      period.mmrChange = period.mmrChange.value_or(0) + (until - firstAndLatest.first);
      nextStart[playlist] = firstAndLatest.first;
    }
  }
  return periods;
}

std::vector<TrendPoint> movingAverages(const History& history,
                                       const std::vector<PlayerMatch>& matches, std::size_t from) {
  std::vector<TrendPoint> trend;
  if (from >= matches.size()) return trend;
  trend.reserve(matches.size() - from);
  forEachTrendPoint(history, matches, from,
                    [&](std::size_t, const TrendPoint& point) { trend.push_back(point); });
  return trend;
}

namespace {

inline constexpr std::size_t kNamesKept = 8;

// A player met, as the matches are counted: by text id, turned into a MetPlayer once ranked.
struct Tally {
  TextId playerId = 0;
  TextId name = 0;            // the latest name seen
  std::vector<TextId> names;  // every name seen, first seen first, at most kNamesKept
  std::size_t matches = 0;
  std::size_t wins = 0;
  std::size_t losses = 0;
};

// The players met in `matches` (one playlist's), at most kCompanionsKept a side.
PlaylistCompanions metIn(const History& history, TextId player, std::string_view playlist,
                         const std::vector<PlayerMatch>& matches) {
  std::unordered_map<TextId, Tally> teamMates;
  std::unordered_map<TextId, Tally> opponents;
  for (const PlayerMatch& found : matches) {
    const Match& match = history.matches[found.match];
    const Row& own = history.rows[found.row];
    for (std::uint32_t index = match.firstRow; index < match.firstRow + match.rowCount; ++index) {
      const Row& row = history.rows[index];
      // A local player on the other team is written twice; the copy is the player again.
      if (row.playerId == player) continue;
      Tally& met = (row.colour == own.colour ? teamMates : opponents)[row.playerId];
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
  const auto ranked = [&](const std::unordered_map<TextId, Tally>& met) {
    std::vector<const Tally*> list;
    list.reserve(met.size());
    for (const auto& [id, tally] : met) list.push_back(&tally);
    std::sort(list.begin(), list.end(), [&](const Tally* a, const Tally* b) {
      if (a->matches != b->matches) return a->matches > b->matches;
      return history.text(a->playerId) < history.text(b->playerId);
    });
    if (list.size() > kCompanionsKept) list.resize(kCompanionsKept);
    std::vector<MetPlayer> players;
    for (const Tally* tally : list) {
      MetPlayer& shown = players.emplace_back();
      shown.playerId = history.text(tally->playerId);
      shown.name = history.text(tally->name);
      for (const TextId name : tally->names) {
        if (name != tally->name) shown.otherNames.push_back(history.text(name));
      }
      shown.matches = tally->matches;
      shown.wins = tally->wins;
      shown.losses = tally->losses;
    }
    return players;
  };
  return {std::string(playlist), ranked(teamMates), ranked(opponents)};
}

}  // namespace

std::vector<PlaylistCompanions> companionsPerPlaylist(const History& history, TextId player,
                                                      const std::vector<PlayerMatch>& matches) {
  std::map<std::string_view, std::vector<PlayerMatch>> byPlaylist;
  for (const PlayerMatch& found : matches) {
    byPlaylist[history.playlists[history.matches[found.match].playlist]].push_back(found);
  }
  std::vector<PlaylistCompanions> perPlaylist;
  for (const auto& [playlist, played] : byPlaylist) {
    perPlaylist.push_back(metIn(history, player, playlist, played));
  }
  return perPlaylist;
}

}  // namespace tallyrig::stats

#include <algorithm>
#include <map>

#include "stats/outputs.h"
#include "stats/report.h"

namespace tallyrig::stats {
namespace {

using nlohmann::json;

// A period's first day: the day itself, the Monday of its week, or the first of its month.
std::int64_t periodStart(std::int64_t day, char grain) {
  if (grain == 'd') return day;
  if (grain == 'w') return day - ((day + 3) % 7 + 7) % 7;  // 1970-01-01 was a Thursday
  const LocalTime time = LocalTime::fromMinutes(day * 1440);
  return LocalTime{time.year, time.month, 1, 0, 0}.minutes() / 1440;
}

struct ChartPeriod {
  std::int64_t wins = 0;
  std::int64_t losses = 0;
  // The moving average and each playlist's rating at the period's latest match.
  std::optional<double> shooting;
  double saves = 0;
  double assists = 0;
  std::vector<std::optional<double>> ratings;
};

json optionalNumber(const std::optional<double>& value) {
  return value ? json(*value) : json(nullptr);
}

}  // namespace

json chartData(const History& history, const Summary& /*summary*/,
               const std::vector<PlayerMatch>& matches) {
  std::map<std::string, std::size_t> playlistIndex;
  for (const PlayerMatch& found : matches) {
    if (isRating(history.rows[found.row].mmr)) {
      playlistIndex.emplace(shownText(history.playlists[history.matches[found.match].playlist]), 0);
    }
  }
  json playlists = json::array();
  for (auto& [name, index] : playlistIndex) {
    index = playlists.size();
    playlists.push_back(name);
  }
  const auto ratingOf = [&](const PlayerMatch& found) -> std::optional<std::size_t> {
    if (!isRating(history.rows[found.row].mmr)) return std::nullopt;
    return playlistIndex.at(shownText(history.playlists[history.matches[found.match].playlist]));
  };
  const auto msOf = [](std::int64_t minutes) { return minutes * 60000; };

  json charts = {
      {"playlists", std::move(playlists)},
      {"matches", matches.size()},
      {"first", matches.empty() ? 0 : msOf(history.matches[matches.front().match].minutes)},
      {"latest", matches.empty() ? 0 : msOf(history.matches[matches.back().match].minutes)}};
  const std::size_t from = matches.size() - std::min(matches.size(), kChartMatches);
  const std::vector<TrendPoint> trend = movingAverages(history, matches, from);
  json perMatch = json::array();
  for (std::size_t i = from; i < matches.size(); ++i) {
    const Row& row = history.rows[matches[i].row];
    const std::optional<std::size_t> playlist = ratingOf(matches[i]);
    const TrendPoint& point = trend[i - from];
    perMatch.push_back(
        {msOf(point.minutes), playlist ? json(*playlist) : json(-1),
         playlist ? json(row.mmr) : json(nullptr),
         optionalNumber(point.shootingRate ? std::optional<double>(*point.shootingRate * 100)
                                           : std::nullopt),
         point.saves, point.assists, row.win ? 1 : 0});
  }
  charts["match"] = std::move(perMatch);
  for (const char grain : {'d', 'w', 'm'}) {
    std::map<std::int64_t, ChartPeriod> periods;
    // The moving average as it stood at each period's latest match.
    std::int64_t goals = 0;
    std::int64_t shots = 0;
    std::int64_t saves = 0;
    std::int64_t assists = 0;
    for (std::size_t i = 0; i < matches.size(); ++i) {
      const PlayerMatch& found = matches[i];
      const Counters& counters = history.rows[found.row].counters;
      goals += counters.goals;
      shots += counters.shots;
      saves += counters.saves;
      assists += counters.assists;
      if (i >= kRecentMatches) {
        const Counters& leaving = history.rows[matches[i - kRecentMatches].row].counters;
        goals -= leaving.goals;
        shots -= leaving.shots;
        saves -= leaving.saves;
        assists -= leaving.assists;
      }
      const auto window = static_cast<double>(std::min(i + 1, kRecentMatches));
      const std::int64_t minutes = history.matches[found.match].minutes;
      const std::int64_t day = minutes >= 0 ? minutes / 1440 : (minutes - 1439) / 1440;
      ChartPeriod& period = periods[periodStart(day, grain)];
      const Row& row = history.rows[found.row];
      ++(row.win ? period.wins : period.losses);
      period.shooting = shots == 0 ? std::nullopt
                                   : std::optional<double>(100.0 * static_cast<double>(goals) /
                                                           static_cast<double>(shots));
      period.saves = static_cast<double>(saves) / window;
      period.assists = static_cast<double>(assists) / window;
      if (const auto playlist = ratingOf(found)) {
        period.ratings.resize(playlistIndex.size());
        period.ratings[*playlist] = row.mmr;
      }
    }
    json rows = json::array();
    for (const auto& [day, period] : periods) {
      json ratings = json::array();
      for (std::size_t i = 0; i < playlistIndex.size(); ++i) {
        ratings.push_back(i < period.ratings.size() ? optionalNumber(period.ratings[i])
                                                    : json(nullptr));
      }
      rows.push_back({msOf(day * 1440), period.wins, period.losses, optionalNumber(period.shooting),
                      period.saves, period.assists, std::move(ratings)});
    }
    charts[std::string(1, grain)] = std::move(rows);
  }
  return charts;
}

}  // namespace tallyrig::stats

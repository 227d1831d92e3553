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
  std::size_t wins = 0;
  std::size_t losses = 0;
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

json chartData(const History& history, const Summary& summary,
               const std::vector<PlayerMatch>& matches) {
  // The playlists with a rating, by the name the page shows.
  std::map<std::string, std::size_t> playlistIndex;
  for (const Figures& figures : summary.playlists) {
    if (figures.firstMmr) playlistIndex.emplace(shownText(figures.label), 0);
  }
  json playlists = json::array();
  for (auto& [name, index] : playlistIndex) {
    index = playlists.size();
    playlists.push_back(name);
  }
  const auto indexOf = [&](std::uint32_t playlist) {
    return playlistIndex.at(shownText(history.playlists[playlist]));
  };
  const auto msOf = [](std::int64_t minutes) { return minutes * 60000; };

  const Figures& all = summary.overall;
  json charts = {{"playlists", std::move(playlists)},
                 {"matches", all.matches},
                 {"first", msOf(all.firstMinutes)},
                 {"latest", msOf(all.latestMinutes)}};
  static_assert(kChartMatches <= kTrendKept, "the summary's trend covers the charted matches");
  const std::size_t from = matches.size() - std::min(matches.size(), kChartMatches);
  const std::size_t trendFrom = matches.size() - summary.trend.size();
  json perMatch = json::array();
  for (std::size_t i = from; i < matches.size(); ++i) {
    const Row& row = history.rows[matches[i].row];
    const Match& match = history.matches[matches[i].match];
    const bool rated = isRating(row.mmr);
    const TrendPoint& point = summary.trend.at(i - trendFrom);
    perMatch.push_back(
        {msOf(point.minutes), rated ? json(indexOf(match.playlist)) : json(-1),
         rated ? json(row.mmr) : json(nullptr),
         optionalNumber(point.shootingRate ? std::optional<double>(*point.shootingRate * 100)
                                           : std::nullopt),
         point.saves, point.assists, row.win ? 1 : 0});
  }
  charts["match"] = std::move(perMatch);
  for (const char grain : {'d', 'w', 'm'}) {
    std::map<std::int64_t, ChartPeriod> periods;
    for (const ChartDay& day : summary.everyDay) {
      ChartPeriod& period = periods[periodStart(day.day, grain)];
      period.wins += day.wins;
      period.losses += day.losses;
      // The moving average as it stood at the period's latest match.
      const TrendPoint& trend = day.trend;
      period.shooting = trend.shots == 0
                            ? std::nullopt
                            : std::optional<double>(100.0 * static_cast<double>(trend.goals) /
                                                    static_cast<double>(trend.shots));
      period.saves = trend.saves;
      period.assists = trend.assists;
      for (const auto& [playlist, mmr] : day.ratings) {
        period.ratings.resize(playlistIndex.size());
        period.ratings[indexOf(playlist)] = mmr;
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

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "stats/outputs.h"

namespace tallyrig::stats {
namespace {

// Keys in the order a reader expects them, not sorted.
using json = nlohmann::ordered_json;

json optionalNumber(const std::optional<double>& value) {
  return value ? json(*value) : json(nullptr);
}

json streakWhen(const Streak& streak) {
  if (streak.length == 0) return nullptr;
  return {{"first_match", isoTime(streak.firstMinutes)},
          {"latest_match", isoTime(streak.latestMinutes)}};
}

json figuresJson(const Figures& figures) {
  json out = {
      {"matches", figures.matches},
      {"wins", figures.wins},
      {"losses", figures.losses},
      {"win_rate", figures.winRate()},
      {"per_match",
       {{"goals", figures.perMatch(figures.goals)},
        {"assists", figures.perMatch(figures.assists)},
        {"saves", figures.perMatch(figures.saves)},
        {"shots", figures.perMatch(figures.shots)},
        {"demos", figures.perMatch(figures.demos)},
        {"score", figures.perMatch(figures.score)}}},
      {"mmr_first", optionalNumber(figures.firstMmr)},
      {"mmr_latest", optionalNumber(figures.latestMmr)},
      {"mmr_change", optionalNumber(figures.mmrChange)},
      {"mmr_peak", optionalNumber(figures.peakMmr)},
      {"mmr_peak_when", figures.peakMmr ? json(isoTime(figures.peakMinutes)) : json(nullptr)},
      {"shooting_rate", optionalNumber(figures.shootingRate())},
      {"longest_win_streak", figures.longestWins.length},
      {"longest_win_streak_when", streakWhen(figures.longestWins)},
      {"longest_losing_streak", figures.longestLosses.length},
      {"longest_losing_streak_when", streakWhen(figures.longestLosses)},
      {"current_streak", figures.currentStreak.length == 0
                             ? json(nullptr)
                             : json{{"result", figures.currentStreak.win ? "WIN" : "LOSS"},
                                    {"length", figures.currentStreak.length}}},
      {"first_match", figures.matches == 0 ? json(nullptr) : json(isoTime(figures.firstMinutes))},
      {"latest_match", figures.matches == 0 ? json(nullptr) : json(isoTime(figures.latestMinutes))},
  };
  return out;
}

json periodJson(const Period& period) {
  json changes = json::object();
  for (const RatingChange& change : period.ratingChanges)
    changes[shownText(change.playlist)] = change.change;
  return {{"first_match", isoTime(period.firstMinutes)},
          {"latest_match", isoTime(period.latestMinutes)},
          {"matches", period.matches},
          {"wins", period.wins},
          {"losses", period.losses},
          {"mmr_change", optionalNumber(period.mmrChange)},
          {"mmr_change_per_playlist", std::move(changes)}};
}

json periodsJson(const Periods& periods) {
  json latest = json::array();
  for (const Period& period : periods.latest) latest.push_back(periodJson(period));
  return {{"total", periods.total}, {"latest", std::move(latest)}};
}

json metJson(const std::vector<MetPlayer>& players) {
  json list = json::array();
  for (const MetPlayer& met : players) {
    json names = json::array();
    for (const std::string& name : met.otherNames) names.push_back(shownText(name));
    list.push_back({{"player_id", shownText(met.playerId)},
                    {"name", shownText(met.name)},
                    {"other_names", std::move(names)},
                    {"matches", met.matches},
                    {"wins", met.wins},
                    {"losses", met.losses},
                    {"win_rate", met.winRate()}});
  }
  return list;
}

}  // namespace

std::string summaryJson(const Summary& summary) {
  json playlists = json::array();
  for (const Figures& figures : summary.playlists) {
    json entry = {{"playlist", shownText(figures.label)}};
    entry.update(figuresJson(figures));
    playlists.push_back(std::move(entry));
  }
  const Period* last = summary.lastSession();
  json session = last != nullptr ? periodJson(*last) : json(nullptr);
  json trend = json::array();
  for (const TrendPoint& point : summary.trend) {
    trend.push_back({{"match", isoTime(point.minutes)},
                     {"shooting_rate", optionalNumber(point.shootingRate)},
                     {"saves_per_match", point.saves},
                     {"assists_per_match", point.assists}});
  }
  json companions = json::array();
  for (const PlaylistCompanions& met : summary.companions) {
    companions.push_back({{"playlist", shownText(met.playlist)},
                          {"team_mates", metJson(met.teamMates)},
                          {"opponents", metJson(met.opponents)}});
  }
  const auto day = [](const std::optional<LocalDate>& date) {
    return date ? json(fmt::format("{:04}-{:02}-{:02}", date->year, date->month, date->day))
                : json(nullptr);
  };
  json playlistFilter = json::array();
  for (const std::string& name : summary.filters.playlists)
    playlistFilter.push_back(shownText(name));
  const json document = {
      {"player", shownText(summary.player)},
      {"player_name",
       summary.playerName.empty() ? json(nullptr) : json(shownText(summary.playerName))},
      {"filters",
       {{"since", day(summary.filters.since)},
        {"until", day(summary.filters.until)},
        {"last", summary.filters.last ? json(*summary.filters.last) : json(nullptr)},
        {"playlists", std::move(playlistFilter)}}},
      {"playlists", std::move(playlists)},
      {"overall", figuresJson(summary.overall)},
      {fmt::format("last_{}", kRecentMatches),
       summary.recent ? figuresJson(*summary.recent) : json(nullptr)},
      {"last_session", std::move(session)},
      {"days", periodsJson(summary.days)},
      {"sessions", periodsJson(summary.sessions)},
      {"trend", {{"window", kRecentMatches}, {"points", std::move(trend)}}},
      {"companions", std::move(companions)},
  };
  // Names and ids are whatever bytes the game gave; JSON must be UTF-8.
  return document.dump(2, ' ', false, json::error_handler_t::replace) + '\n';
}

}  // namespace tallyrig::stats

// Whose statistics, which matches and the figures: owner choice, time order, filters at their
// boundaries, streaks, ratings that are not ratings, sessions and days with their rating
// changes, the moving average and the people met.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <limits>

#include "stats/outputs.h"
#include "stats/summary.h"
#include "test_history.h"

namespace {

using namespace tallyrig::stats;
using tallyrig::stats::testing::addFile;
using tallyrig::stats::testing::blockText;
using tallyrig::stats::testing::TestRow;

const TestRow kOpponent{"Orange", "Cy", 0, "0", 0, false, "PS4|3|0"};

// One match of the player "Steam|1|0" with one opponent.
std::string match(std::string_view time, bool win, std::string_view mmr = "1000", int goals = 1) {
  TestRow own{"Blue", "Ana", goals, mmr, 2, win, "Steam|1|0"};
  TestRow other = kOpponent;
  other.win = !win;
  return blockText(time, {own, other});
}

TextId idOf(const History& history, std::string_view text) {
  const TextId* id = history.find(text);
  EXPECT_NE(id, nullptr) << text;
  return id == nullptr ? 0 : *id;
}

Summary summaryOf(const History& history, const Filters& filters = {}) {
  const TextId player = idOf(history, "Steam|1|0");
  return summarise(history, player, filters, findPlayerMatches(history, player, filters));
}

TEST(Owner, TheIdInTheFirstRowOfTheMostBlocks) {
  History history;
  const TestRow ana{"Blue", "Ana", 1, "0", 1, true, "Steam|1|0"};
  const TestRow bo{"Blue", "Bo", 1, "0", 1, true, "Epic|2|0"};
  addFile(history, "Duel",
          blockText("01/01/2026 10:00", {bo, ana}) + blockText("01/01/2026 11:00", {ana, bo}) +
              blockText("01/01/2026 12:00", {bo}) + blockText("01/01/2026 13:00", {ana}));
  // Two first rows each: the one read first wins the tie.
  EXPECT_EQ(history.text(chooseOwner(history)->player), "Epic|2|0");
  EXPECT_EQ(chooseOwner(history)->firstRows, 2u);
  addFile(history, "Duel", blockText("01/02/2026 10:00", {ana, bo}));
  EXPECT_EQ(history.text(chooseOwner(history)->player), "Steam|1|0");
  EXPECT_FALSE(chooseOwner(History{}));
  // A, B, B, A: B reaches two first, but A was read first.
  History tie;
  addFile(tie, "Duel",
          blockText("01/01/2026 10:00", {ana, bo}) + blockText("01/01/2026 11:00", {bo, ana}) +
              blockText("01/01/2026 12:00", {bo}) + blockText("01/01/2026 13:00", {ana}));
  EXPECT_EQ(tie.text(chooseOwner(tie)->player), "Steam|1|0");
  EXPECT_EQ(chooseOwner(tie)->firstRows, 2u);
}

TEST(PlayerMatches, OldestFirstAcrossFilesWithTiesInReadingOrder) {
  History history;
  addFile(history, "Duel",
          match("03/01/2025 10:00", true, "1") + match("01/01/2026 09:00", true, "2"), 2025);
  addFile(history, "Doubles",
          match("03/01/2025 10:00", true, "3") + match("02/01/2025 10:00", true, "4"), 2025);
  const TextId player = idOf(history, "Steam|1|0");
  std::vector<double> order;
  for (const PlayerMatch& found : findPlayerMatches(history, player, {})) {
    order.push_back(history.rows[found.row].mmr);
  }
  EXPECT_EQ(order, (std::vector<double>{4, 1, 3, 2}));
}

TEST(PlayerMatches, FiltersByDayFromItsFirstMinuteAndByPlaylist) {
  History history;
  addFile(history, "Duel",
          match("03/06/2024 23:59", true) + match("03/07/2024 00:00", true) +
              match("03/08/2024 12:00", true));
  addFile(history, "Doubles", match("03/07/2024 10:00", false));
  const TextId player = idOf(history, "Steam|1|0");
  Filters since;
  since.since = LocalDate{2024, 3, 7};
  EXPECT_EQ(findPlayerMatches(history, player, since).size(), 3u);
  since.playlists = {"Duel"};
  EXPECT_EQ(findPlayerMatches(history, player, since).size(), 2u);
  // Names as typed: any case; more than one playlist.
  since.playlists = {"dUEL"};
  EXPECT_EQ(findPlayerMatches(history, player, since).size(), 2u);
  since.playlists = {"duel", "DOUBLES"};
  EXPECT_EQ(findPlayerMatches(history, player, since).size(), 3u);
  since.playlists = {"Duels"};
  EXPECT_TRUE(findPlayerMatches(history, player, since).empty());
  // Until a day: to its last minute.
  Filters until;
  until.until = LocalDate{2024, 3, 7};
  EXPECT_EQ(findPlayerMatches(history, player, until).size(), 3u);
  until.until = LocalDate{2024, 3, 6};
  EXPECT_EQ(findPlayerMatches(history, player, until).size(), 1u);
  until.since = LocalDate{2024, 3, 7};
  EXPECT_TRUE(findPlayerMatches(history, player, until).empty());
}

TEST(Figures, CountsAveragesAndStreaks) {
  History history;
  std::string text;
  const bool results[] = {true, true, false, true, true, true, false, false};
  int hour = 10;
  for (const bool win : results) {
    text += match(fmt::format("05/01/2026 {:02}:00", hour++), win, "1000", win ? 2 : 0);
  }
  addFile(history, "Duel", text);
  const Figures& all = summaryOf(history).overall;
  EXPECT_EQ(all.matches, 8u);
  EXPECT_EQ(all.wins, 5u);
  EXPECT_EQ(all.losses, 3u);
  EXPECT_DOUBLE_EQ(all.winRate(), 5.0 / 8);
  EXPECT_DOUBLE_EQ(all.perMatch(all.goals), 10.0 / 8);
  EXPECT_DOUBLE_EQ(all.perMatch(all.demos), 4);
  EXPECT_EQ(all.longestWins.length, 3u);
  EXPECT_FALSE(all.currentStreak.win);
  EXPECT_EQ(all.currentStreak.length, 2u);
  // The longest runs and when: wins from 13:00 to 15:00; of the losses, the later run is longer.
  EXPECT_EQ(all.longestWins.length, 3u);
  EXPECT_EQ(isoTime(all.longestWins.firstMinutes), "2026-05-01T13:00");
  EXPECT_EQ(isoTime(all.longestWins.latestMinutes), "2026-05-01T15:00");
  EXPECT_EQ(all.longestLosses.length, 2u);
  EXPECT_EQ(isoTime(all.longestLosses.firstMinutes), "2026-05-01T16:00");
  EXPECT_EQ(isoTime(all.longestLosses.latestMinutes), "2026-05-01T17:00");
}

TEST(Figures, OnlyPositiveFiniteValuesAreRatings) {
  History history;
  addFile(history, "Duel",
          match("05/01/2026 10:00", true, "-1") + match("05/01/2026 11:00", true, "1204.5") +
              match("05/01/2026 12:00", true, "0") + match("05/01/2026 14:00", true, "1250"));
  addFile(history, "Doubles",
          match("05/01/2026 16:00", false, "900") + match("05/01/2026 17:00", false, "880.5"));
  addFile(history, "Chaos", match("05/01/2026 18:00", false, "0"));
  const Summary summary = summaryOf(history);
  ASSERT_EQ(summary.playlists.size(), 3u);
  EXPECT_EQ(summary.playlists[0].label, "Chaos");
  EXPECT_FALSE(summary.playlists[0].mmrChange);
  const Figures& duel = summary.playlists[2];
  EXPECT_EQ(duel.label, "Duel");
  EXPECT_EQ(duel.firstMmr, 1204.5);
  EXPECT_EQ(duel.latestMmr, 1250);
  EXPECT_EQ(duel.mmrChange, 45.5);
  EXPECT_EQ(summary.playlists[1].mmrChange, -19.5);
  // The peak is the highest rating, first reached at its time.
  EXPECT_EQ(duel.peakMmr, 1250);
  EXPECT_EQ(isoTime(duel.peakMinutes), "2026-05-01T14:00");
  EXPECT_EQ(summary.playlists[1].peakMmr, 900);
  EXPECT_FALSE(summary.playlists[0].peakMmr);
  // Across playlists only the changes add up.
  EXPECT_FALSE(summary.overall.firstMmr);
  EXPECT_FALSE(summary.overall.latestMmr);
  EXPECT_FALSE(summary.overall.peakMmr);
  EXPECT_EQ(summary.overall.mmrChange, 26);
  EXPECT_FALSE(isRating(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(isRating(std::numeric_limits<double>::infinity()));
}

TEST(Figures, TheLatest20AsOneOnlyWhenThereAreMore) {
  History history;
  std::string text;
  for (int i = 0; i < 21; ++i) {
    // The first match alone is a loss with 5 goals; its rating is the lowest.
    text += match(fmt::format("05/01/2026 {:02}:{:02}", 10 + i / 6, i % 6 * 10), i > 0,
                  i == 0 ? "900" : "1000", i == 0 ? 5 : 1);
  }
  addFile(history, "Duel", text);
  const Summary summary = summaryOf(history);
  ASSERT_TRUE(summary.recent);
  EXPECT_EQ(summary.recent->label, "last 20");
  EXPECT_EQ(summary.recent->matches, 20u);
  EXPECT_EQ(summary.recent->losses, 0u);
  EXPECT_DOUBLE_EQ(summary.recent->perMatch(summary.recent->goals), 1.0);
  EXPECT_EQ(summary.recent->mmrChange, 0);
  EXPECT_FALSE(summary.recent->firstMmr);
  EXPECT_EQ(summary.overall.mmrChange, 100);

  History twenty;
  addFile(twenty, "Duel", text.substr(text.find(kHeaderLine, 1)));
  EXPECT_FALSE(summaryOf(twenty).recent);
}

TEST(Figures, ShootingRateAndTheFirstOfEqualPeaks) {
  History history;
  addFile(history, "Duel",
          match("05/01/2026 10:00", true, "1100", 0) + match("05/01/2026 11:00", true, "1200", 3) +
              match("05/01/2026 12:00", false, "1200", 0));
  const Summary summary = summaryOf(history);
  const Figures& duel = summary.playlists[0];
  EXPECT_EQ(isoTime(duel.peakMinutes), "2026-05-01T11:00");
  // The test rows have 3 shots each.
  EXPECT_DOUBLE_EQ(*duel.shootingRate(), 3.0 / 9);
  Figures none;
  EXPECT_FALSE(none.shootingRate());
}

TEST(LastSession, GapsUnderAnHourBeforeTheLatestMatch) {
  History history;
  addFile(history, "Duel",
          match("05/01/2026 08:00", true, "990") + match("05/01/2026 09:00", false, "1000") +
              match("05/01/2026 09:59", true, "1010") + match("05/01/2026 10:58", true, "1020"));
  addFile(history, "Doubles",
          match("05/01/2026 10:30", false, "700") + match("05/01/2026 10:40", false, "690"));
  const Summary summary = summaryOf(history);
  ASSERT_TRUE(summary.lastSession());
  const Period& session = *summary.lastSession();
  // 08:00 to 09:00 is a full hour: the session starts at 09:00.
  EXPECT_EQ(session.firstMinutes, (LocalTime{2026, 5, 1, 9, 0}.minutes()));
  EXPECT_EQ(session.latestMinutes, (LocalTime{2026, 5, 1, 10, 58}.minutes()));
  EXPECT_EQ(session.matches, 5u);
  EXPECT_EQ(session.wins, 2u);
  EXPECT_EQ(session.losses, 3u);
  ASSERT_EQ(session.ratingChanges.size(), 2u);
  EXPECT_EQ(session.ratingChanges[0].playlist, "Doubles");
  EXPECT_EQ(session.ratingChanges[0].change, -10);
  EXPECT_EQ(session.ratingChanges[1].change, 20);
  EXPECT_EQ(session.mmrChange, 10);

  History single;
  addFile(single, "Duel", match("05/01/2026 08:00", true, "-1"));
  const Summary one = summaryOf(single);
  EXPECT_EQ(one.lastSession()->matches, 1u);
  EXPECT_FALSE(one.lastSession()->mmrChange);
}

std::string playedIn(std::string_view playlist, std::string_view time, std::string_view mmr,
                     bool win = true) {
  return fmt::format("{}|{}", playlist, match(time, win, mmr));
}

// Matches of two playlists in time order, each as "playlist|block".
History historyOf(const std::vector<std::string>& played) {
  History history;
  for (const std::string& entry : played) {
    const std::size_t bar = entry.find('|');
    addFile(history, entry.substr(0, bar), entry.substr(bar + 1));
  }
  return history;
}

TEST(Periods, ChangeRunsToTheRatingTheNextMatchBeganWith) {
  // 08:00 | 09:30 09:40 | 10:00 10:30 | 23:50, 00:10 the next day: four sessions over three days.
  const History history = historyOf({playedIn("Duel", "05/01/2026 08:00", "1000"),
                                     playedIn("Duel", "05/01/2026 09:30", "1010", false),
                                     playedIn("Doubles", "05/01/2026 09:40", "700"),
                                     playedIn("Duel", "05/02/2026 10:00", "1030"),
                                     playedIn("Duel", "05/02/2026 10:30", "-1"),
                                     playedIn("Doubles", "05/02/2026 23:50", "690", false),
                                     playedIn("Duel", "05/03/2026 00:10", "1025", false)});
  const TextId player = idOf(history, "Steam|1|0");
  const std::vector<PlayerMatch> matches = findPlayerMatches(history, player, {});
  const auto changes = [](const Period& period) {
    std::string text;
    for (const RatingChange& change : period.ratingChanges) {
      text += fmt::format("{} {:+g}; ", change.playlist, change.change);
    }
    return text + fmt::format("{}", period.mmrChange.value_or(-9999));
  };

  const Periods sessions = periodsOf(history, matches, PeriodKind::Session, 10);
  ASSERT_EQ(sessions.total, 4u);
  ASSERT_EQ(sessions.latest.size(), 4u);
  EXPECT_EQ(changes(sessions.latest[0]), "Duel +10; 10");
  EXPECT_EQ(changes(sessions.latest[1]), "Doubles -10; Duel +20; 10");
  EXPECT_EQ(changes(sessions.latest[2]), "Duel -5; -5");
  EXPECT_EQ(changes(sessions.latest[3]), "Doubles +0; Duel +0; 0");
  EXPECT_EQ(sessions.latest[1].matches, 2u);
  EXPECT_EQ(sessions.latest[1].wins, 1u);
  EXPECT_EQ(isoTime(sessions.latest[3].firstMinutes), "2026-05-02T23:50");
  EXPECT_EQ(isoTime(sessions.latest[3].latestMinutes), "2026-05-03T00:10");

  // Days split at midnight; their changes add up to each playlist's.
  const Periods days = periodsOf(history, matches, PeriodKind::Day, 10);
  ASSERT_EQ(days.total, 3u);
  EXPECT_EQ(changes(days.latest[0]), "Doubles -10; Duel +30; 20");
  EXPECT_EQ(changes(days.latest[1]), "Doubles +0; Duel -5; -5");
  EXPECT_EQ(changes(days.latest[2]), "Duel +0; 0");
  EXPECT_EQ(days.latest[1].matches, 3u);

  // Only the latest are kept, and they still see the later ones.
  const Periods two = periodsOf(history, matches, PeriodKind::Session, 2);
  EXPECT_EQ(two.total, 4u);
  ASSERT_EQ(two.latest.size(), 2u);
  EXPECT_EQ(changes(two.latest[0]), "Duel -5; -5");
  EXPECT_EQ(isoTime(two.latest[0].firstMinutes), "2026-05-02T10:00");

  const Summary summary = summarise(history, player, {}, matches);
  EXPECT_EQ(summary.sessions.total, 4u);
  EXPECT_EQ(summary.days.total, 3u);
  EXPECT_EQ(changes(*summary.lastSession()), "Doubles +0; Duel +0; 0");
  EXPECT_TRUE(periodsOf(history, {}, PeriodKind::Day, 10).latest.empty());
}

TEST(Trend, AMovingAverageOverTheLatest20) {
  History history;
  std::string text;
  for (int i = 0; i < 25; ++i) {
    TestRow own{"Blue", "Ana", i, "1000", 1, true, "Steam|1|0"};
    own.saves = i % 2;
    own.shots = i < 2 ? 0 : 4;
    text += blockText(fmt::format("05/01/2026 {:02}:{:02}", 10 + i / 6, i % 6 * 10), {own});
  }
  addFile(history, "Duel", text);
  const TextId player = idOf(history, "Steam|1|0");
  const std::vector<PlayerMatch> matches = findPlayerMatches(history, player, {});
  const std::vector<TrendPoint> all = movingAverages(history, matches);
  ASSERT_EQ(all.size(), 25u);
  // No shot yet: no rate; then over every match so far, up to the 20th.
  EXPECT_FALSE(all[0].shootingRate);
  EXPECT_FALSE(all[1].shootingRate);
  EXPECT_DOUBLE_EQ(*all[2].shootingRate, 3.0 / 4);
  EXPECT_DOUBLE_EQ(all[1].saves, 0.5);
  EXPECT_DOUBLE_EQ(*all[19].shootingRate, 190.0 / 72);
  // From the 21st, the window moves: matches 5 to 24.
  EXPECT_DOUBLE_EQ(*all[24].shootingRate, 290.0 / 80);
  EXPECT_DOUBLE_EQ(all[24].saves, 10.0 / 20);
  EXPECT_DOUBLE_EQ(all[24].assists, 1);
  EXPECT_EQ(isoTime(all[24].minutes), "2026-05-01T14:00");
  // The window's own goals and shots, of which the rate is the share.
  EXPECT_EQ(all[24].goals, 290);
  EXPECT_EQ(all[24].shots, 80);
  EXPECT_EQ(all[1].shots, 0);

  // Started part way, the same values.
  const std::vector<TrendPoint> tail = movingAverages(history, matches, 22);
  ASSERT_EQ(tail.size(), 3u);
  EXPECT_DOUBLE_EQ(*tail[0].shootingRate, *all[22].shootingRate);
  EXPECT_DOUBLE_EQ(*tail[2].shootingRate, *all[24].shootingRate);
  EXPECT_TRUE(movingAverages(history, matches, 25).empty());
  EXPECT_EQ(summarise(history, player, {}, matches).trend.size(), 25u);
}

// What the report's charts draw per day, week and month: each day's results, the trend as it
// stood at its latest match, and each playlist's latest rating, the one rated latest last.
TEST(Trend, EveryDayWithItsResultsTrendAndLatestRatings) {
  History history;
  addFile(history, "Duel",
          match("05/01/2026 10:00", true, "1000", 1) + match("05/01/2026 11:30", false, "1010", 2) +
              match("05/01/2026 23:59", true, "0", 3) +
              match("05/03/2026 00:00", false, "1020", 4));
  addFile(history, "Doubles", match("05/01/2026 10:30", false, "900", 5));
  const Summary summary = summaryOf(history);
  ASSERT_EQ(summary.everyDay.size(), 2u);
  const ChartDay& first = summary.everyDay[0];
  EXPECT_EQ(isoTime(first.day * 1440), "2026-05-01T00:00");
  EXPECT_EQ(first.wins, 2u);
  EXPECT_EQ(first.losses, 2u);
  // At 23:59, the day's latest match, which has no rating of its own.
  EXPECT_EQ(isoTime(first.trend.minutes), "2026-05-01T23:59");
  EXPECT_EQ(first.trend.goals, 11);
  EXPECT_EQ(first.trend.shots, 12);
  ASSERT_EQ(first.ratings.size(), 2u);
  EXPECT_EQ(history.playlists[first.ratings[0].first], "Doubles");
  EXPECT_EQ(first.ratings[0].second, 900);
  EXPECT_EQ(history.playlists[first.ratings[1].first], "Duel");
  EXPECT_EQ(first.ratings[1].second, 1010);
  const ChartDay& third = summary.everyDay[1];
  EXPECT_EQ(third.day, first.day + 2);
  EXPECT_EQ(third.wins, 0u);
  EXPECT_EQ(third.losses, 1u);
  EXPECT_DOUBLE_EQ(third.trend.saves, 2);
  EXPECT_EQ(third.trend.goals, 15);
  ASSERT_EQ(third.ratings.size(), 1u);
  EXPECT_EQ(third.ratings[0].second, 1020);
  // The trend at a day's latest match is the summary's trend there.
  EXPECT_EQ(summary.trend.back().goals, third.trend.goals);
  EXPECT_TRUE(summarise(history, 0, {}, {}).everyDay.empty());
}

TEST(Companions, TeamMatesAndOpponentsWithThePlayersResults) {
  History history;
  const TestRow ana{"Orange", "Ana", 1, "0", 1, true, "Steam|1|0"};
  const TestRow bo{"Orange", "Bo", 1, "0", 1, true, "Epic|2|0"};
  const TestRow boRenamed{"Orange", "Bo2", 1, "0", 1, false, "Epic|2|0"};
  const TestRow cy{"Blue", "Cy", 0, "0", 0, false, "PS4|3|0"};
  const TestRow di{"Blue", "Di", 0, "0", 0, false, "PS4|4|0"};
  // The local player on the other team is written again among the opponents.
  const TestRow anaAgain{"Blue", "Ana", 1, "0", 0, false, "Steam|1|0"};
  addFile(history, "Doubles",
          blockText("05/01/2026 08:00", {ana, bo, cy, di}) +
              blockText("05/01/2026 09:00", {ana, boRenamed, cy, anaAgain}));
  const TextId player = idOf(history, "Steam|1|0");
  const std::vector<PlayerMatch> matches = findPlayerMatches(history, player, {});
  const std::vector<PlaylistCompanions> doubles = companionsPerPlaylist(history, player, matches);
  ASSERT_EQ(doubles.size(), 1u);
  const PlaylistCompanions& met = doubles[0];
  ASSERT_EQ(met.teamMates.size(), 1u);
  EXPECT_EQ(met.teamMates[0].name, "Bo2");
  EXPECT_EQ(met.teamMates[0].matches, 2u);
  ASSERT_EQ(met.opponents.size(), 2u);
  EXPECT_EQ(met.opponents[0].playerId, "PS4|3|0");
  EXPECT_EQ(met.opponents[0].matches, 2u);
  EXPECT_EQ(met.opponents[0].wins, 2u);
  EXPECT_EQ(met.opponents[1].matches, 1u);

  // Per playlist, by name, each with the names the id has used besides the latest.
  const TestRow boOpposite{"Blue", "Bob", 0, "0", 0, false, "Epic|2|0"};
  addFile(history, "Chaos", blockText("05/01/2026 10:00", {ana, boOpposite}));
  const std::vector<PlaylistCompanions> perPlaylist =
      companionsPerPlaylist(history, player, findPlayerMatches(history, player, {}));
  ASSERT_EQ(perPlaylist.size(), 2u);
  EXPECT_EQ(perPlaylist[0].playlist, "Chaos");
  EXPECT_TRUE(perPlaylist[0].teamMates.empty());
  ASSERT_EQ(perPlaylist[0].opponents.size(), 1u);
  EXPECT_EQ(perPlaylist[0].opponents[0].name, "Bob");
  EXPECT_EQ(perPlaylist[0].opponents[0].wins, 1u);
  EXPECT_DOUBLE_EQ(perPlaylist[0].opponents[0].winRate(), 1.0);
  EXPECT_EQ(perPlaylist[1].playlist, "Doubles");
  ASSERT_EQ(perPlaylist[1].teamMates.size(), 1u);
  const MetPlayer& mate = perPlaylist[1].teamMates[0];
  EXPECT_EQ(mate.playerId, "Epic|2|0");
  EXPECT_EQ(mate.name, "Bo2");
  EXPECT_EQ(mate.otherNames, (std::vector<std::string>{"Bo"}));
  EXPECT_EQ(mate.matches, 2u);
  EXPECT_EQ(mate.wins, 2u);
  EXPECT_EQ(mate.losses, 0u);
}

TEST(Companions, AtMostTheKeptNumberASideTheMostMetFirstThenById) {
  History history;
  const TestRow ana{"Orange", "Ana", 1, "0", 1, true, "Steam|1|0"};
  std::vector<std::string> ids;
  for (std::size_t i = 0; i <= kCompanionsKept; ++i) ids.push_back(fmt::format("PS4|{:02}|0", i));
  std::string text;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    text += blockText(fmt::format("05/01/2026 {:02}:00", i),
                      {ana, {"Blue", "Op", 0, "0", 0, false, ids[i]}});
  }
  // The last one met twice comes first.
  text += blockText("05/01/2026 23:00", {ana, {"Blue", "Op", 0, "0", 0, false, ids.back()}});
  addFile(history, "Duel", text);
  const TextId player = idOf(history, "Steam|1|0");
  const auto met = companionsPerPlaylist(history, player, findPlayerMatches(history, player, {}));
  ASSERT_EQ(met.size(), 1u);
  ASSERT_EQ(met[0].opponents.size(), kCompanionsKept);
  EXPECT_EQ(met[0].opponents[0].playerId, ids.back());
  EXPECT_EQ(met[0].opponents[1].playerId, ids[0]);
  EXPECT_EQ(met[0].opponents.back().playerId, ids[kCompanionsKept - 2]);
}

}  // namespace

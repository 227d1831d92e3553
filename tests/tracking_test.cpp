// The match table: game-start snapshot, roster refresh and live statistic events.

#include "plugin_fixture.h"

namespace {

using pluginsdk::sim::Op;
using pluginsdk::sim::Pri;

class TrackingTest : public PluginFixture {
 protected:
  void SetUp() override {
    PluginFixture::SetUp();
    world.playlistId = 11;
  }
};

TEST_F(TrackingTest, SnapshotWritesSlotOfEachPlayerAtItsPriIndex) {
  Pri& ana = addPlayer("Ana", 0, 10, true);
  ana.goals = 0;
  ana.demolishes = 2;
  ana.score = 5;
  addPlayer("Spectator", 2, 11);
  addPlayer("Cy", 1, 12);
  world.setRating(ana.uniqueId, 11, 1204.5f);
  playerTable[1].name = "stale";
  load();
  startGame();
  EXPECT_EQ(matchState.playlistId, 11);
  EXPECT_EQ(matchState.playerCount, 3);
  EXPECT_EQ(matchState.localTeam, 0);
  EXPECT_EQ(playerTable[0].name, "Ana");
  EXPECT_EQ(playerTable[0].demolitions, 2);
  EXPECT_EQ(playerTable[0].score, 5);
  EXPECT_EQ(playerTable[0].playerId, 10);
  EXPECT_EQ(playerTable[0].uniqueId, "Steam|10|0");
  EXPECT_EQ(playerTable[0].mmr, 1204.5f);
  EXPECT_EQ(playerTable[1].name, "stale");  // team 2 leaves its slot alone
  EXPECT_EQ(playerTable[2].name, "Cy");
  EXPECT_EQ(playerTable[2].team, 1);
  EXPECT_EQ(playerTable[2].mmr, 0.0f);  // not on the local team
}

TEST_F(TrackingTest, RatingComesFromTheRatingServicesCurrentPlaylist) {
  Pri& ana = addPlayer("Ana", 1, 1, true);
  Pri& bo = addPlayer("Bo", 1, 2);
  world.ratingPlaylist = 13;
  world.setRating(ana.uniqueId, 11, 1.0f);
  world.setRating(ana.uniqueId, 13, 1313.0f);
  world.setRating(bo.uniqueId, 13, 1200.0f);
  load();
  startGame();
  EXPECT_EQ(matchState.localTeam, 1);
  EXPECT_EQ(playerTable[0].mmr, 1313.0f);
  EXPECT_EQ(playerTable[1].mmr, 1200.0f);
}

TEST_F(TrackingTest, WithoutLocalPriTheEarlierLocalTeamStaysAndChoosesRatings) {
  matchState.localTeam = 1;
  Pri& bo = addPlayer("Bo", 0, 2);
  Pri& cy = addPlayer("Cy", 1, 3);
  world.setRating(bo.uniqueId, 11, 1000.0f);
  world.setRating(cy.uniqueId, 11, 900.0f);
  load();
  startGame();
  EXPECT_EQ(matchState.localTeam, 1);
  EXPECT_EQ(playerTable[0].mmr, 0.0f);
  EXPECT_EQ(playerTable[1].mmr, 900.0f);
}

TEST_F(TrackingTest, StartOutsideAValidOnlineGameChangesNothing) {
  addPlayer("Ana", 0, 1, true);
  load();
  for (const auto breakWorld : {+[](pluginsdk::sim::World& w) { w.online = false; },
                                +[](pluginsdk::sim::World& w) { w.gameStateValid = false; },
                                +[](pluginsdk::sim::World& w) { w.playlistValid = false; }}) {
    world.online = world.gameStateValid = world.playlistValid = true;
    breakWorld(world);
    startGame();
    EXPECT_EQ(matchState.playerCount, 0);
    EXPECT_EQ(playerTable[0].playerId, -1);
  }
}

TEST_F(TrackingTest, StartAfterGoalsRefreshesInsteadAndAddsNoRow) {
  Pri& ana = addPlayer("Ana", 0, 1, true);
  Pri& bo = addPlayer("Bo", 1, 2);
  world.setRating(ana.uniqueId, 11, 1500.0f);
  load();
  startGame();
  ++playerTable[0].demolitions;
  ana.goals = 1;
  ana.demolishes = 9;
  bo.team = 0;
  ana.local = false;
  bo.local = true;
  addPlayer("Late", 1, 3);
  world.playlistId = 13;
  startGame();
  EXPECT_EQ(matchState.playlistId, 13);
  EXPECT_EQ(matchState.playerCount, 3);
  EXPECT_EQ(matchState.localTeam, 0);
  EXPECT_EQ(playerTable[0].goals, 1);
  EXPECT_EQ(playerTable[0].demolitions, 1);  // kept, not the game's 9
  EXPECT_EQ(playerTable[0].mmr, 1500.0f);
  EXPECT_EQ(playerTable[1].team, 0);
  EXPECT_EQ(playerTable[2].playerId, -1);  // the late joiner got no row
}

TEST_F(TrackingTest, RefreshFindsRowsByPlayerIdAfterAReorder) {
  Pri& ana = addPlayer("Ana", 0, 1, true);
  Pri& bo = addPlayer("Bo", 1, 2);
  load();
  startGame();
  playerTable[0].demolitions = 4;
  world.reorderArray({&bo, &ana});
  ana.goals = 2;
  ana.name = "Ana2";
  bo.shots = 3;
  statEvent(&ana, "Goal");
  EXPECT_EQ(playerTable[0].name, "Ana2");
  EXPECT_EQ(playerTable[0].goals, 2);
  EXPECT_EQ(playerTable[0].demolitions, 4);
  EXPECT_EQ(playerTable[1].shots, 3);
}

TEST_F(TrackingTest, RefreshRewritesOnlyTheFirstRowWithThatId) {
  addPlayer("Ana", 0, 1, true);
  addPlayer("Bo", 0, 2);
  load();
  startGame();
  playerTable[1].playerId = 1;  // a stale row sharing Ana's id
  playerTable[1].name = "stale";
  world.findPri("Ana")->goals = 1;
  statEvent(nullptr, "Goal");
  EXPECT_EQ(playerTable[0].goals, 1);
  EXPECT_EQ(playerTable[1].name, "stale");
}

TEST_F(TrackingTest, TeamChangeFollowedButTeamTwoKeepsTheLastRefresh) {
  Pri& ana = addPlayer("Ana", 0, 1, true);
  load();
  startGame();
  ana.team = 1;
  statEvent(&ana, "Shot");
  EXPECT_EQ(playerTable[0].team, 1);
  ana.team = 2;
  ana.goals = 5;
  statEvent(&ana, "Goal");
  EXPECT_EQ(playerTable[0].team, 1);
  EXPECT_EQ(playerTable[0].goals, 0);
}

TEST_F(TrackingTest, DemolishCountsEveryMatchingRowAndSurvivesRefreshes) {
  Pri& ana = addPlayer("Ana", 0, 1, true);
  Pri& bo = addPlayer("Bo", 1, 2);
  addPlayer("Cy", 1, 3);
  addPlayer("Di", 0, 4);
  load();
  startGame();
  playerTable[3].playerId = 2;  // duplicate id: both rows count
  statTicker(&bo, &ana, "Demolish");
  EXPECT_EQ(playerTable[1].demolitions, 1);
  EXPECT_EQ(playerTable[3].demolitions, 1);
  EXPECT_EQ(playerTable[0].demolitions, 0);
  bo.demolishes = 7;
  statEvent(&bo, "Shot");
  statTicker(&ana, &bo, "Goal");
  EXPECT_EQ(playerTable[1].demolitions, 1);
}

TEST_F(TrackingTest, OnlyTheExactNameDemolishCounts) {
  Pri& ana = addPlayer("Ana", 0, 1, true);
  load();
  startGame();
  for (const char* name : {"demolish", "DEMOLISH", "Demolis", "Demolish ", "Demolished", ""}) {
    statTicker(&ana, nullptr, name);
  }
  EXPECT_EQ(playerTable[0].demolitions, 0);
  statTicker(&ana, nullptr, "Demolish");
  EXPECT_EQ(playerTable[0].demolitions, 1);
}

TEST_F(TrackingTest, DemolishCountsOutsideAnOnlineGameToo) {
  Pri& ana = addPlayer("Ana", 0, 1, true);
  load();
  startGame();
  world.online = false;
  ana.goals = 3;
  statTicker(&ana, nullptr, "Demolish");
  EXPECT_EQ(playerTable[0].demolitions, 1);
  EXPECT_EQ(playerTable[0].goals, 0);  // the refresh itself is gated
}

TEST_F(TrackingTest, BeforeAnyGameStartNothingIsCounted) {
  Pri& ana = addPlayer("Ana", 0, -1);  // the id an empty row carries
  load();
  statTicker(&ana, nullptr, "Demolish");
  statEvent(&ana, "Goal");
  for (const PlayerRecord& row : playerTable) EXPECT_EQ(row.demolitions, 0);
}

TEST_F(TrackingTest, NullWordsReadAsNullHandles) {
  addPlayer("Ana", 0, 0, true);  // player id 0 is what a null PRI reports
  load();
  startGame();
  std::uint64_t ticker[3] = {0, 0, 0};
  world.callHookWithCaller(kStatTickerHook, ticker);
  std::uint64_t event[2] = {0, 0};
  world.callHookWithCaller(kStatEventHook, event);
  EXPECT_EQ(playerTable[0].demolitions, 0);  // a null event has an empty name
  ticker[2] = world.statEventAddress("Demolish");
  world.callHookWithCaller(kStatTickerHook, ticker);
  EXPECT_EQ(playerTable[0].demolitions, 1);
}

TEST_F(TrackingTest, TwelvePrisStayWithinTheEightSlots) {
  for (int i = 0; i < 12; ++i) addPlayer("P" + std::to_string(i), i % 2 ? 1 : 0, 100 + i, i == 0);
  load();
  startGame();
  EXPECT_EQ(matchState.playerCount, 12);
  EXPECT_EQ(playerTable[7].playerId, 107);
  Pri* last = world.findPri("P11");
  last->goals = 1;
  statTicker(last, nullptr, "Demolish");
  statEvent(last, "Goal");
  endMatch();
  for (const PlayerRecord& row : playerTable) EXPECT_NE(row.playerId, 111);
}

TEST_F(TrackingTest, FaultMidSnapshotKeepsWhatWasWritten) {
  addPlayer("Ana", 0, 1, true);
  addPlayer("Bo", 1, 2);
  load();
  // Ana's snapshot reads GetPlayerID once; Bo's read is the second call.
  pluginsdk::sim::injectFault(Op::GetPlayerID, 1);
  EXPECT_THROW(startGame(), std::runtime_error);
  EXPECT_EQ(matchState.playerCount, 2);
  EXPECT_EQ(playerTable[0].playerId, 1);
  EXPECT_EQ(playerTable[1].playerId, -1);
}

}  // namespace

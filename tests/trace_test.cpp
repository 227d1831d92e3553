// The road each handler takes through the SDK: every call, in order, on which object and with
// which arguments. The expected traces follow the handlers' documented steps one call per line;
// the same output reached by another order of calls is still a fault, because the real game
// changes between calls.

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "plugin_fixture.h"

namespace {

using pluginsdk::sim::Pri;
using Trace = std::vector<std::string>;

Trace operator+(Trace head, const Trace& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

std::string priCall(const std::string& ref, const std::string& call) {
  return "pri:" + ref + "." + call + "()";
}

std::string get(std::size_t index) {
  return "pris.Get(" + std::to_string(index) + ")";
}

// One read from a fresh PriWrapper that Get gives for the index.
Trace read(std::size_t index, const std::string& ref, const std::string& call) {
  return {get(index), priCall(ref, call)};
}

// The tests every routine that reads the match passes first, then its PRI array.
Trace matchChecks() {
  return {
      "game.IsInOnlineGame()",       // an online game
      "game.GetCurrentGameState()",  // the game state
      "gameState.operator bool()",   //   is valid
      "gameState.GetPlaylist()",     // its playlist
      "playlist.operator bool()",    //   is valid
      "game.GetOnlineGame()",        // the PRIs come from the online game,
      "onlineGame.GetPRIs()",        //   not from the game state
  };
}

// Goal sum at game start: every PRI's goals, Count() asked again before each step.
Trace goalSum(const std::vector<std::string>& refs) {
  Trace trace;
  for (std::size_t i = 0; i < refs.size(); ++i) {
    trace = trace + Trace{"pris.Count()"} + read(i, refs[i], "GetMatchGoals");
  }
  return trace + Trace{"pris.Count()"};
}

// Local team at game start: every PRI is asked, a local one then gives its team.
Trace localTeamWalk(const std::vector<std::pair<std::string, bool>>& pris) {
  Trace trace;
  for (std::size_t i = 0; i < pris.size(); ++i) {
    trace = trace + Trace{"pris.Count()"} + read(i, pris[i].first, "IsLocalPlayerPRI");
    if (pris[i].second) trace = trace + read(i, pris[i].first, "GetTeamNum");
  }
  return trace + Trace{"pris.Count()"};
}

// The reads of one player on the refresh, in order; no demolitions, no rating.
Trace refreshReads(std::size_t i, const std::string& ref) {
  return read(i, ref, "GetPlayerName") + Trace{"pri:" + ref + ".name.ToString()"} +
         read(i, ref, "GetMatchGoals") + read(i, ref, "GetMatchAssists") +
         read(i, ref, "GetMatchSaves") + read(i, ref, "GetMatchShots") +
         read(i, ref, "GetMatchScore") + read(i, ref, "GetPlayerID") +
         read(i, ref, "GetUniqueIdWrapper") + Trace{"pri:" + ref + ".id.GetIdString()"};
}

// A whole refresh: the checks, then per PRI its team and, for a player, its reads.
Trace refresh(const std::vector<std::pair<std::string, int>>& pris) {
  Trace trace = matchChecks();
  for (std::size_t i = 0; i < pris.size(); ++i) {
    trace = trace + Trace{"pris.Count()"} + read(i, pris[i].first, "GetTeamNum");
    if (pris[i].second < 2) trace = trace + refreshReads(i, pris[i].first);
  }
  return trace + Trace{"pris.Count()"};
}

// The snapshot of one player at game start: the refresh's reads with demolitions between shots
// and score, then the team read again to decide the rating.
Trace snapshotReads(std::size_t i, const std::string& ref, bool rated, int ratingPlaylist) {
  Trace trace = read(i, ref, "GetPlayerName") + Trace{"pri:" + ref + ".name.ToString()"} +
                read(i, ref, "GetMatchGoals") + read(i, ref, "GetMatchAssists") +
                read(i, ref, "GetMatchSaves") + read(i, ref, "GetMatchShots") +
                read(i, ref, "GetMatchDemolishes") + read(i, ref, "GetMatchScore") +
                read(i, ref, "GetPlayerID") + read(i, ref, "GetUniqueIdWrapper") +
                Trace{"pri:" + ref + ".id.GetIdString()"} + read(i, ref, "GetTeamNum");
  if (!rated) return trace;
  return trace + Trace{"game.GetMMRWrapper()"} + read(i, ref, "GetUniqueIdWrapper") +
         Trace{
             "mmr.GetCurrentPlaylist()",  // the rating service's playlist, not playlistId
             "mmr.GetPlayerMMR(pri:" + ref + ".id, " + std::to_string(ratingPlaylist) + ")",
         };
}

class TraceTest : public PluginFixture {
 protected:
  void SetUp() override {
    PluginFixture::SetUp();
    world.playlistId = 11;
  }

  Trace traceOf(const std::function<void()>& action) {
    pluginsdk::sim::startTrace(world);
    action();
    return pluginsdk::sim::takeTrace();
  }

  void statTickerFrom(const std::string& actor, const std::string& event) {
    statTicker(world.findPri(actor), nullptr, event);
  }
};

TEST_F(TraceTest, OnLoadRegistersHooksAndNotifierInOrder) {
  plugin = *getPlugin();
  plugin->consoleManager = world.makeConsole();
  plugin->gameAccess = world.makeGameWrapper();
  EXPECT_EQ(traceOf([&] { plugin->onLoad(); }),
            (Trace{
                "game.HookEvent(\"Function ProjectX.GRI_X.EventGameStarted\")",
                "game.HookEvent(\"Function TAGame.GameEvent_Soccar_TA.EventMatchEnded\")",
                "game.GetMMRWrapper()",       // an MMRWrapper from gameAccess
                "mmr.RegisterMMRNotifier()",  // the rating notifier, on it
                "game.HookEventWithCallerPost(\"Function TAGame.GFxHUD_TA."
                "HandleStatTickerMessage\")",
                "game.HookEventWithCallerPost(\"Function TAGame.GFxHUD_TA.HandleStatEvent\")",
            }));
}

TEST_F(TraceTest, RatingNotificationReadsPlaylistElevenThenTheIdThenLogs) {
  world.playlistId = 13;
  world.setRating("Steam|1|0", 11, 1234.5f);
  load();
  EXPECT_EQ(traceOf([&] { world.notifyRating("Steam|1|0"); }),
            (Trace{
                "game.GetMMRWrapper()",                      // a fresh MMRWrapper
                "mmr.GetPlayerMMR(id:Steam|1|0, 11)",        // the rating in playlist 11
                "id:Steam|1|0.GetIdString()",                // then the id's text
                "console.log(\"Steam|1|0 MMR is: 1234.5\")"  // one line on logConsole
            }));
}

TEST_F(TraceTest, GameStartWithoutGoalsTakesASnapshotOfEveryPlayer) {
  addPlayer("Ana", 0, 1, true);
  addPlayer("Watcher", 2, 9);
  addPlayer("Cy", 1, 3);
  world.ratingPlaylist = 13;
  load();
  const Trace expected = matchChecks() +
                         Trace{
                             "playlist.GetPlaylistId()",  // playlistId
                             "pris.Count()",              // playerCount
                         } +
                         goalSum({"Ana", "Watcher", "Cy"}) +
                         localTeamWalk({{"Ana", true}, {"Watcher", false}, {"Cy", false}}) +
                         // No goal: slot i for each PRI i on team 0 or 1.
                         Trace{"pris.Count()"} + read(0, "Ana", "GetTeamNum") +
                         snapshotReads(0, "Ana", true, 13) + Trace{"pris.Count()"} +
                         read(1, "Watcher", "GetTeamNum") +  // team 2: passed over
                         Trace{"pris.Count()"} + read(2, "Cy", "GetTeamNum") +
                         snapshotReads(2, "Cy", false, 13) + Trace{"pris.Count()"};
  EXPECT_EQ(traceOf([&] { startGame(); }), expected);
  EXPECT_EQ(matchState.playerCount, 3);
  EXPECT_EQ(playerTable[2].playerId, 3);
  EXPECT_EQ(playerTable[1].playerId, -1);
}

TEST_F(TraceTest, GameStartAfterGoalsRefreshesInsteadOfASnapshot) {
  Pri& ana = addPlayer("Ana", 0, 1, true);
  addPlayer("Cy", 1, 3);
  load();
  startGame();
  ana.goals = 1;
  const Trace expected = matchChecks() + Trace{"playlist.GetPlaylistId()", "pris.Count()"} +
                         goalSum({"Ana", "Cy"}) + localTeamWalk({{"Ana", true}, {"Cy", false}}) +
                         refresh({{"Ana", 0}, {"Cy", 1}});
  EXPECT_EQ(traceOf([&] { startGame(); }), expected);
}

TEST_F(TraceTest, LocalTeamWalkAsksEveryPriAndTheLastLocalOneWins) {
  addPlayer("Ana", 0, 1, true);
  addPlayer("Bo", 1, 2, true);
  addPlayer("Cy", 1, 3);
  load();
  const Trace trace = traceOf([&] { startGame(); });
  const Trace walk = localTeamWalk({{"Ana", true}, {"Bo", true}, {"Cy", false}});
  const Trace head = matchChecks() + Trace{"playlist.GetPlaylistId()", "pris.Count()"} +
                     goalSum({"Ana", "Bo", "Cy"}) + walk;
  ASSERT_GE(trace.size(), head.size());
  EXPECT_EQ(Trace(trace.begin(), trace.begin() + static_cast<std::ptrdiff_t>(head.size())), head);
  EXPECT_EQ(matchState.localTeam, 1);
  // Rated by the last local PRI's team: Bo and Cy, not Ana.
  EXPECT_EQ(
      std::count_if(trace.begin(), trace.end(),
                    [](const std::string& line) { return line.rfind("mmr.GetPlayerMMR", 0) == 0; }),
      2);
}

TEST_F(TraceTest, GameStartWithoutLocalPriKeepsTheTeamAndAsksEveryPri) {
  addPlayer("Ana", 0, 1);
  addPlayer("Cy", 1, 3);
  matchState.localTeam = 1;
  load();
  const Trace trace = traceOf([&] { startGame(); });
  const Trace head = matchChecks() + Trace{"playlist.GetPlaylistId()", "pris.Count()"} +
                     goalSum({"Ana", "Cy"}) + localTeamWalk({{"Ana", false}, {"Cy", false}});
  ASSERT_GE(trace.size(), head.size());
  EXPECT_EQ(Trace(trace.begin(), trace.begin() + static_cast<std::ptrdiff_t>(head.size())), head);
  EXPECT_EQ(matchState.localTeam, 1);
}

TEST_F(TraceTest, StatEventRefreshesByTheOnlineGamesPris) {
  addPlayer("Ana", 0, 1, true);
  addPlayer("Cy", 1, 3);
  load();
  startGame();
  addPlayer("Watcher", 2, 8);
  addPlayer("Late", 1, 7);  // no row: read, then passed over
  EXPECT_EQ(traceOf([&] { statEvent(world.findPri("Cy"), "Goal"); }),
            refresh({{"Ana", 0}, {"Cy", 1}, {"Watcher", 2}, {"Late", 1}}));
}

TEST_F(TraceTest, DemolishAsksTheActorOncePerRowThenRefreshes) {
  addPlayer("Ana", 0, 1, true);
  addPlayer("Cy", 1, 3);
  addPlayer("Twin", 1, 3);  // the same player id in two rows: both count
  load();
  startGame();
  const Trace expected =
      Trace{"event:Demolish.GetEventName()"} +
      Trace{"pri:Cy.GetPlayerID()", "pri:Cy.GetPlayerID()", "pri:Cy.GetPlayerID()"} +
      refresh({{"Ana", 0}, {"Cy", 1}, {"Twin", 1}});
  EXPECT_EQ(traceOf([&] { statTickerFrom("Cy", "Demolish"); }), expected);
  EXPECT_EQ(playerTable[0].demolitions, 0);
  EXPECT_EQ(playerTable[1].demolitions, 1);
  EXPECT_EQ(playerTable[2].demolitions, 1);
}

TEST_F(TraceTest, OtherTickerMessagesOnlyRefresh) {
  addPlayer("Ana", 0, 1, true);
  addPlayer("Cy", 1, 3);
  load();
  startGame();
  EXPECT_EQ(traceOf([&] { statTickerFrom("Cy", "demolish"); }),
            Trace{"event:demolish.GetEventName()"} + refresh({{"Ana", 0}, {"Cy", 1}}));
}

class MatchEndTraceTest : public TraceTest {
 protected:
  // Ana (local) and Bo on team 0, Cy and Di on team 1.
  void startDoubles() {
    addPlayer("Ana", 0, 1, true);
    addPlayer("Bo", 0, 2);
    addPlayer("Cy", 1, 3);
    addPlayer("Di", 1, 4);
    load();
    startGame();
  }

  // The two walks that ask the PRIs: the local player, then the team-mates; the opponents'
  // walk asks none.
  static Trace rowWalks(const std::vector<std::string>& refs, std::size_t rows) {
    Trace trace;
    for (int walk = 0; walk < 2; ++walk) {
      for (std::size_t i = 0; i < rows; ++i) {
        if (i < refs.size()) trace = trace + read(i, refs[i], "IsLocalPlayerPRI");
      }
    }
    return trace;
  }
};

TEST_F(MatchEndTraceTest, WithGoalsRefreshesThenOpensTheFileThenWalksTheRows) {
  startDoubles();
  world.findPri("Bo")->goals = 1;
  const Trace expected = matchChecks() + refresh({{"Ana", 0}, {"Bo", 0}, {"Cy", 1}, {"Di", 1}}) +
                         Trace{
                             "game.GetDataFolder()",  // the root of the statistics files
                             "pris.Count()",          // the walks never pass the array's end
                         } +
                         rowWalks({"Ana", "Bo", "Cy", "Di"}, 4);
  EXPECT_EQ(traceOf([&] { endMatch(); }), expected);
}

TEST_F(MatchEndTraceTest, ADrawTakesTheSameRoad) {
  startDoubles();
  world.findPri("Bo")->goals = 2;
  world.findPri("Di")->goals = 2;
  const Trace expected = matchChecks() + refresh({{"Ana", 0}, {"Bo", 0}, {"Cy", 1}, {"Di", 1}}) +
                         Trace{"game.GetDataFolder()", "pris.Count()"} +
                         rowWalks({"Ana", "Bo", "Cy", "Di"}, 4);
  EXPECT_EQ(traceOf([&] { endMatch(); }), expected);
}

TEST_F(MatchEndTraceTest, NilNilOpensTheFileAndAsksNoPri) {
  startDoubles();
  const Trace expected = matchChecks() + refresh({{"Ana", 0}, {"Bo", 0}, {"Cy", 1}, {"Di", 1}}) +
                         Trace{"game.GetDataFolder()"};
  EXPECT_EQ(traceOf([&] { endMatch(); }), expected);
}

TEST_F(MatchEndTraceTest, AShortPriArrayIsAskedOnlyWithinItsEnd) {
  startDoubles();
  world.findPri("Cy")->goals = 1;
  world.removeFromArray(*world.findPri("Di"));
  const Trace expected = matchChecks() + refresh({{"Ana", 0}, {"Bo", 0}, {"Cy", 1}}) +
                         Trace{"game.GetDataFolder()", "pris.Count()"} +
                         rowWalks({"Ana", "Bo", "Cy"}, 4);
  EXPECT_EQ(traceOf([&] { endMatch(); }), expected);
}

TEST_F(MatchEndTraceTest, OutsideAnOnlineGameStopsAtTheFirstTest) {
  startDoubles();
  world.online = false;
  EXPECT_EQ(traceOf([&] { endMatch(); }), Trace{"game.IsInOnlineGame()"});
  world.online = true;
  world.gameStateValid = false;
  EXPECT_EQ(traceOf([&] { endMatch(); }),
            (Trace{"game.IsInOnlineGame()", "game.GetCurrentGameState()", "null.operator bool()"}));
  world.gameStateValid = true;
  world.playlistValid = false;
  EXPECT_EQ(
      traceOf([&] { endMatch(); }),
      (Trace{"game.IsInOnlineGame()", "game.GetCurrentGameState()", "gameState.operator bool()",
             "gameState.GetPlaylist()", "null.operator bool()"}));
}

}  // namespace

// What every recorded block must be, whatever the game did during the match: each row of the
// table listed (the local player's possibly twice, see below), never more players than the table
// has, each side's TEAM GOALS the sum of its rows, and counters that never overflow. Found by the
// fault sweep and the randomised scenarios.
//
// The local-player walk pairs row i with PRI i and does not look at the row's team; the opponent
// walk lists every row off the local team. So a local player whose row is not on the local team
// (a team change, two local players on opposite sides, a reorder, a start cut short) stands
// first with the local side and again among the opponents. That is the file's documented layout
// and is kept; these tests pin it.

#include <climits>
#include <set>

#include "export/local_time.h"
#include "plugin_fixture.h"
#include "statistics_check.h"

namespace tallyrig::reliability {
namespace {

using pluginsdk::sim::Op;
using pluginsdk::sim::Pri;

class BlockInvariantsTest : public PluginFixture {
 protected:
  void SetUp() override {
    PluginFixture::SetUp();
    world.playlistId = 2;
  }

  // The one block the match end appended, after checking that it is whole and consistent and
  // lists every row in use exactly once.
  Block recordedBlock() {
    const std::string text =
        readFile(dataFolder / "Tallyrig" / currentExportTime().year() / "Doubles.csv");
    CheckOptions options;
#if defined(_WIN32)
    options.crlf = true;
#endif
    const CheckResult check = checkStatisticsText(text, options);
    EXPECT_TRUE(check.ok()) << check.problem << "\n" << text;
    if (check.blocks.size() != 1) {
      ADD_FAILURE() << check.blocks.size() << " blocks in\n" << text;
      return {};
    }
    const Block& block = check.blocks.front();
    EXPECT_EQ(checkBlockConsistency(block), "") << text;
    std::set<std::string> players;
    for (const Row& row : block.rows) players.insert(row.player());
    // Rows nothing was read into look alike, so they count once here.
    EXPECT_LE(players.size(), rowsInUse(matchState)) << text;
    // A player stands at most once on each side.
    std::set<std::string> seen;
    for (const Row& row : block.rows) {
      EXPECT_TRUE(row.playerId.empty() || seen.insert(row.colour + row.playerId).second)
          << row.playerId << " twice on one side in\n"
          << text;
    }
    return block;
  }
};

TEST_F(BlockInvariantsTest, LocalPlayerWhoChangedTeamStandsWithBothSides) {
  Pri& ana = addPlayer("Ana", 0, 1, true);
  addPlayer("Bo", 0, 2);
  addPlayer("Cy", 1, 3);
  load();
  startGame();
  ana.team = 1;
  ana.goals = 1;
  statEvent(&ana, "Goal");
  endMatch();
  const Block block = recordedBlock();
  ASSERT_EQ(block.rows.size(), 4u);
  EXPECT_EQ(block.rows[0].colour + block.rows[0].name + block.rows[0].result, "BlueAnaLOSS");
  EXPECT_EQ(block.rows[2].colour + block.rows[2].name + block.rows[2].result, "OrangeAnaWIN");
}

TEST_F(BlockInvariantsTest, TwoLocalPlayersOnOppositeTeamsAreConsistent) {
  Pri& ana = addPlayer("Ana", 0, 1, true);
  addPlayer("Bo", 1, 2, true);
  load();
  startGame();
  ana.goals = 1;
  statEvent(&ana, "Goal");
  endMatch();
  recordedBlock();
}

TEST_F(BlockInvariantsTest, EightPlayersNeverMakeMoreThanEightPlayers) {
  std::vector<Pri*> pris;
  for (int i = 0; i < 8; ++i) {
    pris.push_back(&addPlayer("P" + std::to_string(i), i % 2 ? 1 : 0, 100 + i, i == 0));
  }
  load();
  startGame();
  pris[0]->team = 1;
  pris[3]->goals = 2;
  statEvent(pris[3], "Goal");
  endMatch();
  EXPECT_EQ(recordedBlock().rows.size(), kMaxRowsPerBlock + 1);
}

// The local player's PRI sits at a slot the snapshot never reached: that empty row stands
// with the local side and, being off the local team, among the opponents too.
TEST_F(BlockInvariantsTest, FaultDuringTheSnapshotKeepsTheBlockConsistent) {
  Pri& first = addPlayer("Ann", 1, 1);
  addPlayer("Lou", 1, 2, true);
  addPlayer("Cy", 0, 3);
  addPlayer("Di", 0, 4);
  load();
  pluginsdk::sim::injectFault(Op::GetPlayerID, 1);  // the second PRI's snapshot
  EXPECT_THROW(startGame(), std::runtime_error);
  first.goals = 1;
  statEvent(&first, "Goal");
  endMatch();
  recordedBlock();
}

TEST_F(BlockInvariantsTest, DemolitionAtTheTopOfTheRangeWrapsLikeTheGoalTotals) {
  Pri& ana = addPlayer("Ana", 0, 1, true);
  ana.demolishes = INT_MAX;
  load();
  startGame();
  statTicker(&ana, nullptr, "Demolish");
  EXPECT_EQ(playerTable[0].demolitions, INT_MIN);
}

}  // namespace
}  // namespace tallyrig::reliability

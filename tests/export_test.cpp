// Playlist names, the statistics file's text and the match-end export, failures included.

#include <climits>
#include <regex>

#include "export/local_time.h"
#include "export/playlist_names.h"
#include "export/statistics_file.h"
#include "plugin_fixture.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <csignal>
#endif

namespace {

using pluginsdk::sim::Op;
using pluginsdk::sim::Pri;

std::string nameOf(int id) {
  matchState.playlistId = id;
  return playlistName();
}

TEST(PlaylistNameTest, NamedIdsGapsAndTheWholeIntegerRange) {
  EXPECT_EQ(nameOf(-2), "Intermission");
  EXPECT_EQ(nameOf(0), "Casual");
  EXPECT_EQ(nameOf(10), "Duel_Ranked");
  EXPECT_EQ(nameOf(11), "Doubles_Ranked");
  EXPECT_EQ(nameOf(16), "Rocket_Labs");
  EXPECT_EQ(nameOf(35), "Rocket_Labs");
  EXPECT_EQ(nameOf(54), "Knockout");
  EXPECT_EQ(nameOf(55), "confidential_thirdwheel_test");
  for (const int id : {-1, 5, 12, 14, 25, 36, 39, 40, 42, 45, 51, 53, 56, -3, INT_MAX, INT_MIN}) {
    EXPECT_EQ(nameOf(id), "Invalid_Playlist") << id;
  }
  int named = 0;
  for (int id = -2; id <= 55; ++id) named += nameOf(id) != "Invalid_Playlist";
  EXPECT_EQ(named, 46);
  matchState = MatchState{};
}

PlayerRecord sampleRow(std::string name, float mmr) {
  return PlayerRecord(0, std::move(name), 1, 2, 3, 4, 5, 678, 9, "Steam|9|0", mmr);
}

std::string rowText(const PlayerRecord& row) {
  std::string block;
  appendRow(block, row, ExportSide{"Blue", 3, "WIN"}, "03/07/2024 21:05");
  return block;
}

TEST(StatisticsFileTextTest, RowFieldsAndRatingsAsPrintfG) {
  EXPECT_EQ(rowText(sampleRow("Ana", 1234.5678f)),
            "Blue, Ana, 1, 2, 3, 4, 5, 678, 1234.57, 3, WIN, 03/07/2024 21:05, Steam|9|0\n");
  const std::pair<float, const char*> ratings[] = {
      {1000.0f, "1000"},   {-1.0f, "-1"},       {0.0f, "0"},           {1500000.0f, "1.5e+06"},
      {0.0001f, "0.0001"}, {0.00001f, "1e-05"}, {999999.4f, "999999"}, {-123.456f, "-123.456"},
  };
  for (const auto& [value, text] : ratings) {
    const std::string row = rowText(sampleRow("A", value));
    EXPECT_NE(row.find(std::string(", 678, ") + text + ", 3, "), std::string::npos) << row;
  }
}

TEST(StatisticsFileTextTest, NamesAreWrittenAsTheyAreButNeverBreakALine) {
  EXPECT_EQ(rowText(sampleRow("", 0.0f)).substr(0, 11), "Blue, , 1, ");
  EXPECT_EQ(rowText(sampleRow("Doe, Jane", 0.0f)).substr(0, 17), "Blue, Doe, Jane, ");
  PlayerRecord broken = sampleRow("two\nlines\r", 0.0f);
  broken.uniqueId = "id\r\nx";
  const std::string row = rowText(broken);
  EXPECT_EQ(row.substr(0, 18), "Blue, two lines , ");
  EXPECT_EQ(row.substr(row.size() - 6), "id  x\n");
}

TEST(StatisticsFileTextTest, HeaderAndBlockEnd) {
  std::string block;
  appendHeader(block);
  appendBlockEnd(block);
  EXPECT_EQ(block,
            "TEAM COLOR, NAME, GOALS, ASSISTS, SAVES, SHOTS, DEMOS, SCORE, MMR, TEAM GOALS, W/L, "
            "TIMESTAMP, PLAYERID\n\n\n");
}

TEST(ExportTimeTest, TimestampAndYearShapes) {
  const ExportTime now = currentExportTime();
  EXPECT_TRUE(std::regex_match(now.timestamp, std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d)")));
  EXPECT_EQ(now.timestamp.substr(6, 4), now.year);
}

// Replaces the export's timestamps so blocks compare exactly.
std::string withoutTimestamps(const std::string& text) {
  return std::regex_replace(text, std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d)"), "TIME");
}

constexpr const char* kHeaderLine =
    "TEAM COLOR, NAME, GOALS, ASSISTS, SAVES, SHOTS, DEMOS, SCORE, MMR, TEAM GOALS, W/L, "
    "TIMESTAMP, PLAYERID\n";

class MatchExportTest : public PluginFixture {
 protected:
  void SetUp() override {
    PluginFixture::SetUp();
    world.playlistId = 10;
  }

  std::filesystem::path statisticsFile(const std::string& name = "Duel_Ranked.csv") {
    return dataFolder / "Tallyrig" / currentExportTime().year / name;
  }

  // A 1v1 that the local player wins 2-1.
  void playDuel() {
    Pri& ana = addPlayer("Ana", 0, 1, true);
    Pri& cy = addPlayer("Cy", 1, 2);
    world.setRating(ana.uniqueId, 10, 1000.0f);
    load();
    startGame();
    ana.goals = 2;
    ana.score = 300;
    cy.goals = 1;
    cy.score = 150;
  }

  const std::string duelBlock = std::string(kHeaderLine) +
                                "Blue, Ana, 2, 0, 0, 0, 0, 300, 1000, 2, WIN, TIME, Steam|1|0\n"
                                "Orange, Cy, 1, 0, 0, 0, 0, 150, 0, 1, LOSS, TIME, Steam|2|0\n\n\n";
};

TEST_F(MatchExportTest, LocalPlayerTeamMatesThenOpponents) {
  Pri& opp = addPlayer("Opp", 0, 5);
  Pri& mate = addPlayer("Mate", 1, 6);
  Pri& me = addPlayer("Me", 1, 7, true);
  load();
  startGame();
  opp.goals = 2;
  mate.goals = 1;
  me.goals = 1;
  endMatch();
  // Local side is team 1: Orange, and a 2-2 draw reads as a loss for it.
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())),
            std::string(kHeaderLine) +
                "Orange, Me, 1, 0, 0, 0, 0, 0, 0, 2, LOSS, TIME, Steam|7|0\n"
                "Orange, Mate, 1, 0, 0, 0, 0, 0, 0, 2, LOSS, TIME, Steam|6|0\n"
                "Blue, Opp, 2, 0, 0, 0, 0, 0, 0, 2, WIN, TIME, Steam|5|0\n\n\n");
  EXPECT_TRUE(console.empty());
}

TEST_F(MatchExportTest, NoGoalsCreatesAnEmptyFileAndNoBlock) {
  addPlayer("Ana", 0, 1, true);
  load();
  startGame();
  endMatch();
  EXPECT_TRUE(std::filesystem::exists(statisticsFile()));
  EXPECT_EQ(readStatistics(statisticsFile()), "");
}

TEST_F(MatchExportTest, OutsideAValidGameNothingIsCreated) {
  playDuel();
  world.playlistValid = false;
  endMatch();
  EXPECT_FALSE(std::filesystem::exists(dataFolder / "Tallyrig"));
}

TEST_F(MatchExportTest, ShorterPriArrayIsNeverIndexedPastItsEnd) {
  playDuel();
  statEvent(nullptr, "Goal");
  world.removeFromArray(*world.findPri("Ana"));
  world.removeFromArray(*world.findPri("Cy"));
  endMatch();
  // Ana has no PRI to call her local, so she is listed as a team-mate.
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())), duelBlock);
}

TEST_F(MatchExportTest, SecondExportAppendsAfterTheFirst) {
  playDuel();
  endMatch();
  endMatch();
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())), duelBlock + duelBlock);
}

TEST_F(MatchExportTest, PluginFolderBlockedByAFile) {
  playDuel();
  { std::ofstream(dataFolder / "Tallyrig") << "keep"; }
  endMatch();
  EXPECT_EQ(readFile(dataFolder / "Tallyrig"), "keep");
  ASSERT_EQ(console.size(), 1u);
  EXPECT_EQ(console[0].rfind("Tallyrig: cannot create folder \"", 0), 0u) << console[0];
  EXPECT_NE(console[0].find((dataFolder / "Tallyrig").string()), std::string::npos);
}

TEST_F(MatchExportTest, StatisticsFileThatIsAFolder) {
  playDuel();
  std::filesystem::create_directories(statisticsFile());
  endMatch();
  ASSERT_EQ(console.size(), 1u);
  EXPECT_EQ(console[0].rfind("Tallyrig: cannot open \"" + statisticsFile().string() + "\": ", 0),
            0u)
      << console[0];
}

TEST_F(MatchExportTest, FaultWhileGatheringLeavesTheFileAsItWas) {
  playDuel();
  endMatch();
  const std::string before = readStatistics(statisticsFile());
  // The first walk asks IsLocalPlayerPRI for each row; the second walk's first ask fails.
  pluginsdk::sim::injectFault(Op::IsLocalPlayerPRI, 2);
  EXPECT_THROW(endMatch(), std::runtime_error);
  EXPECT_EQ(readStatistics(statisticsFile()), before);
  endMatch();
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())), duelBlock + duelBlock);
}

#if !defined(_WIN32)
TEST_F(MatchExportTest, WriteBeyondTheFileSizeLimitIsTakenBack) {
  playDuel();
  endMatch();
  const std::string before = readStatistics(statisticsFile());
  rlimit original{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = original;
  small.rlim_cur = before.size() + 40;  // room for part of the next block only
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  endMatch();
  setrlimit(RLIMIT_FSIZE, &original);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(readStatistics(statisticsFile()), before);
  ASSERT_EQ(console.size(), 1u);
  EXPECT_EQ(console[0].rfind("Tallyrig: cannot write \"" + statisticsFile().string() + "\": ", 0),
            0u)
      << console[0];
}
#endif

}  // namespace

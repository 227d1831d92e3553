// Playlist names, the statistics file's text and the match-end export, failures included.

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <regex>
#include <system_error>

#include "export/append_file.h"
#include "export/block_text.h"
#include "export/local_time.h"
#include "export/playlist_names.h"
#include "export/statistics_file.h"
#include "host/scenario.h"
#include "host/session.h"
#include "plugin_fixture.h"

#if defined(_WIN32)
#if !defined(NOMINMAX)
#define NOMINMAX
#endif
#include <windows.h>
#else
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

// Every position of the table, id -2 to 55, as the file names read.
TEST(PlaylistNameTest, EveryIdOfTheTableAndTheWholeIntegerRange) {
  const std::string invalid = "Invalid_Playlist";
  const std::vector<std::string> expected = {
      "Intermission",                  // -2
      invalid,                         // -1
      "Casual",                        // 0
      "Duel",                          // 1
      "Doubles",                       // 2
      "Standard",                      // 3
      "Chaos",                         // 4
      invalid,                         // 5
      "Private_Match",                 // 6
      "Season",                        // 7
      "Exhibition",                    // 8
      "Training",                      // 9
      "Duel_Ranked",                   // 10
      "Doubles_Ranked",                // 11
      invalid,                         // 12
      "Standard_Ranked",               // 13
      invalid,                         // 14
      "Snow_Day",                      // 15
      "Rocket_Labs",                   // 16
      "Hoops",                         // 17
      "Rumble",                        // 18
      "Workshop",                      // 19
      "Custom_Training_Editor",        // 20
      "Custom_Training",               // 21
      "Tournament_Match_Custom",       // 22
      "Dropshot",                      // 23
      "Local_Match",                   // 24
      invalid,                         // 25
      "External_Match_Ranked",         // 26
      "Hoops_Ranked",                  // 27
      "Rumble_Ranked",                 // 28
      "Dropshot_Ranked",               // 29
      "Snow_Day_Ranked",               // 30
      "Ghost_Hunt",                    // 31
      "Beach_Ball",                    // 32
      "Spike_Rush",                    // 33
      "Tournament_Match_Automatic",    // 34
      "Rocket_Labs",                   // 35
      invalid,                         // 36
      "Dropshot_Rumble",               // 37
      "Heatseeker",                    // 38
      invalid,                         // 39
      invalid,                         // 40
      "Boomer_Ball",                   // 41
      invalid,                         // 42
      "Heatseeker_Doubles",            // 43
      "Winter_Breakaway",              // 44
      invalid,                         // 45
      "Gridiron",                      // 46
      "Super_Cube",                    // 47
      "Tactical_Rumble",               // 48
      "Spring_Loaded",                 // 49
      "Speed_Demon",                   // 50
      invalid,                         // 51
      "Gotham_City_Rumble",            // 52
      invalid,                         // 53
      "Knockout",                      // 54
      "confidential_thirdwheel_test",  // 55
  };
  ASSERT_EQ(expected.size(), 58u);
  for (int id = -2; id <= 55; ++id) {
    EXPECT_EQ(nameOf(id), expected[static_cast<std::size_t>(id + 2)]) << "id " << id;
  }
  for (const int id : {-3, 56, 57, -100, INT_MAX, INT_MAX - 1, INT_MIN, INT_MIN + 1}) {
    EXPECT_EQ(nameOf(id), invalid) << "id " << id;
  }
  matchState = MatchState{};
}

PlayerRecord sampleRow(std::string name, float mmr) {
  return PlayerRecord{.team = 0,
                      .name = std::move(name),
                      .goals = 1,
                      .assists = 2,
                      .saves = 3,
                      .shots = 4,
                      .demolitions = 5,
                      .score = 678,
                      .playerId = 9,
                      .uniqueId = "Steam|9|0",
                      .mmr = mmr};
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

// Integers at their edges: a minus sign only for negative values, no leading zeros.
TEST(StatisticsFileTextTest, IntegersAtTheirEdges) {
  const PlayerRecord row(0, "A", INT_MIN, -1, 0, 999, 1000, INT_MAX, 9, "id", 1.0f);
  EXPECT_EQ(
      rowText(row),
      "Blue, A, -2147483648, -1, 0, 999, 1000, 2147483647, 1, 3, WIN, 03/07/2024 21:05, id\n");
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
  const std::string timestamp(now.timestamp());
  EXPECT_TRUE(std::regex_match(timestamp, std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d)")));
  EXPECT_EQ(timestamp.substr(6, 4), now.year());
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
    return dataFolder / "Tallyrig" / currentExportTime().year() / name;
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

// A local player on team 2 or above: the local side is Orange, the other side Blue.
TEST_F(MatchExportTest, LocalTeamTwoOrAboveIsOrangeAndEveryPlayerIsAnOpponent) {
  addPlayer("Me", 2, 7, true);
  Pri& blue = addPlayer("Blu", 0, 5);
  addPlayer("Ora", 1, 6);
  load();
  startGame();
  EXPECT_EQ(matchState.localTeam, 2);
  blue.goals = 1;
  endMatch();
  // Slot 0 was never written (team 2): the local player's walk lists it as it is, and so does
  // the opponents' walk.
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())),
            std::string(kHeaderLine) +
                "Orange, , 0, 0, 0, 0, 0, 0, -1, 0, LOSS, TIME, \n"
                "Blue, , 0, 0, 0, 0, 0, 0, -1, 1, WIN, TIME, \n"
                "Blue, Blu, 1, 0, 0, 0, 0, 0, 0, 1, WIN, TIME, Steam|5|0\n"
                "Blue, Ora, 0, 0, 0, 0, 0, 0, 0, 1, WIN, TIME, Steam|6|0\n\n\n");
}

// A block needs a total above 0; totals that wrapped below 0 count as no goal.
TEST_F(MatchExportTest, NoBlockUnlessATotalIsAboveZeroAlsoAfterWrapping) {
  Pri& ana = addPlayer("Ana", 0, 1, true);
  Pri& bo = addPlayer("Bo", 0, 2);
  Pri& cy = addPlayer("Cy", 1, 3);
  world.playlistId = 10;
  load();
  startGame();
  ana.goals = INT_MAX;
  bo.goals = 1;  // the own total wraps to INT_MIN
  endMatch();
  ana.goals = -3;
  bo.goals = 0;
  endMatch();
  EXPECT_EQ(readStatistics(statisticsFile()), "");
  ana.goals = 0;
  cy.goals = INT_MIN;
  endMatch();
  EXPECT_EQ(readStatistics(statisticsFile()), "");
  cy.goals = 1;
  endMatch();
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())),
            std::string(kHeaderLine) +
                "Blue, Ana, 0, 0, 0, 0, 0, 0, 0, 0, LOSS, TIME, Steam|1|0\n"
                "Blue, Bo, 0, 0, 0, 0, 0, 0, 0, 0, LOSS, TIME, Steam|2|0\n"
                "Orange, Cy, 1, 0, 0, 0, 0, 0, 0, 1, WIN, TIME, Steam|3|0\n\n\n");
}

// Sets the process's time zone for the life of the object, far from UTC: 12:45 or 13:45 ahead.
class FarTimeZone {
 public:
  FarTimeZone() {
    const char* previous = std::getenv("TZ");
    if (previous != nullptr) previous_ = previous;
    hadPrevious_ = previous != nullptr;
#if defined(_WIN32)
    _putenv_s("TZ", "CHT-12:45");
    _tzset();
#else
    setenv("TZ", "Pacific/Chatham", 1);
    tzset();
#endif
  }
  ~FarTimeZone() {
#if defined(_WIN32)
    _putenv_s("TZ", hadPrevious_ ? previous_.c_str() : "");
    _tzset();
#else
    if (hadPrevious_) {
      setenv("TZ", previous_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
#endif
  }
  FarTimeZone(const FarTimeZone&) = delete;
  FarTimeZone& operator=(const FarTimeZone&) = delete;

  static std::string format(std::time_t time, bool local, const char* pattern) {
    std::tm parts{};
#if defined(_WIN32)
    local ? localtime_s(&parts, &time) : gmtime_s(&parts, &time);
#else
    local ? localtime_r(&time, &parts) : gmtime_r(&time, &parts);
#endif
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, pattern, &parts));
  }

 private:
  std::string previous_;
  bool hadPrevious_ = false;
};

// The block's timestamp and year folder are local time, read once: every row carries it.
TEST_F(MatchExportTest, TimestampAndYearAreLocalTimeReadOnceForTheWholeBlock) {
  const FarTimeZone zone;
  playDuel();
  const std::time_t before = std::time(nullptr);
  endMatch();
  const std::time_t after = std::time(nullptr);
  const std::string utc = FarTimeZone::format(before, false, "%m/%d/%Y %H:%M");
  const std::string local = FarTimeZone::format(before, true, "%m/%d/%Y %H:%M");
  ASSERT_NE(local, utc) << "the time zone did not take effect";
  const std::string localAfter = FarTimeZone::format(after, true, "%m/%d/%Y %H:%M");
  const std::string year = FarTimeZone::format(before, true, "%Y");
  const std::filesystem::path file = dataFolder / "Tallyrig" / year / "Duel_Ranked.csv";
  ASSERT_TRUE(std::filesystem::exists(file)) << file;
  const std::string text = readStatistics(file);
  std::smatch first;
  ASSERT_TRUE(std::regex_search(text, first, std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d)")));
  EXPECT_TRUE(first.str() == local || first.str() == localAfter)
      << first.str() << " is not the local time " << local;
  EXPECT_EQ(withoutTimestamps(text), duelBlock);
  EXPECT_EQ(std::regex_replace(text, std::regex(first.str()), "TIME"), duelBlock);
}

// A block longer than the room first set aside for it is written whole, each line break in a
// name or an id blanked wherever it stands.
TEST_F(MatchExportTest, LongNamesAndIdsAreWrittenWhole) {
  std::string name(5000, 'n');
  std::string id(600, 'i');
  for (const std::size_t at : {0u, 7u, 8u, 15u, 16u, 17u, 4095u, 4999u}) {
    name[at] = at % 2 ? '\r' : '\n';
  }
  id[0] = '\r';
  id[599] = '\n';
  Pri& me = addPlayer("Me", 0, 1, true);
  me.name = name;
  me.uniqueId = id;
  load();
  startGame();
  me.goals = 1;
  endMatch();
  std::replace(name.begin(), name.end(), '\r', ' ');
  std::replace(name.begin(), name.end(), '\n', ' ');
  const std::string blankedId = " " + std::string(598, 'i') + " ";
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())),
            std::string(kHeaderLine) + "Blue, " + name + ", 1, 0, 0, 0, 0, 0, 0, 1, WIN, TIME, " +
                blankedId + "\n\n\n");
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

namespace {

// Stands in for the file calls while it lives: opens can fail, writes can be short, interrupted
// or fail after a given number of bytes, another writer can append before any call, and the cut
// can fail. Every call is named in `calls`, in order.
class FailingFileSystem {
 public:
  FailingFileSystem() : previous_(AppendFile::replaceSystemCalls(kCalls)) { state() = State{}; }
  ~FailingFileSystem() { AppendFile::replaceSystemCalls(previous_); }
  FailingFileSystem(const FailingFileSystem&) = delete;
  FailingFileSystem& operator=(const FailingFileSystem&) = delete;

  struct State {
    std::size_t writeLimit = SIZE_MAX;  // bytes that go through before writes fail
    int writeError = ENOSPC;
    std::size_t bytesPerWrite = SIZE_MAX;  // more than this makes a short write
    bool interruptEveryOtherWrite = false;
    std::string otherWriterBytes;  // appended by another writer when the write fails
    std::filesystem::path otherWriterFile;
    bool truncateFails = false;
    bool closeFails = false;  // after closing the file for real
    int openError = 0;
    std::size_t failingOpens = 0;  // the next opens that fail with openError
    // Runs before each call with its index and name: another writer's moment.
    std::function<void(std::size_t, const std::string&)> beforeCall;
    std::vector<std::string> calls;
    std::size_t written = 0;
    std::size_t writeCalls = 0;
  };
  static State& state() {
    static State value;
    return value;
  }
  static const AppendFile::SystemCalls& real() { return AppendFile::platformCalls(); }

 private:
  static void called(const char* name) {
    State& s = state();
    if (s.beforeCall) s.beforeCall(s.calls.size(), name);
    s.calls.push_back(name);
  }
  static AppendFile::Handle open(const std::filesystem::path::value_type* path) {
    called("open");
    if (state().failingOpens > 0) {
      --state().failingOpens;
      errno = state().openError;
      return -1;
    }
    return real().open(path);
  }
  static int lock(AppendFile::Handle file) {
    called("lock");
    return real().lock(file);
  }
  static long long write(AppendFile::Handle file, const char* bytes, std::size_t count) {
    called("write");
    State& s = state();
    if (s.interruptEveryOtherWrite && s.writeCalls++ % 2 == 0) {
      errno = EINTR;
      return -1;
    }
    const std::size_t room = s.writeLimit - s.written;
    if (room == 0) {
      if (!s.otherWriterBytes.empty()) {
        std::ofstream(s.otherWriterFile, std::ios::binary | std::ios::app) << s.otherWriterBytes;
      }
      errno = s.writeError;
      return -1;
    }
    const long long done = real().write(file, bytes, std::min({count, room, s.bytesPerWrite}));
    if (done > 0) s.written += static_cast<std::size_t>(done);
    return done;
  }
  static int truncate(AppendFile::Handle file, std::uint64_t length) {
    called("truncate");
    if (state().truncateFails) {
      errno = EIO;
      return -1;
    }
    return real().truncate(file, length);
  }
  static std::optional<std::uint64_t> length(AppendFile::Handle file) {
    called("length");
    return real().length(file);
  }
  static std::optional<std::uint64_t> position(AppendFile::Handle file) {
    called("position");
    return real().position(file);
  }
  static int close(AppendFile::Handle file) {
    called("close");
    const int result = real().close(file);
    if (!state().closeFails) return result;
    errno = EIO;
    return -1;
  }

  static constexpr AppendFile::SystemCalls kCalls = {open,     lock,     write, length,
                                                     position, truncate, close};
  const AppendFile::SystemCalls& previous_;
};

using PartialWriteTest = MatchExportTest;

TEST_F(PartialWriteTest, AFailedWriteIsCutBackWhenTheFileStillEndsWithIt) {
  playDuel();
  endMatch();
  const std::string before = readStatistics(statisticsFile());
  FailingFileSystem fileSystem;
  FailingFileSystem::state().writeLimit = 40;
  endMatch();
  EXPECT_EQ(readStatistics(statisticsFile()), before);
  ASSERT_EQ(console.size(), 1u);
  const std::string prefix = "Tallyrig: cannot write \"" + statisticsFile().string() + "\": ";
  EXPECT_EQ(console[0].rfind(prefix, 0), 0u) << console[0];
  EXPECT_EQ(console[0].find("stay in the file"), std::string::npos) << console[0];
}

// A writer that takes no lock: bytes it appended after ours are never cut, so ours stay too, the
// console says how many, and the next export completes the block with the rest.
TEST_F(PartialWriteTest, AnotherWritersBytesAfterAFailedWriteAreNeverCut) {
  playDuel();
  endMatch();
  const std::string before = readFile(statisticsFile());
  FailingFileSystem fileSystem;
  FailingFileSystem::state().writeLimit = 40;
  FailingFileSystem::state().otherWriterFile = statisticsFile();
  FailingFileSystem::state().otherWriterBytes = "another writer's line\n";
  endMatch();
  const std::string after = readFile(statisticsFile());
  ASSERT_EQ(after.size(), before.size() + 40 + 22);
  EXPECT_EQ(after.substr(0, before.size()), before);
  EXPECT_EQ(after.substr(before.size(), 40), readFile(statisticsFile()).substr(0, 40));
  EXPECT_EQ(after.substr(before.size() + 40), "another writer's line\n");
  ASSERT_EQ(console.size(), 1u);
  EXPECT_EQ(console[0].rfind("Tallyrig: cannot write \"" + statisticsFile().string() + "\": ", 0),
            0u);
  EXPECT_NE(console[0].find("; the first 40 bytes of the block stay in the file: another writer "
                            "appended after them"),
            std::string::npos)
      << console[0];
}

TEST_F(PartialWriteTest, ACutThatFailsIsSaid) {
  playDuel();
  FailingFileSystem fileSystem;
  FailingFileSystem::state().writeLimit = 7;
  FailingFileSystem::state().truncateFails = true;
  endMatch();
  EXPECT_EQ(readFile(statisticsFile()), "TEAM CO");
  ASSERT_EQ(console.size(), 1u);
  EXPECT_NE(console[0].find("; the first 7 bytes of the block stay in the file: they could not be "
                            "taken back"),
            std::string::npos)
      << console[0];
}

// However the first open fails, the folders are made in order and the first step that fails is
// named: here the year folder, which a file stands in the way of.
TEST_F(PartialWriteTest, AFailedOpenMakesTheFoldersAndNamesTheFirstStepThatFails) {
  playDuel();
  const std::filesystem::path yearFolder = statisticsFile().parent_path();
  std::filesystem::create_directories(yearFolder.parent_path());
  { std::ofstream(yearFolder) << "keep"; }
  FailingFileSystem fileSystem;
  FailingFileSystem::state().openError = EACCES;
  FailingFileSystem::state().failingOpens = 1;
  endMatch();
  EXPECT_EQ(readFile(yearFolder), "keep");
  ASSERT_EQ(console.size(), 1u);
  EXPECT_EQ(console[0].rfind("Tallyrig: cannot create folder \"" + yearFolder.string() + "\": ", 0),
            0u)
      << console[0];
}

TEST_F(PartialWriteTest, AFailedOpenThatTheFoldersMendWritesTheBlock) {
  playDuel();
  endMatch();
  FailingFileSystem fileSystem;
  FailingFileSystem::state().openError = EACCES;
  FailingFileSystem::state().failingOpens = 1;
  endMatch();
  EXPECT_TRUE(console.empty()) << console[0];
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())), duelBlock + duelBlock);
}

// A golden text with the line ends this platform writes.
std::string platformLines(const std::string& text) {
#if defined(_WIN32)
  return std::regex_replace(text, std::regex("\n"), "\r\n");
#else
  return text;
#endif
}

// The runtime's own text for an errno value, as the console lines give it.
std::string reasonOf(int error) {
  return std::error_code(error, std::generic_category()).message();
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// Short writes and writes interrupted before they wrote anything go on where they stopped: the
// block is whole, once, and nothing is cut or kept.
TEST_F(PartialWriteTest, ShortAndInterruptedWritesWriteTheBlockWhole) {
  playDuel();
  endMatch();
  const std::size_t blockSize = readFile(statisticsFile()).size();
  FailingFileSystem fileSystem;
  FailingFileSystem::state().bytesPerWrite = 7;
  FailingFileSystem::state().interruptEveryOtherWrite = true;
  endMatch();
  EXPECT_TRUE(console.empty()) << console[0];
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())), duelBlock + duelBlock);
  const std::vector<std::string>& calls = FailingFileSystem::state().calls;
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "truncate"), 0);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "length"), 0);
  // Each short part asks where it ended, so a later failure knows which bytes are ours; each
  // interrupted write is made again.
  const auto parts = static_cast<long>((blockSize + 6) / 7);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "position"), parts - 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "write"), 2 * parts);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0], "open");
  EXPECT_EQ(calls[1], "lock");
  EXPECT_EQ(calls.back(), "close");
}

// Another writer's bytes at every moment of a failing export: before each of its calls, from
// the open through the partial writes, the position and length reads and the cut to the close.
// `takesTheLock` is another Tallyrig; the other kind takes no lock.
class InterleavingTest : public MatchExportTest {
 protected:
  const std::string otherBytes = "<another writer's bytes>";

  // The block fails after 40 bytes written in parts of 16; the export after it is clean.
  void failWithAnotherWriterBefore(std::size_t call, bool takesTheLock,
                                   std::vector<std::string>* calls) {
    std::optional<AppendFile::Handle> waiting;
    bool refused = false;
    bool came = false;
    const auto appendOther = [&](AppendFile::Handle file) {
      const auto& real = FailingFileSystem::real();
      ASSERT_EQ(real.write(file, otherBytes.data(), otherBytes.size()),
                static_cast<long long>(otherBytes.size()));
      real.close(file);
    };
    {
      FailingFileSystem fileSystem;
      FailingFileSystem::State& state = FailingFileSystem::state();
      state.writeLimit = 40;
      state.bytesPerWrite = 16;
      state.beforeCall = [&](std::size_t index, const std::string&) {
        if (index != call) return;
        came = true;
        const auto& real = FailingFileSystem::real();
        const AppendFile::Handle file = real.open(statisticsFile().c_str());
        ASSERT_GE(file, 0);
        if (takesTheLock && real.lock(file) != 0) {
          refused = true;
          waiting = file;  // it keeps its bytes, and appends them once the lock is free
          return;
        }
        appendOther(file);
      };
      endMatch();
      if (calls != nullptr) *calls = state.calls;
      if (!came && call != SIZE_MAX) {
        state.beforeCall = nullptr;
        const AppendFile::Handle file = FailingFileSystem::real().open(statisticsFile().c_str());
        ASSERT_GE(file, 0);
        appendOther(file);
      }
      // Our lock is held from its call until the close: another Tallyrig waits exactly then.
      if (takesTheLock && call < state.calls.size()) {
        const bool locked = call > 1 && call < state.calls.size();
        EXPECT_EQ(refused, locked) << "before call " << call << " (" << state.calls[call] << ")";
      }
    }
    if (waiting) {
      ASSERT_EQ(FailingFileSystem::real().lock(*waiting), 0);
      appendOther(*waiting);
    }
    endMatch();
  }

  // The other writer's bytes are there once and whole, and without them the file holds the
  // first match, then the failed one, then the clean one: no block twice, no part of one.
  void expectEveryByteOnce(const std::string& before, const std::string& where) {
    std::string text = readFile(statisticsFile());
    ASSERT_EQ(occurrences(text, otherBytes), 1u) << where << "\n" << text;
    text.erase(text.find(otherBytes), otherBytes.size());
    EXPECT_EQ(withoutTimestamps(text), platformLines(before + duelBlock + duelBlock)) << where;
  }
};

TEST_F(InterleavingTest, AnotherTallyrigAtEveryMomentKeepsItsBytesAndOurBlockIsWrittenOnce) {
  playDuel();
  endMatch();
  const std::string first = readFile(statisticsFile());
  std::vector<std::string> calls;
  failWithAnotherWriterBefore(SIZE_MAX, true, &calls);
  // open, lock, three parts with their positions, the failing write, length, truncate, close.
  ASSERT_EQ(calls, (std::vector<std::string>{"open", "lock", "write", "position", "write",
                                             "position", "write", "position", "write", "length",
                                             "truncate", "close"}));
  for (std::size_t call = 0; call <= calls.size(); ++call) {
    { std::ofstream(statisticsFile(), std::ios::binary | std::ios::trunc) << first; }
    console.clear();
    failWithAnotherWriterBefore(call, true, nullptr);
    const std::string where = call < calls.size()
                                  ? "before " + calls[call] + " #" + std::to_string(call)
                                  : "after the export";
    expectEveryByteOnce(duelBlock, where);
    // Our writes were always ours alone, so the part was cut and the block kept whole.
    ASSERT_EQ(console.size(), 2u) << where;
    EXPECT_NE(
        console[0].find(": " + reasonOf(ENOSPC) + "; 1 block is kept and will be written later"),
        std::string::npos)
        << where << ": " << console[0];
    EXPECT_EQ(console[1], "Tallyrig: wrote 1 kept block to \"" + statisticsFile().string() + "\"");
  }
}

// A writer that takes no lock is safe at every moment but one: between our length read and our
// cut, which no lock of ours can close to a writer that ignores it.
TEST_F(InterleavingTest, AWriterWithoutTheLockKeepsItsBytesAndOurBlockIsCompletedNotDoubled) {
  playDuel();
  endMatch();
  const std::string first = readFile(statisticsFile());
  std::vector<std::string> calls;
  failWithAnotherWriterBefore(SIZE_MAX, false, &calls);
  for (std::size_t call = 0; call <= calls.size(); ++call) {
    if (call < calls.size() && calls[call] == "truncate") continue;
    { std::ofstream(statisticsFile(), std::ios::binary | std::ios::trunc) << first; }
    console.clear();
    failWithAnotherWriterBefore(call, false, nullptr);
    expectEveryByteOnce(duelBlock, call < calls.size()
                                       ? "before " + calls[call] + " #" + std::to_string(call)
                                       : "after the export");
  }
}

// Blocks of one playlist, one per match, each with the local player's score as its mark.
class KeptBlocksTest : public MatchExportTest {
 protected:
  void SetUp() override {
    MatchExportTest::SetUp();
    playDuel();
  }
  void endMatchScoring(int score) {
    world.findPri("Ana")->score = score;
    endMatch();
  }
  std::string blockScoring(int score) const {
    std::string block = duelBlock;
    const std::string from = "Ana, 2, 0, 0, 0, 0, 300,";
    block.replace(block.find(from), from.size(),
                  "Ana, 2, 0, 0, 0, 0, " + std::to_string(score) + ",");
    return block;
  }
  std::string blocksScoring(int first, int last) const {
    std::string blocks;
    for (int score = first; score <= last; ++score) blocks += blockScoring(score);
    return blocks;
  }
  void unload() { plugin->onUnload(); }
  std::string quoted(const std::filesystem::path& path) const {
    return "\"" + path.string() + "\"";
  }
};

TEST_F(KeptBlocksTest, AFailedOpenKeepsTheBlockAndTheNextExportWritesItFirst) {
  FailingFileSystem fileSystem;
  FailingFileSystem::state().openError = EACCES;
  FailingFileSystem::state().failingOpens = 2;  // the file, and again after the folders
  endMatchScoring(1);
  EXPECT_EQ(readStatistics(statisticsFile()), "");
  ASSERT_EQ(console.size(), 1u);
  EXPECT_EQ(console[0], "Tallyrig: cannot open " + quoted(statisticsFile()) + ": " +
                            reasonOf(EACCES) + "; 1 block is kept and will be written later");
  endMatchScoring(2);
  ASSERT_EQ(console.size(), 2u);
  EXPECT_EQ(console[1], "Tallyrig: wrote 1 kept block to " + quoted(statisticsFile()));
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())), blocksScoring(1, 2));
  unload();
  EXPECT_EQ(console.size(), 2u);
}

// A part that could not be cut stays, and the next export completes it with the rest: the block
// is whole, once.
TEST_F(KeptBlocksTest, APartThatCouldNotBeCutIsCompletedNotWrittenAgain) {
  FailingFileSystem fileSystem;
  FailingFileSystem::state().writeLimit = 50;
  FailingFileSystem::state().truncateFails = true;
  endMatchScoring(1);
  FailingFileSystem::state().writeLimit = SIZE_MAX;
  endMatchScoring(2);
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())), blocksScoring(1, 2));
  ASSERT_EQ(console.size(), 2u);
  EXPECT_NE(console[0].find("; the first 50 bytes of the block stay in the file: they could not "
                            "be taken back; 1 block is kept and will be written later"),
            std::string::npos)
      << console[0];
}

// A close that fails after the whole block went in is said, not kept: keeping it would write
// the block twice.
TEST_F(KeptBlocksTest, AFailedCloseAfterAWholeWriteIsSaidNotKept) {
  FailingFileSystem fileSystem;
  FailingFileSystem::state().closeFails = true;
  endMatchScoring(1);
  ASSERT_EQ(console.size(), 1u);
  EXPECT_EQ(console[0],
            "Tallyrig: cannot close " + quoted(statisticsFile()) + ": " + reasonOf(EIO));
  EXPECT_EQ(tallyrig().keptBlocks.size(), 0u);
  FailingFileSystem::state().closeFails = false;
  endMatchScoring(2);
  unload();
  EXPECT_EQ(console.size(), 1u);
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())), blocksScoring(1, 2));
}

// Kept blocks wait for their own file: an export to another playlist leaves them kept, and
// unload writes them.
TEST_F(KeptBlocksTest, BlocksWaitForTheirOwnFileOrForUnload) {
  FailingFileSystem fileSystem;
  FailingFileSystem::state().openError = EACCES;
  FailingFileSystem::state().failingOpens = 4;
  endMatchScoring(1);
  endMatchScoring(2);
  ASSERT_EQ(console.size(), 2u);
  EXPECT_NE(console[1].find("; 2 blocks are kept and will be written later"), std::string::npos)
      << console[1];
  world.playlistId = 11;
  startGame();
  endMatchScoring(3);
  EXPECT_EQ(console.size(), 2u) << console.back();
  EXPECT_EQ(occurrences(readFile(statisticsFile("Doubles_Ranked.csv")), "TEAM COLOR"), 1u);
  EXPECT_EQ(readFile(statisticsFile()), "");
  unload();
  ASSERT_EQ(console.size(), 3u);
  EXPECT_EQ(console[2], "Tallyrig: wrote 2 kept blocks to " + quoted(statisticsFile()));
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())), blocksScoring(1, 2));
  EXPECT_EQ(tallyrig().keptBlocks.size(), 0u);
}

TEST_F(KeptBlocksTest, AFileStillUnwritableAtUnloadSaysTheBlocksAreLost) {
  FailingFileSystem fileSystem;
  FailingFileSystem::state().openError = EROFS;
  FailingFileSystem::state().failingOpens = SIZE_MAX;
  endMatchScoring(1);
  endMatchScoring(2);
  unload();
  ASSERT_EQ(console.size(), 3u);
  EXPECT_EQ(console[2], "Tallyrig: cannot open " + quoted(statisticsFile()) + ": " +
                            reasonOf(EROFS) + "; 2 kept blocks are lost");
  // Said once: a second unload has nothing left to say.
  unload();
  EXPECT_EQ(console.size(), 3u);
}

// Past 256 blocks the oldest go, one line each; the file then gets the latest 256 in order.
TEST_F(KeptBlocksTest, PastTheBoundTheOldestBlocksAreDroppedWithALine) {
  FailingFileSystem fileSystem;
  FailingFileSystem::state().openError = EACCES;
  FailingFileSystem::state().failingOpens = SIZE_MAX;
  for (int score = 1000; score < 1258; ++score) endMatchScoring(score);
  EXPECT_EQ(tallyrig().keptBlocks.size(), 256u);
  const std::string dropped =
      "Tallyrig: more than 256 blocks or 1 MiB wait to be written; the "
      "oldest, for " +
      quoted(statisticsFile()) + ", is dropped and lost";
  EXPECT_EQ(std::count(console.begin(), console.end(), dropped), 2);
  // Each drop is said when the block that pushed it out is kept, before that block's line.
  EXPECT_EQ(console[256], dropped);
  EXPECT_EQ(console[258], dropped);
  FailingFileSystem::state().failingOpens = 0;
  console.clear();
  endMatchScoring(1258);
  ASSERT_EQ(console.size(), 1u);
  EXPECT_EQ(console[0], "Tallyrig: wrote 256 kept blocks to " + quoted(statisticsFile()));
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())), blocksScoring(1002, 1258));
}

// A mebibyte comes first when the blocks are large: as many of the latest as fit.
TEST_F(KeptBlocksTest, PastAMebibyteTheOldestBlocksAreDropped) {
  world.findPri("Cy")->name = std::string(20000, 'c');
  FailingFileSystem fileSystem;
  FailingFileSystem::state().openError = EACCES;
  FailingFileSystem::state().failingOpens = SIZE_MAX;
  endMatchScoring(1000);
  const std::size_t blockSize = readFile(statisticsFile()).size() + duelBlock.size() + 20000;
  const std::size_t fit = KeptBlocks::kMaxBytes / (blockSize - readFile(statisticsFile()).size());
  for (int score = 1001; score < 1060; ++score) endMatchScoring(score);
  EXPECT_EQ(tallyrig().keptBlocks.size(), fit);
  FailingFileSystem::state().failingOpens = 0;
  unload();
  const std::string text = withoutTimestamps(readStatistics(statisticsFile()));
  EXPECT_EQ(occurrences(text, "TEAM COLOR"), fit);
  EXPECT_NE(text.find(", 1059, "), std::string::npos);
  EXPECT_NE(text.find(", " + std::to_string(1060 - fit) + ", "), std::string::npos);
  EXPECT_EQ(text.find(", " + std::to_string(1059 - fit) + ", "), std::string::npos);
}

// Three matches through the host, the first of which its file cannot take: the file ends as
// a run without the failure leaves it, byte for byte.
class ThreeMatchesTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove_all(folder()); }
  static std::filesystem::path folder() {
    return std::filesystem::temp_directory_path() / "tallyrig-three-matches";
  }

  struct Run {
    std::string file;
    std::vector<std::string> console;
  };

  // `fault` arms the file calls just before the first match ends; they are clean again after.
  static Run play(const std::function<void(FailingFileSystem::State&)>& fault) {
    const tallyrig::host::Scenario scenario = tallyrig::host::parseScenario(R"({"version": 1,
      "world": {"playlistId": 10, "players": [
        {"name": "Ana", "team": 0, "playerId": 1, "uniqueId": "Steam|1|0", "local": true},
        {"name": "Cy", "team": 1, "playerId": 2, "uniqueId": "Steam|2|0"}],
        "ratings": {"Steam|1|0": {"10": 1200}}},
      "steps": [
        {"gameStarted": {}}, {"player": {"ref": "Ana", "goals": 1}}, {"matchEnded": {}},
        {"player": {"ref": "Ana", "goals": 0}}, {"gameStarted": {}},
        {"player": {"ref": "Cy", "goals": 3}}, {"matchEnded": {}},
        {"player": {"ref": "Cy", "goals": 0}}, {"gameStarted": {}},
        {"player": {"ref": "Ana", "goals": 2, "saves": 4}}, {"matchEnded": {}}]})",
                                                                            "three-matches");
    std::filesystem::remove_all(folder());
    std::filesystem::create_directories(folder());
    deleteMe();
    logConsole.reset();
    playerTable = PlayerTable{};
    matchState = MatchState{};
    Run run;
    {
      pluginsdk::sim::World world;
      tallyrig::host::buildWorld(world, scenario.world, folder());
      world.consoleSink = [&run](const std::string& line) { run.console.push_back(line); };
      tallyrig::host::PluginSession session(
          world, &getPlugin, &deleteMe, [](const std::string& what, const std::string& message) {
            ADD_FAILURE() << what << ": " << message;
          });
      session.load();
      std::optional<FailingFileSystem> fileSystem;
      bool firstEnd = true;
      for (const tallyrig::host::Step& step : scenario.steps) {
        const bool ends = std::holds_alternative<tallyrig::host::MatchEndedStep>(step);
        if (ends && firstEnd) {
          fileSystem.emplace();
          fault(FailingFileSystem::state());
        }
        session.play(step);
        if (ends && firstEnd) {
          fileSystem.reset();
          firstEnd = false;
        }
      }
      session.unload();
    }
    deleteMe();
    logConsole.reset();
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder())) {
      if (entry.is_regular_file()) run.file = readFile(entry.path());
    }
    return run;
  }

  // A clean run on each side of the faulted one: the clock read the same minute in all three
  // unless the two clean runs differ, and then the whole comparison is made again.
  static void expectAsWithoutTheFault(const std::function<void(FailingFileSystem::State&)>& fault,
                                      const std::string& keptLineEnd) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      const Run before = play([](FailingFileSystem::State&) {});
      const Run faulted = play(fault);
      const Run after = play([](FailingFileSystem::State&) {});
      if (before.file != after.file) continue;
      EXPECT_EQ(occurrences(before.file, "TEAM COLOR"), 3u);
      EXPECT_EQ(faulted.file, before.file);
      ASSERT_EQ(faulted.console.size(), 2u);
      EXPECT_EQ(faulted.console[0].substr(faulted.console[0].size() - keptLineEnd.size()),
                keptLineEnd)
          << faulted.console[0];
      EXPECT_EQ(faulted.console[1].rfind("Tallyrig: wrote 1 kept block to \"", 0), 0u)
          << faulted.console[1];
      return;
    }
    FAIL() << "the clock's minute changed in each of three attempts";
  }
};

TEST_F(ThreeMatchesTest, AFailedOpenAtTheFirstMatch) {
  expectAsWithoutTheFault(
      [](FailingFileSystem::State& state) {
        state.openError = EACCES;
        state.failingOpens = 2;
      },
      ": " + reasonOf(EACCES) + "; 1 block is kept and will be written later");
}

TEST_F(ThreeMatchesTest, AWriteThatFailsPartWayAtTheFirstMatch) {
  expectAsWithoutTheFault([](FailingFileSystem::State& state) { state.writeLimit = 60; },
                          ": " + reasonOf(ENOSPC) + "; 1 block is kept and will be written later");
}

TEST_F(ThreeMatchesTest, AWriteThatFailsAndACutThatFailsAtTheFirstMatch) {
  expectAsWithoutTheFault(
      [](FailingFileSystem::State& state) {
        state.writeLimit = 60;
        state.truncateFails = true;
      },
      "could not be taken back; 1 block is kept and will be written later");
}

#if defined(_WIN32)
// Another process that holds the file open as a spreadsheet does, sharing it with readers only,
// from its start until close().
class SpreadsheetHolding {
 public:
  explicit SpreadsheetHolding(const std::filesystem::path& file) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childInput = nullptr;
    HANDLE childOutput = nullptr;
    if (!CreatePipe(&childInput, &toChild_, &inherited, 0) ||
        !CreatePipe(&fromChild_, &childOutput, &inherited, 0)) {
      ADD_FAILURE() << "no pipes: " << GetLastError();
      return;
    }
    SetHandleInformation(toChild_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromChild_, HANDLE_FLAG_INHERIT, 0);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::filesystem::path helper =
        std::filesystem::path(self).parent_path() / "sharing-helper.exe";
    std::wstring command = L"\"" + helper.wstring() + L"\" \"" + file.wstring() + L"\"";
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = childInput;
    start.hStdOutput = childOutput;
    start.hStdError = childOutput;
    const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &start, &process_);
    CloseHandle(childInput);
    CloseHandle(childOutput);
    if (!started) {
      ADD_FAILURE() << "sharing-helper did not start: " << GetLastError();
      return;
    }
    char said[64] = {};
    DWORD count = 0;
    ReadFile(fromChild_, said, sizeof said - 1, &count, nullptr);
    // Its standard output is in text mode: the line ends with CR LF.
    EXPECT_EQ(std::string(said, count), "open\r\n");
  }
  ~SpreadsheetHolding() {
    close();
    if (fromChild_ != nullptr) CloseHandle(fromChild_);
  }
  SpreadsheetHolding(const SpreadsheetHolding&) = delete;
  SpreadsheetHolding& operator=(const SpreadsheetHolding&) = delete;

  void close() {
    if (toChild_ != nullptr) CloseHandle(toChild_);
    toChild_ = nullptr;
    if (process_.hProcess == nullptr) return;
    EXPECT_EQ(WaitForSingleObject(process_.hProcess, 30000), WAIT_OBJECT_0);
    DWORD status = 1;
    GetExitCodeProcess(process_.hProcess, &status);
    EXPECT_EQ(status, 0u);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
  }

 private:
  HANDLE toChild_ = nullptr;
  HANDLE fromChild_ = nullptr;
  PROCESS_INFORMATION process_{};
};

const std::string kHeldOpen = ": another program holds it open against writers";

TEST_F(KeptBlocksTest, AFileASpreadsheetHoldsOpenTakesItsBlocksInOrderOnceClosed) {
  std::filesystem::create_directories(statisticsFile().parent_path());
  SpreadsheetHolding spreadsheet(statisticsFile());
  endMatchScoring(1);
  endMatchScoring(2);
  EXPECT_EQ(readFile(statisticsFile()), "");
  ASSERT_EQ(console.size(), 2u);
  const std::string cannotOpen = "Tallyrig: cannot open " + quoted(statisticsFile()) + kHeldOpen;
  EXPECT_EQ(console[0], cannotOpen + "; 1 block is kept and will be written later");
  EXPECT_EQ(console[1], cannotOpen + "; 2 blocks are kept and will be written later");
  spreadsheet.close();
  endMatchScoring(3);
  ASSERT_EQ(console.size(), 3u);
  EXPECT_EQ(console[2], "Tallyrig: wrote 2 kept blocks to " + quoted(statisticsFile()));
  EXPECT_EQ(withoutTimestamps(readStatistics(statisticsFile())), blocksScoring(1, 3));
}

TEST_F(KeptBlocksTest, AFileASpreadsheetStillHoldsAtUnloadLosesItsBlocksAndSaysSo) {
  std::filesystem::create_directories(statisticsFile().parent_path());
  SpreadsheetHolding spreadsheet(statisticsFile());
  endMatchScoring(1);
  unload();
  ASSERT_EQ(console.size(), 2u);
  EXPECT_EQ(console[1], "Tallyrig: cannot open " + quoted(statisticsFile()) + kHeldOpen +
                            "; 1 kept block is lost");
  spreadsheet.close();
  EXPECT_EQ(readFile(statisticsFile()), "");
}
#endif

}  // namespace

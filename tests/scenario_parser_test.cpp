#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <variant>

#include "host/scenario.h"

namespace tallyrig::host {
namespace {

namespace fs = std::filesystem;

// The message of the ScenarioError that `text` raises, or "" when it parses.
std::string errorOf(const std::string& text) {
  try {
    parseScenario(text, "t.json");
  } catch (const ScenarioError& error) {
    return error.what();
  }
  return "";
}

// Ana, Bo and Cy are in the array before the first step.
std::string withSteps(const std::string& steps) {
  return R"({"version": 1, "world": {"players": [{"name": "Ana", "playerId": 1},
    {"name": "Bo", "playerId": 2}, {"name": "Cy", "playerId": 3}]}, "steps": [)" +
         steps + "]}";
}

// Every field of a PRI on one line, so that one comparison checks them all.
std::string describe(const pluginsdk::sim::Pri& p) {
  std::ostringstream out;
  out << p.ref << '/' << p.name << '/' << int{p.team} << '/' << p.playerId << '/' << p.uniqueId
      << '/' << p.local << '/' << p.goals << ',' << p.assists << ',' << p.saves << ',' << p.shots
      << ',' << p.demolishes << ',' << p.score;
  return out.str();
}

TEST(ScenarioParser, FullScenarioFillsEveryFieldAndDefault) {
  const Scenario s = parseScenario(
      "\xEF\xBB\xBF"
      R"({"version": 1,
      "world": {"online": false, "gameState": false, "playlistValid": false, "playlistId": 11,
        "ratingPlaylist": -2,
        "players": [{"name": "\u00c5sa", "team": 255, "playerId": -2147483648, "uniqueId": "S|1",
                     "local": true, "goals": 1, "assists": 2, "saves": 3, "shots": 4,
                     "demolishes": 5, "score": 2147483647},
                    {"ref": "b", "name": "Bo", "playerId": 2},
                    {"playerId": 3}],
        "ratings": {"S|1": {"11": 1204.5, "-2": 7}, "E|2": {"0": -1}}},
      "steps": [
        {"statEvent": {"pri": "b", "event": null}},
        {"statTicker": {"other": "\u00c5sa", "event": "Demolish"}},
        {"join": {"name": "Di", "playerId": 4, "at": 3}},
        {"join": {"ref": "e", "playerId": 5, "at": 0}},
        {"leave": "b"},
        {"player": {"ref": "b", "goals": 9, "team": 0}},
        {"statEvent": {"pri": "b"}},
        {"order": ["Di", "", "e", "\u00c5sa"]},
        {"world": {"playlistId": 2, "online": true}},
        {"rating": {"uniqueId": "E|2", "playlist": 2, "value": 1}},
        {"notify": {"uniqueId": "E|2"}},
        {"fail": {"call": "GetMatchGoals"}},
        {"fail": {"call": "log", "after": 2147483647}},
        {"gameStarted": {}}, {"matchEnded": {}}, {"unload": {}}, {"load": {}}]})",
      "t.json");

  const WorldSetup& w = s.world;
  EXPECT_FALSE(w.online || w.gameState || w.playlistValid);
  EXPECT_EQ(w.playlistId, 11);
  EXPECT_EQ(w.ratingPlaylist, -2);
  ASSERT_EQ(w.players.size(), 3u);
  // Refs default to the name; names are kept as their UTF-8 bytes.
  EXPECT_EQ(describe(w.players[0]),
            "\xC3\x85sa/\xC3\x85sa/255/-2147483648/S|1/1/1,2,3,4,5,2147483647");
  EXPECT_EQ(describe(w.players[1]), "b/Bo/0/2//0/0,0,0,0,0,0");
  EXPECT_EQ(describe(w.players[2]), "//0/3//0/0,0,0,0,0,0");
  std::string ratings;
  for (const RatingEntry& r : w.ratings) {
    ratings += r.uniqueId + " " + std::to_string(r.playlist) + " " + std::to_string(r.value) + ";";
  }
  EXPECT_EQ(ratings, "S|1 11 1204.500000;S|1 -2 7.000000;E|2 0 -1.000000;");

  ASSERT_EQ(s.steps.size(), 17u);
  const auto& event = std::get<StatEventStep>(s.steps[0]);
  EXPECT_EQ(event.pri, "b");
  EXPECT_FALSE(event.event);
  const auto& ticker = std::get<StatTickerStep>(s.steps[1]);
  EXPECT_FALSE(ticker.pri);
  EXPECT_EQ(ticker.other, "\xC3\x85sa");
  EXPECT_EQ(ticker.event, "Demolish");
  const auto& join = std::get<JoinStep>(s.steps[2]);
  EXPECT_EQ(describe(join.player), "Di/Di/0/4//0/0,0,0,0,0,0");
  EXPECT_EQ(join.at, 3u);
  EXPECT_EQ(std::get<JoinStep>(s.steps[3]).at, 0u);
  EXPECT_EQ(std::get<LeaveStep>(s.steps[4]).ref, "b");
  const auto& player = std::get<PlayerStep>(s.steps[5]);
  EXPECT_EQ(player.ref, "b");
  EXPECT_EQ(player.goals, 9);
  EXPECT_EQ(player.team, 0);
  EXPECT_FALSE(player.name);
  EXPECT_FALSE(player.playerId);
  EXPECT_EQ(std::get<StatEventStep>(s.steps[6]).pri, "b");  // a PRI that left keeps its ref
  EXPECT_EQ(std::get<OrderStep>(s.steps[7]).refs,
            (std::vector<std::string>{"Di", "", "e", "\xC3\x85sa"}));
  const auto& world = std::get<WorldStep>(s.steps[8]);
  EXPECT_EQ(world.playlistId, 2);
  EXPECT_EQ(world.online, true);
  EXPECT_FALSE(world.gameState);
  EXPECT_FALSE(world.ratingPlaylist);
  EXPECT_EQ(std::get<RatingStep>(s.steps[9]).rating.value, 1.0f);
  EXPECT_EQ(std::get<NotifyStep>(s.steps[10]).uniqueId, "E|2");
  EXPECT_EQ(std::get<FailStep>(s.steps[11]).op, pluginsdk::sim::Op::GetMatchGoals);
  EXPECT_EQ(std::get<FailStep>(s.steps[11]).after, 0u);
  EXPECT_EQ(std::get<FailStep>(s.steps[12]).after, 2147483647u);
  EXPECT_TRUE(std::holds_alternative<GameStartedStep>(s.steps[13]) &&
              std::holds_alternative<MatchEndedStep>(s.steps[14]) &&
              std::holds_alternative<UnloadStep>(s.steps[15]) &&
              std::holds_alternative<LoadStep>(s.steps[16]));
}

TEST(ScenarioParser, VersionAloneGivesTheDefaultWorld) {
  const Scenario s = parseScenario(R"({"version": 1})", "t.json");
  EXPECT_TRUE(s.world.online && s.world.gameState && s.world.playlistValid);
  EXPECT_EQ(s.world.playlistId, 0);
  EXPECT_FALSE(s.world.ratingPlaylist);
  EXPECT_TRUE(s.world.players.empty() && s.world.ratings.empty() && s.steps.empty());
}

struct BadCase {
  const char* name;
  std::string text;
  std::string message;  // without the "t.json: " prefix
};

void PrintTo(const BadCase& bad, std::ostream* out) {
  *out << bad.name;
}

class ScenarioParserRejects : public testing::TestWithParam<BadCase> {};

TEST_P(ScenarioParserRejects, WithExactMessage) {
  EXPECT_EQ(errorOf(GetParam().text), "t.json: " + GetParam().message);
}

std::string caseName(const testing::TestParamInfo<BadCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, ScenarioParserRejects,
    testing::Values(
        BadCase{"Truncated", R"({"version": 1, "steps": [)",
                "line 1, column 26: invalid JSON: unexpected end of input; expected '[', '{', or "
                "a literal"},
        BadCase{"LineAndColumn", "{\n  \"version\": 1,\n  \"steps\": [}\n",
                "line 3, column 13: invalid JSON: unexpected '}'; expected '[', '{', or a literal"},
        BadCase{"ColumnCountsCharacters", "{\"world\": {\"x\": \"\xC3\x85\xE2\x82\xAC\" ]",
                "line 1, column 22: invalid JSON: unexpected ']'; expected '}'"},
        BadCase{"ColumnSkipsByteOrderMark", "\xEF\xBB\xBF{,}",
                "line 1, column 2: invalid JSON: unexpected ','; expected string literal"},
        BadCase{"TrailingText", "{\"version\": 1}\n}",
                "line 2, column 1: invalid JSON: unexpected '}'; expected end of input"},
        BadCase{"HugeNumber", "{\"version\": 1,\n \"world\": {\"playlistId\": 1e400}}",
                "line 2, column 26: number 1e400 is too large"},
        BadCase{"BadByteInString", "{\"version\": 1,\n\"steps\": [\"ab\xC3(\"]}",
                "line 2, column 14: not valid UTF-8"},
        BadCase{"EncodedSurrogate", "{\"version\": 1, \"world\": {\"\xED\xA0\x80\": 1}}",
                "line 1, column 27: not valid UTF-8"},
        BadCase{"NulAfterDocument", std::string("{\"version\": 1}\0}", 16),
                "line 1, column 15: invalid JSON: unexpected NUL byte"},
        // Whichever comes first wins; a NUL inside a sequence makes the sequence the bad part.
        BadCase{"NulBeforeBadByte", std::string("{\"a\": \"\0\xFF\"}", 11),
                "line 1, column 8: invalid JSON: unexpected NUL byte"},
        BadCase{"BadByteBeforeNul", std::string("{\"a\": \"\xFF\0\"}", 11),
                "line 1, column 8: not valid UTF-8"},
        BadCase{"NulInsideSequence", std::string("{\"a\": \"\xE2\x82\0\"}", 12),
                "line 1, column 8: not valid UTF-8"},
        BadCase{"SequenceCutByEnd", "{\"a\": 1}\xF0\x9F\x8E", "line 1, column 9: not valid UTF-8"},
        BadCase{"DuplicateKey", R"({"version": 1, "version": 1})",
                R"((document): duplicate key "version")"},
        BadCase{"NestedDuplicateKey",
                R"({"version": 1, "world": {"players": [{"name": "A", "name": "B"}]}})",
                R"(world.players[0]: duplicate key "name")"},
        BadCase{"TooDeep", std::string(100, '[') + std::string(100, ']'),
                [] {
                  std::string path;
                  for (int i = 0; i < 64; ++i) path += "[0]";
                  return path + ": nesting is deeper than 64 levels";
                }()}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Types, ScenarioParserRejects,
    testing::Values(
        BadCase{"DocumentArray", "[]", "(document): expected an object, got array"},
        BadCase{"VersionMissing", R"({"steps": []})",
                R"((document): missing required key "version")"},
        BadCase{"VersionTwo", R"({"version": 2})", "version: version must be 1, got 2"},
        BadCase{"StepString", withSteps(R"("gameStarted")"),
                "steps[0]: expected an object, got string"},
        BadCase{"NameNumber", R"({"version": 1, "world": {"players": [{"name": 5}]}})",
                "world.players[0].name: expected a string, got number"},
        BadCase{"LocalString", withSteps(R"({"player": {"ref": "Bo", "local": "yes"}})"),
                "steps[0].player.local: expected true or false, got string"},
        BadCase{"WordNumber", withSteps(R"({"statEvent": {"pri": 1}})"),
                "steps[0].statEvent.pri: expected a string or null, got number"},
        BadCase{"RatingString", withSteps(R"({"rating": {"uniqueId": "x", "playlist": 1,
                  "value": "high"}})"),
                "steps[0].rating.value: expected a number, got string"},
        BadCase{"RatingBeyondFloat", R"({"version": 1, "world": {"ratings": {"Steam|1|0":
                  {"11": 1e39}}}})",
                R"(world.ratings["Steam|1|0"]["11"]: expected a number that fits a float, got )"
                "1e+39"}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    UnknownKeys, ScenarioParserRejects,
    testing::Values(
        BadCase{"TopLevel", R"({"version": 1, "stpes": []})", R"((document): unknown key "stpes")"},
        BadCase{"Player", R"({"version": 1, "world": {"players": [{"playerId": 1, "tean": 1}]}})",
                R"(world.players[0]: unknown key "tean")"},
        BadCase{"StatTicker", withSteps(R"({"statTicker": {"pri": "Bo", "evnt": "Goal"}})"),
                R"(steps[0].statTicker: unknown key "evnt")"},
        BadCase{"EmptyStepBody", withSteps(R"({"matchEnded": {"now": true}})"),
                R"(steps[0].matchEnded: unknown key "now")"},
        BadCase{"PlayersInWorldStep", withSteps(R"({"world": {"players": []}})"),
                "steps[0].world: \"players\" cannot change in a world step; use join, leave, "
                "order or player"},
        BadCase{"UnknownStep", withSteps(R"({"gameStarted": {}}, {"goal": {}})"),
                R"(steps[1]: unknown step "goal")"},
        BadCase{"TwoKeyStep", withSteps(R"({"gameStarted": {}, "matchEnded": {}})"),
                "steps[0]: a step must have exactly one key, got 2"},
        BadCase{"UnknownOp", withSteps(R"({"fail": {"call": "GetFoo"}})"),
                R"(steps[0].fail.call: unknown SDK operation "GetFoo")"},
        BadCase{"JoinWithoutPlayerId", withSteps(R"({"join": {"name": "Di"}})"),
                R"(steps[0].join: missing required key "playerId")"}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Ranges, ScenarioParserRejects,
    testing::Values(
        BadCase{"Team256", withSteps(R"({"player": {"ref": "Bo", "team": 256}})"),
                "steps[0].player.team: expected an integer from 0 to 255, got 256"},
        BadCase{"Int32Overflow", withSteps(R"({"player": {"ref": "Bo", "score": 2147483648}})"),
                "steps[0].player.score: expected an integer from -2147483648 to 2147483647, got "
                "2147483648"},
        BadCase{"Fraction", withSteps(R"({"rating": {"uniqueId": "x", "playlist": 1.5}})"),
                "steps[0].rating.playlist: expected an integer, got 1.5"},
        BadCase{"Exponent", withSteps(R"({"player": {"ref": "Bo", "goals": 1e3}})"),
                "steps[0].player.goals: expected an integer, got 1000.0"},
        BadCase{"NegativeAfter", withSteps(R"({"fail": {"call": "log", "after": -1}})"),
                "steps[0].fail.after: expected an integer from 0 to 2147483647, got -1"},
        BadCase{"AtBeyondSize", withSteps(R"({"leave": "Bo"}, {"join": {"playerId": 4, "at": 3}})"),
                "steps[1].join.at: expected an integer from 0 to 2, got 3"},
        BadCase{"PlaylistLeadingZero", R"({"version": 1, "world": {"ratings": {"a": {"011": 1}}}})",
                R"(world.ratings.a["011"]: expected a playlist id written as a decimal integer, )"
                R"(got "011")"},
        BadCase{"PlaylistMinusZero", R"({"version": 1, "world": {"ratings": {"a": {"-0": 1}}}})",
                R"(world.ratings.a["-0"]: expected a playlist id written as a decimal integer, )"
                R"(got "-0")"},
        BadCase{"PlaylistOverflow",
                R"({"version": 1, "world": {"ratings": {"a": {"99999999999": 1}}}})",
                R"(world.ratings.a["99999999999"]: expected a playlist id from -2147483648 to )"
                R"(2147483647, got "99999999999")"}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Refs, ScenarioParserRejects,
    testing::Values(
        BadCase{"UnknownOther", withSteps(R"({"statTicker": {"pri": "Bo", "other": "Zed"}})"),
                R"(steps[0].statTicker.other: unknown player ref "Zed")"},
        BadCase{
            "RefBeforeItsJoin",
            withSteps(R"({"statEvent": {"pri": "Di"}}, {"join": {"name": "Di", "playerId": 4}})"),
            R"(steps[0].statEvent.pri: unknown player ref "Di")"},
        BadCase{"LeaveTwice", withSteps(R"({"leave": "Bo"}, {"leave": "Bo"})"),
                R"(steps[1].leave: "Bo" is not in the array)"},
        BadCase{"OrderMissesOne", withSteps(R"({"order": ["Cy", "Ana"]})"),
                R"(steps[0].order: the order leaves out "Bo")"},
        BadCase{"OrderRepeats", withSteps(R"({"order": ["Cy", "Ana", "Cy", "Bo"]})"),
                R"(steps[0].order[2]: "Cy" is listed twice)"},
        BadCase{"OrderNamesOneWhoLeft",
                withSteps(R"({"leave": "Bo"}, {"order": ["Cy", "Ana", "Bo"]})"),
                R"(steps[1].order[2]: "Bo" is not in the array)"},
        BadCase{"DuplicateDefaultedRef",
                R"({"version": 1, "world": {"players": [{"name": "A", "playerId": 1},
                  {"name": "A", "playerId": 2}]}})",
                R"(world.players[1].name: duplicate player ref "A" (the ref defaults to the )"
                R"(name; give this player a "ref"))"},
        BadCase{"RejoinUnderTheSameRef",
                withSteps(R"({"leave": "Bo"}, {"join": {"ref": "Bo", "playerId": 2}})"),
                R"(steps[1].join.ref: duplicate player ref "Bo")"}),
    caseName);

class ScenarioFile : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("scenario_parser_test_" +
            std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path write(const std::string& name, const std::string& text) {
    const fs::path file = dir_ / name;
    std::ofstream(file, std::ios::binary) << text;
    return file;
  }

  static std::string errorOf(const fs::path& file) {
    try {
      loadScenario(file);
    } catch (const ScenarioError& error) {
      return error.what();
    }
    return "";
  }

  fs::path dir_;
};

TEST_F(ScenarioFile, ExactlyTheLimitIsRead) {
  std::string text = R"({"version": 1})";
  text.resize(kMaxScenarioBytes, ' ');
  EXPECT_EQ(errorOf(write("limit.json", text)), "");
}

TEST_F(ScenarioFile, OneByteOverTheLimitIsRefused) {
  const fs::path file = write("big.json", "");
  fs::resize_file(file, kMaxScenarioBytes + 1);
  EXPECT_EQ(errorOf(file), file.string() + ": (file): file is larger than 16 MiB");
}

TEST_F(ScenarioFile, MessagesNameThePathAsGiven) {
  const fs::path file = write("bad.json", R"({"version": 3})");
  EXPECT_EQ(errorOf(file), file.string() + ": version: version must be 1, got 3");
  EXPECT_EQ(errorOf(dir_ / "none.json"),
            (dir_ / "none.json").string() + ": (file): cannot read: no such file");
  EXPECT_EQ(errorOf(dir_), dir_.string() + ": (file): cannot read: it is a directory");
}

}  // namespace
}  // namespace tallyrig::host

// Reading the statistics files: rows split from both ends, blocks, and every kind of damage a
// file can carry, each named by file and line while the rest is still read.

#include <fmt/format.h>
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "stats/history.h"
#include "stats/statistics_reader.h"

namespace {

using namespace tallyrig::stats;

const std::string kHeader = std::string(kHeaderLine) + "\n";
const std::string kAna =
    "Blue, Ana, 1, 0, 1, 1, 0, 150, 1204.5, 2, WIN, 12/08/2026 21:05, Steam|76561198000000001|0\n";
const std::string kBo = "Blue, Bo, 1, 1, 0, 3, 2, 210, 0, 2, WIN, 12/08/2026 21:05, Epic|a1b2|0\n";
const std::string kCy = "Orange, Cy, 0, 0, 2, 1, 0, 120, 0, 1, LOSS, 12/08/2026 21:05, PS4|6|0\n";
const std::string kBlock = kHeader + kAna + kBo + kCy + "\n\n";

struct Read {
  History history;
  std::vector<std::string> warnings;
};

Read readText(const std::string& text) {
  Read read;
  readStatisticsText(text, "f.csv", 2026, "Doubles", read.history,
                     [&](const std::string& message) { read.warnings.push_back(message); });
  return read;
}

std::vector<std::string> namesOf(const History& history) {
  std::vector<std::string> names;
  for (const Row& row : history.rows) names.push_back(history.text(row.name));
  return names;
}

// The fields point into the line, so every line tested stays alive here.
RowFields parsed(std::string line) {
  static std::vector<std::unique_ptr<std::string>> lines;
  lines.push_back(std::make_unique<std::string>(std::move(line)));
  const std::optional<RowFields> row = parseRow(*lines.back());
  EXPECT_TRUE(row) << line;
  return row.value_or(RowFields{});
}

TEST(ParseRow, ReadsEveryField) {
  const RowFields row = parsed(kCy.substr(0, kCy.size() - 1));
  EXPECT_EQ(row.colour, Colour::Orange);
  EXPECT_EQ(row.name, "Cy");
  EXPECT_EQ(row.counters.goals, 0);
  EXPECT_EQ(row.counters.saves, 2);
  EXPECT_EQ(row.counters.shots, 1);
  EXPECT_EQ(row.counters.score, 120);
  EXPECT_EQ(row.mmr, 0);
  EXPECT_EQ(row.teamGoals, 1);
  EXPECT_FALSE(row.win);
  EXPECT_EQ(row.time, (LocalTime{2026, 12, 8, 21, 5}));
  EXPECT_EQ(row.playerId, "PS4|6|0");
}

TEST(ParseRow, TheNameIsWhatLiesBetweenBothEnds) {
  EXPECT_EQ(
      parsed("Blue, Ana, 2, 0, 1, 0, 0, 0, 0, 150, 1204.5, 2, WIN, 03/07/2024 21:05, S|1|0").name,
      "Ana, 2, 0");
  EXPECT_EQ(parsed("Blue, , 2, 0, 1, 0, 0, 150, 1204.5, 2, WIN, 03/07/2024 21:05, S|1|0").name, "");
  EXPECT_EQ(parsed("Blue, , , 2, 0, 1, 0, 0, 150, 1, 2, WIN, 03/07/2024 21:05, S").name, ", ");
  EXPECT_EQ(parsed("Blue,  x , 2, 0, 1, 0, 0, 150, 1, 2, WIN, 03/07/2024 21:05, S").name, " x ");
  // A name that looks like a whole row's fields still ends where the real fields begin.
  EXPECT_EQ(parsed("Orange, 1, 0, 0, 0, 0, 0, 0, 1, WIN, 01/01/2024 10:00, x, 2, 0, 1, 0, 0, "
                   "150, 1, 2, LOSS, 03/07/2024 21:05, S")
                .name,
            "1, 0, 0, 0, 0, 0, 0, 1, WIN, 01/01/2024 10:00, x");
}

TEST(ParseRow, TheIdTakesEverythingAfterTheTimestamp) {
  EXPECT_EQ(parsed("Blue, A, 2, 0, 1, 0, 0, 150, 1, 2, WIN, 03/07/2024 21:05, ").playerId, "");
  EXPECT_EQ(parsed("Blue, A, 2, 0, 1, 0, 0, 150, 1, 2, WIN, 03/07/2024 21:05, a, b").playerId,
            "a, b");
  EXPECT_EQ(
      parsed("Blue, A, 2, 0, 1, 0, 0, 150, 1, 2, WIN, 03/07/2024 21:05, a, 03/07/2024 21:05, b")
          .playerId,
      "a, 03/07/2024 21:05, b");
}

TEST(ParseRow, AnIdHoldingAWholeFieldSequenceIsTheAmbiguityLeft) {
  const RowFields row = parsed(
      "Blue, A, 2, 0, 1, 0, 0, 150, 1, 2, WIN, 03/07/2024 21:05, x, 9, 9, 9, 9, 9, 9, 9, 9, LOSS, "
      "01/01/2025 10:00, y");
  EXPECT_EQ(row.name, "A, 2, 0, 1, 0, 0, 150, 1, 2, WIN, 03/07/2024 21:05, x");
  EXPECT_EQ(row.playerId, "y");
  EXPECT_EQ(row.counters.goals, 9);
}

TEST(ParseRow, IntegersAndRatingsAtTheirLimits) {
  // Counts are whatever the game gave the plugin, negative ones too: the file keeps them.
  const RowFields extreme = parsed(
      "Blue, A, -2147483648, 2147483647, 0, -1, 7, -2147483648, 1e+06, 2147483647, WIN, "
      "03/07/2024 21:05, S");
  EXPECT_EQ(extreme.counters.goals, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(extreme.counters.assists, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(extreme.mmr, 1e6);
  EXPECT_EQ(extreme.teamGoals, std::numeric_limits<std::int32_t>::max());
  for (const std::string rating : {"-1", "0", "1234.57", "1.5e-05", "-1e+06"}) {
    const std::string line =
        "Blue, A, 1, 0, 0, 0, 0, 0, " + rating + ", 1, WIN, 03/07/2024 21:05, S";
    EXPECT_TRUE(parseRow(line)) << rating;
  }
  // No output could show these as a rating.
  for (const std::string rating : {"nan", "-nan", "inf", "-inf", "infinity", "1e999"}) {
    const std::string line =
        "Blue, A, 1, 0, 0, 0, 0, 0, " + rating + ", 1, WIN, 03/07/2024 21:05, S";
    EXPECT_FALSE(parseRow(line)) << rating;
  }
  for (const std::string goals : {"2147483648", "-2147483649", "+1", "", " 1", "1.0", "0x1"}) {
    const std::string line =
        "Blue, A, " + goals + ", 0, 0, 0, 0, 0, 1, 1, WIN, 03/07/2024 21:05, S";
    EXPECT_FALSE(parseRow(line)) << goals;
  }
}

TEST(ParseRow, RejectsWhatThePluginNeverWrites) {
  for (const std::string line : {
           "Green, A, 1, 0, 0, 0, 0, 0, 1, 1, WIN, 03/07/2024 21:05, S",
           "blue, A, 1, 0, 0, 0, 0, 0, 1, 1, WIN, 03/07/2024 21:05, S",
           "Blue, A, 1, 0, 0, 0, 0, 1, 1, WIN, 03/07/2024 21:05, S",  // a counter short
           "Blue, A, 1, 0, 0, 0, 0, 0, 1, 1, DRAW, 03/07/2024 21:05, S",
           "Blue, A, 1, 0, 0, 0, 0, 0, 1, 1, WIN, 3/7/2024 21:05, S",
           "Blue, A, 1, 0, 0, 0, 0, 0, 1, 1, WIN, 03/07/2024 21:05",  // no id field
           "Blue, A, 1, 0, 0, 0, 0, 0, 1, 1, WIN,03/07/2024 21:05, S",
           "Blue, A, 1, 0, 0, 0, 0, 0, x, 1, WIN, 03/07/2024 21:05, S",
           "Blue",
           "",
       }) {
    EXPECT_FALSE(parseRow(line)) << line;
  }
}

TEST(ParseTimestamp, OnlyRealCalendarTimes) {
  EXPECT_EQ(parseTimestamp("02/29/2024 23:59"), (LocalTime{2024, 2, 29, 23, 59}));
  EXPECT_EQ(parseTimestamp("01/01/0000 00:00"), (LocalTime{0, 1, 1, 0, 0}));
  for (const char* text : {"02/29/2023 10:00", "13/01/2024 10:00", "00/10/2024 10:00",
                           "04/31/2024 10:00", "01/01/2024 24:00", "01/01/2024 10:60",
                           "01-01-2024 10:00", "01/01/2024 10:0", "01/01/2024T10:00"}) {
    EXPECT_FALSE(parseTimestamp(text)) << text;
  }
  EXPECT_TRUE(parseIsoDate("2024-02-29"));
  EXPECT_FALSE(parseIsoDate("2023-02-29"));
  EXPECT_FALSE(parseIsoDate("2024-2-29"));
  EXPECT_FALSE(parseIsoDate("2024/02/29"));
}

TEST(LocalTime, MinutesOrderAndRoundTrip) {
  const LocalTime lastOfYear{2025, 12, 31, 23, 59};
  const LocalTime firstOfNext{2026, 1, 1, 0, 0};
  EXPECT_EQ(firstOfNext.minutes() - lastOfYear.minutes(), 1);
  EXPECT_EQ(LocalTime{}.minutes(), 0);
  for (const LocalTime& time :
       {lastOfYear, firstOfNext, LocalTime{1969, 12, 31, 23, 59}, LocalTime{2024, 2, 29, 12, 30}}) {
    EXPECT_EQ(LocalTime::fromMinutes(time.minutes()), time);
  }
}

TEST(StatisticsText, BlocksWithLfOrCrLfReadTheSame) {
  std::string crlf;
  for (const char c : kBlock + kBlock) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  for (const std::string& text : {kBlock + kBlock, crlf}) {
    const Read read = readText(text);
    EXPECT_TRUE(read.warnings.empty());
    ASSERT_EQ(read.history.matches.size(), 2u);
    EXPECT_EQ(read.history.matches[1].firstRow, 3u);
    EXPECT_EQ(read.history.matches[1].rowCount, 3u);
    EXPECT_EQ(namesOf(read.history),
              (std::vector<std::string>{"Ana", "Bo", "Cy", "Ana", "Bo", "Cy"}));
    EXPECT_EQ(read.history.text(read.history.rows[0].playerId), "Steam|76561198000000001|0");
  }
}

TEST(StatisticsText, EndsWithoutBlankLinesAreWhole) {
  for (const std::string& end : {std::string(""), std::string("\n"), std::string("\r\n")}) {
    const Read read = readText(kBlock + kHeader + kAna + end);
    EXPECT_TRUE(read.warnings.empty());
    EXPECT_EQ(read.history.matches.size(), 2u);
  }
  EXPECT_TRUE(readText("").warnings.empty());
  EXPECT_TRUE(readText("").history.matches.empty());
  EXPECT_TRUE(readText("\n\n\r\n").warnings.empty());
}

TEST(StatisticsText, ABlockCutOffAtTheEndKeepsItsWholeRows) {
  const Read cutInRow = readText(kBlock + kHeader + kAna + "Blue, Bo, 1, 1");
  EXPECT_EQ(cutInRow.warnings,
            (std::vector<std::string>{"f.csv:9: the file ends inside a line; the cut-off line is "
                                      "skipped"}));
  ASSERT_EQ(cutInRow.history.matches.size(), 2u);
  EXPECT_EQ(cutInRow.history.matches[1].rowCount, 1u);

  const Read cutAfterRow = readText(kHeader + kAna.substr(0, kAna.size() - 1));
  EXPECT_EQ(cutAfterRow.warnings,
            (std::vector<std::string>{"f.csv:2: the file ends inside a line; the last block may "
                                      "be cut off"}));
  EXPECT_EQ(cutAfterRow.history.matches.size(), 1u);

  const Read onlyHeader = readText(kBlock + kHeader);
  EXPECT_EQ(onlyHeader.warnings,
            (std::vector<std::string>{"f.csv:7: a header line with no rows after it"}));
  EXPECT_EQ(onlyHeader.history.matches.size(), 1u);
}

TEST(StatisticsText, DamageInsideTheFileIsNamedAndSkipped) {
  const Read read =
      readText(kAna + kHeader + kAna + "garbage\n" + kBo + "\n\n" + kCy + kHeader + "\n" + kHeader +
               kAna + "Blue, Bo, 1, 0, 0" + kHeader + kCy + kHeader + kBo);
  EXPECT_EQ(read.warnings, (std::vector<std::string>{
                               "f.csv:1: a row with no header line before it; skipped",
                               "f.csv:4: not a header line, a row or an empty line; skipped",
                               "f.csv:8: a row with no header line before it; skipped",
                               "f.csv:9: a header line with no rows after it",
                               "f.csv:13: a line cut off before a header line; skipped",
                               "f.csv:15: a header line inside a block: the block before it has "
                               "no end",
                           }));
  EXPECT_EQ(namesOf(read.history), (std::vector<std::string>{"Ana", "Bo", "Ana", "Cy", "Bo"}));
  EXPECT_EQ(read.history.matches.size(), 4u);
}

// The row's fields from the right: the first that does not read is named with its text.
TEST(StatisticsText, ARowThatDoesNotReadNamesTheField) {
  const std::string good = "Blue, Ana, 1, 2, 3, 4, 5, 100, 1200, 2, WIN, 03/07/2024 21:05, S|1|0";
  struct Case {
    std::string from, to, warning;
  };
  const std::string range = " is out of range (-2147483648 to 2147483647)";
  const std::vector<Case> cases = {
      {"03/07/2024 21:05", "02/30/2023 25:00",
       "2: TIMESTAMP \"02/30/2023 25:00\" is not a calendar time"},
      {"03/07/2024 21:05", "03/07/2024 23:60",
       "2: TIMESTAMP \"03/07/2024 23:60\" is not a calendar time"},
      {"03/07/2024 21:05", "2024-03-07 21:05",
       "2: TIMESTAMP \"2024-03-07 21:05\" is not a time as MM/DD/YYYY HH:MM"},
      {"WIN", "DRAW", "2: W/L \"DRAW\" is not WIN or LOSS"},
      {", 2, WIN", ", two, WIN", "2: TEAM GOALS \"two\" is not a whole number"},
      {"1200", "12a0", "2: MMR \"12a0\" is not a number"},
      {"1200", "nan", "2: MMR \"nan\" is not a finite number"},
      {"1200", "-inf", "2: MMR \"-inf\" is not a finite number"},
      {"Ana, 1,", "Ana, 99999999999,", "2: GOALS \"99999999999\"" + range},
      {"Ana, 1,", "Ana, 2147483648,", "2: GOALS \"2147483648\"" + range},
      // The row reads; only the sample row after it has another time.
      {"Ana, 1,", "Ana, -2147483648,", "3: the timestamp differs from the block's first row"},
      {", 100,", ", 1e2,", "2: SCORE \"1e2\" is not a whole number"},
      {"3, 4, 5", "3, , 5", "2: SHOTS \"\" is not a whole number"},
      {"Blue", "Purple", "2: TEAM COLOR \"Purple\" is not Blue or Orange"},
      {good, "Orange, Bo, 1, 0, 0", "2: a row with 5 of its 13 fields; skipped"},
      {"Ana, ", "", "2: a row with 12 of its 13 fields; skipped"},
      {good, "Purple, Bo", "2: not a header line, a row or an empty line; skipped"},
      // A row refused with a separator in its id is named as read from the right.
      {"WIN, 03/07/2024 21:05, S|1|0", "DRAW, 03/07/2024 21:05, S, 1|0",
       "2: TIMESTAMP \"S\" is not a time as MM/DD/YYYY HH:MM"},
  };
  for (const Case& each : cases) {
    std::string line = good;
    line.replace(line.find(each.from), each.from.size(), each.to);
    const Read read = readText(kHeader + line + "\n" + kAna);
    ASSERT_FALSE(read.warnings.empty()) << line;
    EXPECT_EQ(read.warnings[0], "f.csv:" + each.warning);
  }
}

// An editor that saved the file may have put a byte-order mark before the first header line.
TEST(StatisticsText, AByteOrderMarkBeforeTheFirstLineIsNoDamage) {
  const Read read = readText("\xEF\xBB\xBF" + kHeader + kAna);
  EXPECT_EQ(read.warnings, std::vector<std::string>{});
  EXPECT_EQ(read.history.matches.size(), 1u);
  // Only at the start of the file: elsewhere it is bytes before a header line.
  const Read later = readText(kHeader + kAna + "\n\xEF\xBB\xBF" + kHeader + kAna);
  EXPECT_EQ(later.warnings,
            std::vector<std::string>{"f.csv:4: a line cut off before a header line; skipped"});
}

TEST(StatisticsText, ARowWithAnotherTimestampIsNamedButKept) {
  const Read read = readText(kHeader + kAna +
                             "Orange, Cy, 0, 0, 2, 1, 0, 120, 0, 1, LOSS, 12/08/2026 21:06, P\n");
  EXPECT_EQ(
      read.warnings,
      (std::vector<std::string>{"f.csv:3: the timestamp differs from the block's first row"}));
  EXPECT_EQ(read.history.rows.size(), 2u);
}

TEST(StatisticsText, LinesLongerThanTheLimitAreSkippedUnread) {
  // A row of exactly the limit, with a CR LF line end, is still read.
  std::string longest = kAna.substr(0, kAna.size() - 1);
  longest.insert(6, kMaxLineBytes - longest.size(), 'n');
  ASSERT_EQ(longest.size(), kMaxLineBytes);
  const Read atLimit = readText(kHeader + longest + "\r\n");
  EXPECT_TRUE(atLimit.warnings.empty());
  EXPECT_EQ(atLimit.history.rows.size(), 1u);

  const Read over = readText(kHeader + "x" + longest + "\n" + kBo + std::string(10000, 'z'));
  EXPECT_EQ(over.warnings, (std::vector<std::string>{
                               "f.csv:2: a line longer than 4096 bytes; skipped",
                               "f.csv:4: a line longer than 4096 bytes; skipped",
                           }));
  EXPECT_EQ(namesOf(over.history), (std::vector<std::string>{"Bo"}));
}

// The reader is fed whatever pieces a read returns; where they break must not matter.
TEST(StatisticsText, PiecesOfAnySizeReadTheSame) {
  std::string text = kBlock + "x" + std::string(5000, 'y') + "\r\n" + kHeader + kCy + "bad\r\n" +
                     kHeader + kBo.substr(0, 30);
  struct Log final : ReaderEvents {
    std::string events;
    void blockStarted(std::size_t line) override { events += "B" + std::to_string(line); }
    void rowRead(const RowFields& row, std::size_t line) override {
      events += "R" + std::to_string(line) + std::string(row.name);
    }
    void blockEnded() override { events += "E"; }
    void warning(std::size_t line, std::string_view) override {
      events += "W" + std::to_string(line);
    }
  };
  Log whole;
  StatisticsReader wholeReader(whole);
  wholeReader.feed(text);
  wholeReader.finish();
  EXPECT_EQ(whole.events, "B1R2AnaR3BoR4CyEW7B8R9CyW10W11EB11W12W11E");
  for (const std::size_t piece : {1u, 2u, 7u, 4096u, 4097u}) {
    Log pieces;
    StatisticsReader reader(pieces);
    for (std::size_t at = 0; at < text.size(); at += piece) {
      reader.feed(std::string_view(text).substr(at, piece));
    }
    reader.finish();
    EXPECT_EQ(pieces.events, whole.events) << piece;
  }
}

TEST(StatisticsText, ABlockKeepsAtMost64Rows) {
  std::string text = kHeader;
  for (int i = 0; i < 70; ++i) text += kBo;
  const Read read = readText(text + "\n\n" + kBlock);
  EXPECT_EQ(
      read.warnings,
      (std::vector<std::string>{"f.csv:66: more than 64 rows in one block; the rest are skipped"}));
  ASSERT_EQ(read.history.matches.size(), 2u);
  EXPECT_EQ(read.history.matches[0].rowCount, 64u);
  EXPECT_EQ(read.history.matches[1].rowCount, 3u);
}

TEST(StatisticsText, BinaryGarbageGivesWarningsOnly) {
  std::string garbage;
  for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 131 + 7) % 256);
  const Read read = readText(garbage + "\n" + std::string("\0\0\n", 3) + kBlock);
  EXPECT_EQ(read.history.matches.size(), 1u);
  EXPECT_FALSE(read.warnings.empty());
}

TEST(StatisticsText, AtMost20WarningsAFileThenACount) {
  std::string text;
  for (int i = 0; i < 25; ++i) text += "junk\n";
  const Read read = readText(text);
  ASSERT_EQ(read.warnings.size(), 21u);
  EXPECT_EQ(read.warnings[19], "f.csv:20: not a header line, a row or an empty line; skipped");
  EXPECT_EQ(read.warnings[20], "f.csv: 5 more problems not shown");
  EXPECT_EQ(read.history.warnings, 25u);
}

TEST(StatisticsFiles, FoundByYearThenNameAndReadReadOnly) {
  namespace fs = std::filesystem;
  const fs::path data = fs::path(testing::TempDir()) / "stats-reader-files";
  fs::remove_all(data);
  const auto write = [&](const fs::path& relative, const std::string& text) {
    fs::create_directories((data / relative).parent_path());
    std::ofstream(data / relative, std::ios::binary) << text;
  };
  write("Tallyrig/2025/Duel.csv", kBlock);
  write("Tallyrig/2024/Standard.csv", kBlock);
  write("Tallyrig/2024/Chaos.csv", kBlock + kBlock);
  write("Tallyrig/2024/notes.txt", "not a statistics file");
  write("Tallyrig/202x/Duel.csv", kBlock);
  write("Tallyrig/20245/Duel.csv", kBlock);
  write("Tallyrig/Duel.csv", kBlock);
  write("Tallyrig/2024/Upper.CSV", kBlock);
  write("Tallyrig/999/Duel.csv", kBlock);
  write("Tallyrig/abcd/Duel.csv", kBlock);
  fs::create_directories(data / "Tallyrig/2024/Folder.csv");
#if !defined(_WIN32)
  // Reading these would wait for a writer, read without end or fail: each is named.
  ASSERT_EQ(mkfifo((data / "Tallyrig/2024/Fifo.csv").c_str(), 0600), 0);
  fs::create_symlink("missing.csv", data / "Tallyrig/2024/Dangling.csv");
  fs::create_symlink("Loop.csv", data / "Tallyrig/2024/Loop.csv");
  fs::create_symlink("/dev/zero", data / "Tallyrig/2024/Zero.csv");
#endif

  std::vector<std::string> warnings;
  const WarningSink warn = [&](const std::string& message) { warnings.push_back(message); };
  const std::vector<StatisticsFile> files = findStatisticsFiles(data, warn);
  const auto where = [&](const char* relative) { return displayPath(data / relative); };
  std::vector<std::string> expected;
#if !defined(_WIN32)
  expected.push_back(where("Tallyrig/2024/Dangling.csv") +
                     ": a link that leads to no file, not a statistics file; skipped");
  expected.push_back(where("Tallyrig/2024/Fifo.csv") + ": a FIFO, not a statistics file; skipped");
#endif
  expected.push_back(where("Tallyrig/2024/Folder.csv") +
                     ": a folder, not a statistics file; skipped");
#if !defined(_WIN32)
  expected.push_back(where("Tallyrig/2024/Loop.csv") +
                     ": a link that loops, not a statistics file; skipped");
#endif
#if defined(_WIN32)
  // Names are case-blind there: the file is the plugin's own.
  constexpr std::size_t kUpper = 1;
#else
  constexpr std::size_t kUpper = 0;
  expected.push_back(where("Tallyrig/2024/Upper.CSV") +
                     ": named .CSV, not .csv; skipped (on Windows, where names are case-blind, "
                     "it is read)");
  expected.push_back(where("Tallyrig/2024/Zero.csv") +
                     ": a device, not a statistics file; skipped");
#endif
  for (const char* folder : {"Tallyrig/20245", "Tallyrig/202x", "Tallyrig/999", "Tallyrig/abcd"}) {
    expected.push_back(where(folder) + ": not a year folder (four digits); skipped");
  }
  EXPECT_EQ(warnings, expected);
  warnings.clear();
  ASSERT_EQ(files.size(), 3u + kUpper);
  EXPECT_EQ(files[0].playlist, "Chaos");
  EXPECT_EQ(files[1].playlist, "Standard");
  if (kUpper == 1) {
    EXPECT_EQ(files[2].playlist, "Upper");
  }
  EXPECT_EQ(files[2 + kUpper].playlist, "Duel");
  EXPECT_EQ(files[2 + kUpper].year, 2025);

  const auto before = fs::last_write_time(files[0].path);
  const History history = readHistory(files, warn);
  EXPECT_EQ(warnings, std::vector<std::string>{});
  EXPECT_EQ(history.filesRead, 3u + kUpper);
  ASSERT_EQ(history.matches.size(), 4u + kUpper);
  EXPECT_EQ(history.playlists.back(), "Duel");
  EXPECT_EQ(history.matches.back().year, 2025);
  EXPECT_EQ(history.matches.back().playlist, 2u + kUpper);
  EXPECT_EQ(fs::last_write_time(files[0].path), before);
  EXPECT_EQ(fs::file_size(files[0].path), 2 * kBlock.size());

  EXPECT_TRUE(findStatisticsFiles(data / "missing", warn).empty());
  EXPECT_EQ(warnings, std::vector<std::string>{});
  fs::remove_all(data);
}

}  // namespace

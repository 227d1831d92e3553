// What the program writes: the summary text byte for byte, the CSV export's quoting, encoding
// and numbering, the JSON figures, and a report that no name can break out of.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "common/utf8.h"
#include "stats/outputs.h"
#include "stats/report_assets.h"
#include "test_history.h"

namespace {

using namespace tallyrig::stats;
using tallyrig::stats::testing::addFile;
using tallyrig::stats::testing::blockText;
using tallyrig::stats::testing::TestRow;

const TestRow kAna{"Blue", "Ana", 2, "1204.5", 2, true, "Steam|1|0"};
const TestRow kCy{"Orange", "Cy, the \"3rd\"", 1, "0", 1, false, "PS4|3|0"};

History sampleHistory() {
  History history;
  TestRow anaLater = kAna;
  anaLater.mmr = "1213.25";
  TestRow anaLost = kAna;
  anaLost.win = false;
  anaLost.mmr = "-1";
  anaLost.goals = 0;
  addFile(
      history, "Doubles_Ranked",
      blockText("03/07/2024 21:05", {kAna, kCy}) + blockText("03/07/2024 21:20", {anaLater, kCy}),
      2024);
  addFile(history, "Duel", blockText("03/07/2024 22:00", {anaLost, kCy}), 2024);
  return history;
}

Summary summaryOf(const History& history, const Filters& filters = {}) {
  const TextId player = *history.find("Steam|1|0");
  return summarise(history, player, filters, findPlayerMatches(history, player, filters));
}

TEST(SummaryText, AlignedPerPlaylistAndOverallThenTheLastSession) {
  EXPECT_EQ(
      summaryText(summaryOf(sampleHistory())),
      "Player Steam|1|0 (Ana): 3 matches, 2024-03-07 21:05 to 2024-03-07 22:00\n"
      "\n"
      "playlist        matches  W  L   win %  goals  assists  saves  shots  shooting %  demos  "
      "score  MMR first  MMR latest  MMR peak  change  win streak  now\n"
      "Doubles_Ranked        2  2  0  100.0%   2.00     1.00   2.00   3.00       66.7%   4.00  "
      "100.0     1204.5     1213.25   1213.25   +8.75           2   W2\n"
      "Duel                  1  0  1    0.0%   0.00     1.00   2.00   3.00        0.0%   4.00  "
      "100.0       none        none      none    none           0   L1\n"
      "all                   3  2  1   66.7%   1.33     1.00   2.00   3.00       44.4%   4.00  "
      "100.0       none        none      none   +8.75           2   L1\n"
      "\n"
      "Goals, assists, saves, shots, demos (demolitions) and score: the average per match;\n"
      "shooting %: goals out of shots. MMR first, latest and peak: the first, the latest and the\n"
      "highest rating the files give for the playlist, none where they give none; change: the\n"
      "latest less the first (\"all\" adds up the playlists' changes). Win streak: the longest\n"
      "run of wins; now: the current run (W3: three wins in a row, L2: two losses).\n"
      "\n"
      "Highest MMR in Doubles_Ranked: 1213.25, 2024-03-07 21:20\n"
      "Longest winning streak: 2, 2024-03-07 21:05 to 2024-03-07 21:20\n"
      "Longest losing streak: 1, 2024-03-07 22:00 to 2024-03-07 22:00\n"
      "\n"
      "Last session: 2024-03-07 21:05 to 2024-03-07 22:00, 3 matches, 2-1, MMR +8.75 "
      "(Doubles_Ranked)\n"
      "\n"
      "Met most often in Doubles_Ranked (the player's W-L and win % beside them):\n"
      "  opponent   Cy, the \"3rd\" (PS4|3|0): 2 matches, 2-0, 100.0%\n"
      "\n"
      "Met most often in Duel (the player's W-L and win % beside them):\n"
      "  opponent   Cy, the \"3rd\" (PS4|3|0): 1 match, 0-1, 0.0%\n");
}

TEST(SummaryText, TheTrendThenTheChangesPerDayAndPerSessionAndWhoWasMet) {
  History history;
  std::string text;
  for (int i = 0; i < 22; ++i) {
    TestRow ana = kAna;
    ana.goals = i % 3;
    ana.saves = i < 2 ? 5 : 1;
    const std::string mmr = i == 5 ? "-1" : fmt::format("{}", 1000 + i * 2);
    ana.mmr = mmr;
    ana.win = i % 4 != 0;
    TestRow mate{"Blue", i < 21 ? "Bo" : "Bob", 0, "0", 1, ana.win, "Epic|2|0"};
    // Eight matches on the 7th, a break, five more; nine on the 8th.
    const int minute = i < 8 ? 20 * 60 + i * 10 : i < 13 ? 23 * 60 + (i - 8) * 10 : 600 + i * 5;
    text += blockText(
        fmt::format("03/{:02}/2024 {:02}:{:02}", i < 13 ? 7 : 8, minute / 60, minute % 60),
        {ana, mate, kCy});
  }
  addFile(history, "Doubles", text, 2024);
  addFile(history, "Duel", blockText("03/08/2024 12:00", {kAna, kCy}), 2024);
  const std::string summary = summaryText(summaryOf(history));
  // The trend: goals 20 of 60 shots now, and over the first three matches, 3 of 9.
  EXPECT_EQ(
      summary.substr(summary.find("Moving")),
      "Moving average of 20 matches, now (and 20 matches before): shooting 33.3% (33.3%), saves "
      "1.05 (3.67), assists 1.00 (1.00)\n"
      "\n"
      "Last session: 2024-03-08 11:05 to 2024-03-08 12:00, 10 matches, 8-2, MMR +16 (Doubles +16, "
      "Duel +0)\n"
      "\n"
      "MMR change per day, the latest 2 of 2:\n"
      "2024-03-07  13 matches  9-4  +26 (Doubles)\n"
      "2024-03-08  10 matches  8-2  +16 (Doubles +16, Duel +0)\n"
      "\n"
      "MMR change per session, the latest 3 of 3:\n"
      "2024-03-07 20:00 to 21:10   8 matches  6-2  +16 (Doubles)\n"
      "2024-03-07 23:00 to 23:40   5 matches  3-2  +10 (Doubles)\n"
      "2024-03-08 11:05 to 12:00  10 matches  8-2  +16 (Doubles +16, Duel +0)\n"
      "\n"
      "Met most often in Doubles (the player's W-L and win % beside them):\n"
      "  team-mate  Bob (Epic|2|0, also Bo): 22 matches, 16-6, 72.7%\n"
      "  opponent   Cy, the \"3rd\" (PS4|3|0): 22 matches, 16-6, 72.7%\n"
      "\n"
      "Met most often in Duel (the player's W-L and win % beside them):\n"
      "  opponent   Cy, the \"3rd\" (PS4|3|0): 1 match, 1-0, 100.0%\n");
}

TEST(SummaryText, NothingInANameReachesTheTerminalRaw) {
  History history;
  TestRow odd = kAna;
  odd.id = "Steam|\x1b[2J\xff|0";
  odd.name = "A\x07na";
  addFile(history, "Duel", blockText("03/07/2024 21:05", {odd}));
  const TextId player = history.rows[0].playerId;
  const Summary summary = summarise(history, player, {}, findPlayerMatches(history, player, {}));
  const std::string text = summaryText(summary);
  EXPECT_EQ(text.substr(0, text.find(':', 14)),
            "Player Steam|\xEF\xBF\xBD[2J\xEF\xBF\xBD|0 (A\xEF\xBF\xBDna)");
}

TEST(CsvExport, QuotedWhereNeededUtf8WithCrLf) {
  History history = sampleHistory();
  TestRow odd = kAna;
  odd.name = "caf\xc3\xa9 \xff";
  odd.id = "a,b";
  addFile(history, "Duel", blockText("12/31/2024 23:59", {kAna, odd}), 2024);
  std::ostringstream out;
  const TextId ana = *history.find("Steam|1|0");
  writeCsvExport(out, history, ana, findPlayerMatches(history, ana, {}));
  EXPECT_EQ(out.str(),
            "\xEF\xBB\xBF"
            "match,playlist,year,timestamp,team_color,name,goals,assists,saves,shots,demos,score,"
            "mmr,team_goals,result,player_id,is_player\r\n"
            "1,Doubles_Ranked,2024,2024-03-07T21:05,Blue,Ana,2,1,2,3,4,100,1204.5,2,WIN,Steam|1|0,"
            "true\r\n"
            "1,Doubles_Ranked,2024,2024-03-07T21:05,Orange,\"Cy, the "
            "\"\"3rd\"\"\",1,1,2,3,4,100,0,1,LOSS,PS4|3|0,false\r\n"
            "2,Doubles_Ranked,2024,2024-03-07T21:20,Blue,Ana,2,1,2,3,4,100,1213.25,2,WIN,Steam|1|0,"
            "true\r\n"
            "2,Doubles_Ranked,2024,2024-03-07T21:20,Orange,\"Cy, the "
            "\"\"3rd\"\"\",1,1,2,3,4,100,0,1,LOSS,PS4|3|0,false\r\n"
            "3,Duel,2024,2024-03-07T22:00,Blue,Ana,0,1,2,3,4,100,-1,2,LOSS,Steam|1|0,true\r\n"
            "3,Duel,2024,2024-03-07T22:00,Orange,\"Cy, the "
            "\"\"3rd\"\"\",1,1,2,3,4,100,0,1,LOSS,PS4|3|0,false\r\n"
            "4,Duel,2024,2024-12-31T23:59,Blue,Ana,2,1,2,3,4,100,1204.5,2,WIN,Steam|1|0,true\r\n"
            "4,Duel,2024,2024-12-31T23:59,Blue,caf\xc3\xa9 "
            "\xEF\xBF\xBD,2,1,2,3,4,100,1204.5,2,WIN,\"a,b\",false\r\n");
}

// The rows of `history` after the header line, as the export writes them in `style`.
std::string csvRows(const History& history, const std::string& player, CsvText style) {
  std::ostringstream out;
  const TextId id = *history.find(player);
  writeCsvExport(out, history, id, findPlayerMatches(history, id, {}), style);
  const std::string text = out.str();
  return text.substr(text.find("\r\n") + 2);
}

TEST(CsvExport, FormulasAndControlCharactersDefusedUnlessRaw) {
  History history;
  TestRow formula = kAna;
  formula.name = "=HYPERLINK(\"x\")";
  formula.id = "@id";
  const std::string nulName("+1\0cut", 6);
  TestRow plus = kCy;
  plus.name = nulName;
  plus.id = "-2";
  TestRow tab = kCy;
  tab.name = "\tTab";
  tab.id = "mid=dle+-@";
  addFile(history, "=Playlist", blockText("03/07/2024 21:05", {formula, plus, tab}), 2024);
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(csvRows(history, "@id", CsvText::Defused),
            "1,'=Playlist,2024,2024-03-07T21:05,Blue,\"'=HYPERLINK(\"\"x\"\")\",2,1,2,3,4,100,"
            "1204.5,2,WIN,'@id,true\r\n"
            "1,'=Playlist,2024,2024-03-07T21:05,Orange,'+1" +
                fffd +
                "cut,1,1,2,3,4,100,0,1,LOSS,'-2,false\r\n"
                "1,'=Playlist,2024,2024-03-07T21:05,Orange," +
                fffd + "Tab,1,1,2,3,4,100,0,1,LOSS,mid=dle+-@,false\r\n");
  EXPECT_EQ(csvRows(history, "@id", CsvText::Raw),
            "1,=Playlist,2024,2024-03-07T21:05,Blue,\"=HYPERLINK(\"\"x\"\")\",2,1,2,3,4,100,"
            "1204.5,2,WIN,@id,true\r\n"
            "1,=Playlist,2024,2024-03-07T21:05,Orange," +
                nulName +
                ",1,1,2,3,4,100,0,1,LOSS,-2,false\r\n"
                "1,=Playlist,2024,2024-03-07T21:05,Orange,\tTab,1,1,2,3,4,100,0,1,LOSS,"
                "mid=dle+-@,false\r\n");
}

// A spreadsheet splitting on ';' or a tab sees each piece as a cell: quoting does not help, the
// quote is in the middle of a cell there.
TEST(CsvExport, EveryPieceASemicolonSpreadsheetSplitsOffIsDefused) {
  History history;
  TestRow semicolons = kAna;
  semicolons.name = "x;=1+1;";
  semicolons.id = "id;@SUM(A1);-2;+3;plain;";
  TestRow quoted = kCy;
  quoted.name = "a, b;=HYPERLINK(\"x\")";
  addFile(history, "Duel;=cmd", blockText("03/07/2024 21:05", {semicolons, quoted}), 2024);
  const std::string player = "id;@SUM(A1);-2;+3;plain;";
  EXPECT_EQ(csvRows(history, player, CsvText::Defused),
            "1,Duel;'=cmd,2024,2024-03-07T21:05,Blue,x;'=1+1;,2,1,2,3,4,100,1204.5,2,WIN,"
            "id;'@SUM(A1);'-2;'+3;plain;,true\r\n"
            "1,Duel;'=cmd,2024,2024-03-07T21:05,Orange,\"a, b;'=HYPERLINK(\"\"x\"\")\",1,1,2,3,4,"
            "100,0,1,LOSS,PS4|3|0,false\r\n");
  EXPECT_EQ(csvRows(history, player, CsvText::Raw),
            "1,Duel;=cmd,2024,2024-03-07T21:05,Blue,x;=1+1;,2,1,2,3,4,100,1204.5,2,WIN,"
            "id;@SUM(A1);-2;+3;plain;,true\r\n"
            "1,Duel;=cmd,2024,2024-03-07T21:05,Orange,\"a, b;=HYPERLINK(\"\"x\"\")\",1,1,2,3,4,"
            "100,0,1,LOSS,PS4|3|0,false\r\n");
}

// The export holds the player's matches, as every other output does: --player and --last mean
// the same matches everywhere.
TEST(CsvExport, OnlyTheMatchesThePlayerPlayed) {
  History history = sampleHistory();
  addFile(history, "Duel", blockText("03/08/2024 10:00", {kCy}), 2024);
  addFile(history, "Duel", blockText("03/09/2024 10:00", {kAna, kCy}), 2024);
  const std::string rows = csvRows(history, "Steam|1|0", CsvText::Defused);
  EXPECT_EQ(rows.find("4,Duel"), std::string::npos);
  EXPECT_NE(rows.find("5,Duel,2024,2024-03-09T10:00,Blue,Ana"), std::string::npos);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 8);
  EXPECT_NE(csvRows(history, "PS4|3|0", CsvText::Defused).find("4,Duel"), std::string::npos);
  // --last: the player's latest two, and the export holds the same two.
  const TextId player = *history.find("Steam|1|0");
  Filters filters;
  filters.last = 2;
  std::vector<PlayerMatch> matches = findPlayerMatches(history, player, filters);
  keepLatest(matches, filters);
  std::ostringstream out;
  writeCsvExport(out, history, player, matches);
  const std::string latest = out.str();
  EXPECT_EQ(std::count(latest.begin(), latest.end(), '\n'), 5);
  EXPECT_NE(latest.find("\n3,Duel"), std::string::npos);
  EXPECT_NE(latest.find("\n5,Duel"), std::string::npos);
}

TEST(CsvExport, FiltersKeepTheMatchNumbers) {
  const History history = sampleHistory();
  Filters duel;
  duel.playlists = {"Duel"};
  std::ostringstream out;
  const TextId ana = *history.find("Steam|1|0");
  writeCsvExport(out, history, ana, findPlayerMatches(history, ana, duel));
  const std::string text = out.str();
  const std::size_t firstRow = text.find("\r\n") + 2;
  EXPECT_EQ(text.substr(firstRow, 7), "3,Duel,");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
}

TEST(SummaryJson, TheSameFiguresWithNullForWhatIsUnknown) {
  Filters filters;
  filters.since = LocalDate{2024, 3, 1};
  const auto document = nlohmann::json::parse(summaryJson(summaryOf(sampleHistory(), filters)));
  EXPECT_EQ(document["player"], "Steam|1|0");
  EXPECT_EQ(document["filters"]["since"], "2024-03-01");
  EXPECT_EQ(document["player_name"], "Ana");
  EXPECT_TRUE(document["filters"]["until"].is_null());
  EXPECT_EQ(document["filters"]["playlists"], nlohmann::json::array());
  const auto& doubles = document["playlists"][0];
  EXPECT_EQ(doubles["playlist"], "Doubles_Ranked");
  EXPECT_EQ(doubles["matches"], 2);
  EXPECT_EQ(doubles["win_rate"], 1.0);
  EXPECT_EQ(doubles["per_match"]["goals"], 2.0);
  EXPECT_EQ(doubles["mmr_first"], 1204.5);
  EXPECT_EQ(doubles["mmr_change"], 8.75);
  EXPECT_EQ(doubles["current_streak"]["result"], "WIN");
  EXPECT_EQ(doubles["first_match"], "2024-03-07T21:05");
  EXPECT_TRUE(document["playlists"][1]["mmr_first"].is_null());
  EXPECT_TRUE(document["overall"]["mmr_latest"].is_null());
  EXPECT_EQ(document["overall"]["mmr_change"], 8.75);
  EXPECT_EQ(document["overall"]["longest_win_streak"], 2);
  EXPECT_EQ(document["overall"]["longest_win_streak_when"]["latest_match"], "2024-03-07T21:20");
  EXPECT_EQ(document["overall"]["longest_losing_streak"], 1);
  EXPECT_EQ(document["overall"]["longest_losing_streak_when"]["first_match"], "2024-03-07T22:00");
  EXPECT_TRUE(document["playlists"][0]["longest_losing_streak_when"].is_null());
  EXPECT_EQ(document["last_session"]["matches"], 3);
  EXPECT_EQ(document["last_session"]["mmr_change_per_playlist"]["Doubles_Ranked"], 8.75);
  EXPECT_EQ(document["days"]["total"], 1);
  EXPECT_EQ(document["days"]["latest"][0], document["last_session"]);
  EXPECT_EQ(document["sessions"]["total"], 1);
  // The trend at every match; no shot in the window gives null.
  EXPECT_EQ(document["trend"]["window"], 20);
  ASSERT_EQ(document["trend"]["points"].size(), 3u);
  EXPECT_EQ(document["trend"]["points"][2],
            nlohmann::json::parse(R"({"match": "2024-03-07T22:00", "shooting_rate": )"
                                  R"(0.4444444444444444, "saves_per_match": 2.0, )"
                                  R"("assists_per_match": 1.0})"));
  EXPECT_EQ(document["companions"][1],
            nlohmann::json::parse(R"({"playlist": "Duel", "team_mates": [], "opponents": )"
                                  R"([{"player_id": "PS4|3|0", "name": "Cy, the \"3rd\"", )"
                                  R"("other_names": [], "matches": 1, "wins": 0, "losses": 1, )"
                                  R"("win_rate": 0.0}]})"));
}

std::string reportOf(const History& history) {
  const TextId player = *history.find("Steam|1|0");
  const std::vector<PlayerMatch> matches = findPlayerMatches(history, player, {});
  std::ostringstream out;
  writeHtmlReport(out, history, summarise(history, player, {}, matches), matches);
  return out.str();
}

// What lies between `open` and the next "</script>", for each `open` in the page.
std::vector<std::string> scriptsOpenedBy(const std::string& html, const std::string& open) {
  std::vector<std::string> scripts;
  for (std::size_t at = html.find(open); at != std::string::npos; at = html.find(open, at + 1)) {
    const std::size_t start = at + open.size();
    scripts.push_back(html.substr(start, html.find("</script>", start) - start));
  }
  return scripts;
}

TEST(HtmlReport, SelfContainedAndNoNameBreaksOut) {
  History history = sampleHistory();
  TestRow hostile = kCy;
  hostile.name = "</script><img src=x onerror=alert(1)>";
  hostile.id = "x</script>";
  addFile(history, "Duel", blockText("03/08/2024 10:00", {kAna, hostile}), 2024);
  addFile(history, "<!--<script>", blockText("03/09/2024 10:00", {kAna, hostile}), 2024);
  TestRow renamed = hostile;
  renamed.name = "Renamed";
  addFile(history, "Duel", blockText("03/10/2024 10:00", {kAna, renamed}), 2025);
  const std::string html = reportOf(history);
  const std::string chartJs(kChartJs.text());
  EXPECT_NE(html.find(chartJs), std::string::npos);
  EXPECT_EQ(html.find("<img"), std::string::npos);
  // Every script element is one the report opened itself.
  std::size_t scripts = 0;
  for (std::size_t at = html.find("</script>"); at != std::string::npos;
       at = html.find("</script>", at + 1))
    ++scripts;
  EXPECT_EQ(scripts, 3u);
  EXPECT_EQ(html.find("http://"), std::string::npos);
  EXPECT_EQ(html.find("https://", html.find(chartJs) + chartJs.size()), std::string::npos);
  // The data a script reads holds the names with no '<' at all, so none can end or restart the
  // element; JSON's own escape brings each back.
  const std::vector<std::string> data =
      scriptsOpenedBy(html, "<script type=\"application/json\" id=\"report-data\">");
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(data[0].find('<'), std::string::npos);
  EXPECT_NE(data[0].find("\\u003c!--\\u003cscript>"), std::string::npos);
  const auto document = nlohmann::json::parse(data[0]);
  EXPECT_EQ(document["charts"]["playlists"][0], "<!--<script>");
  // Most matches first, then per playlist by name: in Duel the hostile id was met twice,
  // lately as "Renamed", as often as Cy in Doubles_Ranked.
  EXPECT_EQ(document["tables"]["opponents"]["rows"][0][0], "Doubles_Ranked");
  EXPECT_EQ(document["tables"]["opponents"]["rows"][1],
            nlohmann::json({"Duel", "Renamed", "x</script>", "2", "2-0", "100.0%",
                            "</script><img src=x onerror=alert(1)>"}));
  // Each listed match carries both sides' lines for its details.
  EXPECT_EQ(document["tables"]["matches"]["rows"][0][11],
            nlohmann::json::parse(R"([["Blue","Ana",2,1,2,3,4,100,"1204.5","Steam|1|0"],)"
                                  R"(["Orange","Renamed",1,1,2,3,4,100,"none","x</script>"]])"));
  // The page's own markup holds no name: only the title and heading hold the player's id.
  EXPECT_EQ(html.find("onerror"), html.find("onerror", html.find("id=\"report-data\"")));
}

// U+202A to U+202E and U+2066 to U+2069 would reorder the text around a name; the raw export
// alone keeps them.
TEST(HtmlReport, DirectionOverridesReplacedAndEveryNameIsolated) {
  const std::vector<std::string> overrides = {"\u202A", "\u202B", "\u202C", "\u202D", "\u202E",
                                              "\u2066", "\u2067", "\u2068", "\u2069"};
  std::string hostile = "x";
  for (const std::string& mark : overrides) hostile += mark + "y";
  const std::string fffd = "\xEF\xBF\xBD";
  std::string shown = "x";
  for (std::size_t i = 0; i < overrides.size(); ++i) shown += fffd + "y";
  EXPECT_EQ(shownText(hostile), shown);
  // Their neighbours in UTF-8 stay: U+2029, U+202F, U+2065, U+206A.
  EXPECT_EQ(shownText("\u2029\u202F\u2065\u206A"), "\u2029\u202F\u2065\u206A");

  History history;
  TestRow ana = kAna;
  ana.name = hostile;
  ana.id = "Steam|\u202E1|0";
  addFile(history, "Duel", blockText("03/07/2024 21:05", {ana, kCy}), 2024);
  const std::string id = "Steam|\u202E1|0";
  const TextId player = *history.find(id);
  Filters filters;
  filters.since = LocalDate{2024, 3, 1};
  filters.until = LocalDate{2024, 3, 31};
  filters.playlists = {"Duel"};
  const std::vector<PlayerMatch> matches = findPlayerMatches(history, player, filters);
  const Summary summary = summarise(history, player, filters, matches);
  const std::string text = summaryText(summary);
  EXPECT_EQ(text.substr(0, text.find('\n')),
            "Player Steam|" + fffd + "1|0 (" + shown +
                "): 1 match, 2024-03-07 21:05 to 2024-03-07 21:05, playlist Duel, since "
                "2024-03-01, until 2024-03-31");
  const std::string json = summaryJson(summary);
  EXPECT_EQ(json.find("\u202E"), std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(json)["player_name"], shown);
  std::ostringstream report;
  writeHtmlReport(report, history, summary, matches);
  const std::string html = report.str();
  for (const std::string& mark : overrides) EXPECT_EQ(html.find(mark), std::string::npos) << mark;
  // Each name in an element of its own, and the filters as the summary shows them.
  EXPECT_NE(html.find("<h1><bdi>" + shown + "</bdi> &middot; <bdi>Steam|" + fffd +
                      "1|0</bdi></h1>\n<p class=\"lead\">1 match, 2024-03-07 21:05 to "
                      "2024-03-07 21:05, playlist <bdi>Duel</bdi>, since 2024-03-01, until "
                      "2024-03-31."),
            std::string::npos);
  EXPECT_NE(html.find("if (kind === 't') td.dir = 'auto';"), std::string::npos);
  std::ostringstream raw;
  writeCsvExport(raw, history, player, matches, CsvText::Raw);
  EXPECT_NE(raw.str().find(hostile), std::string::npos);
  std::ostringstream defused;
  writeCsvExport(defused, history, player, matches);
  EXPECT_NE(defused.str().find(shown), std::string::npos);
}

TEST(HtmlReport, TheLatestMatchesListedAndEveryTableFromTheData) {
  History history;
  std::string text;
  TestRow ana = kAna;
  for (int i = 0; i < 1003; ++i) {
    ana.goals = i % 7;
    text += blockText(
        fmt::format("03/{:02}/2024 {:02}:{:02}", 1 + i / 100, 10 + i / 10 % 10, i % 10 * 5),
        {ana, kCy});
  }
  addFile(history, "Duel", text, 2024);
  const std::string html = reportOf(history);
  const auto document = nlohmann::json::parse(
      scriptsOpenedBy(html, "<script type=\"application/json\" id=\"report-data\">")[0]);
  const auto& rows = document["tables"]["matches"]["rows"];
  ASSERT_EQ(rows.size(), kMatchesListed);
  EXPECT_EQ(rows[0][0], "2024-03-11 10:10");  // the latest first
  EXPECT_EQ(rows[0][4], fmt::format("{}", 1002 % 7));
  EXPECT_EQ(rows[kMatchesListed - 1][0], "2024-03-01 10:15");  // the three oldest left out
  EXPECT_NE(html.find("The latest 1000 of 1003 matches"), std::string::npos);
  // Duel, all and the latest 20, whose goals (i % 7 for i 983 to 1002) average 61 / 20.
  ASSERT_EQ(document["tables"]["summary"]["rows"].size(), 3u);
  EXPECT_EQ(document["tables"]["summary"]["rows"][2][0], "last 20");
  EXPECT_EQ(document["tables"]["summary"]["rows"][2][1], "20");
  EXPECT_EQ(document["tables"]["summary"]["rows"][2][5], "3.05");
  EXPECT_EQ(document["tables"]["summary"]["rows"][1][0], "all");
  EXPECT_EQ(document["tables"]["summary"]["rows"][0][12], "1204.5");
  EXPECT_EQ(document["tables"]["summary"]["rows"][1][12], "none");  // ratings are per playlist
  // A day, and a session, for each of the 11 days; the latest first, each naming its playlist.
  const auto& days = document["tables"]["days"]["rows"];
  ASSERT_EQ(days.size(), 11u);
  EXPECT_EQ(days[0], nlohmann::json({"2024-03-11", "3", "3-0", "+0", "Duel +0"}));
  EXPECT_EQ(days[10][0], "2024-03-01");
  EXPECT_EQ(document["tables"]["sessions"]["rows"][0][0], "2024-03-11 10:00 to 10:10");
  EXPECT_EQ(document["tables"]["opponents"]["rows"][0],
            nlohmann::json({"Duel", "Cy, the \"3rd\"", "PS4|3|0", "1003", "1003-0", "100.0%", ""}));
  // The charts: each of the latest 300 matches, the oldest first, with its rating and moving
  // average; and per day, week and month over the whole history.
  const auto& charts = document["charts"];
  const std::int64_t firstMs = LocalTime{2024, 3, 1, 10, 0}.minutes() * 60000;
  const std::int64_t latestMs = LocalTime{2024, 3, 11, 10, 10}.minutes() * 60000;
  EXPECT_EQ(charts["first"], firstMs);
  EXPECT_EQ(charts["latest"], latestMs);
  EXPECT_EQ(charts["matches"], 1003);
  const auto& perMatch = charts["match"];
  ASSERT_EQ(perMatch.size(), kChartMatches);
  EXPECT_EQ(perMatch[kChartMatches - 1][0], latestMs);
  EXPECT_EQ(perMatch[kChartMatches - 1][1], 0);       // the playlist's index
  EXPECT_EQ(perMatch[kChartMatches - 1][2], 1204.5);  // its rating
  EXPECT_EQ(perMatch[kChartMatches - 1][6], 1);       // a win
  // 11 days, in two weeks (Monday 2024-02-26 and 2024-03-04 and 2024-03-11), one month.
  ASSERT_EQ(charts["d"].size(), 11u);
  EXPECT_EQ(charts["d"][0][0], firstMs - 10 * 3600000);
  EXPECT_EQ(charts["d"][0][1], 100);  // wins
  EXPECT_EQ(charts["d"][0][2], 0);
  ASSERT_EQ(charts["w"].size(), 3u);
  EXPECT_EQ(charts["w"][0][0], (LocalTime{2024, 2, 26, 0, 0}.minutes() * 60000));
  EXPECT_EQ(charts["w"][2][1], 3);
  ASSERT_EQ(charts["m"].size(), 1u);
  EXPECT_EQ(charts["m"][0][1], 1003);
  EXPECT_EQ(charts["m"][0][6], nlohmann::json({1204.5}));
  // The moving average at the month's latest match: goals i % 7 for i 983 to 1002 over 20
  // matches, as the summary's "last 20".
  EXPECT_EQ(charts["m"][0][4], perMatch[kChartMatches - 1][4]);
  // The charts come before every table in the page.
  EXPECT_LT(html.find("id=\"trend-chart\""), html.find("data-table=\"summary\""));
  EXPECT_LT(html.find("id=\"mmr-chart\""), html.find("data-table=\"summary\""));
}

TEST(HtmlReport, OneMatchInPlainWords) {
  History history;
  TestRow unrated = kAna;
  unrated.mmr = "0";
  addFile(history, "Duel", blockText("03/07/2024 21:05", {unrated, kCy}), 2024);
  const std::string html = reportOf(history);
  EXPECT_NE(html.find("<h1><bdi>Ana</bdi> &middot; <bdi>Steam|1|0</bdi></h1>\n<p class=\"lead\">1 "
                      "match, 2024-03-07 "
                      "21:05 to 2024-03-07 21:05. Longest winning streak: 1, 2024-03-07 21:05 to "
                      "2024-03-07 21:05. Made by"),
            std::string::npos);
  EXPECT_NE(html.find("<p>Last session: 2024-03-07 21:05 to 2024-03-07 21:05, 1 match, 1-0, MMR "
                      "none.</p>"),
            std::string::npos);
  EXPECT_NE(html.find("All 1 match, latest first"), std::string::npos);
  const auto document = nlohmann::json::parse(
      scriptsOpenedBy(html, "<script type=\"application/json\" id=\"report-data\">")[0]);
  EXPECT_EQ(document["tables"]["summary"]["rows"][0][12], "none");
  EXPECT_EQ(document["tables"]["matches"]["rows"][0][10], "none");
  EXPECT_EQ(document["tables"]["mates"]["rows"].size(), 0u);
}

// Only the report's own scripts and style run, each allowed by its hash; nothing inline else.
TEST(HtmlReport, PolicyAllowsEachScriptByItsHash) {
  const std::string html = reportOf(sampleHistory());
  const std::string meta = "<meta http-equiv=\"Content-Security-Policy\" content=\"";
  const std::size_t at = html.find(meta);
  ASSERT_NE(at, std::string::npos);
  // Before any text a name could have put there.
  EXPECT_LT(at, html.find("<title>"));
  const std::size_t start = at + meta.size();
  const std::string policy = html.substr(start, html.find('"', start) - start);
  const std::vector<std::string> scripts = scriptsOpenedBy(html, "<script>");
  const std::vector<std::string> styles = [&] {
    std::vector<std::string> found;
    const std::size_t open = html.find("<style>") + 7;
    found.push_back(html.substr(open, html.find("</style>") - open));
    return found;
  }();
  ASSERT_EQ(scripts.size(), 2u);
  // The hashes the build computed (checked against known digests by stats-embed-file) are of
  // exactly the texts the page holds.
  EXPECT_EQ(scripts[0], kChartJs.text());
  EXPECT_EQ(scripts[1], kChartsScript.text());
  EXPECT_EQ(styles[0], kReportStyle.text());
  EXPECT_EQ(policy, std::string("default-src 'none'; script-src ") + kChartJs.hashSource + " " +
                        kChartsScript.hashSource + "; style-src " + kReportStyle.hashSource +
                        "; img-src data:; base-uri 'none'; form-action 'none'");
  for (const EmbeddedText* embedded : {&kChartJs, &kChartsScript, &kReportStyle}) {
    const std::string source = embedded->hashSource;
    EXPECT_EQ(source.size(), 53u) << source;
    EXPECT_EQ(source.rfind("'sha256-", 0), 0u) << source;
    EXPECT_EQ(source.substr(51), "='") << source;
  }
  EXPECT_NE(kChartsScript.hashSource, std::string_view(kReportStyle.hashSource));
  EXPECT_EQ(html.find("unsafe-inline"), std::string::npos);
  EXPECT_EQ(html.find(" style=\""), std::string::npos);
}

TEST(Utf8, InvalidSequencesBecomeReplacementCharacters) {
  const std::string replacement = "\xEF\xBF\xBD";
  EXPECT_EQ(validUtf8("plain \xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xae"),
            "plain \xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xae");
  EXPECT_EQ(validUtf8("\xc0\xaf"), replacement + replacement);                    // overlong
  EXPECT_EQ(validUtf8("\xed\xa0\x80"), replacement + replacement + replacement);  // surrogate
  EXPECT_EQ(validUtf8("\xe2\x82"), replacement + replacement);                    // cut short
  EXPECT_EQ(validUtf8("\xf4\x90\x80\x80"), replacement + replacement + replacement + replacement);
  EXPECT_EQ(validUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Utf8, ReplacementsAndValidRunsAlternate) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(validUtf8("\xff"), fffd);
  EXPECT_EQ(validUtf8("a\xff"
                      "b\xe2\x82\xac\x80\x80"
                      "c\xf0\x9f"),
            "a" + fffd + "b\xe2\x82\xac" + fffd + fffd + "c" + fffd + fffd);
  EXPECT_EQ(validUtf8(""), "");
}

// The one check the host and tallyrig-stats share: every edge of every byte range.
TEST(Utf8, FirstInvalidByteAtEachRangeEdge) {
  constexpr std::size_t kNone = std::string_view::npos;
  const auto firstBad = [](std::string_view text) { return tallyrig::firstInvalidUtf8(text); };
  EXPECT_EQ(firstBad(""), kNone);
  EXPECT_EQ(firstBad(std::string_view("\0\x7f", 2)), kNone);
  EXPECT_EQ(firstBad("a\x80"), 1u);
  EXPECT_EQ(firstBad("a\xc1\xbf"), 1u);
  EXPECT_EQ(firstBad("\xc2\x80\xdf\xbf"), kNone);
  EXPECT_EQ(firstBad("\xc2\x7f"), 0u);
  EXPECT_EQ(firstBad("\xc2\xc0"), 0u);
  EXPECT_EQ(firstBad("\xe0\xa0\x80"), kNone);
  EXPECT_EQ(firstBad("\xe0\x9f\xbf"), 0u);  // overlong
  EXPECT_EQ(firstBad("\xed\x9f\xbf"), kNone);
  EXPECT_EQ(firstBad("\xed\xa0\x80"), 0u);  // surrogate
  EXPECT_EQ(firstBad("\xef\xbf\xbf\xe1\x80\x80"), kNone);
  EXPECT_EQ(firstBad("\xe1\x80\x7f"), 0u);  // a third byte out of range
  EXPECT_EQ(firstBad("\xf0\x90\x80\x80"), kNone);
  EXPECT_EQ(firstBad("\xf0\x8f\xbf\xbf"), 0u);  // overlong
  EXPECT_EQ(firstBad("\xf4\x8f\xbf\xbf"), kNone);
  EXPECT_EQ(firstBad("\xf4\x90\x80\x80"), 0u);  // beyond U+10FFFF
  EXPECT_EQ(firstBad("\xf3\xbf\xbf\xc0"), 0u);  // a fourth byte out of range
  EXPECT_EQ(firstBad("\xf5\x80\x80\x80"), 0u);
  EXPECT_EQ(firstBad("\xff"), 0u);
  // Cut short by the end of the text, at every length.
  EXPECT_EQ(firstBad("ab\xdf"), 2u);
  EXPECT_EQ(firstBad("ab\xe2\x82"), 2u);
  EXPECT_EQ(firstBad("ab\xf0\x9f\x8e"), 2u);
  // From a later start, only what follows it counts.
  EXPECT_EQ(tallyrig::firstInvalidUtf8("\xff\xc3\xa9x\xff", 1), 4u);
  EXPECT_EQ(tallyrig::firstInvalidUtf8("\xff"
                                       "abc",
                                       1),
            kNone);
  EXPECT_EQ(tallyrig::firstInvalidUtf8("abc", 3), kNone);
}

TEST(Utf8, ShownTextReplacesEveryControlCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(shownText(std::string("a\0b\x1f\x7f", 5)), "a" + fffd + "b" + fffd + fffd);
  // C1 controls U+0080 and U+009F go; U+00A0 and U+00FF stay.
  EXPECT_EQ(shownText("\xc2\x80\xc2\x9f\xc2\xa0\xc3\xbf"), fffd + fffd + "\xc2\xa0\xc3\xbf");
  EXPECT_EQ(shownText("\xc2"), fffd);
  EXPECT_EQ(shownText(" ~\xe2\x80\xa8"), " ~\xe2\x80\xa8");
}

}  // namespace

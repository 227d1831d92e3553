#pragma once

// What the program writes: the summary for the terminal, the same figures as JSON, the clean CSV
// export and the HTML report. The export and the report grow with the history and are written
// to a stream a piece at a time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "stats/history.h"
#include "stats/summary.h"

namespace tallyrig::stats {

// "2024-03-07T21:05"
std::string isoTime(std::int64_t minutes);
// As the file writes a rating: printf's %g.
std::string ratingText(double mmr);

// What every output shows for a figure the files do not give.
inline constexpr std::string_view kUnknown = "none";

// The per-playlist table's columns and a row's cells, as the summary and the report show them.
inline constexpr std::array<std::string_view, 18> kFigureColumns = {
    "playlist",  "matches",    "W",        "L",          "win %",      "goals",
    "assists",   "saves",      "shots",    "shooting %", "demos",      "score",
    "MMR first", "MMR latest", "MMR peak", "change",     "win streak", "now"};
std::vector<std::string> figureCells(const Figures& figures);
// "+8.75", or "none" for a change the files do not give.
std::string ratingChangeText(const std::optional<double>& change);
// "2024-03-07" for a day, "2024-03-07 21:05 to 22:40" for a session.
std::string periodLabel(const Period& period, PeriodKind kind);
// A period's rating change, and where more than one playlist changed, each:
// "+10 (Doubles -10, Duel +20)".
std::string periodChange(const Period& period);
// Each playlist's change, "Doubles -10, Duel +20" or "Duel +20"; empty for none. With one
// playlist, periodChange names it alone: "+20 (Duel)".
std::string playlistChanges(const Period& period);

// ", playlist Duel or Hoops, since 2024-03-01, the latest 4, until 2024-12-31": the filters as
// the summary and the report show them, each playlist's name as `playlistName` gives it.
std::string filtersText(const Filters& filters,
                        const std::function<std::string(std::string_view)>& playlistName);

// An aligned table per playlist and overall, then the last session.
std::string summaryText(const Summary& summary);

std::string summaryJson(const Summary& summary);

// Defused: texts as shownText gives them, and one that starts with = + - @, a tab or a carriage
// return gets a leading ', so that a spreadsheet shows it instead of running it as a formula; so
// does each piece after a ';' or a tab inside a text, which a spreadsheet splitting there reads as
// a cell of its own.
// Raw: texts as the files hold them, only bytes that are not UTF-8 replaced.
enum class CsvText { Defused, Raw };

// RFC 4180: one row per player of each of `matches` (the same as every other output's, `last`
// applied), in reading order, CR LF line ends, UTF-8 with a
// byte-order mark (spreadsheets guess another encoding without it); bytes that are not UTF-8
// become U+FFFD. `match` numbers every block read, 1 upward, whatever the filters drop.
void writeCsvExport(std::ostream& out, const History& history, TextId player,
                    const std::vector<PlayerMatch>& matches, CsvText style = CsvText::Defused);

// The report's per-match table holds the latest so many matches; its charts draw each match
// while the span shown holds at most kChartMatches, and every list shows kRowsShown rows at
// first: the page opens quickly whatever the history's size.
inline constexpr std::size_t kMatchesListed = 1000;
inline constexpr std::size_t kChartMatches = 300;
inline constexpr std::size_t kRowsShown = 20;

// One file that opens from disk without any network access. The charts come first; every table
// is drawn by the page's script from the data it carries once, as JSON. `summary` is summarise()'s
// of the same `matches`: the charts take its trend and days.
void writeHtmlReport(std::ostream& out, const History& history, const Summary& summary,
                     const std::vector<PlayerMatch>& matches);

// Invalid UTF-8 sequences replaced by U+FFFD.
std::string validUtf8(std::string_view text);
// A name or id as every output shows it: also each control character (C0, DEL, C1) and each
// direction override or isolate (U+202A to U+202E, U+2066 to U+2069) replaced by U+FFFD, since a
// NUL cuts a text short in many readers, the others steer terminals and the overrides reorder
// what is shown around them.
std::string shownText(std::string_view text);
// A local time as "2024-03-07 21:05".
std::string displayTime(std::int64_t minutes);
// "1 match", "2 matches".
std::string plural(std::size_t count, std::string_view one, std::string_view many);

}  // namespace tallyrig::stats

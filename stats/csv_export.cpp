#include <fmt/format.h>

#include <ostream>

#include "stats/outputs.h"

namespace tallyrig::stats {
namespace {

constexpr std::string_view kColumns =
    "match,playlist,year,timestamp,team_color,name,goals,assists,saves,shots,demos,score,mmr,"
    "team_goals,result,player_id,is_player";
constexpr std::size_t kFlushBytes = 1 << 16;

// A spreadsheet takes a cell that starts with one of these for a formula.
bool looksLikeFormula(std::string_view text) {
  return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

// Quoted only when it must be: a comma, a quote or a line break inside.
void appendField(std::string& out, std::string_view text, CsvText style) {
  std::string shown = style == CsvText::Raw ? validUtf8(text) : shownText(text);
  if (style == CsvText::Defused && looksLikeFormula(shown)) shown.insert(0, 1, '\'');
  if (shown.find_first_of(",\"\r\n") == std::string::npos) {
    out += shown;
    return;
  }
  out += '"';
  for (const char c : shown) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

void writeCsvExport(std::ostream& stream, const History& history, TextId player,
                    const Filters& filters, CsvText style) {
  std::string out = "\xEF\xBB\xBF";
  out += kColumns;
  out += "\r\n";
  for (std::size_t index = 0; index < history.matches.size(); ++index) {
    const Match& match = history.matches[index];
    if (!filters.admits(history, match)) continue;
    const std::string timestamp = isoTime(match.minutes);
    for (std::uint32_t at = match.firstRow; at < match.firstRow + match.rowCount; ++at) {
      const Row& row = history.rows[at];
      out += fmt::format("{},", index + 1);
      appendField(out, history.playlists[match.playlist], style);
      out += fmt::format(",{},{},{},", match.year, timestamp,
                         row.colour == Colour::Blue ? "Blue" : "Orange");
      appendField(out, history.text(row.name), style);
      out += fmt::format(",{},{},{},{},{},{},{},{},{},", row.counters.goals, row.counters.assists,
                         row.counters.saves, row.counters.shots, row.counters.demos,
                         row.counters.score, ratingText(row.mmr), row.teamGoals,
                         row.win ? "WIN" : "LOSS");
      appendField(out, history.text(row.playerId), style);
      out += row.playerId == player ? ",true\r\n" : ",false\r\n";
    }
    // Written a piece at a time: the export can be far larger than what it is made from.
    if (out.size() >= kFlushBytes) {
      stream.write(out.data(), static_cast<std::streamsize>(out.size()));
      out.clear();
    }
  }
  stream.write(out.data(), static_cast<std::streamsize>(out.size()));
}

}  // namespace tallyrig::stats

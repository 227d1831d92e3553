#include <fmt/format.h>

#include <algorithm>
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

// A spreadsheet that splits on ';' or a tab (as many do under a European list separator) reads
// each piece between them as a cell of its own, quotes or not: each piece is defused alone.
std::string defused(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 1);
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find_first_of(";\t", start);
    const std::string_view piece = text.substr(start, end - start);
    if (looksLikeFormula(piece)) out += '\'';
    out += piece;
    if (end == std::string_view::npos) return out;
    out += text[end];
    start = end + 1;
  }
}

// Quoted only when it must be: a comma, a quote or a line break inside.
void appendField(std::string& out, std::string_view text, CsvText style) {
  const std::string shown = style == CsvText::Raw ? validUtf8(text) : defused(shownText(text));
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
                    const std::vector<PlayerMatch>& matches, CsvText style) {
  // In the order the files were read, as the match numbers count.
  std::vector<std::uint32_t> indices;
  indices.reserve(matches.size());
  for (const PlayerMatch& found : matches) indices.push_back(found.match);
  std::sort(indices.begin(), indices.end());
  std::string out = "\xEF\xBB\xBF";
  out += kColumns;
  out += "\r\n";
  for (const std::uint32_t index : indices) {
    const Match& match = history.matches[index];
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

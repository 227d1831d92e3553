#include "statistics_check.h"

#include <set>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>

namespace tallyrig::reliability {
namespace {

constexpr std::string_view kSeparator = ", ";

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool allDigits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (!isDigit(c)) return false;
  }
  return true;
}

// As std::to_chars writes an int: no plus sign, no leading zeros, no "-0".
std::optional<int> parseInt(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  const std::string_view digits = negative ? text.substr(1) : text;
  if (!allDigits(digits) || digits.size() > 10) return std::nullopt;
  if (digits.size() > 1 && digits.front() == '0') return std::nullopt;
  if (negative && digits == "0") return std::nullopt;
  std::int64_t value = 0;
  for (const char c : digits) value = value * 10 + (c - '0');
  if (negative) value = -value;
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}

// printf's %g shape: [-]digits[.digits][e(+|-)dd], a finite number.
bool isRating(std::string_view text) {
  std::size_t i = text.substr(0, 1) == "-" ? 1 : 0;
  const std::size_t mantissaStart = i;
  while (i < text.size() && isDigit(text[i])) ++i;
  if (i == mantissaStart) return false;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fractionStart = ++i;
    while (i < text.size() && isDigit(text[i])) ++i;
    if (i == fractionStart || text[i - 1] == '0') return false;  // %g drops trailing zeros
  }
  if (i < text.size() && text[i] == 'e') {
    if (i + 1 >= text.size() || (text[i + 1] != '+' && text[i + 1] != '-')) return false;
    const std::string_view exponent = text.substr(i + 2);
    if (exponent.size() < 2 || !allDigits(exponent)) return false;
    i = text.size();
  }
  if (i != text.size()) return false;
  const std::string copy(text);
  return std::isfinite(std::strtod(copy.c_str(), nullptr));
}

bool inRange(std::string_view two, int low, int high) {
  if (!allDigits(two)) return false;
  const int value = (two[0] - '0') * 10 + (two[1] - '0');
  return value >= low && value <= high;
}

// "MM/DD/YYYY hh:mm"
bool isTimestamp(std::string_view text) {
  if (text.size() != 16 || text[2] != '/' || text[5] != '/' || text[10] != ' ' || text[13] != ':') {
    return false;
  }
  return inRange(text.substr(0, 2), 1, 12) && inRange(text.substr(3, 2), 1, 31) &&
         allDigits(text.substr(6, 4)) && inRange(text.substr(11, 2), 0, 23) &&
         inRange(text.substr(14, 2), 0, 59);
}

std::vector<std::string_view> split(std::string_view text, std::size_t maxFields) {
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < maxFields) {
    const std::size_t at = text.find(kSeparator);
    if (at == std::string_view::npos) break;
    fields.push_back(text.substr(0, at));
    text.remove_prefix(at + kSeparator.size());
  }
  fields.push_back(text);
  return fields;
}

// The eleven fields after the name: six counters, MMR, TEAM GOALS, W/L, TIMESTAMP, PLAYERID.
// PLAYERID takes the rest of the line.
bool parseTail(std::string_view tail, Row& row) {
  const std::vector<std::string_view> fields = split(tail, 11);
  if (fields.size() != 11) return false;
  for (std::size_t i = 0; i < 6; ++i) {
    const std::optional<int> value = parseInt(fields[i]);
    if (!value) return false;
    if (i == 0) row.goals = *value;
  }
  if (!isRating(fields[6])) return false;
  const std::optional<int> teamGoals = parseInt(fields[7]);
  if (!teamGoals) return false;
  row.teamGoals = *teamGoals;
  if (fields[8] != "WIN" && fields[8] != "LOSS") return false;
  row.result = std::string(fields[8]);
  if (!isTimestamp(fields[9])) return false;
  row.playerId = std::string(fields[10]);
  return true;
}

// Empty when the line is a well-formed row, otherwise what is wrong with it.
std::string parseRow(std::string_view line, const CheckOptions& options, Row& row) {
  std::string_view rest;
  for (const std::string_view colour : {std::string_view("Blue"), std::string_view("Orange")}) {
    if (line.substr(0, colour.size() + kSeparator.size()) ==
        std::string(colour).append(kSeparator)) {
      row.colour = std::string(colour);
      rest = line.substr(colour.size() + kSeparator.size());
    }
  }
  if (row.colour.empty()) return "a row must start with \"Blue, \" or \"Orange, \"";
  if (options.plainFields) {
    if (split(line, 100).size() != 13) return "a row must have 13 fields";
    const std::size_t nameEnd = rest.find(kSeparator);
    row.name = std::string(rest.substr(0, nameEnd));
    if (!parseTail(rest.substr(nameEnd + kSeparator.size()), row)) return "malformed fields";
  } else {
    // The name may hold ", " itself: take the first split after which the fields read right.
    bool parsed = false;
    for (std::size_t at = rest.find(kSeparator); at != std::string_view::npos && !parsed;
         at = rest.find(kSeparator, at + 1)) {
      parsed = parseTail(rest.substr(at + kSeparator.size()), row);
      if (parsed) row.name = std::string(rest.substr(0, at));
    }
    if (!parsed) return "malformed fields";
  }
  if (!options.knownIds.empty() && options.knownIds.count(row.playerId) == 0) {
    return "PLAYERID \"" + row.playerId + "\" belongs to no player of the match";
  }
  return {};
}

int wrappingSum(int total, int value) {
  return static_cast<int>(static_cast<unsigned>(total) + static_cast<unsigned>(value));
}

}  // namespace

CheckResult checkStatisticsText(std::string_view input, const CheckOptions& options) {
  CheckResult result;
  std::string text(input);
  if (options.crlf) {
    std::string unix;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
      if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) {
        result.problem = "byte " + std::to_string(i) + ": a line end that is not CR LF";
        return result;
      }
      unix.push_back(text[i]);
    }
    text = std::move(unix);
  }
  if (!text.empty() && text.back() != '\n') {
    result.problem = "the file ends inside a line";
    return result;
  }

  std::vector<std::string_view> lines;
  for (std::string_view rest = text; !rest.empty();) {
    const std::size_t end = rest.find('\n');
    lines.push_back(rest.substr(0, end));
    rest.remove_prefix(end + 1);
  }
  const auto at = [](std::size_t line) { return "line " + std::to_string(line + 1) + ": "; };
  std::size_t i = 0;
  while (i < lines.size()) {
    if (lines[i] != kHeaderLine) {
      result.problem = at(i) + "expected the header line";
      return result;
    }
    ++i;
    Block block;
    for (; i < lines.size() && !lines[i].empty(); ++i) {
      Row row;
      if (std::string problem = parseRow(lines[i], options, row); !problem.empty()) {
        result.problem = at(i) + problem;
        return result;
      }
      block.rows.push_back(std::move(row));
    }
    std::set<std::string> players;
    for (const Row& row : block.rows) players.insert(row.player());
    if (block.rows.empty() || players.size() > options.maxRows) {
      result.problem = at(i) + "a block of " + std::to_string(block.rows.size()) + " rows";
      return result;
    }
    for (int blank = 0; blank < 2; ++blank, ++i) {
      if (i >= lines.size() || !lines[i].empty()) {
        result.problem = at(i) + "a block must end with two empty lines";
        return result;
      }
    }
    result.blocks.push_back(std::move(block));
  }
  return result;
}

std::string Row::player() const {
  return name + '\x1f' + std::to_string(goals) + '\x1f' + playerId;
}

std::string checkBlockConsistency(const Block& block) {
  if (block.rows.empty()) return "an empty block";
  const std::string& localColour = block.rows.front().colour;
  std::multiset<std::string> opponents;
  for (const Row& row : block.rows) {
    if (row.colour != localColour) opponents.insert(row.player());
  }
  struct Side {
    int goalSum = 0;
    std::optional<int> teamGoals;
    std::string result;
  };
  std::map<std::string, Side> sides;
  std::vector<std::string> runs;
  for (const Row& row : block.rows) {
    if (runs.empty() || runs.back() != row.colour) runs.push_back(row.colour);
    Side& side = sides[row.colour];
    const auto alsoOpponent =
        row.colour == localColour ? opponents.find(row.player()) : opponents.end();
    if (alsoOpponent != opponents.end()) {
      opponents.erase(alsoOpponent);
    } else {
      side.goalSum = wrappingSum(side.goalSum, row.goals);
    }
    if (side.teamGoals && (*side.teamGoals != row.teamGoals || side.result != row.result)) {
      return row.colour + " rows disagree on TEAM GOALS or W/L";
    }
    side.teamGoals = row.teamGoals;
    side.result = row.result;
  }
  if (runs.size() > sides.size()) return "the rows of one side are not together";
  for (const auto& [colour, side] : sides) {
    if (side.goalSum != *side.teamGoals) {
      return colour + " TEAM GOALS " + std::to_string(*side.teamGoals) + " but its rows sum to " +
             std::to_string(side.goalSum);
    }
  }
  if (sides.size() == 2) {
    const Side& blue = sides["Blue"];
    const Side& orange = sides["Orange"];
    if (blue.result == orange.result) return "both sides read " + blue.result;
    const Side& winner = blue.result == "WIN" ? blue : orange;
    const Side& loser = blue.result == "WIN" ? orange : blue;
    if (*winner.teamGoals < *loser.teamGoals) return "the side with fewer goals reads WIN";
  }
  return {};
}

std::map<std::string, std::string> readTree(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files[entry.path().lexically_relative(folder).generic_string()] =
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

std::string maskTimestamps(std::string_view text) {
  std::string masked;
  std::size_t i = 0;
  while (i < text.size()) {
    if (i + 16 <= text.size() && isTimestamp(text.substr(i, 16))) {
      masked.append("TIME");
      i += 16;
    } else {
      masked.push_back(text[i++]);
    }
  }
  return masked;
}

std::string maskYearFolder(const std::string& relativePath) {
  const std::string_view prefix = "Tallyrig/";
  if (relativePath.size() > prefix.size() + 5 && relativePath.compare(0, 9, prefix) == 0 &&
      allDigits(std::string_view(relativePath).substr(9, 4)) && relativePath[13] == '/') {
    return "Tallyrig/YEAR" + relativePath.substr(13);
  }
  return relativePath;
}

std::string withUnixLineEnds(std::string_view text) {
  std::string unix;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    unix.push_back(text[i]);
  }
  return unix;
}

}  // namespace tallyrig::reliability

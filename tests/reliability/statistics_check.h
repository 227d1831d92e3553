#pragma once

// Reads a statistics file back the way a spreadsheet user would rely on it: a sequence of whole
// blocks, each a header, one line per player and two empty lines, with fields that agree.

#include <cstddef>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tallyrig::reliability {

inline constexpr std::string_view kHeaderLine =
    "TEAM COLOR, NAME, GOALS, ASSISTS, SAVES, SHOTS, DEMOS, SCORE, MMR, TEAM GOALS, W/L, "
    "TIMESTAMP, PLAYERID";
inline constexpr std::size_t kMaxRowsPerBlock = 8;

struct Row {
  std::string colour;
  std::string name;
  int goals = 0;
  int teamGoals = 0;
  std::string result;
  std::string playerId;
  // Who the row is about: name, goals and id, without the side's fields.
  std::string player() const;
};

struct Block {
  std::vector<Row> rows;
};

struct CheckOptions {
  // Windows builds write the file in text mode: every line ends in CR LF.
  bool crlf = false;
  // Names and ids hold no ", ", so a row splits into exactly 13 fields.
  bool plainFields = true;
  std::size_t maxRows = kMaxRowsPerBlock;
  // When not empty, every PLAYERID must be one of these.
  std::set<std::string> knownIds;
};

struct CheckResult {
  std::vector<Block> blocks;
  // Empty when the text is a sequence of whole, well-formed blocks.
  std::string problem;
  bool ok() const { return problem.empty(); }
};

CheckResult checkStatisticsText(std::string_view text, const CheckOptions& options);

// Colours of one block agree with its goals: each side's TEAM GOALS is the sum of its rows'
// GOALS, one side wins. The local-player walk does not look at teams, so a local player whose
// row is not on the local team stands first with the local side and again among the
// opponents; that copy is not counted in the local side's sum. Empty when they agree.
std::string checkBlockConsistency(const Block& block);

// Every regular file below `folder`, by path relative to it, with its bytes.
std::map<std::string, std::string> readTree(const std::filesystem::path& folder);

// Replaces each "MM/DD/YYYY hh:mm" timestamp with "TIME" and a leading year folder
// "Tallyrig/NNNN/" with "Tallyrig/YEAR/".
std::string maskTimestamps(std::string_view text);
std::string maskYearFolder(const std::string& relativePath);

// Unix line ends, for comparing texts written on either platform.
std::string withUnixLineEnds(std::string_view text);

}  // namespace tallyrig::reliability

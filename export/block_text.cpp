#include "export/block_text.h"

#include <charconv>
#include <iterator>

#include "common/statistics_format.h"

namespace {

using tallyrig::statistics::kHeaderLine;
using tallyrig::statistics::kSeparator;

void appendInteger(std::string& block, int value) {
  char digits[16];
  block.append(digits, std::to_chars(digits, std::end(digits), value).ptr);
}

// As printf's %g: six significant digits, locale-independent.
void appendRating(std::string& block, float value) {
  char digits[32];
  block.append(digits,
               std::to_chars(digits, std::end(digits), value, std::chars_format::general, 6).ptr);
}

// A line break inside a name or id would start a new row; it becomes a space.
void appendText(std::string& block, std::string_view text) {
  for (const char c : text) block.push_back(c == '\r' || c == '\n' ? ' ' : c);
}

}  // namespace

void appendHeader(std::string& block, std::string_view lineEnd) {
  block.append(kHeaderLine).append(lineEnd);
}

void appendRow(std::string& block, const PlayerRecord& row, const ExportSide& side,
               std::string_view timestamp, std::string_view lineEnd) {
  block.append(side.colour).append(kSeparator);
  appendText(block, row.name);
  block.append(kSeparator);
  for (const int value :
       {row.goals, row.assists, row.saves, row.shots, row.demolitions, row.score}) {
    appendInteger(block, value);
    block.append(kSeparator);
  }
  appendRating(block, row.mmr);
  block.append(kSeparator);
  appendInteger(block, side.teamGoals);
  block.append(kSeparator).append(side.result).append(kSeparator);
  block.append(timestamp).append(kSeparator);
  appendText(block, row.uniqueId);
  block.append(lineEnd);
}

void appendBlockEnd(std::string& block, std::string_view lineEnd) {
  block.append(lineEnd).append(lineEnd);
}

#pragma once

#include <string>
#include <string_view>

#include "tracking/player_table.h"

// One side of the match as its rows are written.
struct ExportSide {
  std::string_view colour;  // "Blue" or "Orange"
  int teamGoals = 0;
  std::string_view result;  // "WIN" or "LOSS"
};

// The line end a text-mode stream writes on this platform. The file is written through
// descriptors, which translate nothing, so the block carries it already.
#if defined(_WIN32)
inline constexpr std::string_view kPlatformLineEnd = "\r\n";
#else
inline constexpr std::string_view kPlatformLineEnd = "\n";
#endif

// The parts of a block, appended to `block`, each line ended by `lineEnd`.
void appendHeader(std::string& block, std::string_view lineEnd = "\n");
void appendRow(std::string& block, const PlayerRecord& row, const ExportSide& side,
               std::string_view timestamp, std::string_view lineEnd = "\n");
void appendBlockEnd(std::string& block, std::string_view lineEnd = "\n");

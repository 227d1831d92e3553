#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "tracking/player_table.h"

// One side of the match as its rows are written.
struct ExportSide {
  std::string_view colour;  // "Blue" or "Orange"
  int teamGoals = 0;
  std::string_view result;  // "WIN" or "LOSS"
};

// What every row of one side writes alike, composed once per block: "COLOUR, " before the name,
// and ", TEAM GOALS, W/L, TIMESTAMP, " between the rating and the id.
class SideText {
 public:
  // A timestamp longer than 64 bytes is cut there; an export's is 16.
  SideText(const ExportSide& side, std::string_view timestamp);

  std::string_view head() const { return {head_, headLength_}; }
  std::string_view tail() const { return {tail_, tailLength_}; }

 private:
  // Whole words of sixteen bytes, at least two, so that rows can copy them a word at a time.
  char head_[32] = {};
  std::size_t headLength_ = 0;
  char tail_[96] = {};
  std::size_t tailLength_ = 0;
};

// The text of a block's parts, with a line feed for each line end.
void appendHeader(std::string& block);
void appendRow(std::string& block, const PlayerRecord& row, const ExportSide& side,
               std::string_view timestamp);
void appendBlockEnd(std::string& block);

// One block composed in memory, with the line ends a text-mode stream writes on this platform
// (CR LF on Windows). It lives on the stack unless its rows outgrow that.
class BlockComposer {
 public:
  BlockComposer();
  BlockComposer(const BlockComposer&) = delete;
  BlockComposer& operator=(const BlockComposer&) = delete;

  void header();
  void row(const PlayerRecord& row, const SideText& side);
  void end();
  std::string_view bytes() const { return {begin_, static_cast<std::size_t>(at_ - begin_)}; }

 private:
  void makeRoom(std::size_t bytes) {
    if (capacity_ - static_cast<std::size_t>(at_ - begin_) < bytes) grow(bytes);
  }
  void grow(std::size_t bytes);

  char local_[4096];
  std::unique_ptr<char[]> heap_;
  char* begin_;
  char* at_;
  std::size_t capacity_;
};

#include "export/block_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "export/digit_pairs.h"

// Small and called for every field of every row; some compilers would rather call them.
#if defined(_MSC_VER)
#define ROW_PART __forceinline
#else
#define ROW_PART inline __attribute__((always_inline))
#endif

namespace {

constexpr std::string_view kHeader =
    "TEAM COLOR, NAME, GOALS, ASSISTS, SAVES, SHOTS, DEMOS, SCORE, MMR, TEAM GOALS, W/L, "
    "TIMESTAMP, PLAYERID";
#if defined(_WIN32)
constexpr std::string_view kPlatformLineEnd = "\r\n";
#else
constexpr std::string_view kPlatformLineEnd = "\n";
#endif
constexpr std::string_view kLineFeed = "\n";

// What a row needs besides its name and id, each part at its longest: the side's head and tail,
// six integers, the rating, separators and the line end.
constexpr std::size_t kRowBytesBesideTexts = 32 + 96 + 6 * 13 + 34 + 2;

std::size_t rowBound(const PlayerRecord& row) {
  return kRowBytesBesideTexts + row.name.size() + row.uniqueId.size();
}

ROW_PART char* put(char* at, std::string_view text) {
  std::memcpy(at, text.data(), text.size());
  return at + text.size();
}

ROW_PART char* putLineEnd(char* at, std::string_view lineEnd) {
  if (lineEnd.size() == 2) *at++ = '\r';
  *at = '\n';
  return at + 1;
}

ROW_PART char* putSeparator(char* at) {
  at[0] = ',';
  at[1] = ' ';
  return at + 2;
}

// "N, " for every N below a thousand, where statistics almost always are: the text in the first
// bytes of eight, its length in the last.
constexpr std::size_t kTabledIntegers = 1000;
using TabledInteger = std::array<char, 8>;
constexpr std::array<TabledInteger, kTabledIntegers> kIntegerTexts = [] {
  std::array<TabledInteger, kTabledIntegers> texts{};
  for (std::size_t value = 0; value < kTabledIntegers; ++value) {
    TabledInteger& text = texts[value];
    std::size_t length = 0;
    if (value >= 100) text[length++] = static_cast<char>('0' + value / 100);
    if (value >= 10) text[length++] = static_cast<char>('0' + value / 10 % 10);
    text[length++] = static_cast<char>('0' + value % 10);
    text[length++] = ',';
    text[length++] = ' ';
    text[7] = static_cast<char>(length);
  }
  return texts;
}();

// An integer and the separator after it. Eight bytes are written; those beyond the text land in
// room the row has anyway and are written over next.
ROW_PART char* putIntegerField(char* at, int value) {
  const auto small = static_cast<unsigned>(value);
  if (small < kTabledIntegers) {
    const TabledInteger& text = kIntegerTexts[small];
    std::memcpy(at, text.data(), text.size());
    return at + text[7];
  }
  return putSeparator(std::to_chars(at, at + 11, value).ptr);
}

// As printf's %g with precision 6: six significant digits, trailing zeros and a trailing point
// dropped, locale-independent. Ratings between 1 and a million, the values a game reports, take
// a short road: the float times the power of ten that leaves six digits before the point is
// exact in a double (a 24-bit mantissa times at most 5^5), so rounding it to a whole number,
// ties to even, gives exactly the digits of the exact conversion. Everything else, and the rare
// value that rounds up to a seventh digit, goes through the general conversion.
char* putRating(char* at, float value) {
  const float magnitude = std::fabs(value);
  if (magnitude >= 1.0f && magnitude < 1e6f) {
    const int integerDigits = magnitude < 1e3f ? (magnitude < 10.0f    ? 1
                                                  : magnitude < 100.0f ? 2
                                                                       : 3)
                                               : (magnitude < 1e4f   ? 4
                                                  : magnitude < 1e5f ? 5
                                                                     : 6);
    constexpr double kScales[] = {1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0};
    const double scaled = static_cast<double>(magnitude) * kScales[6 - integerDigits];
    // Rounded by hand, ties to even: the host may have changed the floating-point rounding mode.
    auto digits = static_cast<std::uint32_t>(scaled);
    const double fraction = scaled - static_cast<double>(digits);
    if (fraction > 0.5 || (fraction == 0.5 && digits % 2 == 1)) ++digits;
    if (digits < 1000000) {
      // The six digits, then moved in words of eight bytes: the integer part, the point and
      // the decimals kept; bytes beyond them land in room the row has anyway.
      char text[16] = {};
      putTwoDigits(putTwoDigits(putTwoDigits(text, digits / 10000), digits / 100 % 100),
                   digits % 100);
      int end = 6;
      while (end > integerDigits && text[end - 1] == '0') --end;
      if (value < 0.0f) *at++ = '-';
      std::memcpy(at, text, 8);
      if (end == integerDigits) return at + integerDigits;
      at[integerDigits] = '.';
      std::memcpy(at + integerDigits + 1, text + integerDigits, 8);
      return at + end + 1;
    }
  }
  if (value == 0.0f && !std::signbit(value)) {
    *at = '0';
    return at + 1;
  }
  return std::to_chars(at, at + 32, value, std::chars_format::general, 6).ptr;
}

// Marks, with its high bit, each of the eight bytes below 14, as a line feed (10) and a carriage
// return (13) are; some bytes above may be marked too, never one below missed.
std::uint64_t lowBytes(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighs = 0x8080808080808080u;
  return (word - 14 * kOnes) & ~word & kHighs;
}

char* blankLineBreaks(char* from, char* to) {
  for (char* c = from; c < to; ++c) {
    if (*c == '\r' || *c == '\n') *c = ' ';
  }
  return to;
}

// Moves eight bytes and marks the low ones among them.
ROW_PART std::uint64_t moveWord(char* to, const char* from) {
  std::uint64_t word;
  std::memcpy(&word, from, sizeof word);
  std::memcpy(to, &word, sizeof word);
  return lowBytes(word);
}

// A line break inside a name or id would start a new row; it becomes a space. A text of eight
// bytes or more moves a word of eight bytes at a time, the last word overlapping the one before,
// and is looked at byte by byte only when a word had a low byte in it.
ROW_PART char* putText(char* at, std::string_view text) {
  const char* const from = text.data();
  const std::size_t size = text.size();
  if (size < 8) {
    for (std::size_t i = 0; i < size; ++i) {
      const char c = from[i];
      at[i] = c == '\r' || c == '\n' ? ' ' : c;
    }
    return at + size;
  }
  std::uint64_t marks = moveWord(at, from) | moveWord(at + size - 8, from + size - 8);
  if (size > 16) {
    marks |= moveWord(at + 8, from + 8);
    for (std::size_t offset = 16; offset + 8 < size; offset += 8) {
      marks |= moveWord(at + offset, from + offset);
    }
  }
  return marks != 0 ? blankLineBreaks(at, at + size) : at + size;
}

// Moves a short text in words, the last word overlapping the one before, within its bounds.
char* putShort(char* at, std::string_view text) {
  const char* const from = text.data();
  const std::size_t size = text.size();
  if (size >= 8) {
    for (std::size_t offset = 0; offset + 8 < size; offset += 8) {
      std::memcpy(at + offset, from + offset, 8);
    }
    std::memcpy(at + size - 8, from + size - 8, 8);
  } else if (size >= 4) {
    std::memcpy(at, from, 4);
    std::memcpy(at + size - 4, from + size - 4, 4);
  } else {
    for (std::size_t i = 0; i < size; ++i) at[i] = from[i];
  }
  return at + size;
}

// A side's head or tail, copied in whole words of sixteen bytes from its buffer, which holds
// whole words: the bytes beyond its end land in room the row has anyway and are written over
// next.
ROW_PART char* putPadded(char* at, std::string_view text) {
  std::memcpy(at, text.data(), 16);
  std::memcpy(at + 16, text.data() + 16, 16);
  for (std::size_t offset = 32; offset < text.size(); offset += 16) {
    std::memcpy(at + offset, text.data() + offset, 16);
  }
  return at + text.size();
}

// One row; `lineEnd` is "\n" or "\r\n".
ROW_PART char* putRow(char* at, const PlayerRecord& row, const SideText& side,
                      std::string_view lineEnd) {
  at = putPadded(at, side.head());
  at = putSeparator(putText(at, row.name));
  at = putIntegerField(at, row.goals);
  at = putIntegerField(at, row.assists);
  at = putIntegerField(at, row.saves);
  at = putIntegerField(at, row.shots);
  at = putIntegerField(at, row.demolitions);
  at = putIntegerField(at, row.score);
  at = putPadded(putRating(at, row.mmr), side.tail());
  at = putText(at, row.uniqueId);
  return putLineEnd(at, lineEnd);
}

}  // namespace

SideText::SideText(const ExportSide& side, std::string_view timestamp) {
  const auto cut = [](std::string_view text, std::size_t most) {
    return text.size() <= most ? text : text.substr(0, most);
  };
  char* at = putShort(head_, cut(side.colour, sizeof head_ - 2));
  headLength_ = static_cast<std::size_t>(putSeparator(at) - head_);
  at = putSeparator(tail_);
  at = putIntegerField(at, side.teamGoals);
  at = putSeparator(putShort(at, cut(side.result, 8)));
  at = putSeparator(putShort(at, cut(timestamp, 64)));
  tailLength_ = static_cast<std::size_t>(at - tail_);
}

void appendHeader(std::string& block) {
  block.append(kHeader).append(kLineFeed);
}

void appendRow(std::string& block, const PlayerRecord& row, const ExportSide& side,
               std::string_view timestamp) {
  const std::size_t start = block.size();
  block.resize(start + rowBound(row));
  char* const end = putRow(block.data() + start, row, SideText(side, timestamp), kLineFeed);
  block.resize(static_cast<std::size_t>(end - block.data()));
}

void appendBlockEnd(std::string& block) {
  block.append(kLineFeed).append(kLineFeed);
}

// The stack buffer is left as it is: every byte of it that is read was written first.
BlockComposer::BlockComposer() : begin_(local_), at_(local_), capacity_(sizeof local_) {}

void BlockComposer::grow(std::size_t bytes) {
  const auto used = static_cast<std::size_t>(at_ - begin_);
  const std::size_t capacity = std::max(capacity_ * 2, used + bytes);
  std::unique_ptr<char[]> grown(new char[capacity]);
  std::memcpy(grown.get(), begin_, used);
  heap_ = std::move(grown);
  begin_ = heap_.get();
  at_ = begin_ + used;
  capacity_ = capacity;
}

void BlockComposer::header() {
  makeRoom(kHeader.size() + kPlatformLineEnd.size());
  at_ = put(put(at_, kHeader), kPlatformLineEnd);
}

void BlockComposer::row(const PlayerRecord& row, const SideText& side) {
  makeRoom(rowBound(row));
  at_ = putRow(at_, row, side, kPlatformLineEnd);
}

void BlockComposer::end() {
  makeRoom(2 * kPlatformLineEnd.size());
  at_ = put(put(at_, kPlatformLineEnd), kPlatformLineEnd);
}

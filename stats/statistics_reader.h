#pragma once

// Reads the plugin's statistics files: blocks of a header line and one row per player, fields
// separated by ", ", blocks ended by empty lines. Names are written as they are and may hold the
// separator, so a row is split from both ends: the colour from the left, then from the right the
// player id, the timestamp and the nine fields before it; the name is what lies between.
//
// One ambiguity is left: an id that itself holds ", " followed by a whole field sequence
// (counters, rating, team goals, result and a timestamp) is split at the rightmost timestamp
// that reads right, so the name takes the real fields and the front of that id. Ids the game
// gives hold no ", ".

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/statistics_format.h"

namespace tallyrig::stats {

using statistics::kHeaderLine;
// Rows are a few hundred bytes; anything longer is not a row and is skipped unread.
inline constexpr std::size_t kMaxLineBytes = 4096;
// The plugin writes at most eight rows a block; the cap keeps memory bounded by the number of
// matches whatever a file holds.
inline constexpr std::size_t kMaxRowsPerBlock = 64;

enum class Colour : std::uint8_t { Blue, Orange };

// A wall-clock time as the file writes it, in local time.
struct LocalTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  // Minutes since 1970-01-01 00:00 of the same clock: orders and spaces times.
  std::int64_t minutes() const;
  static LocalTime fromMinutes(std::int64_t minutes);
  bool operator==(const LocalTime&) const = default;
};

struct LocalDate {
  int year = 1970;
  int month = 1;
  int day = 1;
};

// A player's own figures in one match, in the order of the columns.
struct Counters {
  std::int32_t goals = 0;
  std::int32_t assists = 0;
  std::int32_t saves = 0;
  std::int32_t shots = 0;
  std::int32_t demos = 0;
  std::int32_t score = 0;
};

// One row; the texts point into the line it was read from.
struct RowFields {
  Colour colour = Colour::Blue;
  std::string_view name;
  Counters counters;
  double mmr = 0;
  std::int32_t teamGoals = 0;
  bool win = false;
  LocalTime time;
  std::string_view playerId;
};

// A row as the plugin writes it (without its line end), or nothing and, in `problem`, the
// warning that names the field at fault (TIMESTAMP "02/30/2023 25:00" is not a calendar time).
std::optional<RowFields> parseRow(std::string_view line, std::string* problem = nullptr);
// "MM/DD/YYYY HH:MM", a real calendar day.
std::optional<LocalTime> parseTimestamp(std::string_view text);
// "YYYY-MM-DD", a real calendar day.
std::optional<LocalDate> parseIsoDate(std::string_view text);

// What a statistics file holds, in file order.
class ReaderEvents {
 public:
  virtual ~ReaderEvents() = default;
  virtual void blockStarted(std::size_t line) = 0;
  virtual void rowRead(const RowFields& row, std::size_t line) = 0;
  // Every started block ends, also one cut off by the end of the file.
  virtual void blockEnded() = 0;
  virtual void warning(std::size_t line, std::string_view what) = 0;
};

// Takes a file's bytes in pieces of any size and holds at most one line of kMaxLineBytes.
class StatisticsReader {
 public:
  explicit StatisticsReader(ReaderEvents& events) : events_(events) {}
  void feed(std::string_view bytes);
  // The end of the file.
  void finish();

 private:
  void onLine(std::string_view line, bool terminated);
  void endBlock();

  ReaderEvents& events_;
  std::string pending_;
  bool overlong_ = false;
  std::size_t lineNumber_ = 0;
  bool inBlock_ = false;
  std::size_t rowsInBlock_ = 0;
  std::size_t blockLine_ = 0;
};

}  // namespace tallyrig::stats

#include "stats/statistics_reader.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace tallyrig::stats {
namespace {

using statistics::kSeparator;
constexpr std::string_view kBlue = "Blue, ";
constexpr std::string_view kOrange = "Orange, ";
constexpr std::size_t kTimestampBytes = 16;  // MM/DD/YYYY HH:MM
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

template <typename Number>
bool readNumber(std::string_view text, Number& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// A counter or a rating. nan and inf read as numbers but are no rating any output could show.
template <typename Number>
bool readField(std::string_view text, Number& value) {
  if (!readNumber(text, value)) return false;
  if constexpr (std::is_floating_point_v<Number>) return std::isfinite(value);
  return true;
}

bool readDigits(std::string_view text, int& value) {
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return !text.empty();
}

bool isCalendarDay(int year, int month, int day) {
  using namespace std::chrono;
  return year_month_day(std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                        std::chrono::day(static_cast<unsigned>(day)))
      .ok();
}

// Takes the last field off `text`: what follows its last separator.
bool takeLast(std::string_view& text, std::string_view& field) {
  const std::size_t at = text.rfind(kSeparator);
  if (at == std::string_view::npos) return false;
  field = text.substr(at + kSeparator.size());
  text = text.substr(0, at);
  return true;
}

// "NAME, GOALS, ASSISTS, SAVES, SHOTS, DEMOS, SCORE, MMR, TEAM GOALS, W/L", taken from the right.
bool readCountersAndName(std::string_view text, RowFields& row) {
  std::string_view field;
  if (!takeLast(text, field)) return false;
  if (field == "WIN") {
    row.win = true;
  } else if (field == "LOSS") {
    row.win = false;
  } else {
    return false;
  }
  if (!takeLast(text, field) || !readField(field, row.teamGoals)) return false;
  if (!takeLast(text, field) || !readField(field, row.mmr)) return false;
  Counters& counters = row.counters;
  for (std::int32_t* counter : {&counters.score, &counters.demos, &counters.shots, &counters.saves,
                                &counters.assists, &counters.goals}) {
    if (!takeLast(text, field) || !readField(field, *counter)) return false;
  }
  row.name = text;
  return true;
}

std::string quoted(std::string_view field) {
  return "\"" + std::string(field) + "\"";
}

// Why a whole number that does not read is refused.
std::string intProblem(std::string_view name, std::string_view field) {
  std::int64_t wide = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), wide);
  if (!field.empty() && end == field.data() + field.size() &&
      (error == std::errc::result_out_of_range || error == std::errc())) {
    return fmt::format("{} {} is out of range (-2147483648 to 2147483647)", name, quoted(field));
  }
  return fmt::format("{} {} is not a whole number", name, quoted(field));
}

std::string timestampProblem(std::string_view field) {
  const bool shaped = field.size() == kTimestampBytes && field[2] == '/' && field[5] == '/' &&
                      field[10] == ' ' && field[13] == ':' &&
                      std::all_of(field.begin(), field.end(), [](char c) {
                        return (c >= '0' && c <= '9') || c == '/' || c == ' ' || c == ':';
                      });
  return fmt::format("TIMESTAMP {} is not {}", quoted(field),
                     shaped ? "a calendar time" : "a time as MM/DD/YYYY HH:MM");
}

// The row read from the right, as the plugin writes it when the id holds no separator (the
// name may): its fields, or the warning that names the first field at fault.
std::variant<RowFields, std::string> readFromTheRight(std::string_view line) {
  constexpr std::size_t kFields = 13;
  RowFields row;
  const std::string_view colour = line.substr(0, line.find(kSeparator));
  if (colour == "Blue") {
    row.colour = Colour::Blue;
  } else if (colour == "Orange") {
    row.colour = Colour::Orange;
  } else {
    std::size_t separators = 0;
    for (std::size_t at = line.find(kSeparator); at != std::string_view::npos;
         at = line.find(kSeparator, at + 1))
      ++separators;
    if (separators + 1 < kFields) return "not a header line, a row or an empty line; skipped";
    return fmt::format("TEAM COLOR {} is not Blue or Orange", quoted(colour));
  }
  std::string_view rest = line.substr(colour.size());
  std::array<std::string_view, kFields - 2> fields;  // PLAYERID first, GOALS last
  std::size_t taken = 0;
  while (taken < fields.size() && takeLast(rest, fields[taken])) ++taken;
  if (taken < fields.size() || !rest.starts_with(kSeparator)) {
    return fmt::format("a row with {} of its {} fields; skipped",
                       taken + 1 + (rest.empty() ? 0 : 1), kFields);
  }
  const std::optional<LocalTime> time = parseTimestamp(fields[1]);
  if (!time) return timestampProblem(fields[1]);
  if (fields[2] != "WIN" && fields[2] != "LOSS") {
    return fmt::format("W/L {} is not WIN or LOSS", quoted(fields[2]));
  }
  if (!readField(fields[3], row.teamGoals)) return intProblem("TEAM GOALS", fields[3]);
  if (!readField(fields[4], row.mmr)) {
    double mmr = 0;
    return fmt::format("MMR {} is not a {}number", quoted(fields[4]),
                       readNumber(fields[4], mmr) ? "finite " : "");
  }
  Counters& counters = row.counters;
  const std::array<std::pair<std::string_view, std::int32_t*>, 6> kCounters = {
      {{"SCORE", &counters.score},
       {"DEMOS", &counters.demos},
       {"SHOTS", &counters.shots},
       {"SAVES", &counters.saves},
       {"ASSISTS", &counters.assists},
       {"GOALS", &counters.goals}}};
  for (std::size_t i = 0; i < kCounters.size(); ++i) {
    if (!readField(fields[5 + i], *kCounters[i].second)) {
      return intProblem(kCounters[i].first, fields[5 + i]);
    }
  }
  row.win = fields[2] == "WIN";
  row.time = *time;
  row.playerId = fields[0];
  row.name = rest.substr(kSeparator.size());
  return row;
}

// A row whose id holds the separator: each separator left of the rightmost may be the one
// between the timestamp and the id; the first at which everything before it reads right wins.
std::optional<RowFields> readWithSeparatorInId(std::string_view line) {
  RowFields row;
  std::string_view rest;
  if (line.starts_with(kBlue)) {
    row.colour = Colour::Blue;
    rest = line.substr(kBlue.size());
  } else if (line.starts_with(kOrange)) {
    row.colour = Colour::Orange;
    rest = line.substr(kOrange.size());
  } else {
    return std::nullopt;
  }
  constexpr std::size_t kBeforeId = kSeparator.size() + kTimestampBytes;
  std::size_t at = rest.rfind(kSeparator);
  if (at == std::string_view::npos || at == 0) return std::nullopt;
  for (at = rest.rfind(kSeparator, at - 1); at != std::string_view::npos && at >= kBeforeId;
       at = rest.rfind(kSeparator, at - 1)) {
    if (rest.substr(at - kBeforeId, kSeparator.size()) != kSeparator) continue;
    const auto time = parseTimestamp(rest.substr(at - kTimestampBytes, kTimestampBytes));
    if (!time || !readCountersAndName(rest.substr(0, at - kBeforeId), row)) continue;
    row.time = *time;
    row.playerId = rest.substr(at + kSeparator.size());
    return row;
  }
  return std::nullopt;
}

}  // namespace

std::int64_t LocalTime::minutes() const {
  using namespace std::chrono;
  const sys_days date = std::chrono::year(year) / std::chrono::month(static_cast<unsigned>(month)) /
                        std::chrono::day(static_cast<unsigned>(day));
  return std::int64_t{date.time_since_epoch().count()} * 1440 + hour * 60 + minute;
}

LocalTime LocalTime::fromMinutes(std::int64_t minutes) {
  using namespace std::chrono;
  std::int64_t days = minutes / 1440;
  std::int64_t within = minutes % 1440;
  if (within < 0) {
    within += 1440;
    --days;
  }
  const year_month_day date{sys_days(std::chrono::days(days))};
  return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
          static_cast<int>(static_cast<unsigned>(date.day())), static_cast<int>(within / 60),
          static_cast<int>(within % 60)};
}

std::optional<LocalTime> parseTimestamp(std::string_view text) {
  if (text.size() != kTimestampBytes || text[2] != '/' || text[5] != '/' || text[10] != ' ' ||
      text[13] != ':') {
    return std::nullopt;
  }
  LocalTime time;
  if (!readDigits(text.substr(0, 2), time.month) || !readDigits(text.substr(3, 2), time.day) ||
      !readDigits(text.substr(6, 4), time.year) || !readDigits(text.substr(11, 2), time.hour) ||
      !readDigits(text.substr(14, 2), time.minute)) {
    return std::nullopt;
  }
  if (time.hour > 23 || time.minute > 59 || !isCalendarDay(time.year, time.month, time.day)) {
    return std::nullopt;
  }
  return time;
}

std::optional<LocalDate> parseIsoDate(std::string_view text) {
  LocalDate date;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
      !readDigits(text.substr(0, 4), date.year) || !readDigits(text.substr(5, 2), date.month) ||
      !readDigits(text.substr(8, 2), date.day) || !isCalendarDay(date.year, date.month, date.day)) {
    return std::nullopt;
  }
  return date;
}

std::optional<RowFields> parseRow(std::string_view line, std::string* problem) {
  std::variant<RowFields, std::string> read = readFromTheRight(line);
  if (RowFields* row = std::get_if<RowFields>(&read)) return *row;
  if (std::optional<RowFields> row = readWithSeparatorInId(line)) return row;
  if (problem) *problem = std::move(std::get<std::string>(read));
  return std::nullopt;
}

void StatisticsReader::feed(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    // One byte more than the limit leaves room for the CR of a CR LF line end.
    if (!overlong_ && pending_.size() + piece.size() > kMaxLineBytes + 1) {
      overlong_ = true;
      pending_.clear();
    }
    if (end == std::string_view::npos) {
      if (!overlong_) pending_.append(piece);
      return;
    }
    ++lineNumber_;
    if (overlong_) {
      events_.warning(lineNumber_, "a line longer than 4096 bytes; skipped");
      overlong_ = false;
    } else if (pending_.empty()) {
      onLine(piece, true);
    } else {
      pending_.append(piece);
      onLine(pending_, true);
      pending_.clear();
    }
    bytes.remove_prefix(end + 1);
  }
}

void StatisticsReader::finish() {
  if (overlong_) {
    events_.warning(++lineNumber_, "a line longer than 4096 bytes; skipped");
  } else if (!pending_.empty()) {
    ++lineNumber_;
    onLine(pending_, false);
  }
  pending_.clear();
  overlong_ = false;
  if (inBlock_) endBlock();
}

void StatisticsReader::onLine(std::string_view line, bool terminated) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  // A file saved by an editor may begin with a byte-order mark.
  if (lineNumber_ == 1 && line.starts_with(kByteOrderMark))
    line.remove_prefix(kByteOrderMark.size());
  if (line.size() > kMaxLineBytes) {
    events_.warning(lineNumber_, "a line longer than 4096 bytes; skipped");
    return;
  }
  if (line.empty()) {
    if (inBlock_) endBlock();
    return;
  }
  if (line.ends_with(kHeaderLine)) {
    if (line.size() > kHeaderLine.size()) {
      events_.warning(lineNumber_, "a line cut off before a header line; skipped");
    } else if (inBlock_) {
      events_.warning(lineNumber_, "a header line inside a block: the block before it has no end");
    }
    if (inBlock_) endBlock();
    inBlock_ = true;
    rowsInBlock_ = 0;
    blockLine_ = lineNumber_;
    events_.blockStarted(lineNumber_);
    return;
  }
  std::string problem;
  const std::optional<RowFields> row = parseRow(line, &problem);
  if (!row) {
    if (terminated) {
      events_.warning(lineNumber_, problem);
    } else {
      events_.warning(lineNumber_, "the file ends inside a line; the cut-off line is skipped");
    }
    return;
  }
  if (!inBlock_) {
    events_.warning(lineNumber_, "a row with no header line before it; skipped");
    return;
  }
  if (rowsInBlock_ >= kMaxRowsPerBlock) {
    if (rowsInBlock_++ == kMaxRowsPerBlock) {
      events_.warning(lineNumber_, "more than 64 rows in one block; the rest are skipped");
    }
    return;
  }
  events_.rowRead(*row, lineNumber_);
  ++rowsInBlock_;
  if (!terminated) {
    events_.warning(lineNumber_, "the file ends inside a line; the last block may be cut off");
  }
}

void StatisticsReader::endBlock() {
  if (rowsInBlock_ == 0) events_.warning(blockLine_, "a header line with no rows after it");
  inBlock_ = false;
  events_.blockEnded();
}

}  // namespace tallyrig::stats

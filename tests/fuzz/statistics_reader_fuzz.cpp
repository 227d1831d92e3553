// Any bytes as a statistics file. The reader must keep its promises whatever it is given: every
// problem is one line "fuzz.csv:LINE: what" with LINE within the text, a block holds 1 to 64
// rows, how the bytes are split into reads changes nothing, and a row read back from its own
// fields reads the same. Anything else (a crash, a sanitizer report) is a bug.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "stats/history.h"
#include "stats/outputs.h"

namespace {

using namespace tallyrig::stats;

[[noreturn]] void broken(const char* what, std::string_view detail) {
  std::fprintf(stderr, "statistics reader: %s: %.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

struct Outcome {
  History history;
  std::vector<std::string> warnings;
};

Outcome read(std::string_view text, std::size_t piece) {
  Outcome outcome;
  const WarningSink sink = [&](const std::string& message) { outcome.warnings.push_back(message); };
  if (piece == 0) {
    readStatisticsText(text, "fuzz.csv", 2024, "Duel", outcome.history, sink);
    return outcome;
  }
  // The same text arriving in pieces, as reads of a file give it, logged event by event.
  struct Collector final : ReaderEvents {
    std::vector<std::string>& log;
    explicit Collector(std::vector<std::string>& target) : log(target) {}
    void blockStarted(std::size_t line) override { log.push_back("B" + std::to_string(line)); }
    void rowRead(const RowFields& row, std::size_t line) override {
      log.push_back("R" + std::to_string(line) + std::string(row.name) + "|" +
                    std::string(row.playerId));
    }
    void blockEnded() override { log.push_back("E"); }
    void warning(std::size_t line, std::string_view what) override {
      log.push_back("W" + std::to_string(line) + std::string(what));
    }
  };
  Collector collector(outcome.warnings);
  StatisticsReader reader(collector);
  for (std::size_t at = 0; at < text.size(); at += piece) reader.feed(text.substr(at, piece));
  reader.finish();
  return outcome;
}

std::string rowText(const History& history, const Row& row, const std::string& timestamp) {
  std::string text = row.colour == Colour::Blue ? "Blue, " : "Orange, ";
  text += history.text(row.name);
  for (const std::int32_t value : {row.counters.goals, row.counters.assists, row.counters.saves,
                                   row.counters.shots, row.counters.demos, row.counters.score}) {
    text += ", " + std::to_string(value);
  }
  text += ", " + ratingText(row.mmr) + ", " + std::to_string(row.teamGoals) +
          (row.win ? ", WIN, " : ", LOSS, ") + timestamp + ", " + history.text(row.playerId);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Outcome whole = read(text, 0);
  std::size_t lines = 1;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  for (const std::string& message : whole.warnings) {
    if (message.find('\n') != std::string::npos) broken("a message spans lines", message);
    if (message.rfind("fuzz.csv:", 0) != 0) broken("a message does not name the file", message);
    if (message.find(" more problems not shown") != std::string::npos) continue;
    const std::size_t line = std::strtoull(message.c_str() + 9, nullptr, 10);
    if (line == 0 || line > lines) broken("a message names a line outside the text", message);
  }
  const History& history = whole.history;
  std::size_t rows = 0;
  for (const Match& match : history.matches) {
    if (match.rowCount == 0 || match.rowCount > kMaxRowsPerBlock) broken("a block's rows", text);
    if (match.firstRow != rows) broken("blocks out of order", text);
    rows += match.rowCount;
    const LocalTime time = LocalTime::fromMinutes(match.minutes);
    const std::string timestamp = std::to_string(100 + time.month).substr(1) + "/" +
                                  std::to_string(100 + time.day).substr(1) + "/" +
                                  std::to_string(10000 + time.year).substr(1) + " " +
                                  std::to_string(100 + time.hour).substr(1) + ":" +
                                  std::to_string(100 + time.minute).substr(1);
    for (std::uint32_t at = match.firstRow; at < match.firstRow + match.rowCount; ++at) {
      const Row& row = history.rows[at];
      // Written back from its fields, a row reads as the same row.
      const std::string again = rowText(history, row, timestamp);
      const std::optional<RowFields> reread = parseRow(again);
      if (!reread || reread->name != history.text(row.name) ||
          reread->playerId != history.text(row.playerId) ||
          reread->counters.goals != row.counters.goals || reread->teamGoals != row.teamGoals) {
        if (history.text(row.playerId).find(", ") == std::string::npos) {
          broken("a row reads differently from its own fields", again);
        }
      }
    }
  }
  if (rows != history.rows.size()) broken("rows outside every block", text);
  // Where the reads break the text must not matter.
  const Outcome inPieces = read(text, 1 + size % 7);
  const Outcome inOtherPieces = read(text, 4096);
  if (inPieces.warnings != inOtherPieces.warnings) broken("the pieces changed what was read", text);
  return 0;
}

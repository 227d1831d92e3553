#pragma once

// Statistics text for the tests, composed field by field as the plugin writes it.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "stats/history.h"

namespace tallyrig::stats::testing {

struct TestRow {
  std::string_view colour = "Blue";
  std::string_view name = "Ana";
  int goals = 0;
  std::string_view mmr = "0";
  int teamGoals = 1;
  bool win = true;
  std::string_view id = "Steam|1|0";
  int score = 100;
  int saves = 2;
  int shots = 3;
};

inline std::string rowLine(const TestRow& row, std::string_view timestamp) {
  return fmt::format("{}, {}, {}, 1, {}, {}, 4, {}, {}, {}, {}, {}, {}\n", row.colour, row.name,
                     row.goals, row.saves, row.shots, row.score, row.mmr, row.teamGoals,
                     row.win ? "WIN" : "LOSS", timestamp, row.id);
}

inline std::string blockText(std::string_view timestamp, const std::vector<TestRow>& rows) {
  std::string text = std::string(kHeaderLine) + "\n";
  for (const TestRow& row : rows) text += rowLine(row, timestamp);
  return text + "\n\n";
}

inline void addFile(History& history, std::string_view playlist, const std::string& text,
                    int year = 2026) {
  readStatisticsText(text, std::string(playlist) + ".csv", year, playlist, history,
                     [](const std::string& message) { ADD_FAILURE() << message; });
}

}  // namespace tallyrig::stats::testing

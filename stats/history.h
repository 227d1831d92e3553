#pragma once

// Every match in the statistics files under a data folder, in the order the files are read:
// year folder, then file name, then position in the file. Names and ids are kept once each, so
// memory grows with the number of matches, not with the size of the files.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "stats/statistics_reader.h"

namespace tallyrig::stats {

using TextId = std::uint32_t;

struct Row {
  TextId name = 0;
  TextId playerId = 0;
  Counters counters;
  std::int32_t teamGoals = 0;
  double mmr = 0;
  Colour colour = Colour::Blue;
  bool win = false;
};

struct Match {
  std::int64_t minutes = 0;  // the block's timestamp, LocalTime::minutes()
  std::uint32_t firstRow = 0;
  std::uint32_t rowCount = 0;
  std::uint32_t playlist = 0;  // index into History::playlists
  int year = 0;                // the year folder
};

struct History {
  std::vector<Match> matches;
  std::vector<Row> rows;
  std::vector<std::string> playlists;
  std::size_t filesRead = 0;
  std::size_t warnings = 0;

  const std::string& text(TextId id) const { return texts_[id]; }
  TextId intern(std::string_view text);
  // The id of a text that some row holds.
  const TextId* find(std::string_view text) const;
  std::uint32_t playlistIndex(std::string_view name);

 private:
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };
  std::vector<std::string> texts_;
  std::unordered_map<std::string, TextId, TextHash, std::equal_to<>> textIds_;
};

// Receives each problem as "FILE:LINE: what".
using WarningSink = std::function<void(const std::string&)>;

// Adds the blocks of one statistics file's text; `label` names it in warnings. Used for files
// and, by the tests and the fuzz target, for text in memory.
void readStatisticsText(std::string_view text, const std::string& label, int year,
                        std::string_view playlist, History& history, const WarningSink& warn);

struct StatisticsFile {
  std::filesystem::path path;
  int year = 0;
  std::string playlist;  // the file's base name
};

// Every <data>/Tallyrig/<four-digit year>/<name>.csv, by year, then file name.
std::vector<StatisticsFile> findStatisticsFiles(const std::filesystem::path& dataFolder,
                                                const WarningSink& warn);

// Reads the files read-only, a piece at a time.
History readHistory(const std::vector<StatisticsFile>& files, const WarningSink& warn);

// A path as messages show it: UTF-8, forward slashes.
std::string displayPath(const std::filesystem::path& path);

}  // namespace tallyrig::stats

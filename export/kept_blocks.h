#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <list>
#include <string>
#include <string_view>
#include <vector>

#include "export/statistics_file.h"

// Blocks that could not be appended when their match ended, kept in memory whole and unchanged
// with the file they belong to, until that file takes them or the plugin unloads. Each later
// export of a file writes its kept blocks first, oldest first, so the file holds its matches in
// the order they were played.
class KeptBlocks {
 public:
  // What is kept at most: the latest blocks, as many as fit both bounds.
  static constexpr std::size_t kMaxBlocks = 256;
  static constexpr std::size_t kMaxBytes = std::size_t{1} << 20;

  // One export into `file`, which open() made ready or not (`opened`): its kept blocks, then
  // `block` (none when empty). What cannot go in is kept; `lines` gets what the console is to
  // say.
  void exportTo(StatisticsFile& file, bool opened, const std::filesystem::path& dataFolder,
                std::string_view year, const std::string& fileName, std::string block,
                std::vector<std::string>& lines);
  // Every kept block tried once more, file by file; what still cannot be written is lost, and
  // `lines` says so. Nothing is kept afterwards.
  void writeAll(std::vector<std::string>& lines);

  std::size_t size() const { return blocks_.size(); }

 private:
  struct Kept {
    std::filesystem::path dataFolder;
    std::string year;
    std::string fileName;
    std::filesystem::path path;
    std::string bytes;
    // Bytes at its start that are in the file already: a part that could not be taken back,
    // which the rest completes.
    std::size_t inFile = 0;
  };

  // Appends the kept blocks of file.path(), oldest first, while the file takes them.
  bool writeKept(StatisticsFile& file, std::size_t& written);
  void keep(Kept block, std::vector<std::string>& lines);
  std::size_t keptFor(const std::filesystem::path& path) const;

  std::list<Kept> blocks_;
  std::size_t bytes_ = 0;
};

#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "export/append_file.h"

// A path as console lines show it: its UTF-8 text.
std::string displayPath(const std::filesystem::path& path);

// A statistics file opened and locked for one export. It only ever grows by whole blocks: a block
// that cannot be written completely is taken back out when that is safe, so no reader sees half
// a match.
class StatisticsFile {
 public:
  // Opens <dataFolder>/Tallyrig/<year>/<fileName> for appending, creating it empty when
  // missing, and the plugin folder and the year folder before it when they are missing; then
  // takes the file's lock.
  bool open(const std::filesystem::path& dataFolder, std::string_view year,
            const std::string& fileName);
  // One write of the whole block. After a failure the file is closed, and leftover() says how
  // many of its bytes stay in the file.
  bool append(std::string_view block);
  std::uint64_t leftover() const { return leftover_; }
  bool close();
  const std::filesystem::path& path() const { return path_; }
  // The console line that says what failed and why.
  const std::string& problem() const { return problem_; }
  // Whether that line names a folder rather than the file.
  bool problemIsAFolder() const { return problemIsAFolder_; }

 private:
  bool fail(std::string_view what, const std::filesystem::path& path, const std::string& reason);

  std::filesystem::path path_;
  AppendFile file_;
  std::uint64_t leftover_ = 0;
  std::string problem_;
  bool problemIsAFolder_ = false;
};

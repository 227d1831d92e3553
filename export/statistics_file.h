#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "export/append_file.h"

// A statistics file opened for one export. It only ever grows by whole blocks: a block that
// cannot be written completely is taken back out, so no reader ever sees half a match.
class StatisticsFile {
 public:
  // Opens <dataFolder>/Tallyrig/<year>/<playlist>.csv for appending, creating it empty when
  // missing, and the plugin folder and the year folder before it when they are missing.
  bool open(const std::filesystem::path& dataFolder, std::string_view year,
            std::string_view playlist);
  // One write of the whole block; the file is closed afterwards.
  bool append(std::string_view block);
  bool close();
  // The console line that says what failed and why.
  const std::string& problem() const { return problem_; }

 private:
  std::filesystem::path prefix(std::size_t length) const;
  bool fail(std::string_view what, const std::filesystem::path& path, const std::string& reason);

  // The file's path as the platform spells it, ended by a zero; the folders are its first parts.
  std::basic_string_view<std::filesystem::path::value_type> path_;
  std::filesystem::path::value_type localPath_[400];
  std::filesystem::path::string_type longPath_;
  std::size_t pluginFolderLength_ = 0;
  std::size_t yearFolderLength_ = 0;
  AppendFile file_;
  std::string problem_;
};

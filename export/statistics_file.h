#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "export/append_file.h"

// A statistics file opened for one export. It only ever grows by whole blocks: a block that
// cannot be written completely is taken back out, so no reader ever sees half a match.
class StatisticsFile {
 public:
  // Opens <dataFolder>/Tallyrig/<year>/<fileName> for appending, creating it empty when
  // missing, and the plugin folder and the year folder before it when they are missing.
  bool open(const std::filesystem::path& dataFolder, std::string_view year,
            const std::string& fileName);
  // One write of the whole block; the file is closed afterwards.
  bool append(std::string_view block);
  bool close();
  // The console line that says what failed and why.
  const std::string& problem() const { return problem_; }

 private:
  bool fail(std::string_view what, const std::filesystem::path& path, const std::string& reason);

  std::filesystem::path path_;
  AppendFile file_;
  std::string problem_;
};

#pragma once

#include <string>
#include <string_view>

// The one reading of the clock an export makes, in the texts the statistics file needs.
class ExportTime {
 public:
  std::string_view timestamp() const { return timestamp_; }  // %m/%d/%Y %H:%M
  std::string_view year() const { return year_; }            // %Y

 private:
  friend ExportTime currentExportTime();

  std::string timestamp_;
  std::string year_;
};

// Local time, read with the platform's thread-safe conversion.
ExportTime currentExportTime();

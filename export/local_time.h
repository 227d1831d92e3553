#pragma once

#include <cstddef>
#include <string_view>

// The one reading of the clock an export makes, in the texts the statistics file needs. Held in
// place: an export composes no text on the heap for it.
class ExportTime {
 public:
  std::string_view timestamp() const { return {text_, timestampLength_}; }      // %m/%d/%Y %H:%M
  std::string_view year() const { return {text_ + yearOffset_, yearLength_}; }  // %Y

 private:
  friend ExportTime currentExportTime();

  char text_[64];
  std::size_t timestampLength_ = 0;
  std::size_t yearOffset_ = 0;
  std::size_t yearLength_ = 0;
};

// Local time, read with the platform's thread-safe conversion.
ExportTime currentExportTime();

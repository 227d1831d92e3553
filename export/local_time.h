#pragma once

#include <string>

// The one reading of the clock an export makes, in the texts the statistics file needs.
struct ExportTime {
  std::string timestamp;  // "%m/%d/%Y %H:%M"
  std::string year;       // "%Y"
};

// Local time, read with the platform's thread-safe conversion.
ExportTime currentExportTime();

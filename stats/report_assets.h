#pragma once

// The report's inline script and style elements, embedded when the program is built (see
// embed_file.cmake) so that a report needs nothing but itself: Chart.js as the system's package
// ships it, then stats/report/charts.js and stats/report/style.css.

#include <cstddef>
#include <string>
#include <string_view>

namespace tallyrig::stats {

struct EmbeddedText {
  const unsigned char* bytes;
  std::size_t size;
  // "'sha256-...'": the Content-Security-Policy allows the element by the hash of its text.
  const char* hashSource;

  std::string_view text() const { return {reinterpret_cast<const char*>(bytes), size}; }
};

extern const EmbeddedText kChartJs;
extern const EmbeddedText kChartsScript;
extern const EmbeddedText kReportStyle;

// Nothing may leave the page and nothing runs but the report's own scripts, allowed by their
// hashes: a name that slipped past the escaping still could not run script.
const std::string& contentSecurityPolicy();

}  // namespace tallyrig::stats

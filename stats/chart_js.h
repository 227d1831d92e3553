#pragma once

// Chart.js as the system's package ships it, embedded when the program is built (see
// embed_file.cmake), so a report needs nothing but itself.

#include <cstddef>

namespace tallyrig::stats {

extern const unsigned char kChartJs[];
extern const std::size_t kChartJsSize;

}  // namespace tallyrig::stats

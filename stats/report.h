#pragma once

// The report's pieces, one file each: the charts' data (report_charts.cpp), the tables' data
// (report_tables.cpp) and the page's text around them (html_report.cpp); the scripts and style
// are report_assets.h.

#include <algorithm>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <vector>

#include "stats/history.h"
#include "stats/outputs.h"
#include "stats/summary.h"

namespace tallyrig::stats {

// What the charts draw, at each grain: per match for the latest kChartMatches, and per day,
// week and month for the whole history. The page picks the grain from the span it shows, so no
// series it draws holds more than a few hundred points.
nlohmann::json chartData(const History& history, const Summary& summary,
                         const std::vector<PlayerMatch>& matches);

// How many of the latest matches the match table lists.
inline std::size_t matchesListed(std::size_t matches) {
  return std::min(matches, kMatchesListed);
}

// Every table the page's script draws, by the name its holder gives: each with its columns and
// the rows' cells as the page shows them.
nlohmann::json reportTables(const History& history, const Summary& summary,
                            const std::vector<PlayerMatch>& matches);

}  // namespace tallyrig::stats

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>

#include "stats/chart_js.h"
#include "stats/outputs.h"
#include "stats/sha256.h"

namespace tallyrig::stats {
namespace {

using nlohmann::json;

constexpr std::string_view kCharts = R"JS(
(function () {
  'use strict';
  const data = JSON.parse(document.getElementById('report-data').textContent);
  const palette = ['#1f77b4', '#ff7f0e', '#2ca02c', '#d62728', '#9467bd', '#8c564b', '#e377c2',
                   '#7f7f7f', '#bcbd22', '#17becf'];
  // Times are the files' local wall clock, carried as if UTC so that no time zone moves them.
  const day = (ms) => new Date(ms).toISOString().slice(0, 10);
  const minute = (ms) => new Date(ms).toISOString().slice(0, 16).replace('T', ' ');
  let first = Infinity, last = -Infinity;
  data.mmr.forEach((series) => series.points.forEach((p) => {
    first = Math.min(first, p[0]);
    last = Math.max(last, p[0]);
  }));
  // Over a few days one date would repeat along the axis: show the time too.
  const tick = last - first < 4 * 86400000 ? minute : day;
  Chart.defaults.animation = false;
  new Chart(document.getElementById('mmr-chart'), {
    type: 'line',
    data: {
      datasets: data.mmr.map((series, i) => ({
        label: series.playlist,
        data: series.points.map((p) => ({ x: p[0], y: p[1] })),
        borderColor: palette[i % palette.length],
        backgroundColor: palette[i % palette.length],
        borderWidth: 1.5,
        pointRadius: series.points.length > 150 ? 0 : 2,
      })),
    },
    options: {
      parsing: false,
      maintainAspectRatio: false,
      scales: {
        x: { type: 'linear', ticks: { callback: (value) => tick(value), maxTicksLimit: 8 } },
        y: { title: { display: true, text: 'MMR' } },
      },
      plugins: {
        tooltip: { callbacks: { title: (items) => (items.length ? minute(items[0].parsed.x) : '') } },
      },
    },
  });
  const trendLine = (label, points, colour, axis) => ({
    label: label,
    data: points.map((p) => ({ x: p[0], y: p[1] })),
    borderColor: colour,
    backgroundColor: colour,
    borderWidth: 1.5,
    pointRadius: points.length > 150 ? 0 : 2,
    yAxisID: axis,
  });
  new Chart(document.getElementById('trend-chart'), {
    type: 'line',
    data: {
      datasets: [
        trendLine('shooting %', data.trend.shooting, palette[0], 'percent'),
        trendLine('saves per match', data.trend.saves, palette[1], 'count'),
        trendLine('assists per match', data.trend.assists, palette[2], 'count'),
      ],
    },
    options: {
      parsing: false,
      maintainAspectRatio: false,
      scales: {
        x: { type: 'linear', ticks: { callback: (value) => tick(value), maxTicksLimit: 8 } },
        percent: { position: 'right', beginAtZero: true, title: { display: true, text: 'shooting %' } },
        count: { position: 'left', beginAtZero: true, title: { display: true, text: 'per match' } },
      },
      plugins: {
        tooltip: { callbacks: { title: (items) => (items.length ? minute(items[0].parsed.x) : '') } },
      },
    },
  });
  new Chart(document.getElementById('results-chart'), {
    type: 'bar',
    data: {
      labels: data.days.map((d) => d.day),
      datasets: [
        { label: 'wins', data: data.days.map((d) => d.wins), backgroundColor: '#2ca02c' },
        { label: 'losses', data: data.days.map((d) => d.losses), backgroundColor: '#d62728' },
      ],
    },
    options: {
      maintainAspectRatio: false,
      scales: { x: { stacked: true }, y: { stacked: true, beginAtZero: true, ticks: { precision: 0 } } },
    },
  });

  // Then the tables, from the same data; every text goes in as text, never as markup.
  const number = (text) => {
    const value = parseFloat(text);
    return Number.isNaN(value) ? -Infinity : value;
  };
  const playerColumns = [['team', 't'], ['name', 't'], ['goals', 'n'], ['assists', 'n'],
                         ['saves', 'n'], ['shots', 'n'], ['demos', 'n'], ['score', 'n'],
                         ['MMR', 'n'], ['player id', 't']];
  function table(holder, tableData, pageSize) {
    const element = document.createElement('table');
    const head = element.createTHead().insertRow();
    const body = element.createTBody();
    let rows = tableData.rows.slice();
    let shown = pageSize ? Math.min(pageSize, rows.length) : rows.length;
    let sortedBy = -1, ascending = true;
    const more = document.createElement('button');
    function fill() {
      body.textContent = '';
      for (let r = 0; r < shown; ++r) {
        const tr = body.insertRow();
        const details = rows[r][tableData.columns.length];
        if (details) {
          tr.className = 'opens';
          tr.title = 'Show both sides';
          tr.addEventListener('click', () => {
            if (tr.nextSibling && tr.nextSibling.className === 'details') {
              body.removeChild(tr.nextSibling);
              return;
            }
            const holder = document.createElement('tr');
            holder.className = 'details';
            const cell = holder.insertCell();
            cell.colSpan = tableData.columns.length;
            table(cell, { columns: playerColumns, rows: details.map((line) => line.map(String)) }, 0);
            body.insertBefore(holder, tr.nextSibling);
          });
        }
        rows[r].slice(0, tableData.columns.length).forEach((text, c) => {
          const td = tr.insertCell();
          td.textContent = text;
          const kind = tableData.columns[c][1];
          if (kind === 'n' || kind === 't') td.className = kind;
          // A name's own direction stays inside its cell.
          if (kind === 't') td.dir = 'auto';
          if (kind === 'r') td.className = text === 'WIN' ? 'win' : 'loss';
        });
      }
      more.hidden = shown >= rows.length;
      more.textContent = 'Show ' + Math.min(pageSize || 0, rows.length - shown) + ' more of ' +
                         (rows.length - shown);
    }
    tableData.columns.forEach((column, c) => {
      const th = document.createElement('th');
      th.textContent = column[0];
      th.title = 'Sort by ' + column[0];
      th.addEventListener('click', () => {
        ascending = sortedBy === c ? !ascending : column[1] === 't';
        sortedBy = c;
        const key = column[1] === 't' ? (row) => row[c] : (row) => number(row[c]);
        rows.sort((a, b) => {
          const x = key(a), y = key(b);
          return (x < y ? -1 : x > y ? 1 : 0) * (ascending ? 1 : -1);
        });
        fill();
      });
      head.appendChild(th);
    });
    holder.appendChild(element);
    if (pageSize) {
      more.addEventListener('click', () => {
        shown = Math.min(shown + pageSize, rows.length);
        fill();
      });
      holder.appendChild(more);
    }
    fill();
  }
  document.querySelectorAll('[data-table]').forEach((holder) => {
    const tableData = data.tables[holder.dataset.table];
    if (tableData.rows.length === 0) {
      holder.textContent = 'None.';
    } else {
      table(holder, tableData, Number(holder.dataset.page || 0));
    }
  });
})();
)JS";

// Chart.js as its script element holds it.
const std::string& chartJsScript() {
  static const std::string text =
      "\n" + std::string(reinterpret_cast<const char*>(kChartJs), kChartJsSize) + "\n";
  return text;
}

constexpr std::string_view kStyle = R"(
body { font: 14px/1.4 system-ui, sans-serif; margin: 24px; color: #1d2330; background: #f6f7f9; }
h1 { font-size: 22px; margin: 0 0 4px; }
h2 { font-size: 17px; margin: 28px 0 8px; }
h3 { font-size: 15px; margin: 12px 0 6px; }
.lead { color: #555; margin: 0 0 16px; }
table { border-collapse: collapse; background: #fff; }
th, td { padding: 3px 8px; border-bottom: 1px solid #e3e5ea; white-space: nowrap; }
th { text-align: left; background: #eceef2; position: sticky; top: 0; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
/* A long name wraps instead of pushing its table off the page. */
td.t { white-space: normal; overflow-wrap: anywhere; min-width: 9em; max-width: 22em; }
tr.opens { cursor: pointer; }
tr.details > td { background: #f6f7f9; padding: 4px 4px 8px 24px; }
td.win { color: #1b7f2a; font-weight: 600; }
td.loss { color: #b3261e; font-weight: 600; }
.charts { display: grid; grid-template-columns: repeat(auto-fit, minmax(420px, 1fr)); gap: 16px; }
.chart { background: #fff; padding: 12px; height: 300px; }
.side { display: inline-block; vertical-align: top; margin-right: 24px; }
.matches { max-height: 480px; overflow: auto; display: inline-block; }
.wide { overflow-x: auto; }
)";

// Nothing may leave the page and nothing runs but the report's own scripts, allowed by their
// hashes: a name that slipped past the escaping still could not run script.
std::string head(std::string_view title) {
  static const std::string policy = fmt::format(
      "default-src 'none'; script-src {} {}; style-src {}; img-src data:; base-uri 'none'; "
      "form-action 'none'",
      cspHashSource(chartJsScript()), cspHashSource(kCharts), cspHashSource(kStyle));
  return fmt::format(
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"{}\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>Tallyrig statistics: {}</title>\n<style>{}</style>\n</head>\n<body>\n",
      policy, title, kStyle);
}

std::string escaped(std::string_view text) {
  std::string out;
  for (const char c : shownText(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A name set apart from the text around it, so that its direction cannot reorder that text.
std::string isolated(std::string_view text) {
  return "<bdi>" + escaped(text) + "</bdi>";
}

// A table for the page's script: column titles with their kind ("t" text, "n" number, "r" a
// result), and the rows' cells as the page shows them.
json tableJson(std::initializer_list<std::pair<const char*, const char*>> columns) {
  json tableData = {{"columns", json::array()}, {"rows", json::array()}};
  for (const auto& [title, kind] : columns) tableData["columns"].push_back({title, kind});
  return tableData;
}

json summaryTable(const Summary& summary) {
  json tableData = {{"columns", json::array()}, {"rows", json::array()}};
  for (const std::string_view column : kFigureColumns) {
    const bool text = column == kFigureColumns.front() || column == kFigureColumns.back();
    tableData["columns"].push_back({column, text ? "t" : "n"});
  }
  for (const Figures& figures : summary.playlists)
    tableData["rows"].push_back(figureCells(figures));
  tableData["rows"].push_back(figureCells(summary.overall));
  if (summary.recent) tableData["rows"].push_back(figureCells(*summary.recent));
  return tableData;
}

// The other side's total: the TEAM GOALS of the first row of the other colour.
std::optional<std::int32_t> opponentGoals(const History& history, const Match& match, Colour own) {
  for (std::uint32_t at = match.firstRow; at < match.firstRow + match.rowCount; ++at) {
    if (history.rows[at].colour != own) return history.rows[at].teamGoals;
  }
  return std::nullopt;
}

// Both sides' lines as the file holds them, for the row's details: colour, name, the six
// counters, the rating and the id.
json matchPlayers(const History& history, const Match& match) {
  json players = json::array();
  for (std::uint32_t at = match.firstRow; at < match.firstRow + match.rowCount; ++at) {
    const Row& row = history.rows[at];
    const Counters& counters = row.counters;
    players.push_back({row.colour == Colour::Blue ? "Blue" : "Orange",
                       shownText(history.text(row.name)), counters.goals, counters.assists,
                       counters.saves, counters.shots, counters.demos, counters.score,
                       isRating(row.mmr) ? ratingText(row.mmr) : std::string(kUnknown),
                       shownText(history.text(row.playerId))});
  }
  return players;
}

json matchRow(const History& history, const PlayerMatch& found) {
  const Match& match = history.matches[found.match];
  const Row& row = history.rows[found.row];
  const std::optional<std::int32_t> against = opponentGoals(history, match, row.colour);
  return {displayTime(match.minutes),
          shownText(history.playlists[match.playlist]),
          row.win ? "WIN" : "LOSS",
          against ? fmt::format("{}\xE2\x80\x93{}", row.teamGoals, *against)
                  : fmt::format("{}", row.teamGoals),
          fmt::format("{}", row.counters.goals),
          fmt::format("{}", row.counters.assists),
          fmt::format("{}", row.counters.saves),
          fmt::format("{}", row.counters.shots),
          fmt::format("{}", row.counters.demos),
          fmt::format("{}", row.counters.score),
          isRating(row.mmr) ? ratingText(row.mmr) : std::string(kUnknown),
          matchPlayers(history, match)};
}

json companionTable(const Summary& summary, bool teamMates) {
  json tableData = tableJson({{"playlist", "t"},
                              {"name", "t"},
                              {"player id", "t"},
                              {"matches", "n"},
                              {"W-L", "n"},
                              {"win %", "n"},
                              {"other names", "t"}});
  for (const PlaylistCompanions& perPlaylist : summary.companions) {
    for (const MetPlayer& met : teamMates ? perPlaylist.teamMates : perPlaylist.opponents) {
      std::string others;
      for (const std::string& name : met.otherNames) {
        others += (others.empty() ? "" : ", ") + shownText(name);
      }
      tableData["rows"].push_back({shownText(perPlaylist.playlist), shownText(met.name),
                                   shownText(met.playerId), fmt::format("{}", met.matches),
                                   fmt::format("{}-{}", met.wins, met.losses),
                                   fmt::format("{:.1f}%", met.winRate() * 100), others});
    }
  }
  return tableData;
}

// Latest first, as the match table.
json periodTable(const Periods& periods, PeriodKind kind) {
  json tableData = tableJson({{kind == PeriodKind::Day ? "day" : "session", "t"},
                              {"matches", "n"},
                              {"W-L", "n"},
                              {"MMR change", "n"},
                              {"per playlist", "t"}});
  for (auto period = periods.latest.rbegin(); period != periods.latest.rend(); ++period) {
    tableData["rows"].push_back({periodLabel(*period, kind), fmt::format("{}", period->matches),
                                 fmt::format("{}-{}", period->wins, period->losses),
                                 ratingChangeText(period->mmrChange), playlistChanges(*period)});
  }
  return tableData;
}

}  // namespace

std::vector<ChartPoint> thinned(const std::vector<ChartPoint>& points, std::size_t most) {
  if (most < 3 || points.size() <= most) return points;
  // Largest-triangle-three-buckets: the first and last point, and from each bucket between the
  // point that spans the largest triangle with the one kept before it and the next bucket's mean.
  std::vector<ChartPoint> kept;
  kept.reserve(most);
  kept.push_back(points.front());
  const double every = static_cast<double>(points.size() - 2) / static_cast<double>(most - 2);
  const auto bucketStart = [&](std::size_t bucket) {
    return std::min(points.size() - 1,
                    static_cast<std::size_t>(static_cast<double>(bucket) * every) + 1);
  };
  std::size_t previous = 0;
  for (std::size_t bucket = 0; bucket + 2 < most; ++bucket) {
    const std::size_t start = bucketStart(bucket);
    const std::size_t end = std::max(start + 1, bucketStart(bucket + 1));
    const std::size_t nextEnd = std::max(end + 1, std::min(points.size(), bucketStart(bucket + 2)));
    double meanX = 0;
    double meanY = 0;
    for (std::size_t at = end; at < nextEnd && at < points.size(); ++at) {
      meanX += points[at].x;
      meanY += points[at].y;
    }
    const auto count =
        static_cast<double>(std::max<std::size_t>(1, std::min(nextEnd, points.size()) - end));
    meanX /= count;
    meanY /= count;
    const ChartPoint& a = points[previous];
    double largest = -1;
    std::size_t chosen = start;
    for (std::size_t at = start; at < end && at < points.size(); ++at) {
      const double area =
          std::abs((a.x - meanX) * (points[at].y - a.y) - (a.x - points[at].x) * (meanY - a.y));
      if (area > largest) {
        largest = area;
        chosen = at;
      }
    }
    kept.push_back(points[chosen]);
    previous = chosen;
  }
  kept.push_back(points.back());
  return kept;
}

namespace {

void flush(std::ostream& stream, std::string& out) {
  stream.write(out.data(), static_cast<std::streamsize>(out.size()));
  out.clear();
}

json chartData(const History& history, const std::vector<PlayerMatch>& matches) {
  std::map<std::string, std::vector<ChartPoint>> ratings;
  std::map<std::int64_t, std::pair<int, int>> days;
  std::size_t ratingPoints = 0;
  for (const PlayerMatch& found : matches) {
    const Match& match = history.matches[found.match];
    const Row& row = history.rows[found.row];
    if (isRating(row.mmr)) {
      ratings[shownText(history.playlists[match.playlist])].push_back(
          {static_cast<double>(match.minutes * 60000), row.mmr});
      ++ratingPoints;
    }
    auto& [wins, losses] = days[match.minutes / 1440];
    ++(row.win ? wins : losses);
  }
  json mmr = json::array();
  for (auto& [playlist, points] : ratings) {
    // Each series its share of the chart's points.
    const std::size_t share = std::max<std::size_t>(
        3, kChartPoints * points.size() / std::max<std::size_t>(1, ratingPoints));
    json series = json::array();
    for (const ChartPoint& point : thinned(points, share)) {
      series.push_back({static_cast<std::int64_t>(point.x), point.y});
    }
    mmr.push_back({{"playlist", playlist}, {"points", std::move(series)}});
  }
  // Over many years a bar per day would be too many: then a bar per so many days.
  std::int64_t daysPerBar = 1;
  if (!days.empty()) {
    const std::int64_t span = days.rbegin()->first - days.begin()->first + 1;
    daysPerBar = (span + kChartBars - 1) / kChartBars;
  }
  std::map<std::int64_t, std::pair<int, int>> bars;
  for (const auto& [day, results] : days) {
    const std::int64_t first = days.begin()->first;
    auto& bar = bars[first + (day - first) / daysPerBar * daysPerBar];
    bar.first += results.first;
    bar.second += results.second;
  }
  json perBar = json::array();
  for (const auto& [day, results] : bars) {
    perBar.push_back({{"day", isoTime(day * 1440).substr(0, 10)},
                      {"wins", results.first},
                      {"losses", results.second}});
  }
  // The moving averages, each line its third of the chart's points.
  std::vector<ChartPoint> shooting;
  std::vector<ChartPoint> saves;
  std::vector<ChartPoint> assists;
  for (const TrendPoint& point : movingAverages(history, matches)) {
    const auto x = static_cast<double>(point.minutes * 60000);
    if (point.shootingRate) shooting.push_back({x, *point.shootingRate * 100});
    saves.push_back({x, point.saves});
    assists.push_back({x, point.assists});
  }
  const auto series = [](const std::vector<ChartPoint>& points) {
    json out = json::array();
    for (const ChartPoint& point : thinned(points, kChartPoints / 3)) {
      out.push_back({static_cast<std::int64_t>(point.x), point.y});
    }
    return out;
  };
  return {
      {"mmr", std::move(mmr)},
      {"days", std::move(perBar)},
      {"days_per_bar", daysPerBar},
      {"trend",
       {{"shooting", series(shooting)}, {"saves", series(saves)}, {"assists", series(assists)}}}};
}

// JSON inside a script element: "<" written as an escape, so no text can close the element.
std::string scriptJson(const json& data) {
  const std::string text = data.dump(-1, ' ', false, json::error_handler_t::replace);
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '<') {
      out += "\\u003c";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

void writeHtmlReport(std::ostream& stream, const History& history, const Summary& summary,
                     const std::vector<PlayerMatch>& matches) {
  const Figures& all = summary.overall;
  std::string out = head(escaped(summary.player));
  out += fmt::format("<h1>{}{}</h1>\n<p class=\"lead\">{}",
                     summary.playerName.empty() ? "" : isolated(summary.playerName) + " &middot; ",
                     isolated(summary.player), plural(all.matches, "match", "matches"));
  if (all.matches > 0) {
    out += fmt::format(", {} to {}", displayTime(all.firstMinutes), displayTime(all.latestMinutes));
  }
  out += filtersText(summary.filters, isolated);
  for (const Streak* streak : {&all.longestWins, &all.longestLosses}) {
    if (streak->length == 0) continue;
    out += fmt::format(". Longest {} streak: {}, {} to {}", streak->win ? "winning" : "losing",
                       streak->length, displayTime(streak->firstMinutes),
                       displayTime(streak->latestMinutes));
  }
  out += ". Made by tallyrig-stats from the statistics files.</p>\n";
  if (const Period* last = summary.lastSession()) {
    const Period& session = *last;
    out += fmt::format("<p>Last session: {} to {}, {}, {}-{}, MMR {}.</p>\n",
                       displayTime(session.firstMinutes), displayTime(session.latestMinutes),
                       plural(session.matches, "match", "matches"), session.wins, session.losses,
                       escaped(periodChange(session)));
  }

  // The charts come first in the page and are drawn first; the tables follow from the data.
  json data = chartData(history, matches);
  const auto daysPerBar = data["days_per_bar"].get<std::int64_t>();
  out += fmt::format(
      "<div class=\"charts\">\n<div><h2>MMR over time</h2><div class=\"chart\"><canvas "
      "id=\"mmr-chart\"></canvas></div></div>\n<div><h2>Results per {}</h2><div "
      "class=\"chart\"><canvas id=\"results-chart\"></canvas></div></div>\n<div><h2>Moving "
      "average of {} matches</h2><div class=\"chart\"><canvas id=\"trend-chart\"></canvas></div>"
      "</div>\n</div>\n",
      daysPerBar == 1 ? std::string("day") : fmt::format("{} days", daysPerBar), kRecentMatches);

  out +=
      "<h2>Per playlist</h2>\n<div class=\"wide\" data-table=\"summary\"></div>\n"
      "<p class=\"lead\">Matches: how many were played; W and L: wins and losses; win %: wins out "
      "of matches. Goals, assists, saves, shots, demos (demolitions) and score: the average per "
      "match; shooting %: goals out of shots. MMR first and MMR latest: the rating at the first "
      "and at the latest match of the playlist, none where the files hold no rating; MMR peak: "
      "the highest (when: below); change: the latest less the first (for "
      "\"all\", the playlists' changes added up). Win streak: the longest run of wins; now: the "
      "current run, W3 for three wins in a row, L2 for two losses. \"last 20\", where there are "
      "more matches: the latest 20 as one, to set beside \"all\".</p>\n";
  std::string peaks;
  for (const Figures& figures : summary.playlists) {
    if (!figures.peakMmr) continue;
    peaks += fmt::format("{}{} {}, {}", peaks.empty() ? "<p>Highest MMR: " : "; ",
                         isolated(figures.label), ratingText(*figures.peakMmr),
                         displayTime(figures.peakMinutes));
  }
  if (!peaks.empty()) out += peaks + ".</p>\n";

  out += fmt::format(
      "<h2>MMR change</h2>\n<p class=\"lead\">Per day and per session (matches less than an "
      "hour apart), latest first: from the rating the first match began with to the one the "
      "playlist's next match began with (the latest, where none came later), so the days add up "
      "to the playlist's change; with several playlists, each one's beside it. The latest {} of "
      "each."
      "</p>\n<div class=\"side\"><h3>Per day</h3><div data-table=\"days\" data-page=\"50\">"
      "</div></div>\n<div class=\"side\"><h3>Per session</h3><div data-table=\"sessions\" "
      "data-page=\"50\"></div></div>\n",
      kPeriodsKept);
  out += fmt::format(
      "<h2>Met most often</h2>\n<p class=\"lead\">Per playlist, the {} team-mates and the {} "
      "opponents met most often; W-L and win %: the player's results in those matches; other "
      "names: the names the same id has used.</p>\n<div class=\"side\"><h3>Team-mates</h3><div "
      "data-table=\"mates\"></div></div>\n<div class=\"side\"><h3>Opponents</h3><div "
      "data-table=\"opponents\"></div></div>\n",
      kCompanionsKept, kCompanionsKept);

  json matchTable = tableJson({{"date", "t"},
                               {"playlist", "t"},
                               {"result", "r"},
                               {"team goals", "n"},
                               {"goals", "n"},
                               {"assists", "n"},
                               {"saves", "n"},
                               {"shots", "n"},
                               {"demos", "n"},
                               {"score", "n"},
                               {"MMR", "n"}});
  const std::size_t listed = std::min(matches.size(), kMatchesListed);
  for (std::size_t i = 0; i < listed; ++i) {
    matchTable["rows"].push_back(matchRow(history, matches[matches.size() - 1 - i]));
  }
  out += fmt::format(
      "<h2>Latest matches</h2>\n<p class=\"lead\">{}, latest first; click a column to sort by it. "
      "Team goals: the player's side against the other. Click a match for both sides' players. "
      "{}</p>\n<div class=\"matches\" "
      "data-table=\"matches\" data-page=\"200\"></div>\n",
      listed == matches.size() ? fmt::format("All {}", plural(listed, "match", "matches"))
                               : fmt::format("The latest {} of {} matches", listed, matches.size()),
      listed == matches.size() ? "--csv writes every row of every match."
                               : "--csv writes them all, every row of every match.");
  data["tables"] = {{"summary", summaryTable(summary)},
                    {"days", periodTable(summary.days, PeriodKind::Day)},
                    {"sessions", periodTable(summary.sessions, PeriodKind::Session)},
                    {"mates", companionTable(summary, true)},
                    {"opponents", companionTable(summary, false)},
                    {"matches", std::move(matchTable)}};

  out += "<script>";
  flush(stream, out);
  const std::string& chartJs = chartJsScript();
  stream.write(chartJs.data(), static_cast<std::streamsize>(chartJs.size()));
  out += "</script>\n<script type=\"application/json\" id=\"report-data\">";
  out += scriptJson(data);
  out += "</script>\n<script>";
  out += kCharts;
  out += "</script>\n</body>\n</html>\n";
  flush(stream, out);
}

}  // namespace tallyrig::stats

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
  const charts = data.charts;
  const palette = ['#1f77b4', '#ff7f0e', '#2ca02c', '#d62728', '#9467bd', '#8c564b', '#e377c2',
                   '#7f7f7f', '#bcbd22', '#17becf'];
  const dayMs = 86400000;
  // Times are the files' local wall clock, carried as if UTC so that no time zone moves them.
  const iso = (ms) => new Date(ms).toISOString();
  const day = (ms) => iso(ms).slice(0, 10);
  const minute = (ms) => iso(ms).slice(0, 16).replace('T', ' ');
  const grains = {
    match: { rows: charts.match, name: 'match', label: minute },
    d: { rows: charts.d, name: 'day', label: day },
    w: { rows: charts.w, name: 'week', label: (ms) => 'week of ' + day(ms) },
    m: { rows: charts.m, name: 'month', label: (ms) => iso(ms).slice(0, 7) },
  };
  // Per match while the span holds a few hundred matches; beyond, the finest of day, week and
  // month that keeps every series within a few hundred points.
  const mostPoints = 200;
  function grainOf(start) {
    const inSpan = charts.d.reduce((n, row) => n + (row[0] + dayMs > start ? row[1] + row[2] : 0), 0);
    if (inSpan <= charts.match.length) return grains.match;
    for (const grain of [grains.d, grains.w, grains.m]) {
      if (grain.rows.filter((row) => row[0] + dayMs > start).length <= mostPoints) return grain;
    }
    return grains.m;
  }
  const yearStart = Date.UTC(new Date(charts.latest).getUTCFullYear(), 0, 1);
  const spans = [['last 30 days', charts.latest - 30 * dayMs], ['last 90 days', charts.latest - 90 * dayMs],
                 ['this year', yearStart], ['everything', -Infinity]];
  Chart.defaults.animation = false;
  Chart.defaults.maintainAspectRatio = false;
  // The x axis runs from the first point shown to the last; a lone point gets an hour around it.
  function bounds(points) {
    let low = Infinity, high = -Infinity;
    points.forEach((p) => { low = Math.min(low, p.x); high = Math.max(high, p.x); });
    if (low === Infinity) low = high = charts.latest;
    if (high - low < 3600000) { low -= 1800000; high += 1800000; }
    return [low, high];
  }
  // Within two days the ticks show the time and the axis title the day; else the ticks show
  // dates. A label the one before already shows is left out, and so is a tick so near the one
  // before that their labels would run together (the axis' own ends are kept).
  const clock = (ms) => iso(ms).slice(11, 16);
  const timeAxis = () => ({
    type: 'linear',
    title: { display: false, text: '' },
    afterBuildTicks: (axis) => {
      // A date label takes about 80 pixels.
      const room = (axis.max - axis.min) * Math.min(0.5, 90 / Math.max(axis.width, 1)), kept = [];
      axis.ticks.forEach((tick, i) => {
        const last = i === axis.ticks.length - 1;
        if (kept.length && tick.value - kept[kept.length - 1].value < room) {
          if (!last || kept.length === 1) { if (last) kept.push(tick); return; }
          kept.pop();
        }
        kept.push(tick);
      });
      axis.ticks = kept;
    },
    ticks: {
      maxTicksLimit: 6, maxRotation: 0,
      callback: function (value, index, ticks) {
        const text = this.max - this.min >= 2 * dayMs ? day
          : day(this.min) === day(this.max) ? clock : (ms) => iso(ms).slice(5, 16).replace('T', ' ');
        return index > 0 && text(ticks[index - 1].value) === text(value) ? '' : text(value);
      },
    },
  });
  const line = (label, points, colour, axis) => ({
    label: label, data: points, borderColor: colour, backgroundColor: colour, borderWidth: 1.5,
    pointRadius: points.length > 60 ? 0 : 2, yAxisID: axis, spanGaps: true, clip: 4,
  });
  let shownGrain = grains.match;
  const tooltip = { callbacks: { title: (items) => (items.length ? shownGrain.label(items[0].parsed.x) : '') } };
  const mmrChart = new Chart(document.getElementById('mmr-chart'), {
    type: 'line', data: { datasets: [] },
    options: { parsing: false, plugins: { tooltip: tooltip },
               scales: { x: timeAxis(), y: { title: { display: true, text: 'MMR' } } } },
  });
  const trendChart = new Chart(document.getElementById('trend-chart'), {
    type: 'line', data: { datasets: [] },
    options: {
      parsing: false, plugins: { tooltip: tooltip },
      scales: {
        x: timeAxis(),
        percent: { position: 'right', beginAtZero: true, title: { display: true, text: 'shooting %' } },
        count: { position: 'left', beginAtZero: true, title: { display: true, text: 'per match' } },
      },
    },
  });
  const resultsChart = new Chart(document.getElementById('results-chart'), {
    type: 'bar', data: { labels: [], datasets: [] },
    options: { scales: { x: { stacked: true, ticks: { maxRotation: 0, autoSkipPadding: 12 } },
                         y: { stacked: true, beginAtZero: true, ticks: { precision: 0 } } } },
  });
  function show(start) {
    const grain = grainOf(start);
    const rows = grain.rows.filter((row) => (grain === grains.match ? row[0] >= start : row[0] + dayMs > start));
    const perMatch = grain === grains.match;
    const at = (row, i) => ({ x: row[0], y: row[i] });
    mmrChart.data.datasets = charts.playlists.map((playlist, p) => line(playlist, perMatch
      ? rows.filter((row) => row[1] === p).map((row) => ({ x: row[0], y: row[2] }))
      : rows.filter((row) => row[6][p] !== null).map((row) => ({ x: row[0], y: row[6][p] })),
      palette[p % palette.length])).filter((set) => set.data.length > 0);
    // Both kinds of row hold shooting %, saves and assists at 3, 4 and 5.
    const shooting = rows.filter((row) => row[3] !== null).map((row) => at(row, 3));
    trendChart.data.datasets = [
      line('shooting %', shooting, palette[0], 'percent'),
      line('saves per match', rows.map((row) => at(row, 4)), palette[1], 'count'),
      line('assists per match', rows.map((row) => at(row, 5)), palette[2], 'count'),
    ];
    shownGrain = grain;
    [mmrChart, trendChart].forEach((chart) => {
      const [low, high] = bounds(chart.data.datasets.flatMap((set) => set.data));
      const x = chart.options.scales.x;
      [x.min, x.max] = [low, high];
      x.title.display = high - low < 2 * dayMs;
      x.title.text = day(low) === day(high) ? day(low) : day(low) + ' to ' + day(high);
      chart.update();
    });
    // Bars per day where the lines are per match.
    const barGrain = perMatch ? grains.d : grain;
    const bars = barGrain.rows.filter((row) => row[0] + dayMs > start);
    resultsChart.data.labels = bars.map((row) => barGrain.label(row[0]));
    resultsChart.data.datasets = [
      { label: 'wins', data: bars.map((row) => row[1]), backgroundColor: '#2ca02c', maxBarThickness: 40 },
      { label: 'losses', data: bars.map((row) => row[2]), backgroundColor: '#d62728', maxBarThickness: 40 },
    ];
    resultsChart.update();
    document.getElementById('mmr-grain').textContent = perMatch
      ? 'Each match: the rating it began with.' : 'Per ' + grain.name + ': the rating at its latest match.';
    document.getElementById('results-title').textContent = 'Wins and losses per ' + barGrain.name;
    document.getElementById('trend-note').textContent =
      'Shooting %, saves and assists per match; a point per ' + grain.name + '.';
  }
  const control = document.getElementById('span-control');
  const history = charts.latest - charts.first;
  const initial = history > 90 * dayMs ? 1 : 3;
  spans.forEach(([label, start], i) => {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = label;
    button.setAttribute('aria-pressed', String(i === initial));
    button.addEventListener('click', () => {
      control.querySelectorAll('button').forEach((b) => b.setAttribute('aria-pressed', String(b === button)));
      show(start);
    });
    control.appendChild(button);
  });
  show(spans[initial][1]);

  // Then the tables, from the same data; every text goes in as text, never as markup.
  // Every cell's text, names and ids included, goes into the page here.
  function putText(cell, text) {
    cell.textContent = text;
  }
  // Sort keys by a column's kind: t text, d date, n number, p a pair ("12-10", "3–1": by the
  // difference, then the first), r a result, s a streak ("W3", "L2"). A cell with none sorts last.
  const numberOf = (text) => {
    const value = parseFloat(text);
    return Number.isNaN(value) ? null : value;
  };
  const keys = {
    t: (text) => text.toLowerCase(),
    d: (text) => text,
    n: numberOf,
    p: (text) => {
      const parts = text.split(/[-\u2013]/).map(Number);
      return parts.length === 2 && parts.every(Number.isFinite) ? (parts[0] - parts[1]) * 1e6 + parts[0] : numberOf(text);
    },
    r: (text) => (text === 'WIN' ? 1 : text === 'LOSS' ? 0 : null),
    s: (text) => (/^[WL]\d+$/.test(text) ? (text[0] === 'W' ? 1 : -1) * Number(text.slice(1)) : null),
  };
  const collator = new Intl.Collator('en');
  function compare(x, y) {
    if (x === null || y === null) return x === y ? 0 : null;
    if (typeof x === 'string') return collator.compare(x, y);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  const playerColumns = [['team', 't'], ['name', 't'], ['goals', 'n'], ['assists', 'n'],
                         ['saves', 'n'], ['shots', 'n'], ['demos', 'n'], ['score', 'n'],
                         ['MMR', 'n'], ['player id', 't']];
  function table(holder, tableData, pageSize) {
    const box = document.createElement('div');
    box.className = 'box';
    const element = document.createElement('table');
    box.appendChild(element);
    const head = element.createTHead().insertRow();
    const body = element.createTBody();
    let rows = tableData.rows.slice();
    let shown = pageSize ? Math.min(pageSize, rows.length) : rows.length;
    let sortedBy = -1, ascending = true;
    const more = document.createElement('button');
    more.type = 'button';
    more.className = 'more';
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
          putText(td, text);
          const kind = tableData.columns[c][1];
          if (kind === 't') td.className = 't';
          if (kind === 'n' || kind === 'p' || kind === 's') td.className = 'n';
          // A name's own direction stays inside its cell.
          if (kind === 't') td.dir = 'auto';
          if (kind === 'r') td.className = text === 'WIN' ? 'win' : 'loss';
        });
      }
      // Each press shows as many again, so that a thousand rows take a few presses.
      const next = Math.min(Math.max(pageSize, shown), rows.length - shown);
      more.hidden = shown >= rows.length;
      more.textContent = 'Show ' + next + ' more of ' + (rows.length - shown);
    }
    tableData.columns.forEach((column, c) => {
      const th = document.createElement('th');
      th.textContent = column[0];
      th.title = 'Sort by ' + column[0] + '; again to reverse';
      th.addEventListener('click', () => {
        ascending = sortedBy === c ? !ascending : column[1] === 't' || column[1] === 'd';
        sortedBy = c;
        head.querySelectorAll('th').forEach((other) => other.removeAttribute('aria-sort'));
        th.setAttribute('aria-sort', ascending ? 'ascending' : 'descending');
        const key = keys[column[1]];
        const keyed = rows.map((row, at) => [key(row[c]), at, row]);
        keyed.sort((a, b) => {
          const order = compare(a[0], b[0]);
          if (order === null) return a[0] === null ? 1 : -1;
          return (ascending ? order : -order) || a[1] - b[1];
        });
        rows = keyed.map((entry) => entry[2]);
        fill();
      });
      head.appendChild(th);
    });
    holder.appendChild(box);
    if (pageSize) {
      more.addEventListener('click', () => {
        shown = Math.min(shown + Math.max(pageSize, shown), rows.length);
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
* { box-sizing: border-box; }
body { font: 14px/1.4 system-ui, sans-serif; margin: 16px auto; padding: 0 16px; max-width: 1440px;
       color: #1d2330; background: #f6f7f9; overflow-wrap: break-word; }
h1 { font-size: 22px; margin: 0 0 4px; }
h2 { font-size: 17px; margin: 28px 0 8px; }
h3 { font-size: 15px; margin: 12px 0 6px; }
.lead { color: #555; margin: 0 0 16px; }
.note { color: #555; margin: 0 0 4px; font-size: 13px; }
/* Wide tables scroll in their own box, the first column staying in view. */
.box { overflow-x: auto; max-width: 100%; }
table { border-collapse: collapse; background: #fff; font-size: 13px; }
th, td { padding: 3px 5px; border-bottom: 1px solid #e3e5ea; white-space: nowrap; }
th { text-align: left; background: #eceef2; cursor: pointer; }
th[aria-sort=ascending]::after { content: " \25B2"; }
th[aria-sort=descending]::after { content: " \25BC"; }
tr > :first-child { position: sticky; left: 0; background: #fff; }
tr > th:first-child { background: #eceef2; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
/* A long name wraps, within a word only where it must, instead of widening its table. */
td.t { white-space: normal; overflow-wrap: break-word; min-width: 6em; max-width: 18em; }
tr.opens { cursor: pointer; }
tr.details > td { background: #f6f7f9; padding: 4px 4px 8px 24px; position: static; }
td.win { color: #1b7f2a; font-weight: 600; }
td.loss { color: #b3261e; font-weight: 600; }
button { font: inherit; padding: 3px 10px; margin: 6px 6px 0 0; border: 1px solid #b8bdc8;
         border-radius: 4px; background: #fff; cursor: pointer; }
button[aria-pressed=true] { background: #1d2330; color: #fff; border-color: #1d2330; }
.charts { display: grid; grid-template-columns: repeat(auto-fit, minmax(min(100%, 400px), 1fr));
          gap: 16px; }
.charts > div, .pair > div { min-width: 0; }
.chart { position: relative; background: #fff; padding: 12px; height: 300px; }
.pair { display: grid; grid-template-columns: repeat(auto-fit, minmax(min(100%, 520px), 1fr));
        gap: 8px 24px; align-items: start; }
@media (max-width: 600px) {
  body { padding: 0 8px; }
  th, td { padding: 3px 4px; }
  .chart { height: 240px; padding: 6px; }
}
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
    const char* kind = column == kFigureColumns.front()  ? "t"
                       : column == kFigureColumns.back() ? "s"
                                                         : "n";
    tableData["columns"].push_back({column, kind});
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
                              {"W-L", "p"},
                              {"win %", "n"},
                              {"other names", "t"}});
  // Those met most often first, whichever playlist; the first 20 are the top of the list.
  std::vector<std::pair<const PlaylistCompanions*, const MetPlayer*>> everyone;
  for (const PlaylistCompanions& perPlaylist : summary.companions) {
    for (const MetPlayer& met : teamMates ? perPlaylist.teamMates : perPlaylist.opponents) {
      everyone.emplace_back(&perPlaylist, &met);
    }
  }
  std::stable_sort(everyone.begin(), everyone.end(), [](const auto& a, const auto& b) {
    return a.second->matches > b.second->matches;
  });
  for (const auto& [perPlaylist, metPlayer] : everyone) {
    {
      const MetPlayer& met = *metPlayer;
      std::string others;
      for (const std::string& name : met.otherNames) {
        others += (others.empty() ? "" : ", ") + shownText(name);
      }
      tableData["rows"].push_back({shownText(perPlaylist->playlist), shownText(met.name),
                                   shownText(met.playerId), fmt::format("{}", met.matches),
                                   fmt::format("{}-{}", met.wins, met.losses),
                                   fmt::format("{:.1f}%", met.winRate() * 100), others});
    }
  }
  return tableData;
}

// Latest first, as the match table.
json periodTable(const Periods& periods, PeriodKind kind) {
  json tableData = tableJson({{kind == PeriodKind::Day ? "day" : "session", "d"},
                              {"matches", "n"},
                              {"W-L", "p"},
                              {"MMR change", "n"},
                              {"per playlist", "t"}});
  for (auto period = periods.latest.rbegin(); period != periods.latest.rend(); ++period) {
    tableData["rows"].push_back({periodLabel(*period, kind), fmt::format("{}", period->matches),
                                 fmt::format("{}-{}", period->wins, period->losses),
                                 ratingChangeText(period->mmrChange), playlistChanges(*period)});
  }
  return tableData;
}

void flush(std::ostream& stream, std::string& out) {
  stream.write(out.data(), static_cast<std::streamsize>(out.size()));
  out.clear();
}

// A period's first day: the day itself, the Monday of its week, or the first of its month.
std::int64_t periodStart(std::int64_t day, char grain) {
  if (grain == 'd') return day;
  if (grain == 'w') return day - ((day + 3) % 7 + 7) % 7;  // 1970-01-01 was a Thursday
  const LocalTime time = LocalTime::fromMinutes(day * 1440);
  return LocalTime{time.year, time.month, 1, 0, 0}.minutes() / 1440;
}

struct ChartPeriod {
  std::int64_t wins = 0;
  std::int64_t losses = 0;
  // The moving average and each playlist's rating at the period's latest match.
  std::optional<double> shooting;
  double saves = 0;
  double assists = 0;
  std::vector<std::optional<double>> ratings;
};

json optionalNumber(const std::optional<double>& value) {
  return value ? json(*value) : json(nullptr);
}

// What the charts draw, at each grain: per match for the latest kChartMatches, and per day,
// week and month for the whole history. The page picks the grain from the span it shows, so no
// series it draws holds more than a few hundred points.
json chartData(const History& history, const std::vector<PlayerMatch>& matches) {
  std::map<std::string, std::size_t> playlistIndex;
  for (const PlayerMatch& found : matches) {
    if (isRating(history.rows[found.row].mmr)) {
      playlistIndex.emplace(shownText(history.playlists[history.matches[found.match].playlist]), 0);
    }
  }
  json playlists = json::array();
  for (auto& [name, index] : playlistIndex) {
    index = playlists.size();
    playlists.push_back(name);
  }
  const auto ratingOf = [&](const PlayerMatch& found) -> std::optional<std::size_t> {
    if (!isRating(history.rows[found.row].mmr)) return std::nullopt;
    return playlistIndex.at(shownText(history.playlists[history.matches[found.match].playlist]));
  };
  const auto msOf = [](std::int64_t minutes) { return minutes * 60000; };

  json charts = {
      {"playlists", std::move(playlists)},
      {"matches", matches.size()},
      {"first", matches.empty() ? 0 : msOf(history.matches[matches.front().match].minutes)},
      {"latest", matches.empty() ? 0 : msOf(history.matches[matches.back().match].minutes)}};
  const std::size_t from = matches.size() - std::min(matches.size(), kChartMatches);
  const std::vector<TrendPoint> trend = movingAverages(history, matches, from);
  json perMatch = json::array();
  for (std::size_t i = from; i < matches.size(); ++i) {
    const Row& row = history.rows[matches[i].row];
    const std::optional<std::size_t> playlist = ratingOf(matches[i]);
    const TrendPoint& point = trend[i - from];
    perMatch.push_back(
        {msOf(point.minutes), playlist ? json(*playlist) : json(-1),
         playlist ? json(row.mmr) : json(nullptr),
         optionalNumber(point.shootingRate ? std::optional<double>(*point.shootingRate * 100)
                                           : std::nullopt),
         point.saves, point.assists, row.win ? 1 : 0});
  }
  charts["match"] = std::move(perMatch);
  for (const char grain : {'d', 'w', 'm'}) {
    std::map<std::int64_t, ChartPeriod> periods;
    // The moving average as it stood at each period's latest match.
    std::int64_t goals = 0;
    std::int64_t shots = 0;
    std::int64_t saves = 0;
    std::int64_t assists = 0;
    for (std::size_t i = 0; i < matches.size(); ++i) {
      const PlayerMatch& found = matches[i];
      const Counters& counters = history.rows[found.row].counters;
      goals += counters.goals;
      shots += counters.shots;
      saves += counters.saves;
      assists += counters.assists;
      if (i >= kRecentMatches) {
        const Counters& leaving = history.rows[matches[i - kRecentMatches].row].counters;
        goals -= leaving.goals;
        shots -= leaving.shots;
        saves -= leaving.saves;
        assists -= leaving.assists;
      }
      const auto window = static_cast<double>(std::min(i + 1, kRecentMatches));
      const std::int64_t minutes = history.matches[found.match].minutes;
      const std::int64_t day = minutes >= 0 ? minutes / 1440 : (minutes - 1439) / 1440;
      ChartPeriod& period = periods[periodStart(day, grain)];
      const Row& row = history.rows[found.row];
      ++(row.win ? period.wins : period.losses);
      period.shooting = shots == 0 ? std::nullopt
                                   : std::optional<double>(100.0 * static_cast<double>(goals) /
                                                           static_cast<double>(shots));
      period.saves = static_cast<double>(saves) / window;
      period.assists = static_cast<double>(assists) / window;
      if (const auto playlist = ratingOf(found)) {
        period.ratings.resize(playlistIndex.size());
        period.ratings[*playlist] = row.mmr;
      }
    }
    json rows = json::array();
    for (const auto& [day, period] : periods) {
      json ratings = json::array();
      for (std::size_t i = 0; i < playlistIndex.size(); ++i) {
        ratings.push_back(i < period.ratings.size() ? optionalNumber(period.ratings[i])
                                                    : json(nullptr));
      }
      rows.push_back({msOf(day * 1440), period.wins, period.losses, optionalNumber(period.shooting),
                      period.saves, period.assists, std::move(ratings)});
    }
    charts[std::string(1, grain)] = std::move(rows);
  }
  return charts;
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
  json data = {{"charts", chartData(history, matches)}};
  out +=
      "<div class=\"spans\" id=\"span-control\" aria-label=\"Span of the charts\"></div>\n"
      "<div class=\"charts\">\n<div><h2>MMR over time</h2><p class=\"note\" id=\"mmr-grain\"></p>"
      "<div class=\"chart\"><canvas id=\"mmr-chart\"></canvas></div></div>\n<div><h2 "
      "id=\"results-title\">Wins and losses</h2><p class=\"note\">A draw counts as a loss.</p>"
      "<div class=\"chart\"><canvas id=\"results-chart\"></canvas></div></div>\n<div><h2>Moving "
      "average of " +
      std::to_string(kRecentMatches) +
      " matches</h2><p class=\"note\" "
      "id=\"trend-note\"></p><div class=\"chart\"><canvas id=\"trend-chart\"></canvas></div>"
      "</div>\n</div>\n";

  out +=
      "<h2 id=\"per-playlist\">Per playlist</h2>\n<div data-table=\"summary\"></div>\n"
      "<p class=\"lead\">Matches: how many were played; W and L: wins and losses; win %: wins out "
      "of matches. Goals, assists, saves, shots, demos (demolitions) and score: the average per "
      "match; shooting %: goals out of shots. MMR first and MMR latest: the first and the latest "
      "rating the files give for the playlist (a match without one is passed over), none where "
      "they give none; MMR peak: the highest (when: below); change: the latest less the first "
      "(for \"all\", the playlists' changes added up). Win streak: the longest run of wins; now: "
      "the current run, W3 for three wins in a row, L2 for two losses. \"last 20\", where there "
      "are more matches: the latest 20 as one, to set beside \"all\".</p>\n";
  std::string peaks;
  for (const Figures& figures : summary.playlists) {
    if (!figures.peakMmr) continue;
    peaks += fmt::format("{}{} {}, {}", peaks.empty() ? "<p>Highest MMR: " : "; ",
                         isolated(figures.label), ratingText(*figures.peakMmr),
                         displayTime(figures.peakMinutes));
  }
  if (!peaks.empty()) out += peaks + ".</p>\n";

  out += fmt::format(
      "<h2 id=\"mmr-change\">MMR change</h2>\n<p class=\"lead\">Per day and per session (matches "
      "less than an "
      "hour apart), latest first: from the rating the first match began with to the one the "
      "playlist's next match began with (the latest, where none came later), so the days add up "
      "to the playlist's change; each playlist's own change beside it. The latest {} of each, "
      "{} shown at first."
      "</p>\n<div class=\"pair\"><div><h3>Per day</h3><div data-table=\"days\" data-page=\"{}\">"
      "</div></div>\n<div><h3>Per session</h3><div data-table=\"sessions\" "
      "data-page=\"{}\"></div></div></div>\n",
      kPeriodsKept, kRowsShown, kRowsShown, kRowsShown);
  out += fmt::format(
      "<h2 id=\"met-most-often\">Met most often</h2>\n<p class=\"lead\">Per playlist, the {} "
      "team-mates and the {} "
      "opponents met most often, most matches first; W-L and win %: the player's results in "
      "those matches; other names: the names the same id has used.</p>\n<div class=\"pair\"><div>"
      "<h3>Team-mates</h3><div data-table=\"mates\" data-page=\"{}\"></div></div>\n<div><h3>"
      "Opponents</h3><div data-table=\"opponents\" data-page=\"{}\"></div></div></div>\n",
      kCompanionsKept, kCompanionsKept, kRowsShown, kRowsShown);

  json matchTable = tableJson({{"date", "d"},
                               {"playlist", "t"},
                               {"result", "r"},
                               {"team goals", "p"},
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
      "<h2 id=\"latest-matches\">Latest matches</h2>\n<p class=\"lead\">{}, latest first; click a "
      "column to sort by it. "
      "Team goals: the player's side against the other. Click a match for both sides' players. "
      "{}</p>\n<div "
      "data-table=\"matches\" data-page=\"{}\"></div>\n",
      listed == matches.size() ? fmt::format("All {}", plural(listed, "match", "matches"))
                               : fmt::format("The latest {} of {} matches", listed, matches.size()),
      listed == matches.size() ? "--csv writes every row of every match."
                               : "--csv writes them all, every row of every match.",
      kRowsShown);
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

#include <fmt/format.h>

#include <map>
#include <nlohmann/json.hpp>
#include <ostream>

#include "stats/chart_js.h"
#include "stats/outputs.h"
#include "stats/sha256.h"

namespace tallyrig::stats {
namespace {

using nlohmann::json;

constexpr std::size_t kFlushBytes = 1 << 16;

constexpr std::string_view kCharts = R"JS(
(function () {
  'use strict';
  const data = JSON.parse(document.getElementById('report-data').textContent);
  const palette = ['#1f77b4', '#ff7f0e', '#2ca02c', '#d62728', '#9467bd', '#8c564b', '#e377c2',
                   '#7f7f7f', '#bcbd22', '#17becf'];
  // Times are the files' local wall clock, carried as if UTC so that no time zone moves them.
  const day = (ms) => new Date(ms).toISOString().slice(0, 10);
  const minute = (ms) => new Date(ms).toISOString().slice(0, 16).replace('T', ' ');
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
        x: { type: 'linear', ticks: { callback: (value) => day(value), maxTicksLimit: 8 } },
        y: { title: { display: true, text: 'MMR' } },
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
.lead { color: #555; margin: 0 0 16px; }
table { border-collapse: collapse; background: #fff; }
th, td { padding: 3px 8px; border-bottom: 1px solid #e3e5ea; white-space: nowrap; }
th { text-align: left; background: #eceef2; position: sticky; top: 0; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
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

std::string cell(std::string_view text, std::string_view cls = "n") {
  return fmt::format("<td class=\"{}\">{}</td>", cls, escaped(text));
}

std::string optionalRating(const std::optional<double>& mmr) {
  return mmr ? ratingText(*mmr) : "-";
}

std::string summaryRow(const Figures& figures) {
  return fmt::format("<tr><td>{}</td>{}{}{}{}{}{}{}{}{}{}{}{}{}{}{}</tr>\n", escaped(figures.label),
                     cell(fmt::format("{}", figures.matches)),
                     cell(fmt::format("{}", figures.wins)), cell(fmt::format("{}", figures.losses)),
                     cell(fmt::format("{:.1f}%", figures.winRate() * 100)),
                     cell(fmt::format("{:.2f}", figures.perMatch(figures.goals))),
                     cell(fmt::format("{:.2f}", figures.perMatch(figures.assists))),
                     cell(fmt::format("{:.2f}", figures.perMatch(figures.saves))),
                     cell(fmt::format("{:.2f}", figures.perMatch(figures.shots))),
                     cell(fmt::format("{:.2f}", figures.perMatch(figures.demos))),
                     cell(fmt::format("{:.1f}", figures.perMatch(figures.score))),
                     cell(optionalRating(figures.firstMmr)),
                     cell(optionalRating(figures.latestMmr)),
                     cell(figures.mmrChange ? fmt::format("{:+g}", *figures.mmrChange) : "-"),
                     cell(fmt::format("{}", figures.longestWinStreak)),
                     cell(figures.currentStreak.length == 0
                              ? "-"
                              : fmt::format("{}{}", figures.currentStreak.win ? 'W' : 'L',
                                            figures.currentStreak.length)));
}

// The other side's total: the TEAM GOALS of the first row of the other colour.
std::optional<std::int32_t> opponentGoals(const History& history, const Match& match, Colour own) {
  for (std::uint32_t at = match.firstRow; at < match.firstRow + match.rowCount; ++at) {
    if (history.rows[at].colour != own) return history.rows[at].teamGoals;
  }
  return std::nullopt;
}

json chartData(const History& history, const std::vector<PlayerMatch>& matches) {
  std::map<std::string, json> ratings;
  std::map<std::int64_t, std::pair<int, int>> days;
  for (const PlayerMatch& found : matches) {
    const Match& match = history.matches[found.match];
    const Row& row = history.rows[found.row];
    if (isRating(row.mmr)) {
      json& points = ratings[shownText(history.playlists[match.playlist])];
      points.push_back({match.minutes * 60000, row.mmr});
    }
    auto& [wins, losses] = days[match.minutes / 1440];
    ++(row.win ? wins : losses);
  }
  json mmr = json::array();
  for (auto& [playlist, points] : ratings) {
    mmr.push_back({{"playlist", playlist}, {"points", std::move(points)}});
  }
  json perDay = json::array();
  for (const auto& [day, results] : days) {
    perDay.push_back({{"day", isoTime(day * 1440).substr(0, 10)},
                      {"wins", results.first},
                      {"losses", results.second}});
  }
  return {{"mmr", std::move(mmr)}, {"days", std::move(perDay)}};
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

void companionTable(std::string& out, const History& history, std::string_view title,
                    const std::vector<Companion>& companions) {
  out += fmt::format("<div class=\"side\"><h2>{}</h2>\n", title);
  if (companions.empty()) {
    out += "<p>None.</p></div>\n";
    return;
  }
  out += "<table><tr><th>name</th><th>player id</th><th>matches</th><th>W-L</th></tr>\n";
  for (const Companion& met : companions) {
    out += fmt::format("<tr><td>{}</td><td>{}</td>{}{}</tr>\n", escaped(history.text(met.name)),
                       escaped(history.text(met.playerId)), cell(fmt::format("{}", met.matches)),
                       cell(fmt::format("{}-{}", met.wins, met.losses)));
  }
  out += "</table></div>\n";
}

void flush(std::ostream& stream, std::string& out) {
  stream.write(out.data(), static_cast<std::streamsize>(out.size()));
  out.clear();
}

}  // namespace

void writeHtmlReport(std::ostream& stream, const History& history, const Summary& summary,
                     const std::vector<PlayerMatch>& matches, const Companions& companions) {
  const Figures& all = summary.overall;
  std::string out = head(escaped(summary.player));
  out += fmt::format("<h1>{}</h1>\n<p class=\"lead\">{} matches", escaped(summary.player),
                     all.matches);
  if (all.matches > 0) {
    out += fmt::format(", {} to {}", isoTime(all.firstMinutes).replace(10, 1, " "),
                       isoTime(all.latestMinutes).replace(10, 1, " "));
  }
  if (summary.filters.playlist) out += ", playlist " + escaped(*summary.filters.playlist);
  out += ". Made by tallyrig-stats from the statistics files.</p>\n";

  out +=
      "<div class=\"wide\"><table><tr><th>playlist</th><th>matches</th><th>W</th><th>L</th>"
      "<th>win %</th><th>goals</th><th>assists</th><th>saves</th><th>shots</th><th>demos</th>"
      "<th>score</th><th>MMR first</th><th>MMR latest</th><th>change</th><th>win streak</th>"
      "<th>now</th></tr>\n";
  for (const Figures& figures : summary.playlists) out += summaryRow(figures);
  out += summaryRow(all);
  out +=
      "</table></div>\n<p class=\"lead\">Goals to score: per match. Win streak: the longest; now: "
      "the current run.</p>\n";
  if (summary.lastSession) {
    const Session& session = *summary.lastSession;
    out += fmt::format("<p>Last session: {} to {}, {} matches, {}-{}, MMR {}.</p>\n",
                       isoTime(session.firstMinutes).replace(10, 1, " "),
                       isoTime(session.latestMinutes).replace(10, 1, " "), session.matches,
                       session.wins, session.losses,
                       session.mmrChange ? fmt::format("{:+g}", *session.mmrChange) : "-");
  }

  out +=
      "<div class=\"charts\">\n<div><h2>MMR over time</h2><div class=\"chart\"><canvas "
      "id=\"mmr-chart\"></canvas></div></div>\n<div><h2>Results per day</h2><div "
      "class=\"chart\"><canvas id=\"results-chart\"></canvas></div></div>\n</div>\n";
  companionTable(out, history, "Team-mates met most often", companions.teamMates);
  companionTable(out, history, "Opponents met most often", companions.opponents);

  out +=
      "<h2>Every match</h2>\n<div class=\"matches\"><table><tr><th>date</th><th>playlist</th>"
      "<th>result</th><th>team goals</th><th>G</th><th>A</th><th>S</th><th>Sh</th>"
      "<th>score</th><th>MMR</th></tr>\n";
  for (auto it = matches.rbegin(); it != matches.rend(); ++it) {
    const Match& match = history.matches[it->match];
    const Row& row = history.rows[it->row];
    const std::optional<std::int32_t> against = opponentGoals(history, match, row.colour);
    out += fmt::format(
        "<tr><td>{}</td><td>{}</td>{}{}{}{}{}{}{}{}</tr>\n",
        isoTime(match.minutes).replace(10, 1, " "), escaped(history.playlists[match.playlist]),
        cell(row.win ? "WIN" : "LOSS", row.win ? "win" : "loss"),
        cell(against ? fmt::format("{}\xE2\x80\x93{}", row.teamGoals, *against)
                     : fmt::format("{}", row.teamGoals)),
        cell(fmt::format("{}", row.counters.goals)), cell(fmt::format("{}", row.counters.assists)),
        cell(fmt::format("{}", row.counters.saves)), cell(fmt::format("{}", row.counters.shots)),
        cell(fmt::format("{}", row.counters.score)),
        cell(isRating(row.mmr) ? ratingText(row.mmr) : "-"));
    if (out.size() >= kFlushBytes) flush(stream, out);
  }
  out += "</table></div>\n<script>";
  flush(stream, out);
  const std::string& chartJs = chartJsScript();
  stream.write(chartJs.data(), static_cast<std::streamsize>(chartJs.size()));
  out += "</script>\n<script type=\"application/json\" id=\"report-data\">";
  out += scriptJson(chartData(history, matches));
  out += "</script>\n<script>";
  out += kCharts;
  out += "</script>\n</body>\n</html>\n";
  flush(stream, out);
}

}  // namespace tallyrig::stats

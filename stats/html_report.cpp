#include <fmt/format.h>

#include <nlohmann/json.hpp>
#include <ostream>

#include "stats/outputs.h"
#include "stats/report.h"
#include "stats/report_assets.h"
#include "stats/wording.h"

namespace tallyrig::stats {
namespace {

using nlohmann::json;

std::string head(std::string_view title) {
  return fmt::format(
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"{}\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>Tallyrig statistics: {}</title>\n<style>{}</style>\n</head>\n<body>\n",
      contentSecurityPolicy(), title, kReportStyle.text());
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

void flush(std::ostream& stream, std::string& out) {
  stream.write(out.data(), static_cast<std::streamsize>(out.size()));
  out.clear();
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
  if (all.matches > 0) out += ", " + timeSpan(all.firstMinutes, all.latestMinutes);
  out += filtersText(summary.filters, isolated);
  for (const Streak* streak : {&all.longestWins, &all.longestLosses}) {
    if (streak->length > 0) out += ". " + streakText(*streak);
  }
  out += ". Made by tallyrig-stats from the statistics files.</p>\n";
  if (const Period* last = summary.lastSession()) {
    out += "<p>" + escaped(lastSessionText(*last)) + ".</p>\n";
  }

  // The charts come first in the page and are drawn first; the tables follow from the data.
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

  out += fmt::format(
      "<h2 id=\"per-playlist\">Per playlist</h2>\n<div data-table=\"summary\"></div>\n"
      "<p class=\"lead\">Matches: how many were played; W and L: wins and losses; win %: wins out "
      "of matches. Goals, assists, saves, shots, demos (demolitions) and score: the average per "
      "match; shooting %: goals out of shots. MMR first and MMR latest: the first and the latest "
      "rating the files give for the playlist (a match without one is passed over), none where "
      "they give none; MMR peak: the highest (when: below); change: the latest less the first "
      "(for \"all\", the playlists' changes added up). Win streak: the longest run of wins; now: "
      "the current run, W3 for three wins in a row, L2 for two losses. \"last {0}\", where there "
      "are more matches: the latest {0} as one, to set beside \"all\".</p>\n",
      kRecentMatches);
  std::string peaks;
  for (const Figures& figures : summary.playlists) {
    if (!figures.peakMmr) continue;
    peaks += fmt::format("{}{} {}", peaks.empty() ? "<p>Highest MMR: " : "; ",
                         isolated(figures.label), peakText(figures));
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

  const std::size_t listed = matchesListed(matches.size());
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

  const nlohmann::json data = {{"charts", chartData(history, summary, matches)},
                               {"tables", reportTables(history, summary, matches)}};
  out += "<script>";
  flush(stream, out);
  const std::string_view chartJs = kChartJs.text();
  stream.write(chartJs.data(), static_cast<std::streamsize>(chartJs.size()));
  out += "</script>\n<script type=\"application/json\" id=\"report-data\">";
  out += scriptJson(data);
  out += "</script>\n<script>";
  out += kChartsScript.text();
  out += "</script>\n</body>\n</html>\n";
  flush(stream, out);
}

}  // namespace tallyrig::stats

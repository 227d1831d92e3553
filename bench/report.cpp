#include "report.h"

#include <cmath>

#include <fmt/format.h>

namespace {

constexpr double kStatTarget = 1.25;
constexpr double kExportTarget = 3.0;

std::string duration(double ns) {
  if (ns < 1000.0) return fmt::format("{:.0f} ns", ns);
  return fmt::format("{:.2f} µs", ns / 1000.0);
}

std::string count(double value) {
  // Averages over many calls; anything but a whole number means the calls differed.
  if (std::abs(value - std::round(value)) < 0.005) return fmt::format("{:.0f}", value);
  return fmt::format("{:.2f}", value);
}

// Times move with the machine: the targets are judged on instruction counts (bench/run.sh), and a
// time ratio is shown beside its target only for the record.
std::string verdict(double /*ratio*/, double target, bool /*smoke*/) {
  return fmt::format("≤ {:.2f} (judged by instructions)", target);
}

}  // namespace

SummaryReporter::SummaryReporter() : ConsoleReporter(OO_Tabular) {}

void SummaryReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.error_occurred) {
      failed_ = true;
      continue;
    }
    Figure& figure = figures_[run.run_name.function_name];
    const double ns =
        run.GetAdjustedRealTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    if (run.run_type == Run::RT_Aggregate) {
      figure.aggregated = true;
      if (run.aggregate_name == "mean") figure.meanNs = ns;
      if (run.aggregate_name == "stddev") figure.stddevNs = ns;
      if (run.aggregate_name != "median") continue;
    } else if (figure.aggregated) {
      continue;
    }
    figure.ns = ns;
    figure.counters.clear();
    for (const auto& [name, counter] : run.counters) figure.counters[name] = counter.value;
  }
  ConsoleReporter::ReportRuns(runs);
}

const SummaryReporter::Figure* SummaryReporter::find(const std::string& name) const {
  const auto found = figures_.find(name);
  return found == figures_.end() ? nullptr : &found->second;
}

void SummaryReporter::printSummary(std::ostream& out, bool smoke) const {
  if (smoke) {
    out << "\nSmoke run: every benchmark ran once; the figures below are not measurements.\n";
  }
  const auto counter = [](const Figure* figure, const char* name) {
    if (figure == nullptr) return 0.0;
    const auto found = figure->counters.find(name);
    return found == figure->counters.end() ? 0.0 : found->second;
  };
  const auto spread = [&](const Figure* pair) {
    return fmt::format("{:.2f}–{:.2f}", counter(pair, "ratio_p25"), counter(pair, "ratio_p75"));
  };

  const Figure* callerDispatch = find("dispatch/caller_hook");
  const Figure* plainDispatch = find("dispatch/plain_hook");
  const Figure* ratingDispatch = find("dispatch/rating");
  const struct {
    const char* name;
    const char* label;
    const Figure* dispatch;
    bool statHandler;
  } rows[] = {
      {"stat_event_2p", "stat event, 2 players", callerDispatch, true},
      {"stat_event_6p", "stat event, 6 players", callerDispatch, true},
      {"stat_event_8p", "stat event, 8 players", callerDispatch, true},
      {"stat_ticker_demolish_8p", "Demolish ticker, 8 players", callerDispatch, true},
      {"game_start_8p", "game start, 8 players", plainDispatch, false},
      {"rating", "rating notification", ratingDispatch, false},
  };

  out << "\nEach handler against its floor (the same SDK calls, nothing else), both through the "
         "host's hooks.\nhandler, floor, ratio: medians of paired rounds; middle half: the "
         "ratio's 25th-75th percentile over the rounds;\nseparate runs: ratio of the medians "
         "of the handler's and the floor's own benchmarks; net: the host's dispatch taken off "
         "both.\n\n";
  out << "| handler | handler | floor | ratio | middle half | separate runs | net | target | "
         "allocs/call | SDK + host allocs | plugin allocs | plugin allocs, first call |\n";
  out << "|---|---:|---:|---:|---:|---:|---:|---|---:|---:|---:|---:|\n";
  bool pluginAllocatesOnStats = false;
  for (const auto& row : rows) {
    const Figure* handler = find(std::string(row.name) + "/handler");
    const Figure* floor = find(std::string(row.name) + "/floor");
    const Figure* pair = find(std::string(row.name) + "/paired");
    if (handler == nullptr || floor == nullptr || pair == nullptr) continue;
    const double handlerNs = counter(pair, "first_ns");
    const double floorNs = counter(pair, "second_ns");
    const double ratio = counter(pair, "ratio");
    std::string net = "–";
    if (row.dispatch != nullptr && floorNs > row.dispatch->ns) {
      net = fmt::format("{:.2f}", (handlerNs - row.dispatch->ns) / (floorNs - row.dispatch->ns));
    }
    const double pluginAllocs = counter(handler, "plugin_allocs");
    if (row.statHandler && pluginAllocs != 0.0) pluginAllocatesOnStats = true;
    out << fmt::format("| {} | {} | {} | {:.2f} | {} | {:.2f} | {} | {} | {} | {} | {} | {} |\n",
                       row.label, duration(handlerNs), duration(floorNs), ratio, spread(pair),
                       handler->ns / floor->ns, net,
                       row.statHandler ? verdict(ratio, kStatTarget, smoke) : "–",
                       count(counter(handler, "allocs")), count(counter(handler, "floor_allocs")),
                       count(pluginAllocs), count(counter(handler, "first_plugin_allocs")));
  }
  const Figure* exported = find("match_end_8p_empty/handler");
  const Figure* exportFloor = find("match_end_8p_empty/sdk_floor");
  if (exported != nullptr && exportFloor != nullptr) {
    out << fmt::format(
        "| match-end export, 8 players | {} | {} | – | – | {:.2f} | – | – | {} | {} "
        "| {} | – |\n",
        duration(exported->ns), duration(exportFloor->ns), exported->ns / exportFloor->ns,
        count(counter(exported, "allocs")), count(counter(exported, "floor_allocs")),
        count(counter(exported, "plugin_allocs")));
  }
  out << fmt::format(
      "\nPlugin allocations per stat event after the first of a match: {} "
      "(target 0: {})\n",
      pluginAllocatesOnStats ? "not 0" : "0", pluginAllocatesOnStats ? "MISSED" : "met");

  out << "\nThe match-end export against a raw append of the same bytes to the same file "
         "(mkdir, mkdir, open, write, close)\n\n";
  out << "| statistics file | export | raw append | ratio | middle half | separate runs | target "
         "|\n";
  out << "|---|---:|---:|---:|---:|---:|---|\n";
  for (const char* size : {"empty", "100MiB"}) {
    const std::string prefix = std::string("match_end_8p_") + size;
    const Figure* handler = find(prefix + "/handler");
    const Figure* raw = find(prefix + "/raw_append");
    const Figure* pair = find(prefix + "/paired");
    if (handler == nullptr || raw == nullptr || pair == nullptr) continue;
    const double ratio = counter(pair, "ratio");
    out << fmt::format("| {} | {} | {} | {:.2f} | {} | {:.2f} | {} |\n",
                       size == std::string("empty") ? "empty" : "100 MiB",
                       duration(counter(pair, "first_ns")), duration(counter(pair, "second_ns")),
                       ratio, spread(pair), handler->ns / raw->ns,
                       verdict(ratio, kExportTarget, smoke));
  }
  if (const Figure* sizes = find("match_end_8p_file_size/paired")) {
    const double low = counter(sizes, "ratio_p25");
    const double high = counter(sizes, "ratio_p75");
    const char* judged = smoke                       ? "not judged"
                         : low <= 1.0 && 1.0 <= high ? "within the rounds' spread"
                                                     : "outside the rounds' spread; judged by "
                                                       "instructions";
    out << fmt::format(
        "\nExport into the 100 MiB file / into the empty one: {:.2f}, middle half "
        "{} ({}; {} and {} per export)\n",
        counter(sizes, "ratio"), spread(sizes), judged, duration(counter(sizes, "first_ns")),
        duration(counter(sizes, "second_ns")));
  }
  if (callerDispatch != nullptr && plainDispatch != nullptr && ratingDispatch != nullptr) {
    out << fmt::format(
        "Host dispatch alone (a receiver that does nothing): stat hooks {}, "
        "plain hooks {}, rating notification {}\n",
        duration(callerDispatch->ns), duration(plainDispatch->ns), duration(ratingDispatch->ns));
  }
}

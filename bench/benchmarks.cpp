#include "benchmarks.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "alloc_counter.h"
#include "floors.h"
#include "pluginsdk/sim/instrumentation.h"

namespace {

using pluginsdk::sim::kOpCount;
using pluginsdk::sim::Op;

constexpr std::uintmax_t k100MiB = std::uintmax_t{100} << 20;

// The phase a call is measured in: a game start comes at kickoff, everything else mid-match.
Phase phaseFor(Call call) {
  return call == Call::gameStart ? Phase::kickoff : Phase::midMatch;
}

SdkFloor floorFor(Scene& scene) {
  return SdkFloor(scene.world.makeGameWrapper(), scene.world.makeConsole(), scene.rowsInUse());
}

double perCall(std::uint64_t allocations, benchmark::IterationCount iterations) {
  return iterations > 0 ? static_cast<double>(allocations) / static_cast<double>(iterations) : 0.0;
}

std::uint64_t allocationsOf(Scene& scene, Call call) {
  const std::uint64_t before = allocationCount();
  scene.deliver(call);
  return allocationCount() - before;
}

// The floor's allocations for one call, after one call to warm it: the SDK's own, and the
// host's dispatch.
std::uint64_t floorAllocations(Scene& scene, Call call) {
  SdkFloor floor = floorFor(scene);
  const ReceiverSession<SdkFloor> session(scene, floor);
  scene.setPhase(phaseFor(call));
  scene.deliver(call);
  const std::uint64_t allocations = allocationsOf(scene, call);
  scene.setPhase(Phase::midMatch);
  return allocations;
}

void setAllocationCounters(benchmark::State& state, double allocations, double floor) {
  state.counters["allocs"] = allocations;
  state.counters["floor_allocs"] = floor;
  state.counters["plugin_allocs"] = allocations - floor;
}

// A handler as the host calls it. The module state is fresh, as after a load; the first call
// of the match is counted apart, the timed calls are the ones after it.
void measureHandler(benchmark::State& state, Scene& scene, Call call) {
  std::uint64_t first = 0;
  std::uint64_t timed = 0;
  {
    PluginSession plugin(scene);
    plugin.prepareFor(call);
    first = allocationsOf(scene, call);
    const std::uint64_t before = allocationCount();
    for (auto _ : state) scene.deliver(call);
    timed = allocationCount() - before;
  }
  scene.setPhase(Phase::midMatch);
  const auto floor = static_cast<double>(floorAllocations(scene, call));
  setAllocationCounters(state, perCall(timed, state.iterations()), floor);
  state.counters["first_plugin_allocs"] = static_cast<double>(first) - floor;
}

template <typename Receiver>
void measureReceiver(benchmark::State& state, Scene& scene, Call call, Receiver& target) {
  const ReceiverSession<Receiver> session(scene, target);
  scene.setPhase(phaseFor(call));
  scene.deliver(call);
  const std::uint64_t before = allocationCount();
  for (auto _ : state) scene.deliver(call);
  state.counters["allocs"] = perCall(allocationCount() - before, state.iterations());
  scene.setPhase(Phase::midMatch);
}

void measureFloor(benchmark::State& state, Scene& scene, Call call) {
  SdkFloor target = floorFor(scene);
  measureReceiver(state, scene, call, target);
}

void measureDispatch(benchmark::State& state, Scene& scene, Call call) {
  NoWork target;
  measureReceiver(state, scene, call, target);
}

// The statistics file at `size` bytes, its folders created when missing. A larger size makes a
// sparse file: never reading it is the point. Size 0 removes the file and leaves the creating to
// the next export: a file cut to nothing is flushed by ext4 when it is next closed, and that
// would be timed.
bool resizeStatisticsFile(Scene& scene, std::uintmax_t size) {
  const std::filesystem::path file = scene.statisticsFile();
  std::error_code error;
  if (size == 0) {
    std::filesystem::remove(file, error);
    return !error;
  }
  std::filesystem::create_directories(file.parent_path(), error);
  if (error) return false;
  if (!std::filesystem::exists(file, error)) std::ofstream create(file, std::ios::binary);
  std::filesystem::resize_file(file, size, error);
  return !error;
}

std::uintmax_t sizeOf(const std::filesystem::path& file) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(file, error);
  return error ? 0 : size;
}

// Match ends timed one by one, only the hook's run, into a file prepared at `fileSize` bytes.
// The file is prepared again once every kCutBackEvery calls, untimed, so it grows by at most
// that many blocks. `growth` is what one call must append.
constexpr benchmark::IterationCount kCutBackEvery = 1024;

void timedMatchEnds(benchmark::State& state, Scene& scene, std::uintmax_t fileSize,
                    std::uintmax_t growth) {
  if (!resizeStatisticsFile(scene, fileSize)) {
    state.SkipWithError("cannot prepare the statistics file");
    return;
  }
  benchmark::IterationCount sinceCut = 0;
  // Only the calls' own allocations; preparing the file allocates too.
  std::uint64_t allocations = 0;
  for (auto _ : state) {
    const std::uint64_t before = allocationCount();
    const auto start = std::chrono::steady_clock::now();
    scene.deliver(Call::matchEnd);
    const auto end = std::chrono::steady_clock::now();
    allocations += allocationCount() - before;
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    if (++sinceCut < kCutBackEvery) continue;
    sinceCut = 0;
    if (!resizeStatisticsFile(scene, fileSize)) {
      state.SkipWithError("cannot prepare the statistics file");
      break;
    }
  }
  state.counters["allocs"] = perCall(allocations, state.iterations());
  // One more, untimed, to prove the calls append what they should.
  resizeStatisticsFile(scene, fileSize);
  scene.deliver(Call::matchEnd);
  if (sizeOf(scene.statisticsFile()) != fileSize + growth) {
    state.SkipWithError("the match end did not append the expected block");
  }
  resizeStatisticsFile(scene, 0);
}

void measureExport(benchmark::State& state, Scene& scene, std::uintmax_t fileSize,
                   std::uintmax_t blockSize) {
  {
    PluginSession plugin(scene);
    plugin.startMatch();
    timedMatchEnds(state, scene, fileSize, blockSize);
  }
  const auto floor = static_cast<double>(floorAllocations(scene, Call::matchEnd));
  setAllocationCounters(state, state.counters["allocs"], floor);
}

void measureExportFloor(benchmark::State& state, Scene& scene) {
  SdkFloor target = floorFor(scene);
  const ReceiverSession<SdkFloor> session(scene, target);
  scene.setPhase(Phase::midMatch);
  timedMatchEnds(state, scene, 0, 0);
}

void measureRawAppend(benchmark::State& state, Scene& scene, std::uintmax_t fileSize,
                      const std::string& block) {
  RawAppend target(scene.dataFolder().string(), scene.year(), scene.playlistFile(), block);
  const ReceiverSession<RawAppend> session(scene, target);
  timedMatchEnds(state, scene, fileSize, block.size());
  if (target.failures() != 0) state.SkipWithError("a raw system call failed");
}

// Paired rounds. On a shared machine whatever else runs slows the two sides of a ratio unevenly
// when they are timed seconds apart; here each round times a short batch of one side and then
// of the other (the order alternates), both on the same world, and the ratio is taken per round.

using Clock = std::chrono::steady_clock;

// Nanoseconds per call over `calls` calls into whatever is attached, after one call to warm up.
double nsPerCall(Scene& scene, Call call, int calls) {
  scene.deliver(call);
  const auto start = Clock::now();
  for (int i = 0; i < calls; ++i) scene.deliver(call);
  const auto end = Clock::now();
  return std::chrono::duration<double, std::nano>(end - start).count() / calls;
}

double handlerBatch(Scene& scene, Call call, int calls) {
  PluginSession plugin(scene);
  plugin.prepareFor(call);
  const double ns = nsPerCall(scene, call, calls);
  scene.setPhase(Phase::midMatch);
  return ns;
}

double floorBatch(Scene& scene, Call call, int calls) {
  SdkFloor target = floorFor(scene);
  const ReceiverSession<SdkFloor> session(scene, target);
  scene.setPhase(phaseFor(call));
  const double ns = nsPerCall(scene, call, calls);
  scene.setPhase(Phase::midMatch);
  return ns;
}

// Exports into the statistics file prepared at `fileSize` first; the warm-up call creates it
// when it is to be empty.
double exportBatch(Scene& scene, std::uintmax_t fileSize, int calls) {
  PluginSession plugin(scene);
  plugin.startMatch();
  if (!resizeStatisticsFile(scene, fileSize)) return 0.0;
  return nsPerCall(scene, Call::matchEnd, calls);
}

double rawAppendBatch(Scene& scene, std::uintmax_t fileSize, const std::string& block, int calls) {
  RawAppend target(scene.dataFolder().string(), scene.year(), scene.playlistFile(), block);
  const ReceiverSession<RawAppend> session(scene, target);
  if (!resizeStatisticsFile(scene, fileSize)) return 0.0;
  const double ns = nsPerCall(scene, Call::matchEnd, calls);
  return target.failures() == 0 ? ns : 0.0;
}

double quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0.0;
  const auto at = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
  return values[at];
}

// One benchmark iteration is one round; its time is the first side's time per call.
template <typename First, typename Second>
void pairedRounds(benchmark::State& state, First first, Second second) {
  std::vector<double> firstNs;
  std::vector<double> secondNs;
  std::vector<double> ratios;
  bool firstGoesFirst = true;
  for (auto _ : state) {
    double a = 0.0;
    double b = 0.0;
    if (firstGoesFirst) {
      a = first();
      b = second();
    } else {
      b = second();
      a = first();
    }
    firstGoesFirst = !firstGoesFirst;
    if (a <= 0.0 || b <= 0.0) {
      state.SkipWithError("a paired batch failed");
      break;
    }
    firstNs.push_back(a);
    secondNs.push_back(b);
    ratios.push_back(a / b);
    state.SetIterationTime(a * 1e-9);
  }
  state.counters["first_ns"] = quantile(firstNs, 0.5);
  state.counters["second_ns"] = quantile(secondNs, 0.5);
  state.counters["ratio"] = quantile(ratios, 0.5);
  state.counters["ratio_p25"] = quantile(ratios, 0.25);
  state.counters["ratio_p75"] = quantile(ratios, 0.75);
}

using OpCounts = std::array<std::uint64_t, kOpCount>;

OpCounts opCounts() {
  OpCounts counts{};
  for (int op = 0; op < kOpCount; ++op) {
    counts[static_cast<std::size_t>(op)] = pluginsdk::sim::callCount(static_cast<Op>(op));
  }
  return counts;
}

// The SDK calls of one call, made after one call to warm up.
OpCounts opsOfOneCall(Scene& scene, Call call) {
  scene.deliver(call);
  const OpCounts before = opCounts();
  scene.deliver(call);
  OpCounts after = opCounts();
  for (std::size_t op = 0; op < after.size(); ++op) after[op] -= before[op];
  return after;
}

OpCounts handlerOps(Scene& scene, Call call) {
  PluginSession plugin(scene);
  plugin.prepareFor(call);
  const OpCounts ops = opsOfOneCall(scene, call);
  scene.setPhase(Phase::midMatch);
  return ops;
}

OpCounts floorOps(Scene& scene, Call call) {
  SdkFloor target = floorFor(scene);
  const ReceiverSession<SdkFloor> session(scene, target);
  scene.setPhase(phaseFor(call));
  const OpCounts ops = opsOfOneCall(scene, call);
  scene.setPhase(Phase::midMatch);
  return ops;
}

}  // namespace

Scenes::Scenes(const std::filesystem::path& dataFolder)
    : duel(2, 10, "Duel_Ranked.csv", dataFolder),
      standard(6, 13, "Standard_Ranked.csv", dataFolder),
      chaos(8, 4, "Chaos.csv", dataFolder) {
  duel.setPhase(Phase::midMatch);
  standard.setPhase(Phase::midMatch);
  chaos.setPhase(Phase::midMatch);
}

bool allocationCountingWorks() {
  const std::string text = "an id text longer than a short string holds";
  const std::uint64_t before = allocationCount();
  const std::string copy = UniqueIDWrapper(reinterpret_cast<std::uintptr_t>(&text)).GetIdString();
  return allocationCount() > before && copy == text;
}

std::string captureExportBlock(Scene& scene) {
  if (!resizeStatisticsFile(scene, 0)) return {};
  {
    PluginSession plugin(scene);
    plugin.startMatch();
    scene.deliver(Call::matchEnd);
  }
  std::ifstream in(scene.statisticsFile(), std::ios::binary);
  std::string block{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  resizeStatisticsFile(scene, 0);
  return block;
}

bool floorsMirrorHandlers(Scenes& scenes, std::ostream& out) {
  struct Pair {
    const char* name;
    Scene& scene;
    Call call;
  };
  const Pair pairs[] = {
      {"stat_event_2p", scenes.duel, Call::statEvent},
      {"stat_event_6p", scenes.standard, Call::statEvent},
      {"stat_event_8p", scenes.chaos, Call::statEvent},
      {"stat_ticker_demolish_8p", scenes.chaos, Call::statTicker},
      {"game_start_8p", scenes.chaos, Call::gameStart},
      {"match_end_8p", scenes.chaos, Call::matchEnd},
      {"rating", scenes.chaos, Call::rating},
  };
  bool same = true;
  const std::uint64_t violationsBefore = pluginsdk::sim::contractViolations();
  for (const Pair& pair : pairs) {
    const OpCounts handlerCalls = handlerOps(pair.scene, pair.call);
    const OpCounts floorCalls = floorOps(pair.scene, pair.call);
    std::uint64_t total = 0;
    for (std::size_t op = 0; op < handlerCalls.size(); ++op) {
      total += handlerCalls[op];
      if (handlerCalls[op] == floorCalls[op]) continue;
      same = false;
      out << "floor check: " << pair.name << ": " << pluginsdk::sim::opName(static_cast<Op>(op))
          << " handler " << handlerCalls[op] << ", floor " << floorCalls[op] << '\n';
    }
    out << "floor check: " << pair.name << ": " << total << " SDK calls per handler call\n";
  }
  resizeStatisticsFile(scenes.chaos, 0);
  if (pluginsdk::sim::contractViolations() != violationsBefore) {
    out << "floor check: SDK contract violated\n";
    same = false;
  }
  out << (same ? "floor check: every floor makes its handler's SDK calls\n"
               : "floor check: FAILED, the ratios would compare unlike work\n");
  return same;
}

void registerBenchmarks(Scenes& scenes, const std::string& exportBlock, bool smoke) {
  using benchmark::RegisterBenchmark;
  using benchmark::State;
  using benchmark::internal::Benchmark;
  const auto inProcess = [](Benchmark* b) { b->UseRealTime()->Unit(benchmark::kNanosecond); };
  const auto onDisk = [](Benchmark* b) { b->UseManualTime()->Unit(benchmark::kMicrosecond); };
  // Rounds are many short batches in one run; repeating the run would add nothing.
  const auto rounds = [smoke](Benchmark* b, benchmark::IterationCount count,
                              benchmark::TimeUnit unit) {
    b->UseManualTime()->Unit(unit)->Repetitions(1)->Iterations(smoke ? 1 : count);
  };
  constexpr int kStatCallsPerBatch = 64;
  constexpr int kExportsPerBatch = 8;

  const struct {
    const char* name;
    Scene& scene;
    Call call;
  } handlers[] = {
      {"stat_event_2p", scenes.duel, Call::statEvent},
      {"stat_event_6p", scenes.standard, Call::statEvent},
      {"stat_event_8p", scenes.chaos, Call::statEvent},
      {"stat_ticker_demolish_8p", scenes.chaos, Call::statTicker},
      {"game_start_8p", scenes.chaos, Call::gameStart},
      {"rating", scenes.chaos, Call::rating},
  };
  for (const auto& entry : handlers) {
    Scene& scene = entry.scene;
    const Call call = entry.call;
    const std::string name = entry.name;
    inProcess(RegisterBenchmark((name + "/handler").c_str(),
                                [&scene, call](State& s) { measureHandler(s, scene, call); }));
    inProcess(RegisterBenchmark((name + "/floor").c_str(),
                                [&scene, call](State& s) { measureFloor(s, scene, call); }));
    rounds(RegisterBenchmark((name + "/paired").c_str(),
                             [&scene, call](State& s) {
                               pairedRounds(
                                   s, [&] { return handlerBatch(scene, call, kStatCallsPerBatch); },
                                   [&] { return floorBatch(scene, call, kStatCallsPerBatch); });
                             }),
           1000, benchmark::kNanosecond);
  }
  Scene& chaos = scenes.chaos;
  inProcess(RegisterBenchmark("dispatch/caller_hook",
                              [&chaos](State& s) { measureDispatch(s, chaos, Call::statEvent); }));
  inProcess(RegisterBenchmark("dispatch/plain_hook",
                              [&chaos](State& s) { measureDispatch(s, chaos, Call::gameStart); }));
  inProcess(RegisterBenchmark("dispatch/rating",
                              [&chaos](State& s) { measureDispatch(s, chaos, Call::rating); }));

  const std::uintmax_t blockSize = exportBlock.size();
  for (const std::uintmax_t size : {std::uintmax_t{0}, k100MiB}) {
    const std::string name = size == 0 ? "match_end_8p_empty" : "match_end_8p_100MiB";
    onDisk(RegisterBenchmark((name + "/handler").c_str(), [&chaos, size, blockSize](State& s) {
      measureExport(s, chaos, size, blockSize);
    }));
    onDisk(RegisterBenchmark(
        (name + "/raw_append").c_str(),
        [&chaos, size, &exportBlock](State& s) { measureRawAppend(s, chaos, size, exportBlock); }));
    rounds(RegisterBenchmark(
               (name + "/paired").c_str(),
               [&chaos, size, &exportBlock](State& s) {
                 pairedRounds(
                     s, [&] { return exportBatch(chaos, size, kExportsPerBatch); },
                     [&] { return rawAppendBatch(chaos, size, exportBlock, kExportsPerBatch); });
               }),
           500, benchmark::kMicrosecond);
  }
  onDisk(RegisterBenchmark("match_end_8p_empty/sdk_floor",
                           [&chaos](State& s) { measureExportFloor(s, chaos); }));
  rounds(RegisterBenchmark("match_end_8p_file_size/paired",
                           [&chaos](State& s) {
                             pairedRounds(
                                 s, [&] { return exportBatch(chaos, k100MiB, kExportsPerBatch); },
                                 [&] { return exportBatch(chaos, 0, kExportsPerBatch); });
                           }),
         500, benchmark::kMicrosecond);
}

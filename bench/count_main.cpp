// Instruction counts of each handler and of its floor, taken by callgrind. bench/run.sh runs
//
//   valgrind --tool=callgrind --collect-atstart=no --toggle-collect='Tallyrig::on*'
//            --toggle-collect='SdkFloor::on*' --toggle-collect='RawAppend::on*' tallyrig-count DIR
//
// so that only the handlers' and the floors' own runs are counted, not the host's dispatch. Each
// measurement makes one call to warm up, zeroes the counters, makes a fixed number of calls and
// dumps the counters under the name CASE/SIDE; run.sh divides by the calls. Outside callgrind the
// requests do nothing and the program only proves that every measurement runs.
//
//   tallyrig-count [DATA-DIR]    default /tmp/tallyrig-count; made afresh, removed at the end
//
// The match end is measured twice, into a small file and into one of 100 MiB, whose counts must
// be the same: an export never reads or measures the file it appends to.

#include <valgrind/callgrind.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>

#include "floors.h"
#include "scene.h"

namespace {

// run.sh divides by the same number.
constexpr int kCalls = 200;
constexpr std::uintmax_t k100MiB = std::uintmax_t{100} << 20;

// Dumps what the calls between the zeroing and the dump cost, under `name`.
template <typename Calls>
void measure(const std::string& name, Calls calls) {
  calls(1);
  CALLGRIND_ZERO_STATS;
  calls(kCalls);
  CALLGRIND_DUMP_STATS_AT(name.c_str());
}

void deliver(Scene& scene, Call call, int times) {
  for (int i = 0; i < times; ++i) scene.deliver(call);
}

// A handler as the host calls it, in the phase it is measured in.
void measureHandler(const std::string& name, Scene& scene, Call call) {
  PluginSession plugin(scene);
  plugin.prepareFor(call);
  measure(name + "/handler", [&](int times) { deliver(scene, call, times); });
  scene.setPhase(Phase::midMatch);
}

void measureFloor(const std::string& name, Scene& scene, Call call) {
  SdkFloor floor(scene.world.makeGameWrapper(), scene.world.makeConsole(), scene.rowsInUse());
  const ReceiverSession<SdkFloor> session(scene, floor);
  scene.setPhase(call == Call::gameStart ? Phase::kickoff : Phase::midMatch);
  measure(name + "/floor", [&](int times) { deliver(scene, call, times); });
  scene.setPhase(Phase::midMatch);
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The export's floor: its SDK calls, and a raw append of the block it writes, both hooked.
bool measureExport(Scene& scene) {
  std::error_code error;
  std::filesystem::remove(scene.statisticsFile(), error);
  {
    PluginSession plugin(scene);
    plugin.startMatch();
    scene.deliver(Call::matchEnd);
  }
  const std::string block = readFile(scene.statisticsFile());
  if (block.rfind("TEAM COLOR, ", 0) != 0) {
    std::cerr << "tallyrig-count: the match-end export wrote no block\n";
    return false;
  }
  measureHandler("match_end_8p", scene, Call::matchEnd);
  std::filesystem::resize_file(scene.statisticsFile(), k100MiB, error);
  if (error) {
    std::cerr << "tallyrig-count: cannot make the statistics file 100 MiB\n";
    return false;
  }
  measureHandler("match_end_8p_100MiB", scene, Call::matchEnd);
  std::filesystem::remove(scene.statisticsFile(), error);
  SdkFloor floor(scene.world.makeGameWrapper(), scene.world.makeConsole(), scene.rowsInUse());
  RawAppend raw(scene.dataFolder().string(), scene.year(), scene.playlistFile(), block);
  {
    const ReceiverSession<SdkFloor> sdkSession(scene, floor);
    const ReceiverSession<RawAppend> rawSession(scene, raw);
    measure("match_end_8p/floor", [&](int times) { deliver(scene, Call::matchEnd, times); });
  }
  if (raw.failures() != 0) {
    std::cerr << "tallyrig-count: a raw system call failed\n";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dataFolder = argc > 1 ? argv[1] : "/tmp/tallyrig-count";
  std::error_code error;
  std::filesystem::remove_all(dataFolder, error);
  if (!std::filesystem::create_directories(dataFolder, error)) {
    std::cerr << "tallyrig-count: cannot make " << dataFolder << '\n';
    return 1;
  }
  bool ok = true;
  {
    Scene duel(2, 10, "Duel_Ranked.csv", dataFolder);
    Scene standard(6, 13, "Standard_Ranked.csv", dataFolder);
    Scene chaos(8, 4, "Chaos.csv", dataFolder);
    const struct {
      const char* name;
      Scene& scene;
      Call call;
    } cases[] = {
        {"stat_event_2p", duel, Call::statEvent},
        {"stat_event_6p", standard, Call::statEvent},
        {"stat_event_8p", chaos, Call::statEvent},
        {"stat_ticker_demolish_8p", chaos, Call::statTicker},
        {"game_start_8p", chaos, Call::gameStart},
        {"rating", chaos, Call::rating},
    };
    for (const auto& entry : cases) {
      entry.scene.setPhase(Phase::midMatch);
      measureHandler(entry.name, entry.scene, entry.call);
      measureFloor(entry.name, entry.scene, entry.call);
    }
    ok = measureExport(chaos);
  }
  std::filesystem::remove_all(dataFolder, error);
  std::cout << "tallyrig-count: " << (ok ? "every measurement ran" : "FAILED") << '\n';
  return ok ? 0 : 1;
}

#include <array>
#include <stdexcept>
#include <string>
#include <utility>

#include "instrumentation_internal.h"
#include "pluginsdk/sim/world.h"

namespace pluginsdk::sim {
namespace {

constexpr std::array<std::string_view, kOpCount> kOpNames = {
    "IsInOnlineGame",
    "GetCurrentGameState",
    "GetOnlineGame",
    "GetMMRWrapper",
    "GetDataFolder",
    "HookEvent",
    "HookEventWithCallerPost",
    "GetPRIs",
    "GetPlaylist",
    "GetPlaylistId",
    "Count",
    "Get",
    "GetPlayerName",
    "ToString",
    "GetTeamNum",
    "GetPlayerID",
    "GetUniqueIdWrapper",
    "GetIdString",
    "GetMatchGoals",
    "GetMatchAssists",
    "GetMatchSaves",
    "GetMatchShots",
    "GetMatchDemolishes",
    "GetMatchScore",
    "IsLocalPlayerPRI",
    "GetEventName",
    "GetCurrentPlaylist",
    "GetPlayerMMR",
    "RegisterMMRNotifier",
    "log",
};

constexpr std::uint64_t kNoFault = ~std::uint64_t{0};

struct Instruments {
  std::array<std::uint64_t, kOpCount> calls{};
  std::array<std::uint64_t, kOpCount> faultCountdown{};
  int armedFaults = 0;
  std::uint64_t violations = 0;
  const World* tracedWorld = nullptr;
  std::vector<std::string> trace;

  Instruments() { faultCountdown.fill(kNoFault); }
};

Instruments& instruments() {
  static Instruments value;
  return value;
}

std::size_t indexOf(Op op) {
  return static_cast<std::size_t>(op);
}

}  // namespace

std::string_view opName(Op op) {
  return kOpNames.at(indexOf(op));
}

std::optional<Op> opFromName(std::string_view name) {
  for (std::size_t i = 0; i < kOpNames.size(); ++i) {
    if (kOpNames[i] == name) return static_cast<Op>(i);
  }
  return std::nullopt;
}

void injectFault(Op op, std::uint64_t after) {
  Instruments& in = instruments();
  if (in.faultCountdown[indexOf(op)] == kNoFault) ++in.armedFaults;
  in.faultCountdown[indexOf(op)] = after;
}

void clearFaults() {
  Instruments& in = instruments();
  in.faultCountdown.fill(kNoFault);
  in.armedFaults = 0;
}

std::uint64_t callCount(Op op) {
  return instruments().calls[indexOf(op)];
}

std::uint64_t contractViolations() {
  return instruments().violations;
}

void resetInstrumentation() {
  clearFaults();
  instruments().calls.fill(0);
  instruments().violations = 0;
  takeTrace();
}

void startTrace(const World& world) {
  instruments().tracedWorld = &world;
  instruments().trace.clear();
  detail::traceOn = true;
}

std::vector<std::string> takeTrace() {
  Instruments& in = instruments();
  in.tracedWorld = nullptr;
  detail::traceOn = false;
  return std::exchange(in.trace, {});
}

namespace detail {

bool traceOn = false;

namespace {

[[noreturn]] void throwFault(Op op) {
  throw std::runtime_error("injected fault: " + std::string(opName(op)));
}

// Kept small and inline in every entry: it runs for every SDK call.
inline void countAndFault(Op op) {
  Instruments& in = instruments();
  ++in.calls[indexOf(op)];
  if (in.armedFaults == 0) return;
  std::uint64_t& countdown = in.faultCountdown[indexOf(op)];
  if (countdown == kNoFault) return;
  if (countdown > 0) {
    --countdown;
    return;
  }
  countdown = kNoFault;
  --in.armedFaults;
  throwFault(op);
}

}  // namespace

void record(std::string_view operation, std::uintptr_t object, std::string_view arguments) {
  Instruments& in = instruments();
  std::string line = in.tracedWorld->labelOf(object);
  line.append(".").append(operation).append("(").append(arguments).append(")");
  in.trace.push_back(std::move(line));
}

void enter(Op op, std::uintptr_t object) {
  if (traceOn) record(opName(op), object, "");
  countAndFault(op);
}

void enter(Op op, std::uintptr_t object, int index) {
  if (traceOn) record(opName(op), object, std::to_string(index));
  countAndFault(op);
}

void enter(Op op, std::uintptr_t object, const std::string& text) {
  if (traceOn) record(opName(op), object, '"' + text + '"');
  countAndFault(op);
}

void forgetWorld(const World& world) {
  if (instruments().tracedWorld != &world) return;
  instruments().tracedWorld = nullptr;
  traceOn = false;
}

void countCall(Op op) {
  countAndFault(op);
}

void recordContractViolation() {
  ++instruments().violations;
}

}  // namespace detail
}  // namespace pluginsdk::sim

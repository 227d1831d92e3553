#pragma once

// The stand-in's instruments: how often each operation ran, faults injected into them, and
// misuses of the SDK's contract that a real host would not forgive.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pluginsdk/api.h"

namespace pluginsdk::sim {

class World;

enum class Op : int {
  IsInOnlineGame,
  GetCurrentGameState,
  GetOnlineGame,
  GetMMRWrapper,
  GetDataFolder,
  HookEvent,
  HookEventWithCallerPost,
  GetPRIs,
  GetPlaylist,
  GetPlaylistId,
  Count,
  Get,
  GetPlayerName,
  ToString,
  GetTeamNum,
  GetPlayerID,
  GetUniqueIdWrapper,
  GetIdString,
  GetMatchGoals,
  GetMatchAssists,
  GetMatchSaves,
  GetMatchShots,
  GetMatchDemolishes,
  GetMatchScore,
  IsLocalPlayerPRI,
  GetEventName,
  GetCurrentPlaylist,
  GetPlayerMMR,
  RegisterMMRNotifier,
  log,
};

inline constexpr int kOpCount = static_cast<int>(Op::log) + 1;

PLUGINSDK_API std::string_view opName(Op op);
PLUGINSDK_API std::optional<Op> opFromName(std::string_view name);

// The (after+1)-th call of `op` from now throws std::runtime_error("injected fault: <op>"), once.
PLUGINSDK_API void injectFault(Op op, std::uint64_t after);
PLUGINSDK_API void clearFaults();
PLUGINSDK_API std::uint64_t callCount(Op op);
// Calls of Get with an index outside 0..Count()-1, and similar misuse.
PLUGINSDK_API std::uint64_t contractViolations();
// Zeroes the counts and the violations, clears the faults and ends a trace.
PLUGINSDK_API void resetInstrumentation();

// From now on records every SDK operation in the order of the calls, one line each:
// "OBJECT.Operation(ARGUMENTS)", the object named as World::labelOf names it, and of the
// arguments those that matter (the index of Get, the id and playlist of GetPlayerMMR, the
// hooked function's name, the console line). The validity tests of the game state and the
// playlist appear as "OBJECT.operator bool()"; they are not fault points. A faulted call is
// recorded before it throws.
PLUGINSDK_API void startTrace(const World& world);
// Ends the trace and hands its lines over.
PLUGINSDK_API std::vector<std::string> takeTrace();

}  // namespace pluginsdk::sim

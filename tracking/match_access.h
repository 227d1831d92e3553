#pragma once

#include <optional>

#include "pluginsdk/game_wrapper.h"
#include "pluginsdk/wrappers.h"
#include "tracking/player_table.h"

// The handles a routine that reads the match holds for its whole run.
struct MatchAccess {
  ServerWrapper gameState;
  GameSettingPlaylistWrapper playlist;
  ArrayWrapper<PriWrapper> pris;
};

// The checks every routine that reads the match passes first, in this order: an online game,
// a valid game state, a valid playlist. Empty when one fails; the routine then ends quietly.
std::optional<MatchAccess> openMatch(GameWrapper& game);

// Team numbers 0 and 1 are the two sides; any other PRI is not a player.
inline bool isPlayerTeam(int team) {
  return team == 0 || team == 1;
}

// Goal totals and demolition counts are 32-bit sums that wrap like the game's own counters,
// without the undefined behaviour of a signed overflow.
inline int wrappingAdd(int total, int amount) {
  return static_cast<int>(static_cast<unsigned>(total) + static_cast<unsigned>(amount));
}

enum class Demolitions { Read, Skip };

// One PRI's values, each from a fresh handle, in the order the game is asked for them.
inline GameValues readGameValues(ArrayWrapper<PriWrapper>& pris, int index,
                                 Demolitions demolitions) {
  // A braced list is evaluated from left to right, which keeps the calls in this order.
  return GameValues{
      .name = pris.Get(index).GetPlayerName().ToString(),
      .goals = pris.Get(index).GetMatchGoals(),
      .assists = pris.Get(index).GetMatchAssists(),
      .saves = pris.Get(index).GetMatchSaves(),
      .shots = pris.Get(index).GetMatchShots(),
      .demolitions = demolitions == Demolitions::Read ? pris.Get(index).GetMatchDemolishes() : 0,
      .score = pris.Get(index).GetMatchScore(),
      .playerId = pris.Get(index).GetPlayerID(),
      .uniqueId = pris.Get(index).GetUniqueIdWrapper().GetIdString(),
  };
}

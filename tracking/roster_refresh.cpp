#include <string>

#include "plugin/tallyrig.h"
#include "tracking/match_access.h"
#include "tracking/player_table.h"

namespace {

// Players are matched across calls by the game's player id, never by name or unique id.
PlayerRecord* firstRowOf(int playerId, std::size_t rows) {
  for (std::size_t row = 0; row < rows; ++row) {
    if (playerTable[row].playerId == playerId) return &playerTable[row];
  }
  return nullptr;
}

}  // namespace

// Rewrites each known player's row from the game. Demolitions (counted from the stat ticker)
// and the rating (read once at game start) are kept.
void Tallyrig::refreshRoster() {
  std::optional<MatchAccess> match = openMatch(*gameAccess);
  if (!match) return;
  ArrayWrapper<PriWrapper>& pris = match->pris;
  const std::size_t rows = rowsInUse(matchState);
  for (int i = 0; i < pris.Count(); ++i) {
    const int team = pris.Get(i).GetTeamNum();
    if (!isPlayerTeam(team)) continue;
    GameValues values = readGameValues(pris, i, Demolitions::Skip);
    PlayerRecord* row = firstRowOf(values.playerId, rows);
    if (row == nullptr) continue;
    // Every read succeeded: the row takes the game's values, and keeps its demolitions, its
    // rating and its player id, which is the one just read.
    row->takeGameValues(team, values);
  }
}

#include <string>

#include "plugin/tallyrig.h"
#include "tracking/match_access.h"
#include "tracking/player_table.h"

namespace {

// Only the local player's team gets a rating, from the rating service's current playlist.
float ratingFor(GameWrapper& game, ArrayWrapper<PriWrapper>& pris, int index) {
  if (pris.Get(index).GetTeamNum() != matchState.localTeam) return 0.0f;
  MMRWrapper ratings = game.GetMMRWrapper();
  UniqueIDWrapper id = pris.Get(index).GetUniqueIdWrapper();
  const int playlist = ratings.GetCurrentPlaylist();
  return ratings.GetPlayerMMR(id, playlist);
}

}  // namespace

void Tallyrig::onGameStarted(std::string /*eventName*/) {
  GameWrapper& game = *gameAccess;
  std::optional<MatchAccess> match = openMatch(game);
  if (!match) return;
  ArrayWrapper<PriWrapper>& pris = match->pris;
  matchState.playlistId = match->playlist.GetPlaylistId();
  matchState.playerCount = pris.Count();

  int goalSum = 0;
  for (int i = 0; i < pris.Count(); ++i)
    goalSum = wrappingAdd(goalSum, pris.Get(i).GetMatchGoals());
  // The last local PRI wins; without one the team seen before stays.
  for (int i = 0; i < pris.Count(); ++i) {
    if (pris.Get(i).IsLocalPlayerPRI()) matchState.localTeam = pris.Get(i).GetTeamNum();
  }

  // A start after goals (a rejoin, for instance) keeps the rows it already has.
  if (goalSum > 0) {
    refreshRoster();
    return;
  }

  for (int i = 0; i < pris.Count(); ++i) {
    const int team = pris.Get(i).GetTeamNum();
    if (!isPlayerTeam(team)) continue;
    // Slot i belongs to PRI i; PRIs beyond the table get no slot.
    if (static_cast<std::size_t>(i) >= kPlayerSlots) continue;
    GameValues values = readGameValues(pris, i, Demolitions::Read);
    const float mmr = ratingFor(game, pris, i);
    PlayerRecord& row = playerTable[static_cast<std::size_t>(i)];
    row.takeGameValues(team, values);
    row.demolitions = values.demolitions;
    row.playerId = values.playerId;
    row.mmr = mmr;
  }
}

#include "tracking/match_access.h"

std::optional<MatchAccess> openMatch(GameWrapper& game) {
  if (!game.IsInOnlineGame()) return std::nullopt;
  ServerWrapper gameState = game.GetCurrentGameState();
  if (!gameState) return std::nullopt;
  GameSettingPlaylistWrapper playlist = gameState.GetPlaylist();
  if (!playlist) return std::nullopt;
  // The players come from the online game, not from the game state.
  return MatchAccess{gameState, playlist, game.GetOnlineGame().GetPRIs()};
}

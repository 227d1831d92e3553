#include "tracking/player_table.h"

#include <utility>

PlayerRecord::PlayerRecord(int team, std::string name, int goals, int assists, int saves, int shots,
                           int demolitions, int score, int playerId, std::string uniqueId,
                           float mmr)
    : team(team),
      name(std::move(name)),
      goals(goals),
      assists(assists),
      saves(saves),
      shots(shots),
      demolitions(demolitions),
      score(score),
      playerId(playerId),
      uniqueId(std::move(uniqueId)),
      mmr(mmr) {}

#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <utility>

// What every read of a PRI takes from the game, in the order it asks for it.
struct GameValues {
  std::string name;
  int goals = 0;
  int assists = 0;
  int saves = 0;
  int shots = 0;
  int demolitions = 0;  // asked for at game start only; the stat ticker counts them after it
  int score = 0;
  int playerId = -1;
  std::string uniqueId;
};

// One player's row of the match table. Copy-assigning keeps the rows' text buffers, so
// refreshing a row allocates nothing once it has held texts as long.
struct PlayerRecord {
  int team = 0;
  std::string name;
  int goals = 0;
  int assists = 0;
  int saves = 0;
  int shots = 0;
  int demolitions = 0;
  int score = 0;
  int playerId = -1;
  std::string uniqueId;
  float mmr = -1.0f;

  // Writes the values that every read of a PRI brings, once all of them were read; the texts
  // are moved in. A game start writes the demolitions, the player id and the rating as well; a
  // refresh keeps them.
  void takeGameValues(int newTeam, GameValues& values) noexcept {
    team = newTeam;
    name = std::move(values.name);
    goals = values.goals;
    assists = values.assists;
    saves = values.saves;
    shots = values.shots;
    score = values.score;
    uniqueId = std::move(values.uniqueId);
  }
};

inline constexpr std::size_t kPlayerSlots = 8;
using PlayerTable = std::array<PlayerRecord, kPlayerSlots>;

struct MatchState {
  int playlistId = 0;
  // PRIs at the last game start, players and non-players alike; walks never pass the slots.
  int playerCount = 0;
  int localTeam = 0;
};

// Process-wide: from module load to unload, never cleared between matches.
extern PlayerTable playerTable;
extern MatchState matchState;

// The rows in use: 0 .. playerCount-1, never beyond the table.
inline std::size_t rowsInUse(const MatchState& state) {
  if (state.playerCount <= 0) return 0;
  const auto count = static_cast<std::size_t>(state.playerCount);
  return count < kPlayerSlots ? count : kPlayerSlots;
}

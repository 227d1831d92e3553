#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <utility>

// One player's row of the match table.
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

  PlayerRecord() = default;
  PlayerRecord(int team, std::string name, int goals, int assists, int saves, int shots,
               int demolitions, int score, int playerId, std::string uniqueId, float mmr);
  PlayerRecord(const PlayerRecord&) = default;
  // Keeps the rows' text buffers, so refreshing a row allocates nothing once it has held
  // texts as long.
  PlayerRecord& operator=(const PlayerRecord&) = default;
  PlayerRecord(PlayerRecord&&) noexcept = default;
  PlayerRecord& operator=(PlayerRecord&&) noexcept = default;
  ~PlayerRecord() = default;

  // Writes the values that every read of a PRI brings, once all of them were read: the same
  // fields as copy-assigning a record built from them, without building and copying one. The
  // texts are moved in. A game start writes the other three fields as well; a refresh keeps them.
  void takeGameValues(int newTeam, std::string& newName, int newGoals, int newAssists, int newSaves,
                      int newShots, int newScore, std::string& newUniqueId) noexcept {
    team = newTeam;
    name = std::move(newName);
    goals = newGoals;
    assists = newAssists;
    saves = newSaves;
    shots = newShots;
    score = newScore;
    uniqueId = std::move(newUniqueId);
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

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "export/block_text.h"
#include "export/local_time.h"
#include "export/playlist_names.h"
#include "export/statistics_file.h"
#include "plugin/tallyrig.h"
#include "tracking/match_access.h"
#include "tracking/player_table.h"

namespace {

struct GoalTotals {
  int own = 0;
  int other = 0;
};

GoalTotals totalGoals(std::size_t rows) {
  GoalTotals totals;
  for (std::size_t row = 0; row < rows; ++row) {
    int& total = playerTable[row].team == matchState.localTeam ? totals.own : totals.other;
    total = wrappingAdd(total, playerTable[row].goals);
  }
  return totals;
}

// The block of one match: a header, then the local player, the team-mates and the opponents.
// Row i pairs with PRI i; a PRI the array no longer has is not the local player.
std::string composeBlock(ArrayWrapper<PriWrapper>& pris, std::size_t rows,
                         const ExportSide& localSide, const ExportSide& otherSide,
                         const ExportTime& now) {
  const int priCountReported = pris.Count();
  const auto priCount = static_cast<std::size_t>(priCountReported > 0 ? priCountReported : 0);
  const auto isLocalPlayer = [&](std::size_t row) {
    return row < priCount && pris.Get(static_cast<int>(row)).IsLocalPlayerPRI();
  };

  // Room for rows with names and ids as long as they usually are; a longer block grows.
  std::string block;
  block.reserve(160 * (rows + 1));
  const auto addRow = [&](std::size_t row, const ExportSide& side) {
    appendRow(block, playerTable[row], side, now.timestamp(), kPlatformLineEnd);
  };
  appendHeader(block, kPlatformLineEnd);
  for (std::size_t row = 0; row < rows; ++row) {
    if (isLocalPlayer(row)) addRow(row, localSide);
  }
  for (std::size_t row = 0; row < rows; ++row) {
    if (!isLocalPlayer(row) && playerTable[row].team == matchState.localTeam) {
      addRow(row, localSide);
    }
  }
  for (std::size_t row = 0; row < rows; ++row) {
    if (playerTable[row].team != matchState.localTeam) addRow(row, otherSide);
  }
  appendBlockEnd(block, kPlatformLineEnd);
  return block;
}

}  // namespace

// Appends the match to the statistics file of its playlist and year, after the blocks kept for
// that file. The block is composed in memory once every read from the game has succeeded, so a
// failure part-way leaves the file as it was; a block the file cannot take now is kept, and
// written at a later export or at unload.
void Tallyrig::onMatchEnded(std::string /*eventName*/) {
  GameWrapper& game = *gameAccess;
  std::optional<MatchAccess> match = openMatch(game);
  if (!match) return;
  refreshRoster();

  const std::size_t rows = rowsInUse(matchState);
  const GoalTotals goals = totalGoals(rows);
  // A draw counts as a loss for the local side.
  const bool localWins = goals.own > goals.other;
  const bool localIsBlue = matchState.localTeam == 0;
  const ExportSide localSide{localIsBlue ? "Blue" : "Orange", goals.own,
                             localWins ? "WIN" : "LOSS"};
  const ExportSide otherSide{localIsBlue ? "Orange" : "Blue", goals.other,
                             localWins ? "LOSS" : "WIN"};
  const ExportTime now = currentExportTime();

  StatisticsFile file;
  const std::filesystem::path dataFolder = game.GetDataFolder();
  const std::string fileName = playlistName() + ".csv";
  const bool opened = file.open(dataFolder, now.year(), fileName);
  std::string block;
  // Composed also when the file cannot take it now: then it is kept.
  if (goals.own > 0 || goals.other > 0) {
    block = composeBlock(match->pris, rows, localSide, otherSide, now);
  }
  std::vector<std::string> lines;
  keptBlocks.exportTo(file, opened, dataFolder, now.year(), fileName, std::move(block), lines);
  for (std::string& line : lines) logConsole->log(std::move(line));
}

// Every kept block gets one more try; what is still unwritten is lost, and the console says so.
void Tallyrig::onUnload() {
  std::vector<std::string> lines;
  keptBlocks.writeAll(lines);
  if (!logConsole) return;
  for (std::string& line : lines) logConsole->log(std::move(line));
}

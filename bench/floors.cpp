#include "floors.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

// Kept out of line, in their own file, like the plugin's handlers: the hook's callable calls
// them through the same kind of call.

namespace {

// Read back from the parameter block the way the plugin does, so the reads reach the same PRI
// and stat event objects.
std::uintptr_t wordAt(const void* params, std::size_t index) {
  std::uint64_t word = 0;
  std::memcpy(&word, static_cast<const unsigned char*>(params) + index * sizeof(word),
              sizeof(word));
  return static_cast<std::uintptr_t>(word);
}

bool isPlayerTeam(int team) {
  return team == 0 || team == 1;
}

constexpr std::size_t kPlayerSlots = 8;
constexpr int kLoggedRatingPlaylist = 11;

}  // namespace

SdkFloor::SdkFloor(std::shared_ptr<GameWrapper> game, std::shared_ptr<CVarManagerWrapper> console,
                   std::size_t rowsInUse)
    : game_(std::move(game)), console_(std::move(console)), rows_(rowsInUse) {}

// The reads of Tallyrig::refreshRoster, openMatch's checks first.
void SdkFloor::refreshRosterReads() {
  GameWrapper& game = *game_;
  if (!game.IsInOnlineGame()) return;
  const ServerWrapper gameState = game.GetCurrentGameState();
  if (!gameState) return;
  if (!gameState.GetPlaylist()) return;
  const ArrayWrapper<PriWrapper> pris = game.GetOnlineGame().GetPRIs();
  for (int i = 0; i < pris.Count(); ++i) {
    if (!isPlayerTeam(pris.Get(i).GetTeamNum())) continue;
    pris.Get(i).GetPlayerName().ToString();
    pris.Get(i).GetMatchGoals();
    pris.Get(i).GetMatchAssists();
    pris.Get(i).GetMatchSaves();
    pris.Get(i).GetMatchShots();
    pris.Get(i).GetMatchScore();
    pris.Get(i).GetPlayerID();
    pris.Get(i).GetUniqueIdWrapper().GetIdString();
  }
}

// The reads of Tallyrig::onGameStarted; the goal sum and the local team decide which follow.
void SdkFloor::onGameStarted(std::string /*eventName*/) {
  GameWrapper& game = *game_;
  if (!game.IsInOnlineGame()) return;
  const ServerWrapper gameState = game.GetCurrentGameState();
  if (!gameState) return;
  const GameSettingPlaylistWrapper playlist = gameState.GetPlaylist();
  if (!playlist) return;
  const ArrayWrapper<PriWrapper> pris = game.GetOnlineGame().GetPRIs();
  playlist.GetPlaylistId();
  pris.Count();

  unsigned goalSum = 0;
  for (int i = 0; i < pris.Count(); ++i) {
    goalSum += static_cast<unsigned>(pris.Get(i).GetMatchGoals());
  }
  for (int i = 0; i < pris.Count(); ++i) {
    if (pris.Get(i).IsLocalPlayerPRI()) localTeam_ = pris.Get(i).GetTeamNum();
  }
  if (static_cast<int>(goalSum) > 0) {
    refreshRosterReads();
    return;
  }

  for (int i = 0; i < pris.Count(); ++i) {
    if (!isPlayerTeam(pris.Get(i).GetTeamNum())) continue;
    if (static_cast<std::size_t>(i) >= kPlayerSlots) continue;
    pris.Get(i).GetPlayerName().ToString();
    pris.Get(i).GetMatchGoals();
    pris.Get(i).GetMatchAssists();
    pris.Get(i).GetMatchSaves();
    pris.Get(i).GetMatchShots();
    pris.Get(i).GetMatchDemolishes();
    pris.Get(i).GetMatchScore();
    pris.Get(i).GetPlayerID();
    pris.Get(i).GetUniqueIdWrapper().GetIdString();
    if (pris.Get(i).GetTeamNum() != localTeam_) continue;
    const MMRWrapper ratings = game.GetMMRWrapper();
    const UniqueIDWrapper id = pris.Get(i).GetUniqueIdWrapper();
    const int ratingPlaylist = ratings.GetCurrentPlaylist();
    ratings.GetPlayerMMR(id, ratingPlaylist);
  }
}

// The reads of Tallyrig::onMatchEnded when the match had goals; the file is left alone.
void SdkFloor::onMatchEnded(std::string /*eventName*/) {
  GameWrapper& game = *game_;
  if (!game.IsInOnlineGame()) return;
  const ServerWrapper gameState = game.GetCurrentGameState();
  if (!gameState) return;
  if (!gameState.GetPlaylist()) return;
  const ArrayWrapper<PriWrapper> pris = game.GetOnlineGame().GetPRIs();
  refreshRosterReads();
  game.GetDataFolder();
  const int reported = pris.Count();
  const auto priCount = static_cast<std::size_t>(reported > 0 ? reported : 0);
  // The local player is looked up once per row for the first group and once per row for the
  // team-mates.
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t row = 0; row < rows_; ++row) {
      if (row < priCount) pris.Get(static_cast<int>(row)).IsLocalPlayerPRI();
    }
  }
}

// The reads of Tallyrig::onStatTickerMessage: the event's name, and for a demolition the
// actor's id once per row.
void SdkFloor::onStatTickerMessage(ServerWrapper /*caller*/, void* params,
                                   std::string /*eventName*/) {
  const PriWrapper actor(wordAt(params, 0));
  const StatEventWrapper event(wordAt(params, 2));
  if (event.GetEventName() == std::string_view("Demolish")) {
    for (std::size_t row = 0; row < rows_; ++row) actor.GetPlayerID();
  }
  refreshRosterReads();
}

void SdkFloor::onStatEvent(ServerWrapper /*caller*/, void* /*params*/, std::string /*eventName*/) {
  refreshRosterReads();
}

// The reads of Tallyrig::onRatingUpdated, and one console line: the id text itself, so that
// composing the line is left to the plugin's side of the ratio.
void SdkFloor::onRatingUpdated(UniqueIDWrapper id) {
  {
    const MMRWrapper ratings = game_->GetMMRWrapper();
    ratings.GetPlayerMMR(id, kLoggedRatingPlaylist);
  }
  std::string idText = id.GetIdString();
  console_->log(std::move(idText));
}

RawAppend::RawAppend(const std::string& dataFolder, const std::string& year,
                     const std::string& fileName, std::string block)
    : pluginFolder_(dataFolder + "/Tallyrig"),
      yearFolder_(pluginFolder_ + "/" + year),
      file_(yearFolder_ + "/" + fileName),
      block_(std::move(block)) {}

void RawAppend::onMatchEnded(std::string /*eventName*/) {
  if (::mkdir(pluginFolder_.c_str(), 0777) != 0 && errno != EEXIST) ++failures_;
  if (::mkdir(yearFolder_.c_str(), 0777) != 0 && errno != EEXIST) ++failures_;
  const int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) {
    ++failures_;
    return;
  }
  // The lock every Tallyrig takes around its append.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) ++failures_;
  const ::ssize_t written = ::write(fd, block_.data(), block_.size());
  if (written < 0 || static_cast<std::size_t>(written) != block_.size()) ++failures_;
  if (::close(fd) != 0) ++failures_;
}

void RawAppend::onGameStarted(std::string /*eventName*/) {}
void RawAppend::onStatTickerMessage(ServerWrapper /*caller*/, void* /*params*/,
                                    std::string /*eventName*/) {}
void RawAppend::onStatEvent(ServerWrapper /*caller*/, void* /*params*/, std::string /*eventName*/) {
}
void RawAppend::onRatingUpdated(UniqueIDWrapper /*id*/) {}

void NoWork::onGameStarted(std::string /*eventName*/) {}
void NoWork::onMatchEnded(std::string /*eventName*/) {}
void NoWork::onStatTickerMessage(ServerWrapper /*caller*/, void* /*params*/,
                                 std::string /*eventName*/) {}
void NoWork::onStatEvent(ServerWrapper /*caller*/, void* /*params*/, std::string /*eventName*/) {}
void NoWork::onRatingUpdated(UniqueIDWrapper /*id*/) {}

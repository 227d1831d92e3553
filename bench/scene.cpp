#include "scene.h"

#include "export/local_time.h"
#include "plugin/tallyrig.h"
#include "tracking/player_table.h"

extern "C" std::shared_ptr<Vantor::Plugin::VantorPlugin>* getPlugin();
extern "C" void deleteMe();

namespace {

using pluginsdk::sim::Pri;

// Names and ids of the lengths players have: about half are longer than a short string holds.
constexpr std::array<const char*, 8> kNames = {
    "Ana", "Bartholomew_the_Bold", "Cy",  "Wren Okafor-Lindqvist",
    "Eli", "xX_NightOwl_Xx_2009",  "Gus", "Marisol Vandersloot",
};
constexpr std::array<const char*, 8> kIds = {
    "Steam|76561198000000001|0",
    "Epic|a1b2c3d4e5f60718293a4b5c6d7e8f90|0",
    "PS4|6081290445|0",
    "Steam|76561198000000004|0",
    "Epic|0f1e2d3c4b5a69788796a5b4c3d2e1f0|0",
    "Steam|76561198000000006|0",
    "PS4|7192301556|0",
    "Steam|76561198000000008|0",
};

}  // namespace

Scene::Scene(int players, int playlistId, std::string playlistFile,
             const std::filesystem::path& dataFolder)
    : playlistFile_(std::move(playlistFile)), year_(currentExportTime().year()) {
  world.playlistId = playlistId;
  world.dataFolder = dataFolder;
  const auto count = static_cast<std::size_t>(players);
  for (std::size_t i = 0; i < count && i < kNames.size(); ++i) {
    Pri pri;
    pri.ref = kNames[i];
    pri.name = kNames[i];
    // The first half is Blue, the local player first among them.
    pri.team = i < count / 2 ? 0 : 1;
    pri.playerId = 1001 + static_cast<int>(i);
    pri.uniqueId = kIds[i];
    pri.local = i == 0;
    Pri& stored = world.addPri(pri);
    world.setRating(stored.uniqueId, playlistId, 1000.0f + 25.5f * static_cast<float>(i));
    world.setRating(stored.uniqueId, 11, 1100.0f + 12.25f * static_cast<float>(i));
    pris_.push_back(&stored);
  }
  ratedId_ = pris_.front()->uniqueId;
  statEventBlock_ = {world.address(*pris_.back()), world.statEventAddress("Shot")};
  statTickerBlock_ = {world.address(*pris_.back()), world.address(*pris_.front()),
                      world.statEventAddress("Demolish")};
}

void Scene::setPhase(Phase phase) {
  const bool playing = phase == Phase::midMatch;
  for (std::size_t i = 0; i < pris_.size(); ++i) {
    Pri& pri = *pris_[i];
    const int n = static_cast<int>(i);
    pri.goals = playing ? n % 3 : 0;
    pri.assists = playing ? n % 2 : 0;
    pri.saves = playing ? (n + 1) % 3 : 0;
    pri.shots = playing ? n % 3 + 2 : 0;
    pri.demolishes = 0;
    pri.score = playing ? 100 + 35 * n : 0;
  }
}

void Scene::deliver(Call call) {
  switch (call) {
    case Call::statEvent:
      world.callHookWithCaller(kStatEventHook, statEventBlock_.data());
      return;
    case Call::statTicker:
      world.callHookWithCaller(kStatTickerHook, statTickerBlock_.data());
      return;
    case Call::gameStart:
      world.callHook(kGameStartedHook);
      return;
    case Call::matchEnd:
      world.callHook(kMatchEndedHook);
      return;
    case Call::rating:
      world.notifyRating(ratedId_);
      return;
  }
}

std::filesystem::path Scene::statisticsFile() const {
  return dataFolder() / "Tallyrig" / year_ / playlistFile_;
}

PluginSession::PluginSession(Scene& scene) : scene_(scene) {
  scene.world.removeAllHooks();
  deleteMe();
  playerTable = PlayerTable{};
  matchState = MatchState{};
  const std::shared_ptr<Vantor::Plugin::VantorPlugin>& plugin = *getPlugin();
  plugin->consoleManager = scene.world.makeConsole();
  plugin->gameAccess = scene.world.makeGameWrapper();
  plugin->onLoad();
}

PluginSession::~PluginSession() {
  deleteMe();
  logConsole.reset();
  scene_.world.removeAllHooks();
}

void PluginSession::startMatch() {
  scene_.setPhase(Phase::kickoff);
  scene_.deliver(Call::gameStart);
  scene_.setPhase(Phase::midMatch);
}

void PluginSession::prepareFor(Call call) {
  if (call == Call::gameStart) {
    scene_.setPhase(Phase::kickoff);
  } else {
    startMatch();
  }
}

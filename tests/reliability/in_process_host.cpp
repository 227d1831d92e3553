#include "in_process_host.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "plugin/tallyrig.h"
#include "pluginsdk/sim/instrumentation.h"
#include "tracking/player_table.h"

extern "C" std::shared_ptr<Vantor::Plugin::VantorPlugin>* getPlugin();
extern "C" void deleteMe();

namespace tallyrig::reliability {
namespace {

using pluginsdk::sim::Pri;
using pluginsdk::sim::World;

const std::string kGameStarted = "Function ProjectX.GRI_X.EventGameStarted";
const std::string kMatchEnded = "Function TAGame.GameEvent_Soccar_TA.EventMatchEnded";
const std::string kStatTickerMessage = "Function TAGame.GFxHUD_TA.HandleStatTickerMessage";
const std::string kStatEvent = "Function TAGame.GFxHUD_TA.HandleStatEvent";

std::string quoted(const std::string& hook) {
  return '"' + hook + '"';
}

}  // namespace

InProcessHost::InProcessHost(World& world) : world_(world) {}

InProcessHost::~InProcessHost() {
  if (plugin_) unload();
}

template <typename Call>
void InProcessHost::callPlugin(const char* operation, Call&& call) {
  try {
    call();
  } catch (const std::exception& error) {
    exceptions_.push_back(std::string(operation) + ": " + error.what());
  } catch (...) {
    exceptions_.push_back(std::string(operation) + ": unknown exception");
  }
}

pluginsdk::sim::CallbackErrorSink InProcessHost::sinkFor(const std::string& what) {
  return [this, what](const std::string& message) { exceptions_.push_back(what + ": " + message); };
}

void InProcessHost::load() {
  callPlugin("getPlugin", [&] {
    std::shared_ptr<Vantor::Plugin::VantorPlugin>* instance = getPlugin();
    if (instance != nullptr) plugin_ = *instance;
  });
  if (!plugin_) return;
  plugin_->consoleManager = world_.makeConsole();
  plugin_->gameAccess = world_.makeGameWrapper();
  callPlugin("onLoad", [&] { plugin_->onLoad(); });
}

void InProcessHost::unload() {
  if (plugin_) callPlugin("onUnload", [&] { plugin_->onUnload(); });
  callPlugin("deleteMe", [] { deleteMe(); });
  plugin_.reset();
  world_.removeAllHooks();
}

void InProcessHost::play(const host::Step& step) {
  const auto priWord = [&](const std::optional<std::string>& ref) -> std::uint64_t {
    const Pri* pri = ref ? world_.findPri(*ref) : nullptr;
    return pri != nullptr ? world_.address(*pri) : 0;
  };
  const auto eventWord = [&](const std::optional<std::string>& name) -> std::uint64_t {
    return name ? world_.statEventAddress(*name) : 0;
  };
  std::visit(
      [&](const auto& action) {
        using Action = std::decay_t<decltype(action)>;
        if constexpr (std::is_same_v<Action, host::GameStartedStep>) {
          world_.callHook(kGameStarted, sinkFor(quoted(kGameStarted)));
        } else if constexpr (std::is_same_v<Action, host::MatchEndedStep>) {
          world_.callHook(kMatchEnded, sinkFor(quoted(kMatchEnded)));
        } else if constexpr (std::is_same_v<Action, host::StatEventStep>) {
          std::uint64_t block[2] = {priWord(action.pri), eventWord(action.event)};
          world_.callHookWithCaller(kStatEvent, block, sinkFor(quoted(kStatEvent)));
        } else if constexpr (std::is_same_v<Action, host::StatTickerStep>) {
          std::uint64_t block[3] = {priWord(action.pri), priWord(action.other),
                                    eventWord(action.event)};
          world_.callHookWithCaller(kStatTickerMessage, block, sinkFor(quoted(kStatTickerMessage)));
        } else if constexpr (std::is_same_v<Action, host::RatingStep>) {
          world_.setRating(action.rating.uniqueId, action.rating.playlist, action.rating.value);
          world_.notifyRating(action.rating.uniqueId, sinkFor("rating notifier"));
        } else if constexpr (std::is_same_v<Action, host::NotifyStep>) {
          world_.notifyRating(action.uniqueId, sinkFor("rating notifier"));
        } else if constexpr (std::is_same_v<Action, host::WorldStep>) {
          if (action.online) world_.online = *action.online;
          if (action.gameState) world_.gameStateValid = *action.gameState;
          if (action.playlistValid) world_.playlistValid = *action.playlistValid;
          if (action.playlistId) world_.playlistId = *action.playlistId;
          if (action.ratingPlaylist) world_.ratingPlaylist = *action.ratingPlaylist;
        } else if constexpr (std::is_same_v<Action, host::PlayerStep>) {
          Pri* pri = world_.findPri(action.ref);
          if (pri == nullptr) return;
          if (action.name) pri->name = *action.name;
          if (action.team) pri->team = *action.team;
          if (action.playerId) pri->playerId = *action.playerId;
          if (action.uniqueId) pri->uniqueId = *action.uniqueId;
          if (action.local) pri->local = *action.local;
          if (action.goals) pri->goals = *action.goals;
          if (action.assists) pri->assists = *action.assists;
          if (action.saves) pri->saves = *action.saves;
          if (action.shots) pri->shots = *action.shots;
          if (action.demolishes) pri->demolishes = *action.demolishes;
          if (action.score) pri->score = *action.score;
        } else if constexpr (std::is_same_v<Action, host::JoinStep>) {
          world_.addPri(action.player, action.at);
        } else if constexpr (std::is_same_v<Action, host::LeaveStep>) {
          if (const Pri* pri = world_.findPri(action.ref)) world_.removeFromArray(*pri);
        } else if constexpr (std::is_same_v<Action, host::OrderStep>) {
          std::vector<Pri*> order;
          for (const std::string& ref : action.refs) order.push_back(world_.findPri(ref));
          world_.reorderArray(std::move(order));
        } else if constexpr (std::is_same_v<Action, host::UnloadStep>) {
          unload();
        } else if constexpr (std::is_same_v<Action, host::LoadStep>) {
          load();
        } else {
          static_assert(std::is_same_v<Action, host::FailStep>);
          pluginsdk::sim::injectFault(action.op, action.after);
        }
      },
      step);
}

void buildWorld(World& world, const host::WorldSetup& setup,
                const std::filesystem::path& dataFolder) {
  world.online = setup.online;
  world.gameStateValid = setup.gameState;
  world.playlistValid = setup.playlistValid;
  world.playlistId = setup.playlistId;
  world.ratingPlaylist = setup.ratingPlaylist;
  for (const Pri& player : setup.players) world.addPri(player);
  for (const host::RatingEntry& rating : setup.ratings) {
    world.setRating(rating.uniqueId, rating.playlist, rating.value);
  }
  world.dataFolder = dataFolder;
}

void resetModuleState() {
  deleteMe();
  logConsole.reset();
  playerTable = PlayerTable{};
  matchState = MatchState{};
  pluginsdk::sim::resetInstrumentation();
}

ReplayOutcome replayInProcess(const host::Scenario& scenario,
                              const std::filesystem::path& dataFolder, std::size_t maxSteps) {
  resetModuleState();
  ReplayOutcome outcome;
  {
    // The world outlives the plugin, as in the host.
    World world;
    buildWorld(world, scenario.world, dataFolder);
    world.consoleSink = [&](const std::string& line) { outcome.console.push_back(line); };
    InProcessHost host(world);
    host.load();
    const std::size_t steps = std::min(maxSteps, scenario.steps.size());
    for (std::size_t i = 0; i < steps; ++i) host.play(scenario.steps[i]);
    if (host.loaded()) host.unload();
    outcome.exceptions = host.exceptions();
    outcome.contractViolations = pluginsdk::sim::contractViolations();
  }
  resetModuleState();
  return outcome;
}

}  // namespace tallyrig::reliability

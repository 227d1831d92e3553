#include "host/session.h"

#include <cstdint>
#include <exception>
#include <utility>
#include <variant>
#include <vector>

#include "pluginsdk/sim/instrumentation.h"

namespace tallyrig::host {
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

PluginSession::PluginSession(World& world, PluginCreateEntry create, PluginDestroyEntry destroy,
                             ExceptionReport report)
    : world_(world), create_(create), destroy_(destroy), report_(std::move(report)) {}

PluginSession::~PluginSession() {
  if (plugin_) unload();
}

template <typename Call>
void PluginSession::callPlugin(const char* operation, Call&& call) {
  try {
    call();
  } catch (const std::exception& error) {
    report_(operation, error.what());
  } catch (...) {
    report_(operation, "unknown exception");
  }
}

pluginsdk::sim::CallbackErrorSink PluginSession::reportFrom(const std::string& what) const {
  return [report = report_, what](const std::string& message) { report(what, message); };
}

void PluginSession::load() {
  callPlugin("getPlugin", [&] {
    std::shared_ptr<Vantor::Plugin::VantorPlugin>* instance = create_();
    if (instance != nullptr) plugin_ = *instance;
  });
  if (!plugin_) return;
  plugin_->consoleManager = world_.makeConsole();
  plugin_->gameAccess = world_.makeGameWrapper();
  callPlugin("onLoad", [&] { plugin_->onLoad(); });
}

void PluginSession::unload() {
  if (plugin_) callPlugin("onUnload", [&] { plugin_->onUnload(); });
  callPlugin("deleteMe", [&] { destroy_(); });
  plugin_.reset();
  world_.removeAllHooks();
}

void PluginSession::play(const Step& step) {
  std::visit([&](const auto& action) { perform(action); }, step);
}

std::uintptr_t PluginSession::priWord(const std::optional<std::string>& ref) {
  if (!ref) return 0;
  const Pri* pri = world_.findPri(*ref);
  return pri != nullptr ? world_.address(*pri) : 0;
}

std::uintptr_t PluginSession::eventWord(const std::optional<std::string>& name) {
  return name ? world_.statEventAddress(*name) : 0;
}

void PluginSession::perform(const GameStartedStep&) {
  world_.callHook(kGameStarted, reportFrom(quoted(kGameStarted)));
}

void PluginSession::perform(const MatchEndedStep&) {
  world_.callHook(kMatchEnded, reportFrom(quoted(kMatchEnded)));
}

void PluginSession::perform(const StatEventStep& step) {
  std::uint64_t block[2] = {priWord(step.pri), eventWord(step.event)};
  world_.callHookWithCaller(kStatEvent, block, reportFrom(quoted(kStatEvent)));
}

void PluginSession::perform(const StatTickerStep& step) {
  std::uint64_t block[3] = {priWord(step.pri), priWord(step.other), eventWord(step.event)};
  world_.callHookWithCaller(kStatTickerMessage, block, reportFrom(quoted(kStatTickerMessage)));
}

void PluginSession::perform(const RatingStep& step) {
  world_.setRating(step.rating.uniqueId, step.rating.playlist, step.rating.value);
  world_.notifyRating(step.rating.uniqueId, reportFrom("rating notifier"));
}

void PluginSession::perform(const NotifyStep& step) {
  world_.notifyRating(step.uniqueId, reportFrom("rating notifier"));
}

void PluginSession::perform(const WorldStep& step) {
  if (step.online) world_.online = *step.online;
  if (step.gameState) world_.gameStateValid = *step.gameState;
  if (step.playlistValid) world_.playlistValid = *step.playlistValid;
  if (step.playlistId) world_.playlistId = *step.playlistId;
  if (step.ratingPlaylist) world_.ratingPlaylist = *step.ratingPlaylist;
}

void PluginSession::perform(const PlayerStep& step) {
  Pri* pri = world_.findPri(step.ref);
  if (pri == nullptr) return;
  if (step.name) pri->name = *step.name;
  if (step.team) pri->team = *step.team;
  if (step.playerId) pri->playerId = *step.playerId;
  if (step.uniqueId) pri->uniqueId = *step.uniqueId;
  if (step.local) pri->local = *step.local;
  if (step.goals) pri->goals = *step.goals;
  if (step.assists) pri->assists = *step.assists;
  if (step.saves) pri->saves = *step.saves;
  if (step.shots) pri->shots = *step.shots;
  if (step.demolishes) pri->demolishes = *step.demolishes;
  if (step.score) pri->score = *step.score;
}

void PluginSession::perform(const JoinStep& step) {
  world_.addPri(step.player, step.at);
}

void PluginSession::perform(const LeaveStep& step) {
  if (const Pri* pri = world_.findPri(step.ref)) world_.removeFromArray(*pri);
}

void PluginSession::perform(const OrderStep& step) {
  std::vector<Pri*> order;
  for (const std::string& ref : step.refs) order.push_back(world_.findPri(ref));
  world_.reorderArray(std::move(order));
}

void PluginSession::perform(const UnloadStep&) {
  unload();
}
void PluginSession::perform(const LoadStep&) {
  load();
}

void PluginSession::perform(const FailStep& step) {
  pluginsdk::sim::injectFault(step.op, step.after);
}

void buildWorld(World& world, const WorldSetup& setup, const std::filesystem::path& dataFolder) {
  world.online = setup.online;
  world.gameStateValid = setup.gameState;
  world.playlistValid = setup.playlistValid;
  world.playlistId = setup.playlistId;
  world.ratingPlaylist = setup.ratingPlaylist;
  for (const Pri& player : setup.players) world.addPri(player);
  for (const RatingEntry& rating : setup.ratings) {
    world.setRating(rating.uniqueId, rating.playlist, rating.value);
  }
  world.dataFolder = dataFolder;
}

}  // namespace tallyrig::host

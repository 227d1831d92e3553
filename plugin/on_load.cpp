#include "plugin/tallyrig.h"

#include <string>
#include <type_traits>
#include <utility>

namespace {

const char kGameStarted[] = "Function ProjectX.GRI_X.EventGameStarted";
const char kMatchEnded[] = "Function TAGame.GameEvent_Soccar_TA.EventMatchEnded";
const char kStatTickerMessage[] = "Function TAGame.GFxHUD_TA.HandleStatTickerMessage";
const char kStatEvent[] = "Function TAGame.GFxHUD_TA.HandleStatEvent";

// Every handler takes its arguments by value, as the host hands them over: the name is moved in,
// the handles are copies the handler may call.
static_assert(std::is_same_v<decltype(&Tallyrig::onGameStarted), void (Tallyrig::*)(std::string)>);
static_assert(std::is_same_v<decltype(&Tallyrig::onMatchEnded), void (Tallyrig::*)(std::string)>);
static_assert(std::is_same_v<decltype(&Tallyrig::onStatTickerMessage),
                             void (Tallyrig::*)(ServerWrapper, void*, std::string)>);
static_assert(std::is_same_v<decltype(&Tallyrig::onStatEvent),
                             void (Tallyrig::*)(ServerWrapper, void*, std::string)>);
static_assert(
    std::is_same_v<decltype(&Tallyrig::onRatingUpdated), void (Tallyrig::*)(UniqueIDWrapper)>);

}  // namespace

// The callables hold only this object's address: the host, not the hooks, decides its life.
void Tallyrig::onLoad() {
  logConsole = consoleManager;
  GameWrapper& game = *gameAccess;
  game.HookEvent(kGameStarted, [this](std::string name) { onGameStarted(std::move(name)); });
  game.HookEvent(kMatchEnded, [this](std::string name) { onMatchEnded(std::move(name)); });
  {
    MMRWrapper ratings = game.GetMMRWrapper();
    ratingNotifierToken =
        ratings.RegisterMMRNotifier([this](UniqueIDWrapper id) { onRatingUpdated(id); });
  }
  game.HookEventWithCallerPost<ServerWrapper>(
      kStatTickerMessage, [this](ServerWrapper caller, void* params, std::string name) {
        onStatTickerMessage(caller, params, std::move(name));
      });
  game.HookEventWithCallerPost<ServerWrapper>(
      kStatEvent, [this](ServerWrapper caller, void* params, std::string name) {
        onStatEvent(caller, params, std::move(name));
      });
}

#include "pluginsdk/wrappers.h"

#include <string>
#include <utility>

#include "instrumentation_internal.h"
#include "pluginsdk/game_wrapper.h"
#include "pluginsdk/sim/world.h"
#include "registration.h"

using pluginsdk::sim::GameEvent;
using pluginsdk::sim::GameObject;
using pluginsdk::sim::Op;
using pluginsdk::sim::Pri;
using pluginsdk::sim::PriList;
using pluginsdk::sim::World;
using pluginsdk::sim::detail::enter;

namespace {

template <typename T>
T* objectAt(std::uintptr_t address) {
  return reinterpret_cast<T*>(address);
}

// A handle's validity test: not an SDK operation, so neither counted nor a fault point, but
// traced, since where it happens matters.
bool isValid(std::uintptr_t address) {
  if (pluginsdk::sim::detail::tracing())
    pluginsdk::sim::detail::record("operator bool", address, "");
  return address != 0;
}

std::uintptr_t addressOf(const void* object) {
  return reinterpret_cast<std::uintptr_t>(object);
}

// The world behind a handle to one of its game objects, or null for a null handle.
World* worldOf(std::uintptr_t address) {
  const auto* object = objectAt<const GameObject>(address);
  return object != nullptr ? object->world : nullptr;
}

template <typename Value, typename Read>
Value readPri(std::uintptr_t address, Op op, Read read) {
  enter(op, address);
  const Pri* pri = objectAt<const Pri>(address);
  return pri != nullptr ? read(*pri) : Value{};
}

}  // namespace

std::string UnrealStringWrapper::ToString() const {
  enter(Op::ToString, memory_address);
  const auto* text = objectAt<const std::string>(memory_address);
  return text != nullptr ? *text : std::string();
}

std::string UniqueIDWrapper::GetIdString() const {
  enter(Op::GetIdString, memory_address);
  const auto* text = objectAt<const std::string>(memory_address);
  return text != nullptr ? *text : std::string();
}

ActorWrapper::operator bool() const {
  return isValid(memory_address);
}

UnrealStringWrapper PlayerReplicationInfoWrapper::GetPlayerName() const {
  return readPri<UnrealStringWrapper>(memory_address, Op::GetPlayerName, [](const Pri& pri) {
    return UnrealStringWrapper(addressOf(&pri.name));
  });
}

unsigned char PlayerReplicationInfoWrapper::GetTeamNum() const {
  return readPri<unsigned char>(memory_address, Op::GetTeamNum,
                                [](const Pri& pri) { return pri.team; });
}

int PlayerReplicationInfoWrapper::GetPlayerID() const {
  return readPri<int>(memory_address, Op::GetPlayerID, [](const Pri& pri) { return pri.playerId; });
}

UniqueIDWrapper PlayerReplicationInfoWrapper::GetUniqueIdWrapper() const {
  return readPri<UniqueIDWrapper>(memory_address, Op::GetUniqueIdWrapper, [](const Pri& pri) {
    return UniqueIDWrapper(addressOf(&pri.uniqueId));
  });
}

int PriWrapper::GetMatchGoals() const {
  return readPri<int>(memory_address, Op::GetMatchGoals, [](const Pri& pri) { return pri.goals; });
}

int PriWrapper::GetMatchAssists() const {
  return readPri<int>(memory_address, Op::GetMatchAssists,
                      [](const Pri& pri) { return pri.assists; });
}

int PriWrapper::GetMatchSaves() const {
  return readPri<int>(memory_address, Op::GetMatchSaves, [](const Pri& pri) { return pri.saves; });
}

int PriWrapper::GetMatchShots() const {
  return readPri<int>(memory_address, Op::GetMatchShots, [](const Pri& pri) { return pri.shots; });
}

int PriWrapper::GetMatchDemolishes() const {
  return readPri<int>(memory_address, Op::GetMatchDemolishes,
                      [](const Pri& pri) { return pri.demolishes; });
}

int PriWrapper::GetMatchScore() const {
  return readPri<int>(memory_address, Op::GetMatchScore, [](const Pri& pri) { return pri.score; });
}

bool PriWrapper::IsLocalPlayerPRI() const {
  return readPri<bool>(memory_address, Op::IsLocalPlayerPRI,
                       [](const Pri& pri) { return pri.local; });
}

std::string StatEventWrapper::GetEventName() const {
  enter(Op::GetEventName, memory_address);
  const auto* event = objectAt<const pluginsdk::sim::StatEvent>(memory_address);
  return event != nullptr ? event->name : std::string();
}

int ArrayWrapper<PriWrapper>::Count() const {
  enter(Op::Count, memory_address);
  const World* world = worldOf(memory_address);
  return world != nullptr ? static_cast<int>(world->array().size()) : 0;
}

PriWrapper ArrayWrapper<PriWrapper>::Get(int index) const {
  enter(Op::Get, memory_address, index);
  const auto* list = objectAt<const PriList>(memory_address);
  const std::size_t size = list != nullptr ? list->world->array().size() : 0;
  if (index < 0 || static_cast<std::size_t>(index) >= size) {
    pluginsdk::sim::detail::recordContractViolation();
    return PriWrapper();
  }
  const auto position = static_cast<std::size_t>(index);
  return PriWrapper(
      addressOf(list->world->array()[list->reversed ? size - 1 - position : position]));
}

GameSettingPlaylistWrapper::operator bool() const {
  return isValid(memory_address);
}

int GameSettingPlaylistWrapper::GetPlaylistId() const {
  enter(Op::GetPlaylistId, memory_address);
  const World* world = worldOf(memory_address);
  return world != nullptr ? world->playlistId : 0;
}

ArrayWrapper<PriWrapper> GameEventWrapper::GetPRIs() const {
  enter(Op::GetPRIs, memory_address);
  auto* event = objectAt<GameEvent>(memory_address);
  return ArrayWrapper<PriWrapper>(event != nullptr ? addressOf(&event->pris) : 0);
}

GameSettingPlaylistWrapper GameEventWrapper::GetPlaylist() const {
  enter(Op::GetPlaylist, memory_address);
  auto* event = objectAt<GameEvent>(memory_address);
  const bool valid = event != nullptr && event->world->playlistValid;
  return GameSettingPlaylistWrapper(valid ? addressOf(&event->playlist) : 0);
}

MMRNotifierToken::MMRNotifierToken(std::shared_ptr<Registration> registration)
    : registration_(std::move(registration)) {}

MMRNotifierToken::~MMRNotifierToken() = default;

int MMRWrapper::GetCurrentPlaylist() const {
  enter(Op::GetCurrentPlaylist, memory_address);
  const World* world = worldOf(memory_address);
  return world != nullptr ? world->currentRatingPlaylist() : 0;
}

float MMRWrapper::GetPlayerMMR(UniqueIDWrapper id, int playlist) const {
  if (pluginsdk::sim::detail::tracing()) {
    const World* world = worldOf(memory_address);
    const std::string who = world != nullptr ? world->labelOf(id.memory_address) : "?";
    pluginsdk::sim::detail::record("GetPlayerMMR", memory_address,
                                   who + ", " + std::to_string(playlist));
  }
  pluginsdk::sim::detail::countCall(Op::GetPlayerMMR);
  const World* world = worldOf(memory_address);
  const auto* text = objectAt<const std::string>(id.memory_address);
  if (world == nullptr || text == nullptr) return 0.0f;
  return world->rating(*text, playlist);
}

std::unique_ptr<MMRNotifierToken> MMRWrapper::RegisterMMRNotifier(
    std::function<void(UniqueIDWrapper)> notifier) {
  enter(Op::RegisterMMRNotifier, memory_address);
  World* world = worldOf(memory_address);
  if (world == nullptr) {
    return std::make_unique<MMRNotifierToken>(std::make_shared<MMRNotifierToken::Registration>());
  }
  return world->addNotifier(std::move(notifier));
}

void CVarManagerWrapper::log(std::string text) {
  enter(Op::log, memory_address, text);
  const World* world = worldOf(memory_address);
  if (world != nullptr && world->consoleSink) world->consoleSink(text);
}

void GameWrapper::HookEvent(std::string name, std::function<void(std::string)> callback) {
  enter(Op::HookEvent, memory_address, name);
  World* world = objectAt<World>(memory_address);
  if (world != nullptr) world->addHook({std::move(name), std::move(callback), {}});
}

template <>
void GameWrapper::HookEventWithCallerPost<ServerWrapper>(
    std::string name, std::function<void(ServerWrapper, void*, std::string)> callback) {
  enter(Op::HookEventWithCallerPost, memory_address, name);
  World* world = objectAt<World>(memory_address);
  if (world != nullptr) world->addHook({std::move(name), {}, std::move(callback)});
}

bool GameWrapper::IsInOnlineGame() {
  enter(Op::IsInOnlineGame, memory_address);
  const World* world = objectAt<const World>(memory_address);
  return world != nullptr && world->online;
}

ServerWrapper GameWrapper::GetCurrentGameState() {
  enter(Op::GetCurrentGameState, memory_address);
  World* world = objectAt<World>(memory_address);
  return world != nullptr ? world->gameState() : ServerWrapper();
}

ServerWrapper GameWrapper::GetOnlineGame() {
  enter(Op::GetOnlineGame, memory_address);
  World* world = objectAt<World>(memory_address);
  return world != nullptr ? world->onlineGame() : ServerWrapper();
}

MMRWrapper GameWrapper::GetMMRWrapper() {
  enter(Op::GetMMRWrapper, memory_address);
  const World* world = objectAt<const World>(memory_address);
  return MMRWrapper(world != nullptr ? world->ratingsAddress() : 0);
}

std::filesystem::path GameWrapper::GetDataFolder() {
  enter(Op::GetDataFolder, memory_address);
  const World* world = objectAt<const World>(memory_address);
  return world != nullptr ? world->dataFolder : std::filesystem::path();
}

#include "pluginsdk/sim/world.h"

#include <algorithm>
#include <initializer_list>
#include <stdexcept>
#include <utility>

#include "instrumentation_internal.h"
#include "registration.h"

namespace pluginsdk::sim {
namespace {

std::uintptr_t addressOf(const void* object) {
  return reinterpret_cast<std::uintptr_t>(object);
}

// Runs one plugin callback; an escaping exception goes to the sink when there is one.
template <typename Call>
void guarded(const CallbackErrorSink& onError, Call&& call) {
  if (!onError) {
    call();
    return;
  }
  try {
    call();
  } catch (const std::exception& error) {
    onError(error.what());
  } catch (...) {
    onError("unknown exception");
  }
}

}  // namespace

World::World() {
  for (GameObject* object : std::initializer_list<GameObject*>{
           &gameState_, &gameState_.pris, &gameState_.playlist, &onlineGame_, &onlineGame_.pris,
           &onlineGame_.playlist, &ratingService_, &console_}) {
    object->world = this;
  }
  gameState_.pris.reversed = true;
  label(this, "game");
  label(&gameState_, "gameState");
  label(&gameState_.pris, "gameState.pris");
  label(&gameState_.playlist, "playlist");
  label(&onlineGame_, "onlineGame");
  label(&onlineGame_.pris, "pris");
  label(&onlineGame_.playlist, "onlineGame.playlist");
  label(&ratingService_, "mmr");
  label(&console_, "console");
}

World::~World() {
  detail::forgetWorld(*this);
}

void World::label(const void* object, std::string text) {
  labels_[addressOf(object)] = std::move(text);
}

std::string World::labelOf(std::uintptr_t address) const {
  if (address == 0) return "null";
  const auto found = labels_.find(address);
  return found != labels_.end() ? found->second : "?";
}

Pri& World::addPri(Pri pri, std::optional<std::size_t> at) {
  Pri& stored = pris_.emplace_back(std::move(pri));
  label(&stored, "pri:" + stored.ref);
  label(&stored.name, "pri:" + stored.ref + ".name");
  label(&stored.uniqueId, "pri:" + stored.ref + ".id");
  const std::size_t index = std::min(at.value_or(array_.size()), array_.size());
  array_.insert(array_.begin() + static_cast<std::ptrdiff_t>(index), &stored);
  return stored;
}

Pri* World::findPri(std::string_view ref) {
  for (Pri& pri : pris_) {
    if (pri.ref == ref) return &pri;
  }
  return nullptr;
}

void World::removeFromArray(const Pri& pri) {
  array_.erase(std::remove(array_.begin(), array_.end(), &pri), array_.end());
}

void World::reorderArray(std::vector<Pri*> order) {
  array_ = std::move(order);
}

void World::setRating(const std::string& uniqueId, int playlist, float value) {
  ratings_[uniqueId][playlist] = value;
}

float World::rating(std::string_view uniqueId, int playlist) const {
  const auto player = ratings_.find(uniqueId);
  if (player == ratings_.end()) return 0.0f;
  const auto entry = player->second.find(playlist);
  return entry == player->second.end() ? 0.0f : entry->second;
}

std::shared_ptr<GameWrapper> World::makeGameWrapper() {
  return std::make_shared<GameWrapper>(addressOf(this));
}

std::shared_ptr<CVarManagerWrapper> World::makeConsole() {
  return std::make_shared<CVarManagerWrapper>(addressOf(&console_));
}

ServerWrapper World::onlineGame() {
  return ServerWrapper(online ? addressOf(&onlineGame_) : 0);
}

ServerWrapper World::gameState() {
  return ServerWrapper(gameStateValid ? addressOf(&gameState_) : 0);
}

std::uintptr_t World::statEventAddress(const std::string& name) {
  for (const StatEvent& event : statEvents_) {
    if (event.name == name) return addressOf(&event);
  }
  const StatEvent& event = statEvents_.emplace_back(StatEvent{name});
  label(&event, "event:" + name);
  return addressOf(&event);
}

const std::string* World::internId(const std::string& uniqueId) {
  for (const std::string& id : ids_) {
    if (id == uniqueId) return &id;
  }
  const std::string& id = ids_.emplace_back(uniqueId);
  label(&id, "id:" + uniqueId);
  return &id;
}

void World::addHook(Hook hook) {
  hooks_.push_back(std::move(hook));
}

// Indexes, not iterators: a callback may register more hooks while it runs.
void World::callHook(const std::string& name, const CallbackErrorSink& onError) {
  for (std::size_t i = 0; i < hooks_.size(); ++i) {
    if (hooks_[i].name != name || !hooks_[i].plain) continue;
    const auto callback = hooks_[i].plain;
    guarded(onError, [&] { callback(name); });
  }
}

void World::callHookWithCaller(const std::string& name, void* params,
                               const CallbackErrorSink& onError) {
  for (std::size_t i = 0; i < hooks_.size(); ++i) {
    if (hooks_[i].name != name || !hooks_[i].withCaller) continue;
    const auto callback = hooks_[i].withCaller;
    guarded(onError, [&] { callback(onlineGame(), params, name); });
  }
}

void World::notifyRating(const std::string& uniqueId, const CallbackErrorSink& onError) {
  const UniqueIDWrapper id(addressOf(internId(uniqueId)));
  for (std::size_t i = 0; i < notifiers_.size(); ++i) {
    // Holding the registration keeps a notifier whole while it runs, even if its token goes.
    const std::shared_ptr<MMRNotifierToken::Registration> live = notifiers_[i].lock();
    if (!live || !live->notifier) continue;
    guarded(onError, [&] { live->notifier(id); });
  }
}

std::size_t World::hookCount(std::string_view name) const {
  return static_cast<std::size_t>(std::count_if(
      hooks_.begin(), hooks_.end(), [&](const Hook& hook) { return hook.name == name; }));
}

std::vector<std::string> World::hookNames() const {
  std::vector<std::string> names;
  for (const Hook& hook : hooks_) names.push_back(hook.name);
  return names;
}

std::size_t World::liveNotifierCount() const {
  return static_cast<std::size_t>(std::count_if(notifiers_.begin(), notifiers_.end(),
                                                [](const auto& weak) { return !weak.expired(); }));
}

void World::removeAllHooks() {
  hooks_.clear();
}

std::unique_ptr<MMRNotifierToken> World::addNotifier(
    std::function<void(UniqueIDWrapper)> notifier) {
  notifiers_.erase(std::remove_if(notifiers_.begin(), notifiers_.end(),
                                  [](const auto& weak) { return weak.expired(); }),
                   notifiers_.end());
  auto registration = std::make_shared<MMRNotifierToken::Registration>();
  registration->notifier = std::move(notifier);
  notifiers_.push_back(registration);
  return std::make_unique<MMRNotifierToken>(std::move(registration));
}

}  // namespace pluginsdk::sim

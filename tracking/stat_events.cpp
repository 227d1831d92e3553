#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "plugin/tallyrig.h"
#include "tracking/match_access.h"
#include "tracking/player_table.h"

namespace {

constexpr std::string_view kDemolition = "Demolish";

// The parameter blocks begin with 8-byte words holding object addresses; memcpy because the
// block carries no alignment promise.
std::uintptr_t wordAt(const void* params, std::size_t index) {
  std::uint64_t word = 0;
  std::memcpy(&word, static_cast<const unsigned char*>(params) + index * sizeof(word),
              sizeof(word));
  return static_cast<std::uintptr_t>(word);
}

}  // namespace

void Tallyrig::onStatTickerMessage(ServerWrapper /*caller*/, void* params,
                                   std::string /*eventName*/) {
  PriWrapper actor(wordAt(params, 0));
  [[maybe_unused]] PriWrapper other(wordAt(params, 1));
  StatEventWrapper event(wordAt(params, 2));
  // Counted whatever the online checks would say: a demolition belongs to whoever holds the id.
  if (event.GetEventName() == kDemolition) {
    for (std::size_t row = 0; row < rowsInUse(matchState); ++row) {
      if (actor.GetPlayerID() == playerTable[row].playerId) {
        playerTable[row].demolitions = wrappingAdd(playerTable[row].demolitions, 1);
      }
    }
  }
  refreshRoster();
}

void Tallyrig::onStatEvent(ServerWrapper /*caller*/, void* params, std::string /*eventName*/) {
  [[maybe_unused]] PriWrapper player(wordAt(params, 0));
  [[maybe_unused]] StatEventWrapper event(wordAt(params, 1));
  refreshRoster();
}

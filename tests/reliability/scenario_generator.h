#pragma once

// Random but valid match scenarios, written as scenario JSON text in varied spellings, with what
// a correct replay of them may and may not leave behind.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace tallyrig::reliability {

struct GeneratedScenario {
  std::string json;
  // Every unique id any PRI has had, as the statistics file writes it; "" included for rows
  // nothing was read into.
  std::set<std::string> playerIds;
  // Ids of rating and notify steps: the only ids a console line may name.
  std::set<std::string> notifiedIds;
  std::size_t notifications = 0;
  // Blocks the replay may append at most: each match end counts once per set of hooks bound.
  std::size_t maxBlocks = 0;
  std::size_t failSteps = 0;
  std::size_t steps = 0;
  std::size_t pris = 0;
};

// The same seed gives the same text on every platform and standard library.
GeneratedScenario generateScenario(std::uint64_t seed);

}  // namespace tallyrig::reliability

#pragma once

// A match scenario: the world the simulated host builds and the steps it delivers, read from a
// JSON document and fully checked before anything runs.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "pluginsdk/sim/instrumentation.h"
#include "pluginsdk/sim/world.h"

namespace tallyrig::host {

struct RatingEntry {
  std::string uniqueId;
  int playlist = 0;
  float value = 0.0f;
};

struct WorldSetup {
  bool online = true;
  bool gameState = true;
  bool playlistValid = true;
  int playlistId = 0;
  std::optional<int> ratingPlaylist;
  // `ref` is always filled in (it defaults to the name).
  std::vector<pluginsdk::sim::Pri> players;
  std::vector<RatingEntry> ratings;
};

struct GameStartedStep {};
struct MatchEndedStep {};
// An empty optional stands for a null word in the parameter block.
struct StatEventStep {
  std::optional<std::string> pri;
  std::optional<std::string> event;
};
struct StatTickerStep {
  std::optional<std::string> pri;
  std::optional<std::string> other;
  std::optional<std::string> event;
};
struct RatingStep {
  RatingEntry rating;
};
struct NotifyStep {
  std::string uniqueId;
};
struct WorldStep {
  std::optional<bool> online;
  std::optional<bool> gameState;
  std::optional<bool> playlistValid;
  std::optional<int> playlistId;
  std::optional<int> ratingPlaylist;
};
struct PlayerStep {
  std::string ref;
  std::optional<std::string> name;
  std::optional<unsigned char> team;
  std::optional<int> playerId;
  std::optional<std::string> uniqueId;
  std::optional<bool> local;
  std::optional<int> goals;
  std::optional<int> assists;
  std::optional<int> saves;
  std::optional<int> shots;
  std::optional<int> demolishes;
  std::optional<int> score;
};
struct JoinStep {
  pluginsdk::sim::Pri player;
  std::optional<std::size_t> at;
};
struct LeaveStep {
  std::string ref;
};
struct OrderStep {
  std::vector<std::string> refs;
};
struct UnloadStep {};
struct LoadStep {};
struct FailStep {
  pluginsdk::sim::Op op = pluginsdk::sim::Op::IsInOnlineGame;
  std::uint64_t after = 0;
};

using Step = std::variant<GameStartedStep, MatchEndedStep, StatEventStep, StatTickerStep,
                          RatingStep, NotifyStep, WorldStep, PlayerStep, JoinStep, LeaveStep,
                          OrderStep, UnloadStep, LoadStep, FailStep>;

struct Scenario {
  WorldSetup world;
  std::vector<Step> steps;
};

// what() is the whole message: "<file>: <location>: <problem>", where the location is a JSON
// path such as steps[3].statTicker.pri, or "line L, column C" for a syntax error.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Scenario files larger than this are refused unread.
inline constexpr std::uintmax_t kMaxScenarioBytes = 16u * 1024u * 1024u;

// `fileLabel` is how messages name the document.
Scenario parseScenario(std::string_view text, const std::string& fileLabel);
Scenario loadScenario(const std::filesystem::path& file);

}  // namespace tallyrig::host

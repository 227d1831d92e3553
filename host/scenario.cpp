#include "host/scenario.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "host/strict_json.h"

namespace tallyrig::host {
namespace {

using strict_json::element;
using strict_json::Json;
using strict_json::member;
using strict_json::quote;
using strict_json::reject;
using strict_json::shown;
using Object = Json::object_t;
namespace sim = pluginsdk::sim;

constexpr std::int64_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kIntMax = std::numeric_limits<std::int32_t>::max();

// Reads a checked tree into a Scenario, replaying array membership to check every ref.
class Reader {
 public:
  Reader(const std::string& label, const std::map<std::string, std::string>& longIntegers)
      : label_(label), longIntegers_(longIntegers) {}

  Scenario read(const Json& document) {
    const Object& top = object(document, "");
    const auto version = top.find("version");
    if (version == top.end()) fail("", "missing required key \"version\"");
    if (readInt(version->second, "version") != 1) {
      fail("version", "version must be 1, got " + version->second.dump());
    }
    for (const auto& [key, value] : top) {
      if (key != "version" && key != "world" && key != "steps") unknownKey("", key);
    }
    Scenario scenario;
    if (const auto world = top.find("world"); world != top.end()) {
      scenario.world = readWorld(world->second, "world");
    }
    if (const auto steps = top.find("steps"); steps != top.end()) {
      const Json::array_t& list = array(steps->second, "steps");
      scenario.steps.reserve(list.size());
      for (std::size_t i = 0; i < list.size(); ++i) {
        scenario.steps.push_back(readStep(list[i], element("steps", i)));
      }
    }
    return scenario;
  }

 private:
  [[noreturn]] void fail(const std::string& path, const std::string& problem) const {
    reject(label_, shown(path), problem);
  }

  [[noreturn]] void unknownKey(const std::string& path, std::string_view key) const {
    fail(path, "unknown key " + quote(key));
  }

  static std::string got(const Json& value) { return value.type_name(); }

  const Object& object(const Json& value, const std::string& path) const {
    if (!value.is_object()) fail(path, "expected an object, got " + got(value));
    return value.get_ref<const Object&>();
  }

  const Json::array_t& array(const Json& value, const std::string& path) const {
    if (!value.is_array()) fail(path, "expected an array, got " + got(value));
    return value.get_ref<const Json::array_t&>();
  }

  std::string readString(const Json& value, const std::string& path) const {
    if (!value.is_string()) fail(path, "expected a string, got " + got(value));
    return value.get<std::string>();
  }

  bool readBool(const Json& value, const std::string& path) const {
    if (!value.is_boolean()) fail(path, "expected true or false, got " + got(value));
    return value.get<bool>();
  }

  // `high` is never negative here, which keeps the unsigned comparison simple.
  std::int64_t readInt(const Json& value, const std::string& path, std::int64_t low = kIntMin,
                       std::int64_t high = kIntMax) const {
    const std::string range =
        "an integer from " + std::to_string(low) + " to " + std::to_string(high);
    // A float keeps its point (1e3 shows as 1000.0), which tells why it is not an integer.
    const std::string shownValue = value.is_number() ? value.dump() : got(value);
    if (const auto literal = longIntegers_.find(path); literal != longIntegers_.end()) {
      fail(path, "expected " + range + ", got " + literal->second);
    }
    if (!value.is_number_integer()) {
      const bool narrow = low != kIntMin || high != kIntMax;
      fail(path,
           "expected " + (narrow ? range : std::string("an integer")) + ", got " + shownValue);
    }
    const bool inRange =
        value.is_number_unsigned()
            ? value.get<std::uint64_t>() <= static_cast<std::uint64_t>(high)
            : value.get<std::int64_t>() >= low && value.get<std::int64_t>() <= high;
    if (!inRange) fail(path, "expected " + range + ", got " + shownValue);
    return value.get<std::int64_t>();
  }

  int readInt32(const Json& value, const std::string& path) const {
    return static_cast<int>(readInt(value, path));
  }

  float readRating(const Json& value, const std::string& path) const {
    if (!value.is_number()) fail(path, "expected a number, got " + got(value));
    const auto number = value.get<double>();
    if (number > std::numeric_limits<float>::max() || number < -std::numeric_limits<float>::max()) {
      fail(path, "expected a number that fits a float, got " + value.dump());
    }
    return static_cast<float>(number);
  }

  // Decimal and canonical, so that two spellings can never name the same playlist.
  int readPlaylistKey(const std::string& key, const std::string& path) const {
    const std::string_view digits =
        !key.empty() && key[0] == '-' ? std::string_view(key).substr(1) : std::string_view(key);
    bool canonical = !digits.empty() && (digits[0] != '0' || digits == "0") && key != "-0";
    for (const char c : digits) canonical = canonical && c >= '0' && c <= '9';
    if (!canonical) {
      fail(path, "expected a playlist id written as a decimal integer, got " + quote(key));
    }
    const std::int64_t number = digits.size() <= 10 ? std::stoll(key) : kIntMax + 1;
    if (number < kIntMin || number > kIntMax) {
      fail(path, "expected a playlist id from " + std::to_string(kIntMin) + " to " +
                     std::to_string(kIntMax) + ", got " + quote(key));
    }
    return static_cast<int>(number);
  }

  // The world keys a world step may change too; false when `key` is not one of them.
  bool readWorldField(WorldStep& out, std::string_view key, const Json& value,
                      const std::string& path) const {
    if (key == "online") {
      out.online = readBool(value, path);
    } else if (key == "gameState") {
      out.gameState = readBool(value, path);
    } else if (key == "playlistValid") {
      out.playlistValid = readBool(value, path);
    } else if (key == "playlistId") {
      out.playlistId = readInt32(value, path);
    } else if (key == "ratingPlaylist") {
      out.ratingPlaylist = readInt32(value, path);
    } else {
      return false;
    }
    return true;
  }

  WorldSetup readWorld(const Json& value, const std::string& path) {
    WorldSetup world;
    WorldStep fields;
    for (const auto& [key, item] : object(value, path)) {
      const std::string at = member(path, key);
      if (readWorldField(fields, key, item, at)) continue;
      if (key == "players") {
        const Json::array_t& players = array(item, at);
        for (std::size_t i = 0; i < players.size(); ++i) {
          world.players.push_back(readNewPlayer(players[i], element(at, i), nullptr));
          array_.push_back(world.players.back().ref);
        }
      } else if (key == "ratings") {
        for (const auto& [id, playlists] : object(item, at)) {
          const std::string idPath = member(at, id);
          for (const auto& [playlist, rating] : object(playlists, idPath)) {
            const std::string leaf = member(idPath, playlist);
            const int playlistId = readPlaylistKey(playlist, leaf);
            world.ratings.push_back(RatingEntry{id, playlistId, readRating(rating, leaf)});
          }
        }
      } else {
        unknownKey(path, key);
      }
    }
    world.online = fields.online.value_or(world.online);
    world.gameState = fields.gameState.value_or(world.gameState);
    world.playlistValid = fields.playlistValid.value_or(world.playlistValid);
    world.playlistId = fields.playlistId.value_or(world.playlistId);
    world.ratingPlaylist = fields.ratingPlaylist;
    return world;
  }

  // Every player key but `ref`; false when `key` is not one of them.
  bool readPlayerField(PlayerStep& out, std::string_view key, const Json& value,
                       const std::string& path) const {
    static const std::map<std::string_view, std::optional<int> PlayerStep::*, std::less<>>
        counters = {{"playerId", &PlayerStep::playerId}, {"goals", &PlayerStep::goals},
                    {"assists", &PlayerStep::assists},   {"saves", &PlayerStep::saves},
                    {"shots", &PlayerStep::shots},       {"demolishes", &PlayerStep::demolishes},
                    {"score", &PlayerStep::score}};
    if (const auto counter = counters.find(key); counter != counters.end()) {
      out.*(counter->second) = readInt32(value, path);
    } else if (key == "name") {
      out.name = readString(value, path);
    } else if (key == "uniqueId") {
      out.uniqueId = readString(value, path);
    } else if (key == "team") {
      out.team = static_cast<unsigned char>(readInt(value, path, 0, 255));
    } else if (key == "local") {
      out.local = readBool(value, path);
    } else {
      return false;
    }
    return true;
  }

  // A player of world.players (`at` null) or of a join step.
  sim::Pri readNewPlayer(const Json& value, const std::string& path,
                         std::optional<std::size_t>* at) {
    PlayerStep fields;
    std::optional<std::string> ref;
    for (const auto& [key, item] : object(value, path)) {
      const std::string itemPath = member(path, key);
      if (key == "ref") {
        ref = readString(item, itemPath);
      } else if (at != nullptr && key == "at") {
        const auto size = static_cast<std::int64_t>(array_.size());
        *at = static_cast<std::size_t>(readInt(item, itemPath, 0, size));
      } else if (!readPlayerField(fields, key, item, itemPath)) {
        unknownKey(path, key);
      }
    }
    if (!fields.playerId) fail(path, "missing required key \"playerId\"");

    sim::Pri pri;
    pri.name = fields.name.value_or("");
    pri.ref = ref.value_or(pri.name);
    pri.team = fields.team.value_or(pri.team);
    pri.playerId = *fields.playerId;
    pri.uniqueId = fields.uniqueId.value_or("");
    pri.local = fields.local.value_or(pri.local);
    pri.goals = fields.goals.value_or(0);
    pri.assists = fields.assists.value_or(0);
    pri.saves = fields.saves.value_or(0);
    pri.shots = fields.shots.value_or(0);
    pri.demolishes = fields.demolishes.value_or(0);
    pri.score = fields.score.value_or(0);

    if (!created_.insert(pri.ref).second) {
      if (ref) fail(member(path, "ref"), "duplicate player ref " + quote(pri.ref));
      fail(fields.name ? member(path, "name") : path,
           "duplicate player ref " + quote(pri.ref) +
               " (the ref defaults to the name; give this player a \"ref\")");
    }
    return pri;
  }

  // A ref of a PRI made at or before this step; it may have left the array since.
  std::string readRef(const Json& value, const std::string& path) const {
    std::string ref = readString(value, path);
    if (created_.count(ref) == 0) fail(path, "unknown player ref " + quote(ref));
    return ref;
  }

  // A word of a stat step's parameter block: absent and null both make a zero word.
  std::optional<std::string> readWord(const Object& body, std::string_view key,
                                      const std::string& path) const {
    const auto found = body.find(std::string(key));
    if (found == body.end() || found->second.is_null()) return std::nullopt;
    const std::string at = member(path, key);
    if (!found->second.is_string()) {
      fail(at, "expected a string or null, got " + got(found->second));
    }
    return key == "event" ? found->second.get<std::string>() : readRef(found->second, at);
  }

  // Rejects any key of `body` outside `allowed`.
  void onlyKeys(const Object& body, const std::string& path,
                std::initializer_list<std::string_view> allowed) const {
    for (const auto& entry : body) {
      bool known = false;
      for (const std::string_view name : allowed) known = known || entry.first == name;
      if (!known) unknownKey(path, entry.first);
    }
  }

  const Json& required(const Object& body, const std::string& path, const char* key) const {
    const auto found = body.find(key);
    if (found == body.end()) fail(path, "missing required key " + quote(key));
    return found->second;
  }

  Step readStep(const Json& value, const std::string& path) {
    const Object& outer = object(value, path);
    if (outer.size() != 1) {
      fail(path, "a step must have exactly one key, got " + std::to_string(outer.size()));
    }
    const std::string& name = outer.front().first;
    const Json& body = outer.front().second;
    const std::string at = member(path, name);

    if (name == "gameStarted" || name == "matchEnded" || name == "unload" || name == "load") {
      onlyKeys(object(body, at), at, {});
      if (name == "gameStarted") return GameStartedStep{};
      if (name == "matchEnded") return MatchEndedStep{};
      if (name == "unload") return UnloadStep{};
      return LoadStep{};
    }
    if (name == "statEvent") {
      const Object& words = object(body, at);
      onlyKeys(words, at, {"pri", "event"});
      return StatEventStep{readWord(words, "pri", at), readWord(words, "event", at)};
    }
    if (name == "statTicker") {
      const Object& words = object(body, at);
      onlyKeys(words, at, {"pri", "other", "event"});
      return StatTickerStep{readWord(words, "pri", at), readWord(words, "other", at),
                            readWord(words, "event", at)};
    }
    if (name == "rating") {
      const Object& fields = object(body, at);
      onlyKeys(fields, at, {"uniqueId", "playlist", "value"});
      RatingEntry rating;
      rating.uniqueId = readString(required(fields, at, "uniqueId"), member(at, "uniqueId"));
      rating.playlist = readInt32(required(fields, at, "playlist"), member(at, "playlist"));
      rating.value = readRating(required(fields, at, "value"), member(at, "value"));
      return RatingStep{rating};
    }
    if (name == "notify") {
      const Object& fields = object(body, at);
      onlyKeys(fields, at, {"uniqueId"});
      return NotifyStep{readString(required(fields, at, "uniqueId"), member(at, "uniqueId"))};
    }
    if (name == "world") return readWorldStep(body, at);
    if (name == "player") return readPlayerStep(body, at);
    if (name == "join") {
      JoinStep join;
      join.player = readNewPlayer(body, at, &join.at);
      const auto position = join.at ? static_cast<std::ptrdiff_t>(*join.at)
                                    : static_cast<std::ptrdiff_t>(array_.size());
      array_.insert(array_.begin() + position, join.player.ref);
      return join;
    }
    if (name == "leave") {
      LeaveStep leave{readRef(body, at)};
      const auto found = std::find(array_.begin(), array_.end(), leave.ref);
      if (found == array_.end()) fail(at, quote(leave.ref) + " is not in the array");
      array_.erase(found);
      return leave;
    }
    if (name == "order") return readOrder(body, at);
    if (name == "fail") {
      const Object& fields = object(body, at);
      onlyKeys(fields, at, {"call", "after"});
      const std::string callPath = member(at, "call");
      const std::string call = readString(required(fields, at, "call"), callPath);
      const std::optional<sim::Op> op = sim::opFromName(call);
      if (!op) fail(callPath, "unknown SDK operation " + quote(call));
      FailStep step;
      step.op = *op;
      if (const auto after = fields.find("after"); after != fields.end()) {
        step.after = static_cast<std::uint64_t>(readInt(after->second, member(at, "after"), 0));
      }
      return step;
    }
    fail(path, "unknown step " + quote(name));
  }

  WorldStep readWorldStep(const Json& body, const std::string& path) const {
    WorldStep step;
    for (const auto& [key, value] : object(body, path)) {
      if (readWorldField(step, key, value, member(path, key))) continue;
      if (key == "players") {
        fail(path, "\"players\" cannot change in a world step; use join, leave, order or player");
      }
      if (key == "ratings") fail(path, "\"ratings\" cannot change in a world step; use rating");
      unknownKey(path, key);
    }
    return step;
  }

  PlayerStep readPlayerStep(const Json& body, const std::string& path) const {
    const Object& fields = object(body, path);
    PlayerStep step;
    step.ref = readRef(required(fields, path, "ref"), member(path, "ref"));
    for (const auto& [key, value] : fields) {
      if (key != "ref" && !readPlayerField(step, key, value, member(path, key))) {
        unknownKey(path, key);
      }
    }
    return step;
  }

  OrderStep readOrder(const Json& body, const std::string& path) {
    const Json::array_t& list = array(body, path);
    OrderStep step;
    std::set<std::string, std::less<>> listed;
    for (std::size_t i = 0; i < list.size(); ++i) {
      const std::string at = element(path, i);
      std::string ref = readRef(list[i], at);
      if (std::find(array_.begin(), array_.end(), ref) == array_.end()) {
        fail(at, quote(ref) + " is not in the array");
      }
      if (!listed.insert(ref).second) fail(at, quote(ref) + " is listed twice");
      step.refs.push_back(std::move(ref));
    }
    for (const std::string& ref : array_) {
      if (listed.count(ref) == 0) fail(path, "the order leaves out " + quote(ref));
    }
    array_ = step.refs;
    return step;
  }

  const std::string& label_;
  const std::map<std::string, std::string>& longIntegers_;
  // Every ref made so far, and the refs in the PRI array as it stands after the step read last.
  std::set<std::string, std::less<>> created_;
  std::vector<std::string> array_;
};

std::string reason(const std::error_code& error) {
  if (error == std::errc::no_such_file_or_directory) return "no such file";
  if (error == std::errc::permission_denied) return "permission denied";
  if (error == std::errc::is_a_directory) return "it is a directory";
  std::string text = error.message();
  while (!text.empty() &&
         (text.back() == '.' || text.back() == ' ' || text.back() == '\n' || text.back() == '\r')) {
    text.pop_back();
  }
  if (text.size() > 1 && text[0] >= 'A' && text[0] <= 'Z' && text[1] >= 'a' && text[1] <= 'z') {
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  }
  return text.empty() ? "unknown error" : text;
}

[[noreturn]] void tooLarge(const std::string& label) {
  reject(label, "(file)",
         "file is larger than " + std::to_string(kMaxScenarioBytes / (1024 * 1024)) + " MiB");
}

}  // namespace

Scenario parseScenario(std::string_view text, const std::string& fileLabel) {
  const strict_json::Document document = strict_json::parse(text, fileLabel);
  return Reader(fileLabel, document.longIntegers).read(document.tree);
}

Scenario loadScenario(const std::filesystem::path& file) {
  const std::string label = file.string();
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(file, error);
  if (error) reject(label, "(file)", "cannot read: " + reason(error));
  if (std::filesystem::is_directory(status))
    reject(label, "(file)", "cannot read: it is a directory");
  if (std::filesystem::is_regular_file(status)) {
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (!error && size > kMaxScenarioBytes) tooLarge(label);
  }

  errno = 0;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    const int code = errno;
    reject(label, "(file)",
           "cannot read: " + (code != 0 ? reason(std::error_code(code, std::generic_category()))
                                        : "cannot open"));
  }
  // Bounded again while reading: the size can change, and pipes have none.
  std::string text;
  std::string chunk(std::size_t{1} << 16, '\0');
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxScenarioBytes) tooLarge(label);
  }
  if (in.bad()) reject(label, "(file)", "cannot read: read error");
  return parseScenario(text, label);
}

}  // namespace tallyrig::host

#include "scenario_generator.h"

#include <climits>
#include <cstdint>
#include <random>
#include <string_view>
#include <utility>
#include <vector>

#include "pluginsdk/sim/instrumentation.h"

namespace tallyrig::reliability {
namespace {

// Only the engine's raw output is used: the standard fixes it, unlike its distributions.
class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}

  std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : engine_() % n; }
  bool percent(unsigned p) { return below(100) < p; }
  std::int64_t between(std::int64_t low, std::int64_t high) {
    return low + static_cast<std::int64_t>(below(static_cast<std::uint64_t>(high - low) + 1));
  }
  template <typename T>
  const T& pick(const std::vector<T>& items) {
    return items[below(items.size())];
  }
  template <typename T>
  void shuffle(std::vector<T>& items) {
    for (std::size_t i = items.size(); i > 1; --i) std::swap(items[i - 1], items[below(i)]);
  }

 private:
  std::mt19937_64 engine_;
};

using Members = std::vector<std::pair<std::string, std::string>>;

// JSON text in the many ways a person or a tool may write it.
class Writer {
 public:
  explicit Writer(Random& random) : random_(random) {}

  std::string space() {
    const std::uint64_t roll = random_.below(100);
    if (roll < 70) return "";
    if (roll < 90) return " ";
    if (roll < 95) return "\n    ";
    if (roll < 98) return "\t";
    return "\r\n";
  }

  std::string string(std::string_view raw) {
    std::string out = "\"";
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const auto c = static_cast<unsigned char>(raw[i]);
      if (c == '"') {
        out += "\\\"";
      } else if (c == '\\') {
        out += "\\\\";
      } else if (c < 0x20) {
        const char* named = c == '\n'   ? "\\n"
                            : c == '\r' ? "\\r"
                            : c == '\t' ? "\\t"
                            : c == '\b' ? "\\b"
                            : c == '\f' ? "\\f"
                                        : nullptr;
        if (named != nullptr && random_.percent(70)) {
          out += named;
        } else {
          out += escape(c);
        }
      } else if (c == '/' && random_.percent(20)) {
        out += "\\/";
      } else if (c < 0x80) {
        out += random_.percent(4) ? escape(c) : std::string(1, static_cast<char>(c));
      } else {
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        if (random_.percent(15) && i + length <= raw.size()) {
          out += escapeCodePoint(raw.substr(i, length));
        } else {
          out.append(raw.substr(i, length));
        }
        i += length - 1;
      }
    }
    return out + "\"";
  }

  std::string object(Members members) {
    if (random_.percent(30)) random_.shuffle(members);
    std::string out = "{" + space();
    for (std::size_t i = 0; i < members.size(); ++i) {
      if (i > 0) out += "," + space();
      out += string(members[i].first) + space() + ":" + space() + members[i].second + space();
    }
    return out + "}";
  }

  std::string array(const std::vector<std::string>& items) {
    std::string out = "[" + space();
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (i > 0) out += "," + space();
      out += items[i] + space();
    }
    return out + "]";
  }

 private:
  std::string hex4(unsigned value) {
    const char* digits = random_.percent(50) ? "0123456789abcdef" : "0123456789ABCDEF";
    std::string out = "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += digits[(value >> shift) & 0xF];
    return out;
  }

  std::string escape(unsigned char c) { return hex4(c); }

  // A whole UTF-8 sequence as \u escapes, with a surrogate pair beyond the first plane.
  std::string escapeCodePoint(std::string_view bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned>(bytes[i]) & 0xFFu; };
    unsigned code = 0;
    if (bytes.size() == 2) code = ((byte(0) & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
    if (bytes.size() == 3) {
      code = ((byte(0) & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
    }
    if (bytes.size() == 4) {
      code = ((byte(0) & 0x07u) << 18) | ((byte(1) & 0x3Fu) << 12) | ((byte(2) & 0x3Fu) << 6) |
             (byte(3) & 0x3Fu);
    }
    if (code < 0x10000) return hex4(code);
    code -= 0x10000;
    return hex4(0xD800 + (code >> 10)) + hex4(0xDC00 + (code & 0x3FF));
  }

  Random& random_;
};

const std::vector<std::string> kNames = {
    "Ana",
    "Bo",
    "Cy",
    "Di",
    "",
    "Doe,Jane",
    "O'Neil",
    "say \"hi\"",
    "back\\slash",
    "tab\there",
    "two\nlines",
    "cr\rhere",
    "\xC3\x85sa",
    "\xE6\x97\xA5\xE6\x9C\xAC",
    "car \xF0\x9F\x9A\x97",
    "   ",
    "MMR is: 5",
    "TEAM COLOR",
    "Blue",
    "-1",
    "null",
    "a/b",
    "{}[]",
    "x,",
    "\xF0\x9D\x94\x98\xF0\x9D\x94\xAB",
};

const std::vector<std::string> kNamePieces = {
    "a",    "Z",  "9",  " ", ",", "\"",       "\\",           "|",
    "\t",   "\n", "\r", "_", "-", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x8E\xAE",
    "\x7F",
};

const std::vector<std::string> kEvents = {
    "Demolish", "Demolish", "Demolish", "Demolish",  "Goal", "Shot",       "Save",
    "EpicSave", "Assist",   "demolish", "Demolish ", "",     "Demolished", "\xC3\x9C",
};

const std::vector<std::int64_t> kPlaylists = {
    -2, -1, 0, 1, 2, 3, 4, 6, 10, 11, 11, 13, 13, 16, 27, 34, 35, 55, 56, -3, INT_MAX, INT_MIN,
};

const std::vector<std::string> kRatings = {
    "1204.5",        "1000",      "0",        "-0",    "-1",
    "1e3",           "1.5E+2",    "0.001",    "1e-40", "3.4028234e38",
    "-3.4028234e38", "1234.5678", "999999.4", "1e16",  "0.0",
};

// A name whose row, once line breaks read as spaces, never holds the field separator.
bool plain(const std::string& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == ',' && (text[i + 1] == ' ' || text[i + 1] == '\n' || text[i + 1] == '\r')) {
      return false;
    }
  }
  return true;
}

struct PriState {
  std::string ref;
  std::string name;
  int team = 0;
  std::string uniqueId;
  bool local = false;
  int goals = 0;
  int demolishes = 0;
};

class Generator {
 public:
  explicit Generator(std::uint64_t seed) : random_(seed), json_(random_) {}

  GeneratedScenario run() {
    out_.playerIds.insert("");
    Members top;
    top.emplace_back("version", "1");
    top.emplace_back("world", world());
    const int matches = static_cast<int>(random_.between(1, 3));
    for (int match = 0; match < matches; ++match) playMatch();
    top.emplace_back("steps", json_.array(steps_));
    if (random_.percent(20)) random_.shuffle(top);
    out_.json = (random_.percent(5) ? "\xEF\xBB\xBF" : "") + json_.space() + json_.object(top) +
                json_.space();
    out_.steps = steps_.size();
    out_.pris = pris_.size();
    return std::move(out_);
  }

 private:
  // Mostly small, sometimes negative, now and then at the ends of the range.
  int counter() {
    const std::uint64_t roll = random_.below(100);
    if (roll < 85) return static_cast<int>(random_.between(0, 6));
    if (roll < 93) return static_cast<int>(random_.between(-3, -1));
    static const std::vector<std::int64_t> extremes = {INT_MAX, INT_MIN, INT_MAX - 1, 1000000};
    return static_cast<int>(random_.pick(extremes));
  }

  std::string name() {
    for (;;) {
      std::string text;
      const std::uint64_t roll = random_.below(100);
      if (roll < 60) {
        text = random_.pick(kNames);
      } else if (roll < 95) {
        const auto length = random_.below(13);
        for (std::uint64_t i = 0; i < length; ++i) text += random_.pick(kNamePieces);
      } else {
        text = std::string(static_cast<std::size_t>(random_.between(200, 400)), 'w');
      }
      if (plain(text)) return text;
    }
  }

  std::string uniqueId() {
    const auto n = random_.between(1, 99999);
    switch (random_.below(8)) {
      case 0:
        return "Steam|765611980" + std::to_string(n) + "|0";
      case 1:
        return "Epic|" + std::to_string(n * 7919) + "ab|0";
      case 2:
        return "PS4|" + std::to_string(n) + "|0";
      case 3:
        return "";
      case 4:
        return "id with spaces " + std::to_string(n);
      case 5:
        return "\xC3\x9Cn\xC3\xAF|" + std::to_string(n) + "|0";
      case 6:
        return "x,y|" + std::to_string(n);
      default:
        return "Switch|" + std::to_string(n) + "|1";
    }
  }

  int team() {
    return random_.percent(90) ? static_cast<int>(random_.below(2))
                               : static_cast<int>(random_.below(256));
  }

  int playerId() {
    const std::uint64_t roll = random_.below(100);
    if (roll < 80 || pris_.empty()) return nextPlayerId_++;
    if (roll < 90) return playerIds_[random_.below(playerIds_.size())];
    static const std::vector<std::int64_t> edgeIds = {0, -1, INT_MAX, INT_MIN};
    return static_cast<int>(random_.pick(edgeIds));
  }

  std::string text(const std::string& raw) { return json_.string(raw); }
  static std::string integer(std::int64_t value) { return std::to_string(value); }
  static std::string boolean(bool value) { return value ? "true" : "false"; }

  void step(const std::string& action, const std::string& body) {
    steps_.push_back(json_.object({{action, body}}));
  }

  // A new PRI's members, for world.players or a join step.
  Members newPlayer(bool local) {
    PriState pri;
    pri.name = name();
    pri.team = team();
    pri.uniqueId = uniqueId();
    pri.local = local;
    Members members;
    const bool nameIsFreeRef = refs_.count(pri.name) == 0;
    if (nameIsFreeRef && random_.percent(40)) {
      pri.ref = pri.name;  // the ref defaults to the name
    } else {
      const bool plainRef = random_.percent(90);
      for (int n = 0; pri.ref.empty() || refs_.count(pri.ref) != 0; ++n) {
        const std::string number =
            std::to_string(pris_.size()) + (n > 0 ? "." + std::to_string(n) : "");
        pri.ref = plainRef ? "r" + number : "ref \"" + number + "\" \xE2\x9C\x93";
      }
      members.emplace_back("ref", text(pri.ref));
    }
    if (!pri.name.empty() || random_.percent(50)) members.emplace_back("name", text(pri.name));
    if (pri.team != 0 || random_.percent(50)) members.emplace_back("team", integer(pri.team));
    const int id = playerId();
    playerIds_.push_back(id);
    members.emplace_back("playerId", integer(id));
    if (!pri.uniqueId.empty() || random_.percent(50)) {
      members.emplace_back("uniqueId", text(pri.uniqueId));
    }
    if (local || random_.percent(20)) members.emplace_back("local", boolean(local));
    for (const char* key : {"goals", "assists", "saves", "shots", "demolishes", "score"}) {
      if (random_.percent(25)) {
        const int value = counter();
        if (std::string_view(key) == "goals") pri.goals = value;
        if (std::string_view(key) == "demolishes") pri.demolishes = value;
        members.emplace_back(key, integer(value));
      }
    }
    out_.playerIds.insert(pri.uniqueId);
    refs_.insert(pri.ref);
    pris_.push_back(pri);
    return members;
  }

  std::string ratingValue() {
    return random_.percent(70)
               ? integer(random_.between(600, 2000)) + "." + integer(random_.between(0, 99))
               : random_.pick(kRatings);
  }

  std::string world() {
    Members members;
    if (random_.percent(5)) members.emplace_back("online", boolean(random_.percent(30)));
    if (random_.percent(5)) members.emplace_back("gameState", boolean(random_.percent(30)));
    if (random_.percent(5)) members.emplace_back("playlistValid", boolean(random_.percent(30)));
    playlist_ = random_.pick(kPlaylists);
    if (playlist_ != 0 || random_.percent(50))
      members.emplace_back("playlistId", integer(playlist_));
    if (random_.percent(30)) {
      members.emplace_back("ratingPlaylist", integer(random_.pick(kPlaylists)));
    }
    const auto count = static_cast<std::size_t>(random_.percent(10) ? random_.between(0, 16)
                                                                    : random_.between(2, 8));
    const std::size_t local = random_.below(count + 2);  // sometimes nobody
    const std::size_t secondLocal = random_.percent(10) ? random_.below(count + 1) : count;
    std::vector<std::string> players;
    for (std::size_t i = 0; i < count; ++i) {
      players.push_back(json_.object(newPlayer(i == local || i == secondLocal)));
      array_.push_back(i);
    }
    if (!players.empty() || random_.percent(50))
      members.emplace_back("players", json_.array(players));
    Members ratings;
    std::set<std::string> rated;
    for (const PriState& pri : pris_) {
      if (!random_.percent(60) || !rated.insert(pri.uniqueId).second) continue;
      Members playlists;
      std::set<std::int64_t> keys = {playlist_};
      if (random_.percent(50)) keys.insert(11);
      if (random_.percent(20)) keys.insert(random_.pick(kPlaylists));
      for (const std::int64_t key : keys) playlists.emplace_back(integer(key), ratingValue());
      ratings.emplace_back(pri.uniqueId, json_.object(playlists));
    }
    if (!ratings.empty()) members.emplace_back("ratings", json_.object(ratings));
    return json_.object(members);
  }

  // A PRI ever created, in the array or not; empty when there is none.
  std::string anyRef() { return pris_.empty() ? "" : pris_[random_.below(pris_.size())].ref; }

  // A word of a stat step: a ref, null, or left out.
  void word(Members& members, const char* key, const std::string& value) {
    const std::uint64_t roll = random_.below(100);
    if (roll < 88 && !value.empty()) {
      members.emplace_back(key, text(value));
    } else if (roll < 94) {
      members.emplace_back(key, "null");
    }
  }

  void statEvent(const std::string& pri, const std::string& event) {
    Members members;
    word(members, "pri", pri);
    word(members, "event", event);
    step("statEvent", json_.object(members));
  }

  void statTicker(const std::string& pri, const std::string& other, const std::string& event) {
    Members members;
    word(members, "pri", pri);
    word(members, "other", other);
    word(members, "event", event);
    step("statTicker", json_.object(members));
  }

  void notify(const std::string& id) {
    out_.notifiedIds.insert(id);
    ++out_.notifications;
    step("notify", json_.object({{"uniqueId", text(id)}}));
  }

  void rating(const std::string& id) {
    out_.notifiedIds.insert(id);
    ++out_.notifications;
    const std::int64_t playlist = random_.percent(60) ? 11 : random_.pick(kPlaylists);
    step("rating",
         json_.object(
             {{"uniqueId", text(id)}, {"playlist", integer(playlist)}, {"value", ratingValue()}}));
  }

  std::string someId() {
    if (!pris_.empty() && random_.percent(85)) return pris_[random_.below(pris_.size())].uniqueId;
    return random_.percent(50) ? "nobody" : uniqueId();
  }

  // One of the things that happen around a match without being part of it.
  void disturbance() {
    switch (random_.below(12)) {
      case 0: {
        if (pris_.size() >= 16) return;
        Members members = newPlayer(random_.percent(10));
        if (random_.percent(70)) {
          const std::size_t at = random_.below(array_.size() + 1);
          members.emplace_back("at", integer(static_cast<std::int64_t>(at)));
          array_.insert(array_.begin() + static_cast<std::ptrdiff_t>(at), pris_.size() - 1);
        } else {
          array_.push_back(pris_.size() - 1);
        }
        step("join", json_.object(members));
        return;
      }
      case 1: {
        if (array_.empty()) return;
        const std::size_t at = random_.below(array_.size());
        step("leave", text(pris_[array_[at]].ref));
        array_.erase(array_.begin() + static_cast<std::ptrdiff_t>(at));
        return;
      }
      case 2: {
        random_.shuffle(array_);
        std::vector<std::string> refs;
        for (const std::size_t index : array_) refs.push_back(text(pris_[index].ref));
        step("order", json_.array(refs));
        return;
      }
      case 3: {
        Members members;
        const char* keys[] = {"online", "gameState", "playlistValid"};
        members.emplace_back(keys[random_.below(3)], boolean(random_.percent(40)));
        if (random_.percent(30)) {
          playlist_ = random_.pick(kPlaylists);
          members.emplace_back("playlistId", integer(playlist_));
        }
        if (random_.percent(10)) {
          members.emplace_back("ratingPlaylist", integer(random_.pick(kPlaylists)));
        }
        step("world", json_.object(members));
        // Mostly back to a valid game before long, so that matches do get recorded.
        if (random_.percent(80)) {
          step(
              "world",
              json_.object({{"online", "true"}, {"gameState", "true"}, {"playlistValid", "true"}}));
        }
        return;
      }
      case 4: {
        if (pris_.empty()) return;
        PriState& pri = pris_[random_.below(pris_.size())];
        Members members = {{"ref", text(pri.ref)}};
        if (random_.percent(40)) {
          pri.team = team();
          members.emplace_back("team", integer(pri.team));
        }
        if (random_.percent(30)) {
          pri.local = !pri.local;
          members.emplace_back("local", boolean(pri.local));
        }
        if (random_.percent(20)) {
          pri.name = name();
          members.emplace_back("name", text(pri.name));
        }
        if (random_.percent(15)) {
          pri.uniqueId = uniqueId();
          out_.playerIds.insert(pri.uniqueId);
          members.emplace_back("uniqueId", text(pri.uniqueId));
        }
        if (random_.percent(15)) members.emplace_back("playerId", integer(playerId()));
        step("player", json_.object(members));
        return;
      }
      case 5: {
        const auto op = static_cast<pluginsdk::sim::Op>(random_.below(pluginsdk::sim::kOpCount));
        Members members = {{"call", text(std::string(pluginsdk::sim::opName(op)))}};
        if (random_.percent(80)) {
          members.emplace_back("after",
                               integer(random_.percent(95) ? random_.between(0, 40) : INT_MAX));
        }
        step("fail", json_.object(members));
        ++out_.failSteps;
        return;
      }
      case 6:
        step("unload", json_.object({}));
        hookSets_ = 0;
        if (random_.percent(85)) {
          step("load", json_.object({}));
          hookSets_ = 1;
        }
        return;
      case 7:
        step("load", json_.object({}));
        ++hookSets_;
        return;
      case 8:
        notify(someId());
        return;
      case 9:
        rating(someId());
        return;
      case 10:
        statEvent(anyRef(), random_.pick(kEvents));
        return;
      default:
        statTicker(anyRef(), anyRef(), random_.pick(kEvents));
        return;
    }
  }

  // A player's counters move, then the game reports it.
  void play() {
    if (pris_.empty()) return;
    PriState& pri = pris_[random_.below(pris_.size())];
    Members members = {{"ref", text(pri.ref)}};
    const std::uint64_t roll = random_.below(100);
    if (roll < 45) {
      pri.goals = static_cast<int>(static_cast<unsigned>(pri.goals) + 1u);
      members.emplace_back("goals", integer(pri.goals));
      members.emplace_back("score", integer(random_.between(0, 999)));
      step("player", json_.object(members));
      statEvent(pri.ref, "Goal");
    } else if (roll < 70) {
      const std::string other = anyRef();
      if (random_.percent(70)) {
        pri.demolishes = static_cast<int>(static_cast<unsigned>(pri.demolishes) + 1u);
        members.emplace_back("demolishes", integer(pri.demolishes));
        step("player", json_.object(members));
      }
      statTicker(pri.ref, other, "Demolish");
    } else {
      const char* keys[] = {"assists", "saves", "shots", "score"};
      members.emplace_back(keys[random_.below(4)], integer(counter()));
      step("player", json_.object(members));
      statEvent(pri.ref, random_.pick(kEvents));
    }
  }

  void playMatch() {
    while (random_.percent(30)) disturbance();
    step("gameStarted", json_.object({}));
    const auto events = random_.between(2, 20);
    for (std::int64_t i = 0; i < events; ++i) {
      if (random_.percent(15)) {
        disturbance();
      } else {
        play();
      }
    }
    if (random_.percent(92)) {
      step("matchEnded", json_.object({}));
      out_.maxBlocks += hookSets_;
    }
    for (auto n = random_.below(4); n > 0; --n) {
      if (random_.percent(60)) {
        rating(someId());
      } else {
        notify(someId());
      }
    }
    // The next match starts from zero, as the game's counters do.
    if (random_.percent(70)) {
      for (PriState& pri : pris_) {
        if (pri.goals == 0 && pri.demolishes == 0) continue;
        pri.goals = 0;
        pri.demolishes = 0;
        step("player", json_.object({{"ref", text(pri.ref)}, {"goals", "0"}, {"demolishes", "0"}}));
      }
    }
  }

  Random random_;
  Writer json_;
  GeneratedScenario out_;
  std::vector<PriState> pris_;
  std::set<std::string> refs_;
  std::vector<int> playerIds_;
  std::vector<std::size_t> array_;
  std::vector<std::string> steps_;
  std::int64_t playlist_ = 0;
  int nextPlayerId_ = 1;
  std::size_t hookSets_ = 1;
};

}  // namespace

GeneratedScenario generateScenario(std::uint64_t seed) {
  return Generator(seed).run();
}

}  // namespace tallyrig::reliability

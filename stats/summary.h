#pragma once

// Whose statistics, which matches, and the figures the summary, the JSON file and the report
// show.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stats/history.h"

namespace tallyrig::stats {

struct Filters {
  std::optional<LocalDate> since;      // matches on or after this day
  std::optional<LocalDate> until;      // and on or before this one
  std::vector<std::string> playlists;  // any of them, by name, case-blind; none: every playlist
  std::optional<std::size_t> last;     // the player's latest so many of what the rest admit
  // What `last` leaves: the indices of those matches, sorted; set by keepLatest.
  std::optional<std::vector<std::uint32_t>> onlyMatches;
  bool admits(const History& history, const Match& match) const;
};

// Case-blind in ASCII letters, as playlist names are given on the command line.
bool sameName(std::string_view a, std::string_view b);

struct OwnerChoice {
  TextId player = 0;
  std::size_t firstRows = 0;  // blocks whose first row is the player's
};

// The id in the first row of the most blocks: the plugin writes the local player first, so
// this is whoever played the matches. On a tie, the id read first.
std::optional<OwnerChoice> chooseOwner(const History& history);

struct PlayerMatch {
  std::uint32_t match = 0;
  std::uint32_t row = 0;  // the player's first row in it
};

// The matches the filters admit in which the player has a row, oldest first; matches with the
// same timestamp stay in reading order.
std::vector<PlayerMatch> findPlayerMatches(const History& history, TextId player,
                                           const Filters& filters);

// With filters.last: keeps the latest so many of `matches` and makes the filters admit only
// those (the CSV export asks the filters, not the list).
void keepLatest(std::vector<PlayerMatch>& matches, const History& history, Filters& filters);

// -1 marks a row the game never filled and 0 a player whose rating was not read: only a
// finite value above 0 is a rating.
bool isRating(double mmr);

struct Streak {
  bool win = false;
  std::size_t length = 0;
  std::int64_t firstMinutes = 0;  // when its first and its latest match began
  std::int64_t latestMinutes = 0;
};

struct Figures {
  std::string label;  // the playlist, or "all"
  std::size_t matches = 0;
  std::size_t wins = 0;
  std::size_t losses = 0;
  std::int64_t goals = 0;
  std::int64_t assists = 0;
  std::int64_t saves = 0;
  std::int64_t shots = 0;
  std::int64_t demos = 0;
  std::int64_t score = 0;
  std::optional<double> firstMmr;
  std::optional<double> latestMmr;
  std::optional<double> mmrChange;
  std::optional<double> peakMmr;  // the highest rating, first reached at peakMinutes
  std::int64_t peakMinutes = 0;
  std::size_t longestWinStreak = 0;
  Streak longestWins;  // the first of the longest, if several are as long
  Streak longestLosses;
  Streak currentStreak;
  std::int64_t firstMinutes = 0;
  std::int64_t latestMinutes = 0;

  double winRate() const {
    return matches == 0 ? 0.0 : static_cast<double>(wins) / static_cast<double>(matches);
  }
  double perMatch(std::int64_t total) const;
  // Goals out of shots; nothing without a shot.
  std::optional<double> shootingRate() const;
};

struct RatingChange {
  std::string playlist;
  double change = 0;
};

// The latest matches that follow each other with gaps under an hour.
struct Session {
  std::int64_t firstMinutes = 0;
  std::int64_t latestMinutes = 0;
  std::size_t matches = 0;
  std::size_t wins = 0;
  std::size_t losses = 0;
  std::vector<RatingChange> ratingChanges;  // per playlist, where ratings are known
  std::optional<double> mmrChange;          // their sum
};

inline constexpr std::int64_t kSessionGapMinutes = 60;
inline constexpr std::size_t kRecentMatches = 20;

struct Summary {
  std::string player;
  std::string playerName;  // the name in the player's latest match
  Filters filters;
  std::vector<Figures> playlists;  // by name
  Figures overall;                 // ratings are per playlist: only the sum of their changes
  // The latest kRecentMatches as one, like overall: the moving average's latest value, beside
  // "all" for the trend. Only when there are more matches than that.
  std::optional<Figures> recent;
  std::optional<Session> lastSession;
};

Summary summarise(const History& history, TextId player, const Filters& filters,
                  const std::vector<PlayerMatch>& matches);

// The players met most often beside and against the player, with the player's results.
struct Companion {
  TextId playerId = 0;
  TextId name = 0;            // the latest name seen
  std::vector<TextId> names;  // every name seen, first seen first, at most kNamesKept
  std::size_t matches = 0;
  std::size_t wins = 0;
  std::size_t losses = 0;
};

inline constexpr std::size_t kNamesKept = 8;

struct Companions {
  std::vector<Companion> teamMates;
  std::vector<Companion> opponents;
};

// At most `limit` of each, most matches first, then by id.
Companions findCompanions(const History& history, TextId player,
                          const std::vector<PlayerMatch>& matches, std::size_t limit);

}  // namespace tallyrig::stats

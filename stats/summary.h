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
void keepLatest(std::vector<PlayerMatch>& matches, const Filters& filters);

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

// Matches that belong together: a session (gaps under an hour) or a calendar day.
struct Period {
  std::int64_t firstMinutes = 0;
  std::int64_t latestMinutes = 0;
  std::size_t matches = 0;
  std::size_t wins = 0;
  std::size_t losses = 0;
  // Per playlist, where ratings are known. A row holds the rating its match began with, so a
  // period's change runs from its first match's rating to the one the playlist's next match
  // began with (its latest match's, where none came later): the days' changes add up to the
  // playlist's.
  std::vector<RatingChange> ratingChanges;
  std::optional<double> mmrChange;  // their sum
};

enum class PeriodKind { Session, Day };

inline constexpr std::int64_t kSessionGapMinutes = 60;
inline constexpr std::size_t kRecentMatches = 20;
// The outputs list the latest so many sessions and days, and the trend at so many matches.
inline constexpr std::size_t kPeriodsKept = 1000;
inline constexpr std::size_t kTrendKept = 1000;
inline constexpr std::size_t kCompanionsKept = 15;

struct Periods {
  std::vector<Period> latest;  // the latest `most`, oldest first
  std::size_t total = 0;
};

Periods periodsOf(const History& history, const std::vector<PlayerMatch>& matches, PeriodKind kind,
                  std::size_t most);

// Shooting %, saves and assists per match as a moving average: at each match, over it and the
// kRecentMatches - 1 before it (over all of them before the kRecentMatches-th).
struct TrendPoint {
  std::int64_t minutes = 0;
  std::optional<double> shootingRate;  // nothing without a shot in the window
  double saves = 0;
  double assists = 0;
  std::int64_t goals = 0;  // the window's, of which shootingRate is the share
  std::int64_t shots = 0;
};

// The trend at matches[from] and every later match.
std::vector<TrendPoint> movingAverages(const History& history,
                                       const std::vector<PlayerMatch>& matches,
                                       std::size_t from = 0);

// A calendar day with matches, for the report's charts at the day, week and month.
struct ChartDay {
  std::int64_t day = 0;  // days since 1970-01-01
  std::size_t wins = 0;
  std::size_t losses = 0;
  TrendPoint trend;  // at the day's latest match
  // Each playlist's latest rating that day, by its index in History::playlists, the latest last.
  std::vector<std::pair<std::uint32_t, double>> ratings;
};

// A player met beside or against the player, as the outputs show them.
struct MetPlayer {
  std::string playerId;
  std::string name;                     // the latest name seen
  std::vector<std::string> otherNames;  // the others, first seen first
  std::size_t matches = 0;
  std::size_t wins = 0;  // the player's results in those matches
  std::size_t losses = 0;
  double winRate() const {
    return matches == 0 ? 0.0 : static_cast<double>(wins) / static_cast<double>(matches);
  }
};

struct PlaylistCompanions {
  std::string playlist;
  std::vector<MetPlayer> teamMates;
  std::vector<MetPlayer> opponents;
};

struct Summary {
  std::string player;
  std::string playerName;  // the name in the player's latest match
  Filters filters;
  std::vector<Figures> playlists;  // by name
  Figures overall;                 // ratings are per playlist: only the sum of their changes
  // The latest kRecentMatches as one, like overall: the moving average's latest value, beside
  // "all" for the trend. Only when there are more matches than that.
  std::optional<Figures> recent;
  Periods sessions;
  Periods days;
  // The moving average at the latest kTrendKept matches, oldest first.
  std::vector<TrendPoint> trend;
  // Every day with a match, oldest first.
  std::vector<ChartDay> everyDay;
  // The players met most often, per playlist by name, at most kCompanionsKept a side.
  std::vector<PlaylistCompanions> companions;

  // The latest session; nothing without a match.
  const Period* lastSession() const {
    return sessions.latest.empty() ? nullptr : &sessions.latest.back();
  }
};

Summary summarise(const History& history, TextId player, const Filters& filters,
                  const std::vector<PlayerMatch>& matches);

// Per playlist, by name: at most kCompanionsKept a side, most matches first, then by id, with
// their names.
std::vector<PlaylistCompanions> companionsPerPlaylist(const History& history, TextId player,
                                                      const std::vector<PlayerMatch>& matches);

}  // namespace tallyrig::stats

#include <fmt/format.h>

#include <algorithm>

#include "common/utf8.h"
#include "stats/outputs.h"

namespace tallyrig::stats {

std::string isoTime(std::int64_t minutes) {
  const LocalTime time = LocalTime::fromMinutes(minutes);
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}", time.year, time.month, time.day, time.hour,
                     time.minute);
}

std::string ratingText(double mmr) {
  return fmt::format("{:g}", mmr);
}

std::vector<std::string> figureCells(const Figures& figures) {
  const auto optional = [](const std::optional<double>& value, std::string_view format) {
    return value ? fmt::format(fmt::runtime(format), *value) : std::string(kUnknown);
  };
  return {shownText(figures.label),
          fmt::format("{}", figures.matches),
          fmt::format("{}", figures.wins),
          fmt::format("{}", figures.losses),
          fmt::format("{:.1f}%", figures.winRate() * 100),
          fmt::format("{:.2f}", figures.perMatch(figures.goals)),
          fmt::format("{:.2f}", figures.perMatch(figures.assists)),
          fmt::format("{:.2f}", figures.perMatch(figures.saves)),
          fmt::format("{:.2f}", figures.perMatch(figures.shots)),
          figures.shootingRate() ? fmt::format("{:.1f}%", *figures.shootingRate() * 100)
                                 : std::string(kUnknown),
          fmt::format("{:.2f}", figures.perMatch(figures.demos)),
          fmt::format("{:.1f}", figures.perMatch(figures.score)),
          optional(figures.firstMmr, "{:g}"),
          optional(figures.latestMmr, "{:g}"),
          optional(figures.peakMmr, "{:g}"),
          ratingChangeText(figures.mmrChange),
          fmt::format("{}", figures.longestWins.length),
          figures.currentStreak.length == 0
              ? std::string(kUnknown)
              : fmt::format("{}{}", figures.currentStreak.win ? 'W' : 'L',
                            figures.currentStreak.length)};
}

std::string playlistChanges(const Period& period) {
  std::string parts;
  for (const RatingChange& change : period.ratingChanges) {
    parts += fmt::format("{}{} {:+g}", parts.empty() ? "" : ", ", shownText(change.playlist),
                         change.change);
  }
  return parts;
}

std::string ratingChangeText(const std::optional<double>& change) {
  return change ? fmt::format("{:+g}", *change) : std::string(kUnknown);
}

std::string periodLabel(const Period& period, PeriodKind kind) {
  const std::string first = displayTime(period.firstMinutes);
  if (kind == PeriodKind::Day) return first.substr(0, 10);
  return fmt::format("{} to {}", first, displayTime(period.latestMinutes).substr(11));
}

std::string filtersText(const Filters& filters,
                        const std::function<std::string(std::string_view)>& playlistName) {
  std::string out;
  for (std::size_t i = 0; i < filters.playlists.size(); ++i) {
    out += (i == 0 ? ", playlist " : " or ") + playlistName(filters.playlists[i]);
  }
  if (filters.since) {
    const LocalDate& since = *filters.since;
    out += fmt::format(", since {:04}-{:02}-{:02}", since.year, since.month, since.day);
  }
  if (filters.last) out += fmt::format(", the latest {}", *filters.last);
  if (filters.until) {
    const LocalDate& until = *filters.until;
    out += fmt::format(", until {:04}-{:02}-{:02}", until.year, until.month, until.day);
  }
  return out;
}

std::string periodChange(const Period& period) {
  std::string text = ratingChangeText(period.mmrChange);
  // One playlist is named alone: its change is the figure before it.
  if (period.ratingChanges.size() == 1) {
    return fmt::format("{} ({})", text, shownText(period.ratingChanges.front().playlist));
  }
  const std::string parts = playlistChanges(period);
  if (!parts.empty()) text += fmt::format(" ({})", parts);
  return text;
}

namespace {
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// U+202A to U+202E (embeddings and overrides) and U+2066 to U+2069 (isolates): each reorders
// the text around it, so a name could disguise whose row is whose.
bool isDirectionOverride(std::string_view text) {
  if (text.size() < 3 || text[0] != '\xE2') return false;
  const auto second = static_cast<unsigned char>(text[1]);
  const auto third = static_cast<unsigned char>(text[2]);
  return (second == 0x80 && third >= 0xAA && third <= 0xAE) ||
         (second == 0x81 && third >= 0xA6 && third <= 0xA9);
}
}  // namespace

std::string validUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t bad = std::min(firstInvalidUtf8(text, i), text.size());
    out.append(text.substr(i, bad - i));
    if (bad == text.size()) break;
    // One replacement a byte: the next byte is read afresh as the start of a sequence.
    out.append(kReplacement);
    i = bad + 1;
  }
  return out;
}

std::string shownText(std::string_view text) {
  const std::string valid = validUtf8(text);
  std::string out;
  out.reserve(valid.size());
  for (std::size_t i = 0; i < valid.size(); ++i) {
    const auto c = static_cast<unsigned char>(valid[i]);
    // C1 controls, U+0080 to U+009F, are C2 80 to C2 9F in UTF-8.
    const bool c1 =
        c == 0xC2 && i + 1 < valid.size() && static_cast<unsigned char>(valid[i + 1]) <= 0x9F;
    if (c < 0x20 || c == 0x7F || c1) {
      out += kReplacement;
      if (c1) ++i;
    } else if (isDirectionOverride(std::string_view(valid).substr(i))) {
      out += kReplacement;
      i += 2;
    } else {
      out += valid[i];
    }
  }
  return out;
}

std::string displayTime(std::int64_t minutes) {
  return isoTime(minutes).replace(10, 1, " ");
}

std::string plural(std::size_t count, std::string_view one, std::string_view many) {
  return fmt::format("{} {}", count, count == 1 ? one : many);
}

}  // namespace tallyrig::stats

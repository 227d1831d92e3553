#include "stats/history.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

namespace tallyrig::stats {
namespace {

namespace fs = std::filesystem;

// A file full of garbage would otherwise bury everything else on the terminal.
constexpr std::size_t kWarningsShownPerFile = 20;
constexpr std::size_t kReadBytes = 1 << 16;

class BlockCollector final : public ReaderEvents {
 public:
  BlockCollector(History& history, const std::string& label, int year, std::string_view playlist,
                 const WarningSink& warn)
      : history_(history),
        label_(label),
        warn_(warn),
        year_(year),
        playlist_(history.playlistIndex(playlist)) {}

  ~BlockCollector() override {
    if (hidden_ > 0) warn_(fmt::format("{}: {} more problems not shown", label_, hidden_));
  }

  void blockStarted(std::size_t) override {
    current_ = Match{};
    current_.firstRow = static_cast<std::uint32_t>(history_.rows.size());
    current_.playlist = playlist_;
    current_.year = year_;
  }

  void rowRead(const RowFields& fields, std::size_t line) override {
    const std::int64_t minutes = fields.time.minutes();
    if (current_.rowCount == 0) {
      current_.minutes = minutes;
    } else if (minutes != current_.minutes) {
      warning(line, "the timestamp differs from the block's first row");
    }
    Row row;
    row.name = history_.intern(fields.name);
    row.playerId = history_.intern(fields.playerId);
    row.counters = fields.counters;
    row.teamGoals = fields.teamGoals;
    row.mmr = fields.mmr;
    row.colour = fields.colour;
    row.win = fields.win;
    history_.rows.push_back(row);
    ++current_.rowCount;
  }

  void blockEnded() override {
    if (current_.rowCount > 0) history_.matches.push_back(current_);
  }

  void warning(std::size_t line, std::string_view what) override {
    ++history_.warnings;
    if (shown_ < kWarningsShownPerFile) {
      ++shown_;
      warn_(fmt::format("{}:{}: {}", label_, line, what));
    } else {
      ++hidden_;
    }
  }

 private:
  History& history_;
  const std::string& label_;
  const WarningSink& warn_;
  int year_;
  std::uint32_t playlist_;
  Match current_;
  std::size_t shown_ = 0;
  std::size_t hidden_ = 0;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::unique_ptr<std::FILE, FileCloser> openForReading(const fs::path& path) {
#if defined(_WIN32)
  return std::unique_ptr<std::FILE, FileCloser>(_wfopen(path.c_str(), L"rb"));
#else
  return std::unique_ptr<std::FILE, FileCloser>(std::fopen(path.c_str(), "rb"));
#endif
}

bool isYearFolderName(const std::string& name) {
  return name.size() == 4 &&
         std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Entries of a folder sorted by name; a folder that cannot be listed is reported and skipped.
std::vector<fs::directory_entry> sortedEntries(const fs::path& folder, const WarningSink& warn) {
  std::vector<fs::directory_entry> entries;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    entries.push_back(*it);
  }
  // A missing folder holds no files; the caller says so once.
  if (error && error != std::errc::no_such_file_or_directory) {
    warn(fmt::format("{}: cannot list the folder: {}", displayPath(folder), error.message()));
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
  return entries;
}

// What an entry named .csv is when it is neither a file nor a folder.
std::string notAFile(const fs::directory_entry& entry) {
  std::error_code error;
  const fs::file_status status = fs::status(entry.path(), error);
  if (error == std::errc::too_many_symbolic_link_levels) return "a link that loops";
  if (fs::is_symlink(entry.symlink_status(error)) && !fs::exists(status)) {
    return "a link that leads to no file";
  }
  switch (status.type()) {
    case fs::file_type::fifo:
      return "a FIFO";
    case fs::file_type::block:
    case fs::file_type::character:
      return "a device";
    case fs::file_type::socket:
      return "a socket";
    default:
      return "not a regular file";
  }
}

}  // namespace

TextId History::intern(std::string_view text) {
  if (const auto found = textIds_.find(text); found != textIds_.end()) return found->second;
  const auto id = static_cast<TextId>(texts_.size());
  texts_.emplace_back(text);
  textIds_.emplace(texts_.back(), id);
  return id;
}

const TextId* History::find(std::string_view text) const {
  const auto found = textIds_.find(text);
  return found == textIds_.end() ? nullptr : &found->second;
}

std::uint32_t History::playlistIndex(std::string_view name) {
  const auto found = std::find(playlists.begin(), playlists.end(), name);
  if (found != playlists.end()) return static_cast<std::uint32_t>(found - playlists.begin());
  playlists.emplace_back(name);
  return static_cast<std::uint32_t>(playlists.size() - 1);
}

std::string displayPath(const fs::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

void readStatisticsText(std::string_view text, const std::string& label, int year,
                        std::string_view playlist, History& history, const WarningSink& warn) {
  BlockCollector collector(history, label, year, playlist, warn);
  StatisticsReader reader(collector);
  reader.feed(text);
  reader.finish();
}

std::vector<StatisticsFile> findStatisticsFiles(const fs::path& dataFolder,
                                                const WarningSink& warn) {
  std::vector<StatisticsFile> files;
  for (const fs::directory_entry& yearFolder : sortedEntries(dataFolder / "Tallyrig", warn)) {
    const std::string name = yearFolder.path().filename().string();
    std::error_code error;
    if (!yearFolder.is_directory(error)) continue;
    if (!isYearFolderName(name)) {
      warn(fmt::format("{}: not a year folder (four digits); skipped",
                       displayPath(yearFolder.path())));
      continue;
    }
    for (const fs::directory_entry& entry : sortedEntries(yearFolder.path(), warn)) {
      const std::u8string extension = entry.path().extension().u8string();
      const bool csv = extension == u8".csv";
      // Names are case-blind on Windows, where the plugin's own file may be spelt so.
      const auto lower = [&](std::size_t at) { return std::tolower(extension[at] & 0xFF); };
      const bool otherCase = !csv && extension.size() == 4 && extension[0] == '.' &&
                             lower(1) == 'c' && lower(2) == 's' && lower(3) == 'v';
      if (!csv && !otherCase) continue;
      if (entry.is_directory(error)) {
        warn(
            fmt::format("{}: a folder, not a statistics file; skipped", displayPath(entry.path())));
        continue;
      }
      if (!entry.is_regular_file(error)) {
        // Reading a FIFO or a device would wait for a writer or read without end.
        warn(fmt::format("{}: {}, not a statistics file; skipped", displayPath(entry.path()),
                         notAFile(entry)));
        continue;
      }
#if !defined(_WIN32)
      if (otherCase) {
        warn(
            fmt::format("{}: named {}, not .csv; skipped (on Windows, where names are "
                        "case-blind, it is read)",
                        displayPath(entry.path()), displayPath(entry.path().extension())));
        continue;
      }
#endif
      files.push_back({entry.path(), std::stoi(name), displayPath(entry.path().stem())});
    }
  }
  return files;
}

History readHistory(const std::vector<StatisticsFile>& files, const WarningSink& warn) {
  History history;
  std::string buffer(kReadBytes, '\0');
  for (const StatisticsFile& file : files) {
    const std::string label = displayPath(file.path);
    errno = 0;
    const auto stream = openForReading(file.path);
    if (!stream) {
      ++history.warnings;
      warn(fmt::format("{}: cannot open: {}", label,
                       std::error_code(errno, std::generic_category()).message()));
      continue;
    }
    BlockCollector collector(history, label, file.year, file.playlist, warn);
    StatisticsReader reader(collector);
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), stream.get())) > 0) {
      reader.feed(std::string_view(buffer.data(), got));
    }
    if (std::ferror(stream.get())) {
      ++history.warnings;
      warn(fmt::format("{}: a read failed; the rest of the file is skipped", label));
    }
    reader.finish();
    ++history.filesRead;
  }
  return history;
}

}  // namespace tallyrig::stats

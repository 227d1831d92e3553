#include "export/statistics_file.h"

#include <cerrno>
#include <charconv>
#include <system_error>

namespace {

constexpr std::string_view kPluginFolder = "Tallyrig";
constexpr std::string_view kHeader =
    "TEAM COLOR, NAME, GOALS, ASSISTS, SAVES, SHOTS, DEMOS, SCORE, MMR, TEAM GOALS, W/L, "
    "TIMESTAMP, PLAYERID\n";
constexpr std::string_view kSeparator = ", ";

void appendInteger(std::string& block, int value) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  block.append(digits, result.ptr);
}

// As printf's %g: six significant digits, locale-independent.
void appendRating(std::string& block, float value) {
  char digits[32];
  const auto result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 6);
  block.append(digits, result.ptr);
}

// A line break inside a name or id would start a new row; it becomes a space.
void appendText(std::string& block, std::string_view text) {
  for (const char c : text) block.push_back(c == '\r' || c == '\n' ? ' ' : c);
}

std::string describe(const std::error_code& error) {
  return error ? error.message() : std::string("unknown error");
}

std::string describeErrno(int number) {
  return describe(std::error_code(number, std::generic_category()));
}

std::string displayPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// An existing folder is fine; anything else of that name is in the way.
std::error_code createFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directory(folder, error);
  if (error) return error;
  if (!std::filesystem::is_directory(folder, error)) {
    return error ? error : std::make_error_code(std::errc::file_exists);
  }
  return {};
}

// The bytes a text-mode stream writes on this platform: CR LF for every line end on Windows.
// The translation is done here because the file is written through descriptors, which translate
// nothing.
std::string_view withPlatformLineEnds(std::string_view block, std::string& scratch) {
#if defined(_WIN32)
  scratch.clear();
  scratch.reserve(block.size() + block.size() / 16);
  for (const char c : block) {
    if (c == '\n') scratch.push_back('\r');
    scratch.push_back(c);
  }
  return scratch;
#else
  static_cast<void>(scratch);
  return block;
#endif
}

}  // namespace

void appendHeader(std::string& block) {
  block.append(kHeader);
}

void appendRow(std::string& block, const PlayerRecord& row, const ExportSide& side,
               std::string_view timestamp) {
  block.append(side.colour).append(kSeparator);
  appendText(block, row.name);
  block.append(kSeparator);
  for (const int value :
       {row.goals, row.assists, row.saves, row.shots, row.demolitions, row.score}) {
    appendInteger(block, value);
    block.append(kSeparator);
  }
  appendRating(block, row.mmr);
  block.append(kSeparator);
  appendInteger(block, side.teamGoals);
  block.append(kSeparator).append(side.result).append(kSeparator);
  block.append(timestamp).append(kSeparator);
  appendText(block, row.uniqueId);
  block.push_back('\n');
}

void appendBlockEnd(std::string& block) {
  block.append("\n\n");
}

bool StatisticsFile::open(const std::filesystem::path& dataFolder, const std::string& year,
                          const std::string& fileName) {
  const std::filesystem::path pluginFolder = dataFolder / kPluginFolder;
  const std::filesystem::path yearFolder = pluginFolder / year;
  path_ = yearFolder / fileName;
  // Both folders are there for every export but a year's first, so the file is tried first.
  // When that fails, for whatever reason, the folders are made in order and the first step that
  // fails is the one reported: a folder in the way is named, not the file behind it.
  if (file_.open(path_) == 0) return true;
  if (const std::error_code folderError = createFolder(pluginFolder)) {
    return fail("cannot create folder", pluginFolder, describe(folderError));
  }
  if (const std::error_code folderError = createFolder(yearFolder)) {
    return fail("cannot create folder", yearFolder, describe(folderError));
  }
  if (const int error = file_.open(path_); error != 0) {
    return fail("cannot open", path_, describeErrno(error));
  }
  return true;
}

bool StatisticsFile::append(std::string_view block) {
  std::string scratch;
  const int writeError = file_.write(withPlatformLineEnds(block, scratch));
  if (writeError != 0) {
    const AppendFile::Leftover leftover = file_.leftover();
    file_.close();
    std::string reason = describeErrno(writeError);
    if (leftover.bytes > 0) {
      reason.append("; the first ").append(std::to_string(leftover.bytes));
      reason.append(leftover.behindAnotherWriter
                        ? " bytes of the block stay in the file: another writer appended after them"
                        : " bytes of the block stay in the file: they could not be taken back");
    }
    return fail("cannot write", path_, reason);
  }
  return close();
}

bool StatisticsFile::close() {
  const int error = file_.close();
  return error == 0 || fail("cannot close", path_, describeErrno(error));
}

bool StatisticsFile::fail(std::string_view what, const std::filesystem::path& path,
                          const std::string& reason) {
  problem_ = "Tallyrig: ";
  problem_.append(what).append(" \"").append(displayPath(path)).append("\": ").append(reason);
  return false;
}

#include "export/statistics_file.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <system_error>

namespace {

constexpr std::string_view kPluginFolder = "Tallyrig";
constexpr std::string_view kFileEnding = ".csv";

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

// The parts of the file's path are plain ASCII, so they widen character by character where the
// platform spells paths in wide characters.
std::filesystem::path::value_type* putPart(std::filesystem::path::value_type* at,
                                           std::string_view part) {
  if constexpr (sizeof(std::filesystem::path::value_type) == 1) {
    std::memcpy(at, part.data(), part.size());
    return at + part.size();
  } else {
    for (const char c : part) *at++ = static_cast<std::filesystem::path::value_type>(c);
    return at;
  }
}

}  // namespace

bool StatisticsFile::open(const std::filesystem::path& dataFolder, std::string_view year,
                          std::string_view playlist) {
  // Joined as the path's operator/ joins: a separator only after a part that names something.
  // Built in place, on the heap only when it is long.
  constexpr auto separator = std::filesystem::path::preferred_separator;
  const auto& root = dataFolder.native();
  const bool rootSeparator = dataFolder.has_filename();
  const std::size_t length = root.size() + (rootSeparator ? 1 : 0) + kPluginFolder.size() + 1 +
                             year.size() + 1 + playlist.size() + kFileEnding.size();
  std::filesystem::path::value_type* at = localPath_;
  if (length >= std::size(localPath_)) {
    longPath_.assign(length + 1, 0);
    at = longPath_.data();
  }
  path_ = {at, length};
  at = std::copy(root.begin(), root.end(), at);
  if (rootSeparator) *at++ = separator;
  at = putPart(at, kPluginFolder);
  pluginFolderLength_ = static_cast<std::size_t>(at - path_.data());
  *at++ = separator;
  at = putPart(at, year);
  yearFolderLength_ = static_cast<std::size_t>(at - path_.data());
  *at++ = separator;
  at = putPart(putPart(at, playlist), kFileEnding);
  *at = 0;

  // Both folders are there for every export but a year's first, so the file is tried first.
  // When that fails, for whatever reason, the folders are made in order and the first step that
  // fails is the one reported: a folder in the way is named, not the file behind it.
  if (file_.open(path_.data()) == 0) return true;
  if (const std::error_code error = createFolder(prefix(pluginFolderLength_))) {
    return fail("cannot create folder", prefix(pluginFolderLength_), describe(error));
  }
  if (const std::error_code error = createFolder(prefix(yearFolderLength_))) {
    return fail("cannot create folder", prefix(yearFolderLength_), describe(error));
  }
  if (const int error = file_.open(path_.data()); error != 0) {
    return fail("cannot open", prefix(path_.size()), describeErrno(error));
  }
  return true;
}

bool StatisticsFile::append(std::string_view block) {
  const int writeError = file_.write(block);
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
    return fail("cannot write", prefix(path_.size()), reason);
  }
  return close();
}

bool StatisticsFile::close() {
  const int error = file_.close();
  return error == 0 || fail("cannot close", prefix(path_.size()), describeErrno(error));
}

std::filesystem::path StatisticsFile::prefix(std::size_t length) const {
  return std::filesystem::path(path_.substr(0, length));
}

bool StatisticsFile::fail(std::string_view what, const std::filesystem::path& path,
                          const std::string& reason) {
  problem_ = "Tallyrig: ";
  problem_.append(what).append(" \"").append(displayPath(path)).append("\": ").append(reason);
  return false;
}

#include "export/statistics_file.h"

#include <cerrno>
#include <system_error>

namespace {

constexpr std::string_view kPluginFolder = "Tallyrig";

std::string describe(const std::error_code& error) {
  return error ? error.message() : std::string("unknown error");
}

// The two reasons another program gives us, in words of their own: the runtimes' texts for
// these values say nothing of a program, or nothing at all.
std::string describeErrno(int number) {
  if (number == EWOULDBLOCK) return "another writer holds its lock";
  if (number == EBUSY) return "another program holds it open against writers";
  return describe(std::error_code(number, std::generic_category()));
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

}  // namespace

std::string displayPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

bool StatisticsFile::open(const std::filesystem::path& dataFolder, std::string_view year,
                          const std::string& fileName) {
  const std::filesystem::path pluginFolder = dataFolder / kPluginFolder;
  const std::filesystem::path yearFolder = pluginFolder / year;
  path_ = yearFolder / fileName;
  // Both folders are there for every export but a year's first, so the file is tried first.
  // When that fails, for whatever reason, the folders are made in order and the first step that
  // fails is the one reported: a folder in the way is named, not the file behind it.
  if (file_.open(path_) != 0) {
    if (const std::error_code error = createFolder(pluginFolder)) {
      return fail("cannot create folder", pluginFolder, describe(error));
    }
    if (const std::error_code error = createFolder(yearFolder)) {
      return fail("cannot create folder", yearFolder, describe(error));
    }
    if (const int error = file_.open(path_); error != 0) {
      return fail("cannot open", path_, describeErrno(error));
    }
  }
  if (const int error = file_.lock(); error != 0) {
    file_.close();
    return fail("cannot lock", path_, describeErrno(error));
  }
  return true;
}

bool StatisticsFile::append(std::string_view block) {
  const int writeError = file_.write(block);
  if (writeError == 0) return true;
  const AppendFile::Leftover leftover = file_.leftover();
  file_.close();
  leftover_ = leftover.bytes;
  std::string reason = describeErrno(writeError);
  if (leftover.bytes > 0) {
    reason.append("; the first ").append(std::to_string(leftover.bytes));
    reason.append(leftover.behindAnotherWriter
                      ? " bytes of the block stay in the file: another writer appended after them"
                      : " bytes of the block stay in the file: they could not be taken back");
  }
  return fail("cannot write", path_, reason);
}

bool StatisticsFile::close() {
  const int error = file_.close();
  return error == 0 || fail("cannot close", path_, describeErrno(error));
}

bool StatisticsFile::fail(std::string_view what, const std::filesystem::path& path,
                          const std::string& reason) {
  problemIsAFolder_ = path != path_;
  problem_ = "Tallyrig: ";
  problem_.append(what).append(" \"").append(displayPath(path)).append("\": ").append(reason);
  return false;
}

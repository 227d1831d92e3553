#if !defined(_WIN32)

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "stats/output_guard_system.h"

namespace tallyrig::stats {
namespace {

namespace fs = std::filesystem;

std::string errnoText(int code) {
  return std::error_code(code, std::generic_category()).message();
}

struct HandleCloser {
  int handle = -1;
  ~HandleCloser() {
    if (handle >= 0) close(handle);
  }
};

FileIdentity identityOf(const struct stat& status) {
  FileIdentity identity;
  identity.volume = static_cast<std::uint64_t>(status.st_dev);
  identity.fileLow = static_cast<std::uint64_t>(status.st_ino);
  return identity;
}

}  // namespace

namespace os {

bool isOpen(Handle handle) {
  return handle >= 0;
}

void closeHandle(Handle handle) {
  close(handle);
}

Handle openFolder(const fs::path& folder, std::string& error) {
  const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) error = errno == ENOTDIR ? "not a folder" : errnoText(errno);
  return handle;
}

std::optional<FileIdentity> identityOf(Handle handle, bool* isFolder, std::string& error) {
  struct stat status {};
  if (fstat(handle, &status) != 0) {
    error = errnoText(errno);
    return std::nullopt;
  }
  if (isFolder != nullptr) *isFolder = S_ISDIR(status.st_mode);
  return stats::identityOf(status);
}

std::optional<FileIdentity> identityInFolder(Handle folder, const fs::path& name) {
  struct stat status {};
  if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return stats::identityOf(status);
}

std::optional<FileIdentity> linkedFolder(Handle folder, const fs::path& name) {
  struct stat status {};
  if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISLNK(status.st_mode)) {
    return std::nullopt;
  }
  std::array<char, 4096> text{};
  const ssize_t length = readlinkat(folder, name.c_str(), text.data(), text.size() - 1);
  if (length <= 0) return std::nullopt;
  const fs::path destination(std::string(text.data(), static_cast<std::size_t>(length)));
  const fs::path above = splitOutputPath(destination).first;
  // Relative to the link's own folder, as the link is read.
  HandleCloser linked{openat(folder, above.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (linked.handle < 0) return std::nullopt;
  std::string error;
  return identityOf(linked.handle, nullptr, error);
}

bool writeAll(Handle handle, const char* data, std::size_t size, std::string& error) {
  while (size > 0) {
    const ssize_t written = ::write(handle, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = errnoText(written < 0 ? errno : EIO);
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

Temporary::Temporary(Handle folder, const std::function<std::uint64_t()>& random,
                     std::string& error)
    : folder_(folder) {
  for (unsigned attempt = 0; attempt < kTemporaryAttempts && file_ < 0; ++attempt) {
    name_ = temporaryName(random());
    file_ =
        openat(folder_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (file_ < 0 && errno != EEXIST) break;
  }
  if (file_ < 0) error = errnoText(errno);
}

Temporary::~Temporary() {
  if (file_ >= 0) close(file_);
}

// Closing is where some file systems report a failed write.
bool Temporary::finish(std::string& error) {
  const int file = file_;
  file_ = -1;
  if (close(file) == 0) return true;
  error = errnoText(errno);
  return false;
}

void Temporary::discard() {
  unlinkat(folder_, name_.c_str(), 0);
}

bool Temporary::renameTo(const fs::path& name, std::string& error) {
  if (renameat(folder_, name_.c_str(), folder_, name.c_str()) == 0) return true;
  error = errnoText(errno);
  return false;
}

}  // namespace os

FolderScan scanFolder(const fs::path& folder) {
  FolderScan scan;
  HandleCloser handle{open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (handle.handle < 0) {
    scan.missing = errno == ENOENT || errno == ENOTDIR;
    scan.error = errno == ENOTDIR ? "not a folder" : errnoText(errno);
    return scan;
  }
  scan.identity = os::identityOf(handle.handle, nullptr, scan.error);
  if (!scan.identity) return scan;
  const int listing = dup(handle.handle);
  DIR* entries = listing < 0 ? nullptr : fdopendir(listing);
  if (entries == nullptr) {
    scan.error = errnoText(errno);
    if (listing >= 0) close(listing);
    return scan;
  }
  errno = 0;
  while (const dirent* entry = readdir(entries)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat status {};
    if (fstatat(handle.handle, name.c_str(), &status, 0) != 0) {
      const int cause = errno;
      struct stat link {};
      const bool isLink = fstatat(handle.handle, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISLNK(link.st_mode);
      // A link that leads nowhere is no folder; anything else unreadable may be one, and its own
      // scan says why it cannot be read.
      if (!(isLink && (cause == ENOENT || cause == ELOOP || cause == ENOTDIR))) {
        scan.folders.push_back(folder / name);
      }
    } else if (S_ISDIR(status.st_mode)) {
      scan.folders.push_back(folder / name);
    } else if (S_ISREG(status.st_mode)) {
      scan.files.emplace_back(identityOf(status), folder / name);
    }
    errno = 0;
  }
  const int readError = errno;
  closedir(entries);
  if (readError != 0) {
    scan.error = errnoText(readError);
    return scan;
  }
  scan.listed = true;
  return scan;
}

}  // namespace tallyrig::stats

#endif

#include "export/append_file.h"

#include <cerrno>
#include <climits>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#if defined(_WIN32)
HANDLE asHandle(AppendFile::Handle file) {
  return reinterpret_cast<HANDLE>(file);
}

// The errno value of the last failed Windows call; a sharing violation (a program that holds
// the file open against writers) is EBUSY, a lock held by another writer EWOULDBLOCK.
int failWithLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
      errno = EACCES;
      break;
    case ERROR_SHARING_VIOLATION:
      errno = EBUSY;
      break;
    case ERROR_LOCK_VIOLATION:
    case ERROR_IO_PENDING:
      errno = EWOULDBLOCK;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      errno = ENOSPC;
      break;
    case ERROR_WRITE_PROTECT:
      errno = EROFS;
      break;
    case ERROR_FILENAME_EXCED_RANGE:
      errno = ENAMETOOLONG;
      break;
    case ERROR_INVALID_HANDLE:
      errno = EBADF;
      break;
    default:
      errno = EIO;
  }
  return -1;
}

AppendFile::Handle openForAppend(const std::filesystem::path::value_type* path) {
  // Reading is asked for only because LockFileEx needs it; the handle never reads.
  const HANDLE file =
      CreateFileW(path, FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return failWithLastError();
  return reinterpret_cast<AppendFile::Handle>(file);
}
// One byte at the top of the signed offsets stands for the whole file: no append reaches it, so
// readers and writers that take no lock are never stopped by it.
OVERLAPPED lockedRange() {
  OVERLAPPED range{};
  range.Offset = 0xFFFFFFFEu;
  range.OffsetHigh = 0x7FFFFFFFu;
  return range;
}
int lockFile(AppendFile::Handle file) {
  OVERLAPPED range = lockedRange();
  if (LockFileEx(asHandle(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                 &range)) {
    return 0;
  }
  return failWithLastError();
}
long long writeSome(AppendFile::Handle file, const char* bytes, std::size_t count) {
  const DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
  DWORD written = 0;
  if (!WriteFile(asHandle(file), bytes, chunk, &written, nullptr)) return failWithLastError();
  return written;
}
std::optional<std::uint64_t> lengthOf(AppendFile::Handle file) {
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(asHandle(file), &length) || length.QuadPart < 0) return std::nullopt;
  return static_cast<std::uint64_t>(length.QuadPart);
}
std::optional<std::uint64_t> positionOf(AppendFile::Handle file) {
  LARGE_INTEGER position{};
  if (!SetFilePointerEx(asHandle(file), LARGE_INTEGER{}, &position, FILE_CURRENT) ||
      position.QuadPart < 0) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(position.QuadPart);
}
// An append-only handle may not set the end, so a second handle to the same open file does it.
int truncateTo(AppendFile::Handle file, std::uint64_t length) {
  const HANDLE writer = ReOpenFile(asHandle(file), FILE_WRITE_DATA,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
  if (writer == INVALID_HANDLE_VALUE) return failWithLastError();
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
  const bool cut = SetFileInformationByHandle(writer, FileEndOfFileInfo, &end, sizeof end);
  const int result = cut ? 0 : failWithLastError();
  CloseHandle(writer);
  return result;
}
int closeFile(AppendFile::Handle file) {
  // The lock goes at once, not whenever the system gets round to it after the close.
  OVERLAPPED range = lockedRange();
  UnlockFileEx(asHandle(file), 0, 1, 0, &range);
  return CloseHandle(asHandle(file)) ? 0 : failWithLastError();
}
#else
AppendFile::Handle openForAppend(const std::filesystem::path::value_type* path) {
  return ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
}
int lockFile(AppendFile::Handle file) {
  return ::flock(static_cast<int>(file), LOCK_EX | LOCK_NB);
}
long long writeSome(AppendFile::Handle file, const char* bytes, std::size_t count) {
  return ::write(static_cast<int>(file), bytes, count);
}
std::optional<std::uint64_t> lengthOf(AppendFile::Handle file) {
  struct stat status {};
  if (::fstat(static_cast<int>(file), &status) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}
std::optional<std::uint64_t> positionOf(AppendFile::Handle file) {
  const off_t position = ::lseek(static_cast<int>(file), 0, SEEK_CUR);
  if (position < 0) return std::nullopt;
  return static_cast<std::uint64_t>(position);
}
int truncateTo(AppendFile::Handle file, std::uint64_t length) {
  return ::ftruncate(static_cast<int>(file), static_cast<off_t>(length));
}
// Closing the last descriptor of the open file releases the lock.
int closeFile(AppendFile::Handle file) {
  return ::close(static_cast<int>(file));
}
#endif

constexpr AppendFile::SystemCalls kPlatformCalls = {
    openForAppend, lockFile, writeSome, lengthOf, positionOf, truncateTo, closeFile,
};

const AppendFile::SystemCalls* systemCalls = &kPlatformCalls;

// The error of a call that failed and said so; a failure that left errno unset is an I/O error.
int lastError() {
  return errno != 0 ? errno : EIO;
}

}  // namespace

const AppendFile::SystemCalls& AppendFile::platformCalls() {
  return kPlatformCalls;
}

const AppendFile::SystemCalls& AppendFile::replaceSystemCalls(const SystemCalls& calls) {
  const SystemCalls& previous = *systemCalls;
  systemCalls = &calls;
  return previous;
}

AppendFile::~AppendFile() {
  close();
}

int AppendFile::open(const std::filesystem::path& path) {
  close();
  errno = 0;
  file_ = systemCalls->open(path.c_str());
  return file_ < 0 ? lastError() : 0;
}

int AppendFile::lock() {
  if (file_ < 0) return EBADF;
  errno = 0;
  return systemCalls->lock(file_) != 0 ? lastError() : 0;
}

int AppendFile::write(std::string_view bytes) {
  leftover_ = {};
  if (file_ < 0) return EBADF;
  std::uint64_t written = 0;
  // Where our last part ended, asked only after a part that left some of the block unwritten,
  // so a write that succeeds at once costs no extra call.
  std::optional<std::uint64_t> end;
  bool together = true;  // every part began where the one before ended
  while (written < bytes.size()) {
    errno = 0;
    const long long count =
        systemCalls->write(file_, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      // A write that took nothing without a failure sets no errno.
      const int error = count == 0 ? EIO : lastError();
      if (written > 0) takeBack(written, end, together);
      return error;
    }
    written += static_cast<std::uint64_t>(count);
    if (written < bytes.size()) {
      const std::optional<std::uint64_t> partEnd = systemCalls->position(file_);
      const auto part = static_cast<std::uint64_t>(count);
      together = together && partEnd && *partEnd >= part && (!end || *partEnd - part == *end);
      end = partEnd;
    }
  }
  return 0;
}

// Our bytes are cut only when they are provably ours and the file's last ones: they lie together
// and the file ends where our last part ended. The lock keeps other Tallyrigs from appending
// between that check and the cut.
void AppendFile::takeBack(std::uint64_t written, std::optional<std::uint64_t> end, bool together) {
  const std::optional<std::uint64_t> length = systemCalls->length(file_);
  if (!end || !length || *end < written) {
    leftover_ = {written, false};
  } else if (!together || *end != *length) {
    leftover_ = {written, true};
  } else if (systemCalls->truncate(file_, *end - written) != 0) {
    leftover_ = {written, false};
  }
}

int AppendFile::close() {
  if (file_ < 0) return 0;
  errno = 0;
  const int result = systemCalls->close(file_);
  file_ = -1;
  return result != 0 ? lastError() : 0;
}

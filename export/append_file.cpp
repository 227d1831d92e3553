#include "export/append_file.h"

#include <cerrno>
#include <climits>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#if defined(_WIN32)
int openForAppend(const std::filesystem::path::value_type* path) {
  return _wopen(path, _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                _S_IREAD | _S_IWRITE);
}
long long writeSome(int descriptor, const char* bytes, std::size_t count) {
  const unsigned chunk = count > INT_MAX ? INT_MAX : static_cast<unsigned>(count);
  return _write(descriptor, bytes, chunk);
}
std::optional<std::uint64_t> lengthOf(int descriptor) {
  const long long length = _filelengthi64(descriptor);
  if (length < 0) return std::nullopt;
  return static_cast<std::uint64_t>(length);
}
std::optional<std::uint64_t> positionOf(int descriptor) {
  const long long position = _telli64(descriptor);
  if (position < 0) return std::nullopt;
  return static_cast<std::uint64_t>(position);
}
int truncateTo(int descriptor, std::uint64_t length) {
  const errno_t error = _chsize_s(descriptor, static_cast<long long>(length));
  if (error == 0) return 0;
  errno = error;
  return -1;
}
int closeDescriptor(int descriptor) {
  return _close(descriptor);
}
#else
int openForAppend(const std::filesystem::path::value_type* path) {
  return ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
}
long long writeSome(int descriptor, const char* bytes, std::size_t count) {
  return ::write(descriptor, bytes, count);
}
std::optional<std::uint64_t> lengthOf(int descriptor) {
  struct stat status {};
  if (::fstat(descriptor, &status) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}
std::optional<std::uint64_t> positionOf(int descriptor) {
  const off_t position = ::lseek(descriptor, 0, SEEK_CUR);
  if (position < 0) return std::nullopt;
  return static_cast<std::uint64_t>(position);
}
int truncateTo(int descriptor, std::uint64_t length) {
  return ::ftruncate(descriptor, static_cast<off_t>(length));
}
int closeDescriptor(int descriptor) {
  return ::close(descriptor);
}
#endif

constexpr AppendFile::SystemCalls kPlatformCalls = {
    openForAppend, writeSome, lengthOf, positionOf, truncateTo, closeDescriptor,
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
  descriptor_ = systemCalls->open(path.c_str());
  return descriptor_ < 0 ? lastError() : 0;
}

int AppendFile::write(std::string_view bytes) {
  leftover_ = {};
  if (descriptor_ < 0) return EBADF;
  std::uint64_t written = 0;
  while (written < bytes.size()) {
    errno = 0;
    const long long count =
        systemCalls->write(descriptor_, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      // A write that took nothing without a failure sets no errno.
      const int error = count == 0 ? EIO : lastError();
      if (written > 0) takeBack(written);
      return error;
    }
    written += static_cast<std::uint64_t>(count);
  }
  return 0;
}

// Our bytes are the file's last ones only if the file ends where our last write ended; the
// file is shared without a lock, so anything after that is another writer's and must stay. The
// positions are asked only now, so a write that succeeds costs no extra call.
void AppendFile::takeBack(std::uint64_t written) {
  const std::optional<std::uint64_t> end = systemCalls->position(descriptor_);
  const std::optional<std::uint64_t> length = systemCalls->length(descriptor_);
  if (!end || !length || *end < written) {
    leftover_ = {written, false};
  } else if (*end != *length) {
    leftover_ = {written, true};
  } else if (systemCalls->truncate(descriptor_, *end - written) != 0) {
    leftover_ = {written, false};
  }
}

int AppendFile::close() {
  if (descriptor_ < 0) return 0;
  errno = 0;
  const int result = systemCalls->close(descriptor_);
  descriptor_ = -1;
  return result != 0 ? lastError() : 0;
}

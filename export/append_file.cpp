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
int openForAppend(const std::filesystem::path& path) {
  return _wopen(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT,
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
void cutTo(int descriptor, std::uint64_t length) {
  _chsize_s(descriptor, static_cast<long long>(length));
}
int closeDescriptor(int descriptor) {
  return _close(descriptor);
}
#else
int openForAppend(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
}
long long writeSome(int descriptor, const char* bytes, std::size_t count) {
  return ::write(descriptor, bytes, count);
}
std::optional<std::uint64_t> lengthOf(int descriptor) {
  struct stat status {};
  if (::fstat(descriptor, &status) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}
void cutTo(int descriptor, std::uint64_t length) {
  [[maybe_unused]] const int ignored = ::ftruncate(descriptor, static_cast<off_t>(length));
}
int closeDescriptor(int descriptor) {
  return ::close(descriptor);
}
#endif

int lastError() {
  return errno != 0 ? errno : EIO;
}

}  // namespace

AppendFile::~AppendFile() {
  close();
}

int AppendFile::open(const std::filesystem::path& path) {
  close();
  errno = 0;
  descriptor_ = openForAppend(path);
  return descriptor_ < 0 ? lastError() : 0;
}

std::optional<std::uint64_t> AppendFile::size() const {
  if (descriptor_ < 0) return std::nullopt;
  return lengthOf(descriptor_);
}

int AppendFile::write(std::string_view bytes) {
  if (descriptor_ < 0) return EBADF;
  std::uint64_t written = 0;
  while (written < bytes.size()) {
    errno = 0;
    const long long count = writeSome(descriptor_, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      const int error = lastError();
      // The length before the write is worked out only now, so a write that succeeds costs no
      // extra call.
      const std::optional<std::uint64_t> length = size();
      if (written > 0 && length && *length >= written) cutTo(descriptor_, *length - written);
      return error;
    }
    written += static_cast<std::uint64_t>(count);
  }
  return 0;
}

int AppendFile::close() {
  if (descriptor_ < 0) return 0;
  errno = 0;
  const int result = closeDescriptor(descriptor_);
  descriptor_ = -1;
  return result != 0 ? lastError() : 0;
}

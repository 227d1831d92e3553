#include "stats/output_guard.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <cwctype>
#include <deque>
#include <ostream>
#include <random>
#include <streambuf>
#include <system_error>

#include "stats/history.h"

#if defined(_WIN32)
#include <windows.h>
#include <winternl.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

namespace tallyrig::stats {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kTemporaryAttempts = 16;

std::uint64_t fromRandomDevice() {
  try {
    std::random_device device;
    return (std::uint64_t{device()} << 32) ^ device();
  } catch (const std::exception&) {
    // Still unlikely to be guessed, and the file is created exclusively whatever its name.
    return static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
  }
}

bool knownFolder(const ProtectedTree& tree, const FileIdentity& identity) {
  return std::any_of(tree.folders.begin(), tree.folders.end(),
                     [&](const auto& folder) { return folder.first == identity; });
}

#if defined(_WIN32)

using Handle = HANDLE;

std::string windowsError(DWORD code) {
  return std::system_category().message(static_cast<int>(code));
}

struct HandleCloser {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~HandleCloser() {
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr) CloseHandle(handle);
  }
};

// Volume and file id as FILE_ID_INFO gives them; the older 64-bit form where that is missing.
struct VolumeAndFileId {
  ULONGLONG volume;
  BYTE id[16];
};

std::optional<FileIdentity> identityOf(HANDLE handle, bool* isFolder, std::string& error) {
  BY_HANDLE_FILE_INFORMATION basic{};
  if (!GetFileInformationByHandle(handle, &basic)) {
    error = windowsError(GetLastError());
    return std::nullopt;
  }
  if (isFolder != nullptr) *isFolder = (basic.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  VolumeAndFileId info{};
  if (GetFileInformationByHandleEx(handle, FileIdInfo, &info, sizeof info)) {
    FileIdentity identity;
    identity.volume = info.volume;
    std::memcpy(&identity.fileLow, info.id, 8);
    std::memcpy(&identity.fileHigh, info.id + 8, 8);
    identity.kind = 1;
    return identity;
  }
  FileIdentity identity;
  identity.volume = basic.dwVolumeSerialNumber;
  identity.fileLow = (std::uint64_t{basic.nFileIndexHigh} << 32) | basic.nFileIndexLow;
  identity.kind = 2;
  return identity;
}

HANDLE openByPath(const fs::path& path, DWORD access, std::string& error) {
  HANDLE handle =
      CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) error = windowsError(GetLastError());
  return handle;
}

using NtCreateFileCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES,
                                          PIO_STATUS_BLOCK, PLARGE_INTEGER, ULONG, ULONG, ULONG,
                                          ULONG, PVOID, ULONG);
using NtStatusToErrorCall = ULONG(NTAPI*)(NTSTATUS);

constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035L);
constexpr ULONG kOpen = 1;
constexpr ULONG kCreate = 2;
constexpr ULONG kNonDirectory = 0x40;
constexpr ULONG kSynchronous = 0x20;
constexpr ULONG kOpenReparsePoint = 0x00200000;

template <typename Call>
Call ntdllCall(const char* name) {
  static HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return nullptr;
  // Through the generic function type: the real one is the call's own, not FARPROC's.
  return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, name)));
}

// A name opened or created inside the folder handle itself, never by a path from the root:
// NtCreateFile with the folder as RootDirectory. Links are not followed.
NTSTATUS openInFolder(HANDLE folder, const std::wstring& name, ACCESS_MASK access,
                      ULONG disposition, ULONG options, HANDLE& handle) {
  static const auto create = ntdllCall<NtCreateFileCall>("NtCreateFile");
  handle = INVALID_HANDLE_VALUE;
  if (create == nullptr || name.size() * sizeof(wchar_t) > 0xFFFE) {
    return static_cast<NTSTATUS>(0xC0000002L);  // not implemented
  }
  UNICODE_STRING text;
  text.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  text.Buffer = const_cast<PWSTR>(name.c_str());
  OBJECT_ATTRIBUTES attributes{};
  attributes.Length = sizeof attributes;
  attributes.RootDirectory = folder;
  attributes.ObjectName = &text;
  attributes.Attributes = OBJ_CASE_INSENSITIVE;
  IO_STATUS_BLOCK status{};
  HANDLE opened = nullptr;
  const NTSTATUS result =
      create(&opened, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL,
             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, disposition,
             options | kSynchronous | kOpenReparsePoint, nullptr, 0);
  if (result >= 0) handle = opened;
  return result;
}

using NtSetInformationFileCall = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);
constexpr ULONG kFileRenameInformation = 10;

// FILE_RENAME_INFORMATION: the name is taken relative to the folder handle. Straight to ntdll,
// since a kernelbase that reads the name as a path from the current folder first would lose the
// handle.
NTSTATUS renameInFolder(HANDLE file, HANDLE folder, const std::wstring& name) {
  static const auto setInformation = ntdllCall<NtSetInformationFileCall>("NtSetInformationFile");
  if (setInformation == nullptr) return static_cast<NTSTATUS>(0xC0000002L);
  const std::size_t nameAt = offsetof(FILE_RENAME_INFO, FileName);
  std::vector<unsigned char> buffer(nameAt + (name.size() + 1) * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = folder;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(buffer.data() + nameAt, name.data(), name.size() * sizeof(wchar_t));
  IO_STATUS_BLOCK status{};
  return setInformation(file, &status, buffer.data(), static_cast<ULONG>(buffer.size()),
                        kFileRenameInformation);
}

std::string ntError(NTSTATUS status) {
  static const auto toError = ntdllCall<NtStatusToErrorCall>("RtlNtStatusToDosError");
  if (toError == nullptr) return fmt::format("NTSTATUS {:#x}", static_cast<unsigned long>(status));
  return windowsError(toError(status));
}

// The name Windows would make of the last part of a path: without trailing dots and spaces.
std::wstring win32Name(const fs::path& name) {
  std::wstring text = name.native();
  while (!text.empty() && (text.back() == L'.' || text.back() == L' ')) text.pop_back();
  return text;
}

bool writeAll(HANDLE handle, const char* data, std::size_t size, std::string& error) {
  while (size > 0) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle, data, piece, &written, nullptr) || written == 0) {
      error = windowsError(GetLastError());
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

#else

using Handle = int;

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

std::optional<FileIdentity> identityOf(int handle, bool* isFolder, std::string& error) {
  struct stat status {};
  if (fstat(handle, &status) != 0) {
    error = errnoText(errno);
    return std::nullopt;
  }
  if (isFolder != nullptr) *isFolder = S_ISDIR(status.st_mode);
  return identityOf(status);
}

bool writeAll(int handle, const char* data, std::size_t size, std::string& error) {
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

#endif

// An ostream's bytes written straight to a handle, a buffer at a time.
class HandleBuffer final : public std::streambuf {
 public:
  explicit HandleBuffer(Handle handle) : handle_(handle) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }
  const std::string& error() const { return error_; }

 protected:
  int_type overflow(int_type c) override {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return drain() ? 0 : -1; }

 private:
  bool drain() {
    if (!error_.empty()) return false;
    const auto size = static_cast<std::size_t>(pptr() - pbase());
    if (size > 0 && !writeAll(handle_, pbase(), size, error_)) return false;
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return true;
  }

  Handle handle_;
  std::array<char, 1 << 16> buffer_{};
  std::string error_;
};

}  // namespace

FolderScan scanFolder(const fs::path& folder) {
  FolderScan scan;
#if defined(_WIN32)
  HandleCloser handle{openByPath(folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, scan.error)};
  if (handle.handle == INVALID_HANDLE_VALUE) {
    const DWORD cause = GetLastError();
    scan.missing = cause == ERROR_FILE_NOT_FOUND || cause == ERROR_PATH_NOT_FOUND;
    return scan;
  }
  bool isFolder = false;
  scan.identity = identityOf(handle.handle, &isFolder, scan.error);
  if (!scan.identity) return scan;
  if (!isFolder) {
    scan.missing = true;
    scan.error = "not a folder";
    return scan;
  }
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    const bool listedAsFolder = it->is_directory(typeError);
    if (!listedAsFolder && !it->is_regular_file(typeError)) continue;
    std::string openError;
    HandleCloser entry{openByPath(it->path(), FILE_READ_ATTRIBUTES, openError)};
    bool entryIsFolder = listedAsFolder;
    std::optional<FileIdentity> identity;
    if (entry.handle != INVALID_HANDLE_VALUE) {
      identity = identityOf(entry.handle, &entryIsFolder, openError);
    }
    if (entryIsFolder) {
      scan.folders.push_back(it->path());
    } else if (identity) {
      scan.files.emplace_back(*identity, it->path());
    }
  }
  if (error) {
    scan.error = error.message();
    return scan;
  }
#else
  HandleCloser handle{open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (handle.handle < 0) {
    scan.missing = errno == ENOENT || errno == ENOTDIR;
    scan.error = errno == ENOTDIR ? "not a folder" : errnoText(errno);
    return scan;
  }
  scan.identity = identityOf(handle.handle, nullptr, scan.error);
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
#endif
  scan.listed = true;
  return scan;
}

ProtectedTree readProtectedTree(const fs::path& root, const FolderScanner& scan) {
  ProtectedTree tree;
  tree.root = root;
  std::deque<fs::path> waiting{root};
  while (!waiting.empty()) {
    const fs::path folder = waiting.front();
    waiting.pop_front();
    FolderScan found = scan(folder);
    if (found.missing && folder == root) return tree;
    if (!found.identity || !found.listed) {
      tree.problem = fmt::format("the folder {} cannot be {}: {}", displayPath(folder),
                                 found.identity ? "listed" : "identified", found.error);
      return tree;
    }
    // A link back up, or two links to one folder: each folder once.
    if (knownFolder(tree, *found.identity)) continue;
    tree.folders.emplace_back(*found.identity, folder);
    for (auto& file : found.files) tree.files.push_back(std::move(file));
    for (auto& below : found.folders) waiting.push_back(std::move(below));
  }
  return tree;
}

std::pair<fs::path, fs::path> splitOutputPath(const fs::path& path) {
  const fs::path::string_type& text = path.native();
#if defined(_WIN32)
  const auto cut = text.find_last_of(L"\\/");
#else
  const auto cut = text.find_last_of('/');
#endif
  if (cut == fs::path::string_type::npos) {
#if defined(_WIN32)
    // "C:name" is a name in drive C's current folder.
    if (text.size() >= 2 && text[1] == L':') return {fs::path(text.substr(0, 2)), text.substr(2)};
#endif
    return {fs::path("."), path};
  }
  return {fs::path(text.substr(0, cut + 1)), fs::path(text.substr(cut + 1))};
}

std::wstring resolvedNameKey(const fs::path& name, bool windowsRules) {
  if (!windowsRules) {
    const std::string bytes = name.string();
    return std::wstring(bytes.begin(), bytes.end());
  }
  std::wstring text = name.wstring();
  while (!text.empty() && (text.back() == L'.' || text.back() == L' ')) text.pop_back();
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(static_cast<std::wint_t>(c)));
  return text;
}

std::string temporaryName(std::uint64_t random) {
  return fmt::format(".tallyrig-stats-{:016x}.tmp", random);
}

OutputTarget::OutputTarget(const fs::path& path) : random_(fromRandomDevice) {
  auto [folder, name] = splitOutputPath(path);
  name_ = std::move(name);
  std::string error;
#if defined(_WIN32)
  HANDLE handle = openByPath(
      folder,
      FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      error);
  if (handle != INVALID_HANDLE_VALUE) folder_ = handle;
#else
  folder_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_ < 0) error = errno == ENOTDIR ? "not a folder" : errnoText(errno);
#endif
  if (!error.empty()) {
    folderError_ = fmt::format("{}: {}", displayPath(folder), error);
    return;
  }
  bool isFolder = false;
  folderIdentity_ = identityOf(folder_, &isFolder, error);
  if (!folderIdentity_) {
    folderError_ = fmt::format("{}: {}", displayPath(folder), error);
  } else if (!isFolder) {
    folderIdentity_.reset();
    folderError_ = fmt::format("{}: not a folder", displayPath(folder));
  }
}

OutputTarget::~OutputTarget() {
#if defined(_WIN32)
  if (folder_ != nullptr) CloseHandle(folder_);
#else
  if (folder_ >= 0) close(folder_);
#endif
}

OutputTarget::OutputTarget(OutputTarget&& other) noexcept
    : name_(std::move(other.name_)),
      random_(std::move(other.random_)),
      folderError_(std::move(other.folderError_)),
      folderIdentity_(other.folderIdentity_),
      folder_(other.folder_) {
#if defined(_WIN32)
  other.folder_ = nullptr;
#else
  other.folder_ = -1;
#endif
}

std::optional<FileIdentity> OutputTarget::existingIdentity() const {
  if (!folderIdentity_ || name_.empty()) return std::nullopt;
  std::string error;
#if defined(_WIN32)
  HANDLE opened = INVALID_HANDLE_VALUE;
  if (openInFolder(folder_, win32Name(name_), FILE_READ_ATTRIBUTES, kOpen, 0, opened) < 0) {
    return std::nullopt;
  }
  HandleCloser handle{opened};
  return identityOf(handle.handle, nullptr, error);
#else
  struct stat status {};
  if (fstatat(folder_, name_.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
  return identityOf(status);
#endif
}

// The output replaces a link rather than writing through it, but a link into the statistics is
// a mistake worth naming.
std::optional<std::string> OutputTarget::linkIntoStatistics(const ProtectedTree& tree) const {
#if defined(_WIN32)
  (void)tree;
  return std::nullopt;
#else
  struct stat status {};
  if (fstatat(folder_, name_.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISLNK(status.st_mode)) {
    return std::nullopt;
  }
  std::array<char, 4096> text{};
  const ssize_t length = readlinkat(folder_, name_.c_str(), text.data(), text.size() - 1);
  if (length <= 0) return std::nullopt;
  const fs::path destination(std::string(text.data(), static_cast<std::size_t>(length)));
  const fs::path above = splitOutputPath(destination).first;
  // Relative to the link's own folder, as the link is read.
  HandleCloser folder{openat(folder_, above.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  std::string error;
  std::optional<FileIdentity> identity;
  if (folder.handle >= 0) identity = identityOf(folder.handle, nullptr, error);
  if (!identity || !knownFolder(tree, *identity)) return std::nullopt;
  return fmt::format("that is a link into {}, where only the plugin writes",
                     displayPath(tree.root));
#endif
}

std::optional<std::string> OutputTarget::reachesStatistics(const ProtectedTree& tree) const {
  if (!folderIdentity_) return std::nullopt;
  const std::string where = displayPath(tree.root);
  if (knownFolder(tree, *folderIdentity_)) {
    return fmt::format("that is inside {}, where only the plugin writes", where);
  }
#if defined(_WIN32)
  // "name:stream" would write a stream of whatever file bears the name.
  if (name_.native().find(L':') != std::wstring::npos) {
    return std::string("that names a stream of a file, not a file");
  }
#endif
  if (auto link = linkIntoStatistics(tree)) return link;
  if (const auto existing = existingIdentity()) {
    for (const auto& [identity, file] : tree.files) {
      if (identity == *existing) {
        return fmt::format("that is the file {} under another name", displayPath(file));
      }
    }
  }
  return std::nullopt;
}

bool OutputTarget::sameOutput(const OutputTarget& other) const {
  if (!folderIdentity_ || !other.folderIdentity_) return false;
#if defined(_WIN32)
  constexpr bool kWindowsRules = true;
#else
  constexpr bool kWindowsRules = false;
#endif
  if (*folderIdentity_ == *other.folderIdentity_ &&
      resolvedNameKey(name_, kWindowsRules) == resolvedNameKey(other.name_, kWindowsRules)) {
    return true;
  }
  // Short names and hard links: two names of one file.
  const auto mine = existingIdentity();
  return mine && mine == other.existingIdentity();
}

bool OutputTarget::write(const std::function<void(std::ostream&)>& writeTo,
                         const std::function<std::optional<std::string>()>& recheck,
                         std::string& error, bool& refused) {
  refused = false;
  if (!folderIdentity_) {
    error = folderError_.value_or("the folder cannot be opened");
    return false;
  }
  if (name_.empty()) {
    error = "a folder, not a file";
    return false;
  }
  // The temporary name is random and created exclusively: a name prepared by someone else, or a
  // link planted there, is never opened.
  std::string temporary;
#if defined(_WIN32)
  HANDLE file = INVALID_HANDLE_VALUE;
  NTSTATUS status = kNameCollision;
  for (unsigned attempt = 0; attempt < kTemporaryAttempts && status == kNameCollision; ++attempt) {
    temporary = temporaryName(random_());
    const std::wstring wide(temporary.begin(), temporary.end());
    status = openInFolder(folder_, wide, GENERIC_WRITE | DELETE, kCreate, kNonDirectory, file);
  }
  if (status < 0) {
    error = ntError(status);
    return false;
  }
  HandleCloser closer{file};
  const auto discard = [&] {
    FILE_DISPOSITION_INFO dispose{TRUE};
    SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose);
  };
#else
  int file = -1;
  for (unsigned attempt = 0; attempt < kTemporaryAttempts && file < 0; ++attempt) {
    temporary = temporaryName(random_());
    file = openat(folder_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  0666);
    if (file < 0 && errno != EEXIST) break;
  }
  if (file < 0) {
    error = errnoText(errno);
    return false;
  }
  HandleCloser closer{file};
  const auto discard = [&] { unlinkat(folder_, temporary.c_str(), 0); };
#endif
  HandleBuffer buffer(file);
  {
    std::ostream out(&buffer);
    writeTo(out);
    out.flush();
    if (!out || !buffer.error().empty()) {
      error = buffer.error().empty() ? "the output could not be made" : buffer.error();
      discard();
      return false;
    }
  }
#if !defined(_WIN32)
  if (close(file) != 0) {
    closer.handle = -1;
    error = errnoText(errno);
    discard();
    return false;
  }
  closer.handle = -1;
#endif
  if (const auto reason = recheck()) {
    error = *reason;
    refused = true;
    discard();
    return false;
  }
#if defined(_WIN32)
  status = renameInFolder(file, folder_, win32Name(name_));
  if (status < 0) {
    error = ntError(status);
    discard();
    return false;
  }
#else
  if (renameat(folder_, temporary.c_str(), folder_, name_.c_str()) != 0) {
    error = errnoText(errno);
    discard();
    return false;
  }
#endif
  return true;
}

}  // namespace tallyrig::stats

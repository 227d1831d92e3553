#if defined(_WIN32)

#include <windows.h>
#include <winternl.h>

#include <fmt/format.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <system_error>
#include <vector>

#include "stats/output_guard_system.h"

namespace tallyrig::stats {
namespace {

namespace fs = std::filesystem;

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

}  // namespace

namespace os {

bool isOpen(Handle handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

void closeHandle(Handle handle) {
  CloseHandle(handle);
}

Handle openFolder(const fs::path& folder, std::string& error) {
  HANDLE handle = openByPath(
      folder,
      FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      error);
  return handle == INVALID_HANDLE_VALUE ? kNoHandle : handle;
}

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

std::optional<FileIdentity> identityInFolder(Handle folder, const fs::path& name) {
  HANDLE opened = INVALID_HANDLE_VALUE;
  if (openInFolder(folder, win32Name(name), FILE_READ_ATTRIBUTES, kOpen, 0, opened) < 0) {
    return std::nullopt;
  }
  HandleCloser handle{opened};
  std::string error;
  return identityOf(handle.handle, nullptr, error);
}

// An output's name replaces a link rather than writing through it.
std::optional<FileIdentity> linkedFolder(Handle, const fs::path&) {
  return std::nullopt;
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

Temporary::Temporary(Handle folder, const std::function<std::uint64_t()>& random,
                     std::string& error)
    : folder_(folder) {
  HANDLE file = INVALID_HANDLE_VALUE;
  NTSTATUS status = kNameCollision;
  for (unsigned attempt = 0; attempt < kTemporaryAttempts && status == kNameCollision; ++attempt) {
    name_ = temporaryName(random());
    const std::wstring wide(name_.begin(), name_.end());
    status = openInFolder(folder_, wide, GENERIC_WRITE | DELETE, kCreate, kNonDirectory, file);
  }
  if (status < 0) {
    error = ntError(status);
    return;
  }
  file_ = file;
}

Temporary::~Temporary() {
  if (isOpen(file_)) CloseHandle(file_);
}

// The handle stays open: the rename goes through it.
bool Temporary::finish(std::string&) {
  return true;
}

void Temporary::discard() {
  FILE_DISPOSITION_INFO dispose{TRUE};
  SetFileInformationByHandle(file_, FileDispositionInfo, &dispose, sizeof dispose);
}

bool Temporary::renameTo(const fs::path& name, std::string& error) {
  const NTSTATUS status = renameInFolder(file_, folder_, win32Name(name));
  if (status >= 0) return true;
  error = ntError(status);
  return false;
}

}  // namespace os

FolderScan scanFolder(const fs::path& folder) {
  FolderScan scan;
  HandleCloser handle{openByPath(folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, scan.error)};
  if (handle.handle == INVALID_HANDLE_VALUE) {
    const DWORD cause = GetLastError();
    scan.missing = cause == ERROR_FILE_NOT_FOUND || cause == ERROR_PATH_NOT_FOUND;
    return scan;
  }
  bool isFolder = false;
  scan.identity = os::identityOf(handle.handle, &isFolder, scan.error);
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
      identity = os::identityOf(entry.handle, &entryIsFolder, openError);
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
  scan.listed = true;
  return scan;
}

}  // namespace tallyrig::stats

#endif

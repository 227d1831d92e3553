#pragma once

// What the output guard asks of the operating system, one file for POSIX and one for Windows.
// Every name is opened relative to a folder handle, never as a path from the root.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "stats/output_guard.h"

namespace tallyrig::stats::os {

#if defined(_WIN32)
using Handle = void*;
inline constexpr Handle kNoHandle = nullptr;
#else
using Handle = int;
inline constexpr Handle kNoHandle = -1;
#endif

// How often a temporary name is drawn again when the one drawn is taken.
inline constexpr unsigned kTemporaryAttempts = 16;

bool isOpen(Handle handle);
void closeHandle(Handle handle);

// A folder opened to create files in it and to name them.
Handle openFolder(const std::filesystem::path& folder, std::string& error);
std::optional<FileIdentity> identityOf(Handle handle, bool* isFolder, std::string& error);

// What `name` inside the folder holds now, links not followed.
std::optional<FileIdentity> identityInFolder(Handle folder, const std::filesystem::path& name);
// The identity of the folder a link named `name` leads to; nothing when it is no link.
std::optional<FileIdentity> linkedFolder(Handle folder, const std::filesystem::path& name);

bool writeAll(Handle handle, const char* data, std::size_t size, std::string& error);

// A temporary file the output is written to before it is renamed into place.
class Temporary {
 public:
  Temporary(Handle folder, const std::function<std::uint64_t()>& random, std::string& error);
  ~Temporary();
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;

  bool created() const { return isOpen(file_); }
  Handle handle() const { return file_; }
  // Everything written has reached the file; the handle may be closed by this.
  bool finish(std::string& error);
  void discard();
  bool renameTo(const std::filesystem::path& name, std::string& error);

 private:
  Handle folder_;
  Handle file_ = kNoHandle;
  std::string name_;
};

}  // namespace tallyrig::stats::os

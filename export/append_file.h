#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

// A file opened for appending, through the C runtime's descriptor calls: an export costs the
// fewest system calls that way, no runtime translates its bytes, and every failure comes back as
// an errno value on every platform. Calls return 0 or that value.
class AppendFile {
 public:
  AppendFile() = default;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;
  ~AppendFile();

  // Creates the file empty when it is missing; never truncates it. Shared with other readers
  // and writers, without a lock.
  int open(const std::filesystem::path& path);
  std::optional<std::uint64_t> size() const;
  // All of `bytes` at the end of the file, or an error after part of them; a failed write takes
  // back the part it wrote, so the file ends as it did before.
  int write(std::string_view bytes);
  int close();

 private:
  int descriptor_ = -1;
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

// A file opened for appending, through the C runtime's descriptor calls: a failed write can be
// measured and cut back, no runtime translates its bytes, and every failure comes back as an
// errno value on every platform. Calls return 0 or that value.
class AppendFile {
 public:
  // The descriptor calls an AppendFile makes. Tests put their own in place (replaceSystemCalls)
  // to fail a call or to let another writer in between two of them.
  struct SystemCalls {
    // A descriptor, or -1 with errno set.
    int (*open)(const std::filesystem::path::value_type* path);
    // Bytes written, or -1 with errno set.
    long long (*write)(int descriptor, const char* bytes, std::size_t count);
    std::optional<std::uint64_t> (*length)(int descriptor);
    // Where the descriptor's next write would go without append mode: after its last write.
    std::optional<std::uint64_t> (*position)(int descriptor);
    // 0, or -1 with errno set.
    int (*truncate)(int descriptor, std::uint64_t length);
    int (*close)(int descriptor);
  };
  static const SystemCalls& platformCalls();
  // Makes every AppendFile use `calls` from now on; returns the calls in use before.
  static const SystemCalls& replaceSystemCalls(const SystemCalls& calls);

  AppendFile() = default;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;
  ~AppendFile();

  // Creates the file empty when it is missing; never truncates it. Shared with other readers
  // and writers, without a lock.
  int open(const std::filesystem::path& path);
  // What a failed write left in the file.
  struct Leftover {
    std::uint64_t bytes = 0;
    // Another writer appended after them, so they were not cut (else the cut itself failed).
    bool behindAnotherWriter = false;
  };

  // All of `bytes` at the end of the file, or an error. A write that fails part-way takes back
  // the part it wrote when the file still ends with it; otherwise the part stays, as leftover()
  // says.
  int write(std::string_view bytes);
  const Leftover& leftover() const { return leftover_; }
  int close();

 private:
  void takeBack(std::uint64_t written);

  int descriptor_ = -1;
  Leftover leftover_;
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

// A file opened for appending, through the platform's own calls: a failed write can be measured
// and cut back, nothing translates its bytes, and every failure comes back as an errno value on
// every platform. Calls return 0 or that value.
//
// Two promises, kept by the simplest means that keeps both: no byte another writer appended is
// ever cut, and a block reaches the file once. Every Tallyrig takes an exclusive lock on the file
// around its appends and cut-backs (flock here, LockFileEx on Windows), so no other Tallyrig can
// append between our partial writes and our cut. A writer that takes no lock is kept safe by the
// cut itself: it removes only bytes proven ours, every part of the block right after the one
// before and the file ending where our last part ended; anything else stays, and says so. Each
// write appends at the end in one step (O_APPEND; on Windows a handle opened for
// FILE_APPEND_DATA alone, where a C runtime's _O_APPEND would seek and then write).
class AppendFile {
 public:
  // A descriptor here, a HANDLE on Windows; -1 is none.
  using Handle = std::intptr_t;

  // The calls an AppendFile makes. Tests put their own in place (replaceSystemCalls) to fail a
  // call or to let another writer in between two of them.
  struct SystemCalls {
    // A handle, or -1 with errno set.
    Handle (*open)(const std::filesystem::path::value_type* path);
    // Takes the exclusive lock without waiting: 0, or -1 with errno set (EWOULDBLOCK when another
    // writer holds it). close releases it.
    int (*lock)(Handle file);
    // Bytes written, or -1 with errno set.
    long long (*write)(Handle file, const char* bytes, std::size_t count);
    std::optional<std::uint64_t> (*length)(Handle file);
    // Where the handle's last write ended.
    std::optional<std::uint64_t> (*position)(Handle file);
    // 0, or -1 with errno set.
    int (*truncate)(Handle file, std::uint64_t length);
    int (*close)(Handle file);
  };
  static const SystemCalls& platformCalls();
  // Makes every AppendFile use `calls` from now on; returns the calls in use before.
  static const SystemCalls& replaceSystemCalls(const SystemCalls& calls);

  AppendFile() = default;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;
  ~AppendFile();

  // Creates the file empty when it is missing; never truncates it. Others may read and write it.
  int open(const std::filesystem::path& path);
  // The exclusive lock, held until close.
  int lock();
  // What a failed write left in the file.
  struct Leftover {
    std::uint64_t bytes = 0;
    // Another writer appended after or among them, so they were not cut (else the cut itself
    // failed, or where they lie could not be told).
    bool behindAnotherWriter = false;
  };

  // All of `bytes` at the end of the file, or an error. A write that fails part-way takes back
  // the part it wrote when that part is provably ours and the file still ends with it; otherwise
  // the part stays, as leftover() says.
  int write(std::string_view bytes);
  const Leftover& leftover() const { return leftover_; }
  int close();

 private:
  void takeBack(std::uint64_t written, std::optional<std::uint64_t> end, bool together);

  Handle file_ = -1;
  Leftover leftover_;
};

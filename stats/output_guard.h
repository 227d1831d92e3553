#pragma once

// Keeps every output out of the statistics files. Each output's folder is opened once, before
// anything is read, and the output is written through that handle: a temporary file created
// exclusively inside it, then renamed into place beside it. Folders are told apart by the
// identity their handle gives (device and inode; volume and file id on Windows), never by how
// their path is spelt, so drive letters, prefixes, short names, trailing dots, links and mounts
// cannot disguise the statistics folder.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tallyrig::stats {

// What a handle says a file is. Windows identities of the two kinds it can give never compare
// equal to each other.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t fileHigh = 0;
  std::uint64_t fileLow = 0;
  std::uint8_t kind = 0;
  bool operator==(const FileIdentity&) const = default;
};

// One folder of the statistics tree as the walk sees it.
struct FolderScan {
  std::optional<FileIdentity> identity;  // nothing: it could not be read (error says why)
  bool listed = false;                   // false: it could not be listed (error says why)
  bool missing = false;                  // no folder at the path: nothing, or something else
  std::string error;
  std::vector<std::filesystem::path> folders;  // the folders in it, links to folders too
  std::vector<std::pair<FileIdentity, std::filesystem::path>> files;
};

// Reads one folder of the tree from disk; the tests give the walk their own.
using FolderScanner = std::function<FolderScan(const std::filesystem::path&)>;
FolderScan scanFolder(const std::filesystem::path& folder);

// Tallyrig/ and every folder below it, links followed, each once.
struct ProtectedTree {
  std::filesystem::path root;
  std::vector<std::pair<FileIdentity, std::filesystem::path>> folders;  // the root first
  std::vector<std::pair<FileIdentity, std::filesystem::path>> files;
  // A folder below the root that could not be listed or identified: then no output can be
  // told apart from it.
  std::optional<std::string> problem;
};

// A missing root protects nothing (there is nothing to read either).
ProtectedTree readProtectedTree(const std::filesystem::path& root,
                                const FolderScanner& scan = scanFolder);

// The folder part and the name of an output's path, split at the last separator: "out/a.csv"
// gives "out/" and "a.csv", "a.csv" gives "." and "a.csv". The name is empty when the path ends
// in a separator.
std::pair<std::filesystem::path, std::filesystem::path> splitOutputPath(
    const std::filesystem::path& path);

// A name as the file system resolves it, for comparing two names in one folder: on Windows
// without trailing dots and spaces and in one case; elsewhere the bytes themselves.
std::wstring resolvedNameKey(const std::filesystem::path& name, bool windowsRules);

// A temporary name no one can guess, within every file system's 255-character limit whatever
// the output's own name: ".tallyrig-stats-" and 16 hex digits of `random`, then ".tmp".
std::string temporaryName(std::uint64_t random);

// An output, its folder held open from before the statistics are read until it is written.
class OutputTarget {
 public:
  explicit OutputTarget(const std::filesystem::path& path);
  ~OutputTarget();
  OutputTarget(OutputTarget&& other) noexcept;
  OutputTarget& operator=(OutputTarget&&) = delete;
  OutputTarget(const OutputTarget&) = delete;
  OutputTarget& operator=(const OutputTarget&) = delete;

  // Why the folder could not be opened, or nothing; the write then fails saying so.
  const std::optional<std::string>& folderError() const { return folderError_; }
  const std::optional<FileIdentity>& folderIdentity() const { return folderIdentity_; }

  // Why writing it could reach the statistics, or nothing.
  std::optional<std::string> reachesStatistics(const ProtectedTree& tree) const;
  // Both name one file: the same folder and the same resolved name, or names of one file.
  bool sameOutput(const OutputTarget& other) const;

  // Writes a temporary file in the folder and renames it over the output. `recheck` runs right
  // before the rename; a reason from it stops the rename. False with `error` set when nothing
  // was written; `refused` tells a refusal from a failure.
  bool write(const std::function<void(std::ostream&)>& writeTo,
             const std::function<std::optional<std::string>()>& recheck, std::string& error,
             bool& refused);

  // The identity of what the output's name holds now, links not followed, or nothing.
  std::optional<FileIdentity> existingIdentity() const;

  // Where the temporary names' random numbers come from; the tests name their own.
  void setRandomSource(std::function<std::uint64_t()> source) { random_ = std::move(source); }

 private:
  std::optional<std::string> linkIntoStatistics(const ProtectedTree& tree) const;

  std::filesystem::path name_;
  std::function<std::uint64_t()> random_;
  std::optional<std::string> folderError_;
  std::optional<FileIdentity> folderIdentity_;
#if defined(_WIN32)
  void* folder_ = nullptr;
#else
  int folder_ = -1;
#endif
};

}  // namespace tallyrig::stats

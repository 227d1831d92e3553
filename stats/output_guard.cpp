#include "stats/output_guard.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cwctype>
#include <deque>
#include <ostream>
#include <random>
#include <streambuf>

#include "stats/history.h"
#include "stats/output_guard_system.h"

namespace tallyrig::stats {
namespace {

namespace fs = std::filesystem;

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

// An ostream's bytes written straight to a handle, a buffer at a time.
class HandleBuffer final : public std::streambuf {
 public:
  explicit HandleBuffer(os::Handle handle) : handle_(handle) {
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
    if (size > 0 && !os::writeAll(handle_, pbase(), size, error_)) return false;
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return true;
  }

  os::Handle handle_;
  std::array<char, 1 << 16> buffer_{};
  std::string error_;
};

}  // namespace

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
  folder_ = os::openFolder(folder, error);
  if (!error.empty()) {
    folderError_ = fmt::format("{}: {}", displayPath(folder), error);
    return;
  }
  bool isFolder = false;
  folderIdentity_ = os::identityOf(folder_, &isFolder, error);
  if (!folderIdentity_) {
    folderError_ = fmt::format("{}: {}", displayPath(folder), error);
  } else if (!isFolder) {
    folderIdentity_.reset();
    folderError_ = fmt::format("{}: not a folder", displayPath(folder));
  }
}

OutputTarget::~OutputTarget() {
  if (os::isOpen(folder_)) os::closeHandle(folder_);
}

OutputTarget::OutputTarget(OutputTarget&& other) noexcept
    : name_(std::move(other.name_)),
      random_(std::move(other.random_)),
      folderError_(std::move(other.folderError_)),
      folderIdentity_(other.folderIdentity_),
      folder_(other.folder_) {
  other.folder_ = os::kNoHandle;
}

std::optional<FileIdentity> OutputTarget::existingIdentity() const {
  if (!folderIdentity_ || name_.empty()) return std::nullopt;
  return os::identityInFolder(folder_, name_);
}

// The output replaces a link rather than writing through it, but a link into the statistics is
// a mistake worth naming.
std::optional<std::string> OutputTarget::linkIntoStatistics(const ProtectedTree& tree) const {
  const auto identity = os::linkedFolder(folder_, name_);
  if (!identity || !knownFolder(tree, *identity)) return std::nullopt;
  return fmt::format("that is a link into {}, where only the plugin writes",
                     displayPath(tree.root));
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
  os::Temporary temporary(folder_, random_, error);
  if (!temporary.created()) return false;
  HandleBuffer buffer(temporary.handle());
  {
    std::ostream out(&buffer);
    writeTo(out);
    out.flush();
    if (!out || !buffer.error().empty()) {
      error = buffer.error().empty() ? "the output could not be made" : buffer.error();
      temporary.discard();
      return false;
    }
  }
  if (!temporary.finish(error)) {
    temporary.discard();
    return false;
  }
  if (const auto reason = recheck()) {
    error = *reason;
    refused = true;
    temporary.discard();
    return false;
  }
  if (!temporary.renameTo(name_, error)) {
    temporary.discard();
    return false;
  }
  return true;
}

}  // namespace tallyrig::stats

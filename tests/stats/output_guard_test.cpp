// The guard between the outputs and the statistics files: folders told apart by identity, the
// walk of the statistics tree, the temporary file no one else can prepare, and writing through
// the folder handle opened first, whatever happens to the path meanwhile.

#include "stats/output_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tallyrig::stats;

#if defined(_WIN32)
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void put(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// A data folder with Tallyrig/2024/Duel.csv and an out/ folder beside it, new for each test.
class OutputGuard : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(::testing::TempDir()) /
            ("stats-output-guard-" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    put(statistics() / "2024" / "Duel.csv", "statistics\n");
    fs::create_directories(root_ / "out");
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path statistics() const { return root_ / "data" / "Tallyrig"; }
  fs::path out() const { return root_ / "out"; }
  std::vector<std::string> leftovers(const fs::path& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name.ends_with(".tmp")) names.push_back(name);
    }
    return names;
  }

  fs::path root_;
};

const auto kNoReason = []() -> std::optional<std::string> { return std::nullopt; };

bool writeText(OutputTarget& target, const std::string& text, std::string& error) {
  bool refused = false;
  return target.write([&](std::ostream& out) { out << text; }, kNoReason, error, refused);
}

TEST(OutputPath, SplitAtTheLastSeparator) {
  EXPECT_EQ(splitOutputPath("out/a.csv"), std::make_pair(fs::path("out/"), fs::path("a.csv")));
  EXPECT_EQ(splitOutputPath("a.csv"), std::make_pair(fs::path("."), fs::path("a.csv")));
  EXPECT_EQ(splitOutputPath("/a.csv"), std::make_pair(fs::path("/"), fs::path("a.csv")));
  EXPECT_EQ(splitOutputPath("out/"), std::make_pair(fs::path("out/"), fs::path()));
  EXPECT_EQ(splitOutputPath("a/../b/c.json"),
            std::make_pair(fs::path("a/../b/"), fs::path("c.json")));
  if (kWindows) {
    EXPECT_EQ(splitOutputPath("C:\\x\\a.csv"),
              std::make_pair(fs::path("C:\\x\\"), fs::path("a.csv")));
    EXPECT_EQ(splitOutputPath("\\\\?\\C:\\a.csv"),
              std::make_pair(fs::path("\\\\?\\C:\\"), fs::path("a.csv")));
    EXPECT_EQ(splitOutputPath("C:a.csv"), std::make_pair(fs::path("C:"), fs::path("a.csv")));
  } else {
    // A backslash is part of a name there.
    EXPECT_EQ(splitOutputPath("a\\b.csv"), std::make_pair(fs::path("."), fs::path("a\\b.csv")));
  }
}

TEST(OutputPath, NamesResolveAsTheFileSystemDoes) {
  EXPECT_EQ(resolvedNameKey("Same.out", true), resolvedNameKey("same.OUT", true));
  EXPECT_EQ(resolvedNameKey("same.out. . ", true), resolvedNameKey("same.out", true));
  EXPECT_NE(resolvedNameKey("same.out", true), resolvedNameKey("same.ou", true));
  EXPECT_NE(resolvedNameKey(".same.out", true), resolvedNameKey("same.out", true));
  EXPECT_NE(resolvedNameKey("Same.out", false), resolvedNameKey("same.out", false));
  EXPECT_NE(resolvedNameKey("same.out.", false), resolvedNameKey("same.out", false));
  EXPECT_EQ(resolvedNameKey("same.out", false), resolvedNameKey("same.out", false));
}

TEST(OutputPath, TemporaryNamesAreShortAndUnguessable) {
  EXPECT_EQ(temporaryName(0), ".tallyrig-stats-0000000000000000.tmp");
  EXPECT_EQ(temporaryName(0xfedcba9876543210u), ".tallyrig-stats-fedcba9876543210.tmp");
  EXPECT_EQ(temporaryName(~std::uint64_t{0}).size(), 36u);
}

// A stand-in file system for the walk: folder -> what its scan gives.
struct FakeFolders {
  std::map<std::string, FolderScan> scans;
  std::vector<std::string> visited;
  FolderScanner scanner() {
    return [this](const fs::path& folder) {
      visited.push_back(folder.generic_string());
      return scans.at(folder.generic_string());
    };
  }
  void add(const std::string& path, std::uint64_t inode, std::vector<fs::path> folders = {}) {
    FolderScan scan;
    scan.identity = FileIdentity{1, 0, inode, 0};
    scan.listed = true;
    scan.folders = std::move(folders);
    scans[path] = std::move(scan);
  }
};

TEST(ProtectedTree, EveryFolderOnceLinksFollowedLoopsEnded) {
  FakeFolders disk;
  // 2024 links back up to the root; "elsewhere" is a link to a folder outside, listed last.
  disk.add("T", 1, {"T/2024", "T/2025", "T/elsewhere"});
  disk.add("T/2024", 2, {"T/2024/up"});
  disk.add("T/2024/up", 1, {"T/2024/up/2024"});
  disk.add("T/2025", 3);
  disk.add("T/elsewhere", 9, {"T/elsewhere/deep"});
  disk.add("T/elsewhere/deep", 10);
  disk.scans["T"].files.emplace_back(FileIdentity{1, 0, 50, 0}, "T/2025/Duel.csv");
  const ProtectedTree tree = readProtectedTree("T", disk.scanner());
  EXPECT_FALSE(tree.problem);
  std::vector<std::uint64_t> inodes;
  for (const auto& [identity, path] : tree.folders) inodes.push_back(identity.fileLow);
  EXPECT_EQ(inodes, (std::vector<std::uint64_t>{1, 2, 3, 9, 10}));
  EXPECT_EQ(tree.files.size(), 1u);
  // The loop's folder was scanned once more, but nothing below it.
  EXPECT_EQ(std::count(disk.visited.begin(), disk.visited.end(), "T/2024/up/2024"), 0);
}

TEST(ProtectedTree, AFolderThatCannotBeListedOrIdentifiedIsNamed) {
  for (const bool identified : {true, false}) {
    FakeFolders disk;
    disk.add("T", 1, {"T/2024", "T/locked", "T/linked"});
    disk.add("T/2024", 2);
    FolderScan locked;
    if (identified) locked.identity = FileIdentity{1, 0, 3, 0};
    locked.error = "Permission denied";
    disk.scans["T/locked"] = locked;
    disk.add("T/linked", 4);
    const ProtectedTree tree = readProtectedTree("T", disk.scanner());
    ASSERT_TRUE(tree.problem) << identified;
    EXPECT_EQ(*tree.problem, std::string("the folder T/locked cannot be ") +
                                 (identified ? "listed" : "identified") + ": Permission denied");
  }
}

TEST_F(OutputGuard, TheTreeOnDisk) {
  fs::create_directories(statistics() / "2025" / "deeper");
  const ProtectedTree tree = readProtectedTree(statistics());
  EXPECT_FALSE(tree.problem);
  EXPECT_EQ(tree.folders.size(), 4u);
  EXPECT_EQ(tree.files.size(), 1u);
  EXPECT_TRUE(readProtectedTree(root_ / "missing").folders.empty());
  EXPECT_FALSE(readProtectedTree(root_ / "missing").problem);
  // A file where the folder would be holds no statistics either.
  EXPECT_TRUE(readProtectedTree(statistics() / "2024" / "Duel.csv").folders.empty());
  EXPECT_FALSE(readProtectedTree(statistics() / "2024" / "Duel.csv").problem);
#if !defined(_WIN32)
  // A link to a folder outside is inside too, and so is all below it.
  fs::create_directories(root_ / "outside" / "below");
  fs::create_directory_symlink(root_ / "outside", statistics() / "link");
  fs::create_symlink(root_ / "nowhere", statistics() / "dangling");
  const ProtectedTree linked = readProtectedTree(statistics());
  EXPECT_FALSE(linked.problem);
  EXPECT_EQ(linked.folders.size(), 6u);
  EXPECT_TRUE(OutputTarget(root_ / "outside" / "below" / "x.json").reachesStatistics(linked));
#endif
}

TEST_F(OutputGuard, AnOutputIsToldApartByItsFolderNotItsSpelling) {
  const ProtectedTree tree = readProtectedTree(statistics());
  const std::string inside =
      "that is inside " + statistics().generic_string() + ", where only the plugin writes";
  for (const fs::path& path : {statistics() / "2024" / "new.json", statistics() / "new.json",
                               root_ / "out" / ".." / "data" / "Tallyrig" / "2024" / "new.json",
                               root_ / "data" / "." / "Tallyrig" / "2024" / "x"}) {
    EXPECT_EQ(OutputTarget(path).reachesStatistics(tree).value_or(""), inside) << path;
  }
  EXPECT_FALSE(OutputTarget(out() / "new.json").reachesStatistics(tree));
  // The folder that holds Tallyrig/ is not the statistics.
  EXPECT_FALSE(OutputTarget(root_ / "data" / "new.json").reachesStatistics(tree));
  fs::create_hard_link(statistics() / "2024" / "Duel.csv", out() / "hard.csv");
  EXPECT_EQ(OutputTarget(out() / "hard.csv").reachesStatistics(tree).value_or(""),
            "that is the file " + (statistics() / "2024" / "Duel.csv").generic_string() +
                " under another name");
#if !defined(_WIN32)
  fs::create_directory_symlink(statistics() / "2024", out() / "year");
  EXPECT_EQ(OutputTarget(out() / "year" / "x.json").reachesStatistics(tree).value_or(""), inside);
  fs::create_symlink("../data/Tallyrig/2024/new.json", out() / "dangling.json");
  EXPECT_EQ(
      OutputTarget(out() / "dangling.json").reachesStatistics(tree).value_or(""),
      "that is a link into " + statistics().generic_string() + ", where only the plugin writes");
#else
  EXPECT_EQ(OutputTarget(out() / "x.csv:stream").reachesStatistics(tree).value_or(""),
            "that names a stream of a file, not a file");
#endif
}

TEST_F(OutputGuard, TheSameOutputByFolderAndResolvedName) {
  const OutputTarget plain(out() / "same.out");
  EXPECT_TRUE(plain.sameOutput(OutputTarget(root_ / "data" / ".." / "out" / "same.out")));
  EXPECT_FALSE(plain.sameOutput(OutputTarget(out() / "other.out")));
  EXPECT_FALSE(plain.sameOutput(OutputTarget(root_ / "data" / "same.out")));
  EXPECT_EQ(plain.sameOutput(OutputTarget(out() / "Same.out")), kWindows);
  EXPECT_EQ(plain.sameOutput(OutputTarget(out() / "same.out. ")), kWindows);
  put(out() / "existing.out", "");
  fs::create_hard_link(out() / "existing.out", out() / "existing-link.out");
  EXPECT_TRUE(
      OutputTarget(out() / "existing.out").sameOutput(OutputTarget(out() / "existing-link.out")));
  // A folder that cannot be opened is nobody's.
  EXPECT_FALSE(OutputTarget(out() / "missing" / "same.out")
                   .sameOutput(OutputTarget(out() / "missing" / "same.out")));
}

TEST_F(OutputGuard, WrittenWholeOrNotAtAll) {
  OutputTarget target(out() / "report.html");
  std::string error;
  ASSERT_TRUE(writeText(target, "first", error)) << error;
  ASSERT_TRUE(writeText(target, "second", error)) << error;
  EXPECT_EQ(contents(out() / "report.html"), "second");
  // The longest name a file system takes still works: the temporary name does not grow with it.
  const std::string longest(251, 'n');
  OutputTarget longName(out() / (longest + ".csv"));
  ASSERT_TRUE(writeText(longName, "long", error)) << error;
  EXPECT_EQ(contents(out() / (longest + ".csv")), "long");
  // A failed write leaves the old output and no temporary file.
  bool refused = false;
  EXPECT_FALSE(target.write(
      [](std::ostream& out) {
        out << "half";
        out.setstate(std::ios::badbit);
      },
      kNoReason, error, refused));
  EXPECT_FALSE(refused);
  EXPECT_EQ(contents(out() / "report.html"), "second");
  // A reason found right before the rename stops it.
  EXPECT_FALSE(target.write([](std::ostream& out) { out << "third"; },
                            []() -> std::optional<std::string> { return "swapped"; }, error,
                            refused));
  EXPECT_TRUE(refused);
  EXPECT_EQ(error, "swapped");
  EXPECT_EQ(contents(out() / "report.html"), "second");
  // Neither into a folder nor a folder that is not one.
  fs::create_directories(out() / "a-folder");
  OutputTarget folder(out() / "a-folder");
  EXPECT_FALSE(writeText(folder, "x", error));
  OutputTarget notAFolder(out() / "report.html" / "x.csv");
  EXPECT_TRUE(notAFolder.folderError());
  EXPECT_FALSE(writeText(notAFolder, "x", error));
  EXPECT_EQ(leftovers(out()), std::vector<std::string>{});
}

// Someone who can write in the output folder prepares the temporary name, even as a link to a
// statistics file: it is never opened, another name is taken.
TEST_F(OutputGuard, APreparedTemporaryNameIsNeverUsed) {
  const fs::path duel = statistics() / "2024" / "Duel.csv";
  const auto before = fs::last_write_time(duel);
  put(out() / temporaryName(1), "prepared");
#if !defined(_WIN32)
  fs::create_symlink(duel, out() / temporaryName(2));
#else
  put(out() / temporaryName(2), "prepared");
#endif
  OutputTarget target(out() / "x.json");
  std::uint64_t next = 1;
  target.setRandomSource([&] { return next++; });
  std::string error;
  ASSERT_TRUE(writeText(target, "output", error)) << error;
  EXPECT_EQ(next, 4u);
  EXPECT_EQ(contents(out() / "x.json"), "output");
  EXPECT_EQ(contents(out() / temporaryName(1)), "prepared");
  EXPECT_EQ(contents(duel), "statistics\n");
  EXPECT_EQ(fs::last_write_time(duel), before);
  // Every name taken: nothing is written.
  OutputTarget unlucky(out() / "y.json");
  unlucky.setRandomSource([] { return std::uint64_t{1}; });
  EXPECT_FALSE(writeText(unlucky, "output", error));
  EXPECT_FALSE(fs::exists(out() / "y.json"));
}

// The folder is held from the start: whatever its path names by the time of the write, the
// output goes where the folder was when it was checked.
TEST_F(OutputGuard, APathSwappedAfterTheCheckIsNotFollowed) {
  const fs::path duel = statistics() / "2024" / "Duel.csv";
  OutputTarget target(out() / "Duel.csv");
  ASSERT_FALSE(target.reachesStatistics(readProtectedTree(statistics())));
  fs::rename(out(), root_ / "moved");
#if !defined(_WIN32)
  fs::create_directory_symlink(statistics() / "2024", out());
#else
  fs::create_directories(out());
#endif
  std::string error;
  const bool written = writeText(target, "report", error);
  EXPECT_EQ(contents(duel), "statistics\n");
  // Through the path now: the statistics folder itself on Linux, a new folder on Windows.
  EXPECT_EQ(leftovers(out()), std::vector<std::string>{});
  if (kWindows) {
    EXPECT_FALSE(fs::exists(out() / "Duel.csv"));
  }
  // Windows writes into the folder the handle holds. Wine creates the file there but renames and
  // deletes by the path it was opened at, gone since: the output fails and its temporary file
  // stays in the moved folder; nothing reaches the statistics either way.
  if (written || !kWindows) {
    EXPECT_TRUE(written) << error;
    EXPECT_EQ(contents(root_ / "moved" / "Duel.csv"), "report");
    EXPECT_EQ(leftovers(root_ / "moved"), std::vector<std::string>{});
  }
  // And a check made again before the rename sees the folder as it is now.
  OutputTarget again(root_ / "moved" / "later.json");
  fs::rename(root_ / "moved", statistics() / "moved");
  EXPECT_TRUE(again.reachesStatistics(readProtectedTree(statistics())));
}

}  // namespace

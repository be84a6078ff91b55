// The checks before any file is touched: an accepted game directory whose launcher still exists,
// and open archives. A refused operation leaves the whole disk as it was.
#include <gtest/gtest.h>

#include "archive/archive.h"
#include "patch/game_patcher.h"
#include "platform/resource.h"
#include "sample_manifest.h"
#include "tests/patch/game_tree.h"

namespace patchtest {
namespace {

struct Operation {
  const char* name;
  bool (GamePatcher::*run)();
};

constexpr Operation kOperations[] = {
    {"InstallPackages", &GamePatcher::InstallPackages},
    {"RestorePackages", &GamePatcher::RestorePackages},
    {"InstallPatchedData", &GamePatcher::InstallPatchedData},
    {"InstallStockData", &GamePatcher::InstallStockData},
};

// Official package files with backups, so that each operation would find work to do.
void PlaceFilesEveryOperationWouldTouch(const GameTree& tree) {
  for (const ManifestEntry& entry : FileEntries(kPackageArchive)) {
    testsupport::WriteFileBytes(tree.PathOf(entry.name), OfficialBytes(entry.name));
    testsupport::WriteFileBytes(tree.BackupOf(entry.name), OfficialBytes(entry.name, 1));
  }
}

TEST(Precondition, NoAcceptedDirectoryTouchesNothing) {
  GameTree tree;
  PlaceFilesEveryOperationWouldTouch(tree);
  fs::remove(tree.Launcher());
  const TreeSnapshot before = Snapshot(tree.scratch());

  GamePatcher patcher(tree.directory());
  ASSERT_TRUE(patcher.GameDirectory().empty());
  for (const Operation& op : kOperations) {
    EXPECT_FALSE((patcher.*op.run)()) << op.name;
    EXPECT_EQ(Snapshot(tree.scratch()), before) << op.name;
  }
}

TEST(Precondition, VanishedLauncherTouchesNothing) {
  GameTree tree;
  PlaceFilesEveryOperationWouldTouch(tree);
  GamePatcher patcher(tree.directory());
  ASSERT_FALSE(patcher.GameDirectory().empty());
  fs::remove(tree.Launcher());
  const TreeSnapshot before = Snapshot(tree.scratch());

  for (const Operation& op : kOperations) {
    EXPECT_FALSE((patcher.*op.run)()) << op.name;
    EXPECT_EQ(Snapshot(tree.scratch()), before) << op.name;
  }
}

TEST(Precondition, ReturningLauncherMakesOperationsWorkAgain) {
  GameTree tree;
  GamePatcher patcher(tree.directory());
  fs::remove(tree.Launcher());
  ASSERT_FALSE(patcher.InstallPatchedData());

  testsupport::WriteFileText(tree.Launcher(), "launcher");
  EXPECT_TRUE(patcher.InstallPatchedData());
}

TEST(SetGameDirectory, AppendsBackslashWhenMissing) {
  GameTree tree;
  GamePatcher patcher(u"");
  EXPECT_TRUE(patcher.SetGameDirectory(tree.directory()));
  EXPECT_EQ(patcher.GameDirectory(), tree.directory() + u"\\");
}

TEST(SetGameDirectory, KeepsTrailingBackslash) {
  GameTree tree;
  GamePatcher patcher(u"");
  EXPECT_TRUE(patcher.SetGameDirectory(tree.directory() + u"\\"));
  EXPECT_EQ(patcher.GameDirectory(), tree.directory() + u"\\");
}

TEST(SetGameDirectory, RefusedCandidateKeepsPreviousDirectory) {
  GameTree accepted;
  GameTree refused;
  fs::remove(refused.Launcher());
  GamePatcher patcher(accepted.directory());

  EXPECT_FALSE(patcher.SetGameDirectory(refused.directory()));
  EXPECT_EQ(patcher.GameDirectory(), accepted.directory() + u"\\");
  EXPECT_FALSE(patcher.SetGameDirectory(u""));
  EXPECT_EQ(patcher.GameDirectory(), accepted.directory() + u"\\");

  // Files go to the directory that was kept.
  EXPECT_TRUE(patcher.InstallPatchedData());
  EXPECT_TRUE(fs::exists(accepted.PathOf("contents/data/config.dat")));
  EXPECT_FALSE(fs::exists(refused.PathOf("contents")));
}

TEST(SetGameDirectory, ConstructorIgnoresRefusedCandidate) {
  GameTree tree;
  fs::remove(tree.Launcher());
  GamePatcher patcher(tree.directory());
  EXPECT_TRUE(patcher.GameDirectory().empty());
}

struct EmbeddedArchive {
  uint16_t id;
  int32_t entries;
  size_t manifestEntries;
};

// The archives the executable carries open in place and have the layout the patcher expects.
TEST(EmbeddedArchives, CountQueryGivesEntriesOfEachArchive) {
  const EmbeddedArchive archives[] = {
      {kPackageArchiveId, 117, std::size(kPackageArchive)},
      {kPatchedDataArchiveId, 4, std::size(kPatchedDataArchive)},
      {kStockDataArchiveId, 4, std::size(kStockDataArchive)},
  };
  for (const EmbeddedArchive& archive : archives) {
    const auto bytes = platform::FindResourceBytes(u"ZIP", archive.id, platform::kLangChineseSimplified);
    ASSERT_FALSE(bytes.empty()) << archive.id;
    ArchiveHandle handle = OpenArchiveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr);
    ASSERT_TRUE(IsArchiveHandle(handle)) << archive.id;
    ArchiveEntry entry{};
    EXPECT_EQ(GetEntry(handle, -1, &entry), kOk) << archive.id;
    EXPECT_EQ(entry.index, archive.entries) << archive.id;
    EXPECT_EQ(static_cast<size_t>(entry.index), archive.manifestEntries) << archive.id;
    EXPECT_EQ(CloseArchive(handle), kOk);
  }
}

}  // namespace
}  // namespace patchtest

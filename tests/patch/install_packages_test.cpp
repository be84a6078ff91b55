// InstallPackages and RestorePackages over the embedded package archive: the three states of a
// package file (official without backup, patched with backup, official again without backup).
#include <gtest/gtest.h>

#include "patch/game_patcher.h"
#include "platform/fs.h"
#include "sample_manifest.h"
#include "tests/patch/game_tree.h"

namespace patchtest {
namespace {

class PackageInstall : public testing::Test {
 protected:
  // Every package file of the archive as the game shipped it, so each install needs a backup.
  void PlaceOfficialPackages() {
    for (const ManifestEntry& entry : files_) testsupport::WriteFileBytes(tree_.PathOf(entry.name), OfficialBytes(entry.name));
  }

  void ExpectPatchedWithBackups() {
    for (const ManifestEntry& entry : files_) {
      EXPECT_TRUE(HoldsEntry(tree_.PathOf(entry.name), entry));
      EXPECT_EQ(ReadBytes(tree_.BackupOf(entry.name)), OfficialBytes(entry.name)) << entry.name;
    }
  }

  void ExpectOfficialWithoutBackups() {
    for (const ManifestEntry& entry : files_) {
      EXPECT_EQ(ReadBytes(tree_.PathOf(entry.name)), OfficialBytes(entry.name)) << entry.name;
      EXPECT_FALSE(fs::exists(tree_.BackupOf(entry.name))) << entry.name;
    }
  }

  GameTree tree_;
  GamePatcher patcher_{tree_.directory()};
  std::vector<ManifestEntry> files_ = FileEntries(kPackageArchive);
};

TEST_F(PackageInstall, FreshInstallWritesEveryFileAndNothingElse) {
  ASSERT_TRUE(patcher_.InstallPackages());

  TreeSnapshot expected = {{"TCLS", {}}, {"TCLS/Launcher.exe", ReadBytes(tree_.Launcher())}};
  for (const ManifestEntry& entry : files_) {
    EXPECT_TRUE(HoldsEntry(tree_.PathOf(entry.name), entry));
    expected[entry.name] = ReadBytes(tree_.PathOf(entry.name));
    // Only directories that hold a file come into being ("contents/data/" holds none here).
    for (fs::path dir = fs::path(entry.name).parent_path(); !dir.empty(); dir = dir.parent_path()) {
      expected[dir.generic_string()] = {};
    }
  }
  EXPECT_EQ(Snapshot(tree_.root()), expected);  // no backups of files that were not there
  EXPECT_FALSE(fs::exists(tree_.PathOf("contents/data")));
}

TEST_F(PackageInstall, RestoreLeavesFileThatHadNoOfficialVersion) {
  ASSERT_TRUE(patcher_.InstallPackages());
  const TreeSnapshot installed = Snapshot(tree_.root());

  EXPECT_TRUE(patcher_.RestorePackages());
  EXPECT_EQ(Snapshot(tree_.root()), installed);
}

TEST_F(PackageInstall, InstallBacksUpOfficialFilesAndRestorePutsThemBack) {
  PlaceOfficialPackages();

  ASSERT_TRUE(patcher_.InstallPackages());
  ExpectPatchedWithBackups();

  ASSERT_TRUE(patcher_.RestorePackages());
  ExpectOfficialWithoutBackups();
}

// The backup is the official file itself under a second name: its bytes, attributes and times
// are those the game shipped, and nothing was copied.
TEST_F(PackageInstall, FirstInstallKeepsEachOfficialFileItselfAsItsBackup) {
  PlaceOfficialPackages();
  const uint64_t shipped = 130000000000000000ULL;  // 2012-12-13, long before the archive's times
  const auto witnessOf = [&](const ManifestEntry& entry) {  // a name of the official file outside the game
    return tree_.scratch() / (std::to_string(&entry - files_.data()) + ".witness");
  };
  for (const ManifestEntry& entry : files_) {
    ASSERT_TRUE(platform::SetFileTimes(testsupport::ToU16(tree_.PathOf(entry.name)), 0, shipped, shipped));
    fs::create_hard_link(tree_.PathOf(entry.name), witnessOf(entry));
  }
  const uint32_t attributes = platform::GetFileAttributes(testsupport::ToU16(tree_.PathOf(files_[0].name)));

  ASSERT_TRUE(patcher_.InstallPackages());
  ExpectPatchedWithBackups();
  for (const ManifestEntry& entry : files_) {
    const std::u16string backup = testsupport::ToU16(tree_.BackupOf(entry.name));
    EXPECT_TRUE(platform::IsSameFile(backup, testsupport::ToU16(witnessOf(entry)))) << entry.name;
    platform::FileInfo info{};
    ASSERT_TRUE(platform::GetFileInfo(backup, &info));
    EXPECT_EQ(info.lastWriteTime, shipped) << entry.name;
    EXPECT_EQ(info.attributes, attributes) << entry.name;
  }
}

TEST_F(PackageInstall, SecondInstallKeepsBackupsOfOfficialFiles) {
  PlaceOfficialPackages();

  ASSERT_TRUE(patcher_.InstallPackages());
  ASSERT_TRUE(patcher_.InstallPackages());
  ExpectPatchedWithBackups();
}

TEST_F(PackageInstall, ExistingBackupSurvivesChangedGameFile) {
  PlaceOfficialPackages();
  ASSERT_TRUE(patcher_.InstallPackages());
  // The game's updater rewrote one patched file in the meantime.
  const ManifestEntry& changed = files_.front();
  testsupport::WriteFileBytes(tree_.PathOf(changed.name), OfficialBytes(changed.name, 1));

  ASSERT_TRUE(patcher_.InstallPackages());
  ExpectPatchedWithBackups();
}

TEST_F(PackageInstall, BackupFromEarlierRunIsNeverReplaced) {
  PlaceOfficialPackages();
  const ManifestEntry& entry = files_.back();
  testsupport::WriteFileBytes(tree_.BackupOf(entry.name), OfficialBytes(entry.name, 2));

  ASSERT_TRUE(patcher_.InstallPackages());
  EXPECT_TRUE(HoldsEntry(tree_.PathOf(entry.name), entry));
  EXPECT_EQ(ReadBytes(tree_.BackupOf(entry.name)), OfficialBytes(entry.name, 2));
}

TEST_F(PackageInstall, RestoreWithoutBackupsChangesNothing) {
  PlaceOfficialPackages();
  const TreeSnapshot before = Snapshot(tree_.root());

  EXPECT_TRUE(patcher_.RestorePackages());
  EXPECT_EQ(Snapshot(tree_.root()), before);
}

TEST_F(PackageInstall, SecondRestoreChangesNothing) {
  PlaceOfficialPackages();
  ASSERT_TRUE(patcher_.InstallPackages());
  ASSERT_TRUE(patcher_.RestorePackages());
  const TreeSnapshot restored = Snapshot(tree_.root());

  EXPECT_TRUE(patcher_.RestorePackages());
  EXPECT_EQ(Snapshot(tree_.root()), restored);
  ExpectOfficialWithoutBackups();
}

}  // namespace
}  // namespace patchtest

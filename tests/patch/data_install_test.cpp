// InstallPatchedData and InstallStockData: the two data files switch between the two sets,
// without backups and without touching the package files.
#include <gtest/gtest.h>

#include "patch/game_patcher.h"
#include "sample_manifest.h"
#include "tests/patch/game_tree.h"

namespace patchtest {
namespace {

class DataInstall : public testing::Test {
 protected:
  void ExpectDataOf(std::span<const ManifestEntry> manifest) {
    for (const ManifestEntry& entry : FileEntries(manifest)) {
      EXPECT_TRUE(HoldsEntry(tree_.PathOf(entry.name), entry));
      EXPECT_FALSE(fs::exists(tree_.BackupOf(entry.name))) << entry.name;
    }
  }

  GameTree tree_;
  GamePatcher patcher_{tree_.directory()};
};

TEST_F(DataInstall, SwitchesBetweenPatchedAndStockFiles) {
  for (const ManifestEntry& entry : FileEntries(kStockDataArchive)) {
    testsupport::WriteFileBytes(tree_.PathOf(entry.name), OfficialBytes(entry.name));
  }

  ASSERT_TRUE(patcher_.InstallPatchedData());
  ExpectDataOf(kPatchedDataArchive);
  ASSERT_TRUE(patcher_.InstallStockData());
  ExpectDataOf(kStockDataArchive);
  ASSERT_TRUE(patcher_.InstallPatchedData());
  ExpectDataOf(kPatchedDataArchive);
}

TEST_F(DataInstall, WritesOnlyTheDataFiles) {
  ASSERT_TRUE(patcher_.InstallStockData());

  TreeSnapshot expected = {{"TCLS", {}},
                           {"TCLS/Launcher.exe", ReadBytes(tree_.Launcher())},
                           {"contents", {}},
                           {"contents/data", {}}};
  for (const ManifestEntry& entry : FileEntries(kStockDataArchive)) {
    expected[entry.name] = ReadBytes(tree_.PathOf(entry.name));
  }
  EXPECT_EQ(Snapshot(tree_.root()), expected);
}

TEST_F(DataInstall, LeavesPackageFilesAndBackupsAlone) {
  ASSERT_TRUE(patcher_.InstallPackages());
  const TreeSnapshot packages = Snapshot(tree_.PathOf("contents/bns"));

  ASSERT_TRUE(patcher_.InstallPatchedData());
  ASSERT_TRUE(patcher_.InstallStockData());
  EXPECT_EQ(Snapshot(tree_.PathOf("contents/bns")), packages);
}

}  // namespace
}  // namespace patchtest

// A package archive with entries the patcher must refuse between good ones (built by
// make_faulty_archive.py): the walk acts on none of them and still installs the rest.
#include <gtest/gtest.h>

#include "patch/game_patcher.h"
#include "sample_manifest.h"
#include "tests/patch/game_tree.h"

namespace patchtest {
namespace {

constexpr const char* kGood[] = {"contents/bns/CookedPC/00000001.upk", "contents/bns/CookedPC/00000004.upk"};
constexpr const char* kUnreadable = "contents/bns/CookedPC/00000002.upk";

const ManifestEntry& EntryNamed(std::string_view name) {
  for (const ManifestEntry& entry : kPackageArchive) {
    if (name == entry.name) return entry;
  }
  throw std::logic_error("no such entry in the faulty archive");
}

class FaultyArchive : public testing::Test {
 protected:
  GameTree tree_;
  GamePatcher patcher_{tree_.directory()};
};

TEST_F(FaultyArchive, InstallsGoodEntriesAroundBadOnes) {
  EXPECT_FALSE(patcher_.InstallPackages());
  for (const char* name : kGood) EXPECT_TRUE(HoldsEntry(tree_.PathOf(name), EntryNamed(name)));
}

TEST_F(FaultyArchive, UnreadableEntryNeitherBacksUpNorOverwrites) {
  testsupport::WriteFileBytes(tree_.PathOf(kUnreadable), OfficialBytes(kUnreadable));

  EXPECT_FALSE(patcher_.InstallPackages());
  EXPECT_EQ(ReadBytes(tree_.PathOf(kUnreadable)), OfficialBytes(kUnreadable));
  EXPECT_FALSE(fs::exists(tree_.BackupOf(kUnreadable)));
}

TEST_F(FaultyArchive, RefusesNamesThatLeaveTheGameDirectory) {
  EXPECT_FALSE(patcher_.InstallPackages());

  // Only the good entries and the launcher exist anywhere in the scratch directory.
  TreeSnapshot expected = {{"game", {}},
                           {"game/TCLS", {}},
                           {"game/TCLS/Launcher.exe", ReadBytes(tree_.Launcher())},
                           {"game/contents", {}},
                           {"game/contents/bns", {}},
                           {"game/contents/bns/CookedPC", {}}};
  for (const char* name : kGood) expected[std::string("game/") + name] = ReadBytes(tree_.PathOf(name));
  EXPECT_EQ(Snapshot(tree_.scratch()), expected);
}

TEST_F(FaultyArchive, RestoreSkipsBadEntriesAndRestoresGoodOnes) {
  for (const char* name : kGood) testsupport::WriteFileBytes(tree_.PathOf(name), OfficialBytes(name));
  EXPECT_FALSE(patcher_.InstallPackages());

  EXPECT_FALSE(patcher_.RestorePackages());
  for (const char* name : kGood) {
    EXPECT_EQ(ReadBytes(tree_.PathOf(name)), OfficialBytes(name));
    EXPECT_FALSE(fs::exists(tree_.BackupOf(name)));
  }
}

}  // namespace
}  // namespace patchtest

// InstallPackages when a game file resists: read-only, held open by the game, or impossible to
// back up. The official bytes must never be lost, and every other file is still installed.
#include <gtest/gtest.h>

#include "patch/game_patcher.h"
#include "platform/fs.h"
#include "sample_manifest.h"
#include "tests/patch/game_tree.h"

#ifdef _WIN32
#include <chrono>
#include <optional>
#include <thread>

#include "tests/patch/held_file.h"
#elif defined(__linux__)
#include <signal.h>
#include <sys/resource.h>

#include "platform/fault.h"
#endif

namespace patchtest {
namespace {

class FileInTheWay : public testing::Test {
 protected:
  void SetUp() override {
    testsupport::WriteFileBytes(tree_.PathOf(stuck_.name), OfficialBytes(stuck_.name));
  }

  // Everything but the stuck file was installed; the stuck file still holds the official bytes.
  void ExpectOthersInstalledAndStuckUntouched() {
    for (const ManifestEntry& entry : files_) {
      if (std::string_view(entry.name) == stuck_.name) continue;
      EXPECT_TRUE(HoldsEntry(tree_.PathOf(entry.name), entry));
    }
    EXPECT_EQ(ReadBytes(tree_.PathOf(stuck_.name)), OfficialBytes(stuck_.name));
  }

  std::u16string StuckPath() const { return testsupport::ToU16(tree_.PathOf(stuck_.name)); }

  GameTree tree_;
  GamePatcher patcher_{tree_.directory()};
  std::vector<ManifestEntry> files_ = FileEntries(kPackageArchive);
  ManifestEntry stuck_ = files_.at(files_.size() / 2);
};

TEST_F(FileInTheWay, ReadOnlyGameFileIsBackedUpButNotOverwritten) {
  if (!PlatformHonoursReadOnly()) GTEST_SKIP() << "the file system lets this process overwrite read-only files";
  ASSERT_TRUE(platform::SetFileAttributes(StuckPath(), platform::kAttrReadOnly));

  EXPECT_FALSE(patcher_.InstallPackages());
  ExpectOthersInstalledAndStuckUntouched();
  EXPECT_EQ(ReadBytes(tree_.BackupOf(stuck_.name)), OfficialBytes(stuck_.name));
}

// A backup that is the official file under a second name (a link made before a failed replace),
// read-only or not, or a separate file with its bytes: restore leaves the official bytes with the
// file's own bits, and no backup.
TEST_F(FileInTheWay, RestoreOfABackupThatIsOrEqualsTheOfficialFileLeavesItAndNoBackup) {
  struct Row {
    const char* what;
    bool secondName;
    bool readOnly;
  };
  const Row rows[] = {{"second name", true, false}, {"second name of a read-only file", true, true},
                      {"separate file with the same bytes", false, false}};
  const std::u16string backup = testsupport::ToU16(tree_.BackupOf(stuck_.name));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.readOnly && !PlatformHonoursReadOnly()) continue;
    if (row.secondName) {
      ASSERT_TRUE(platform::CreateHardLink(StuckPath(), backup));
    } else {
      testsupport::WriteFileBytes(tree_.BackupOf(stuck_.name), OfficialBytes(stuck_.name));
    }
    if (row.readOnly) {
      ASSERT_TRUE(platform::SetFileAttributes(StuckPath(), platform::kAttrReadOnly));
    }

    EXPECT_TRUE(patcher_.RestorePackages());
    EXPECT_EQ(ReadBytes(tree_.PathOf(stuck_.name)), OfficialBytes(stuck_.name));
    EXPECT_EQ(platform::GetFileAttributes(StuckPath()) & platform::kAttrReadOnly,
              row.readOnly ? platform::kAttrReadOnly : 0u);
    EXPECT_FALSE(fs::exists(tree_.BackupOf(stuck_.name)));
    ASSERT_TRUE(platform::SetFileAttributes(StuckPath(), platform::kAttrNormal));
  }
}

#ifdef _WIN32

TEST_F(FileInTheWay, GameFileHeldOpenWithoutSharingIsNeitherBackedUpNorOverwritten) {
  bool installed = true;
  {
    HeldFile game(tree_.PathOf(stuck_.name));
    ASSERT_TRUE(game.held());
    installed = patcher_.InstallPackages();
  }
  EXPECT_FALSE(installed);
  ExpectOthersInstalledAndStuckUntouched();
  EXPECT_FALSE(fs::exists(tree_.BackupOf(stuck_.name)));

  // Once the game lets go, the next install backs the file up and patches it.
  EXPECT_TRUE(patcher_.InstallPackages());
  EXPECT_TRUE(HoldsEntry(tree_.PathOf(stuck_.name), stuck_));
  EXPECT_EQ(ReadBytes(tree_.BackupOf(stuck_.name)), OfficialBytes(stuck_.name));
}

// A scanner (or a second copy of the tool) holds a file without sharing for a moment, then lets
// go: the install waits it out and succeeds without a message.
class BriefHold {
 public:
  BriefHold(const fs::path& path, std::chrono::milliseconds hold) : file_(std::in_place, path) {
    held_ = file_->held();
    release_ = std::thread([this, hold] {
      std::this_thread::sleep_for(hold);
      file_.reset();
    });
  }
  ~BriefHold() { release_.join(); }
  BriefHold(const BriefHold&) = delete;
  BriefHold& operator=(const BriefHold&) = delete;
  bool held() const { return held_; }

 private:
  std::optional<HeldFile> file_;
  bool held_ = false;
  std::thread release_;
};

TEST_F(FileInTheWay, FileHeldForAMomentIsWaitedOut) {
  const fs::path leftover = fs::path(TemporaryPathFor(StuckPath()));
  testsupport::WriteFileBytes(leftover, {'k', 'i', 'l', 'l', 'e', 'd'});
  for (const fs::path& path : {tree_.PathOf(stuck_.name), leftover}) {
    SCOPED_TRACE(path.string());
    bool installed = false;
    {
      BriefHold hold(path, std::chrono::milliseconds(300));
      ASSERT_TRUE(hold.held());
      installed = patcher_.InstallPackages();
    }
    EXPECT_TRUE(installed);
    EXPECT_TRUE(HoldsEntry(tree_.PathOf(stuck_.name), stuck_));
    EXPECT_EQ(ReadBytes(tree_.BackupOf(stuck_.name)), OfficialBytes(stuck_.name));
    EXPECT_FALSE(fs::exists(leftover));
    // Round two holds what a killed run left beside the official file again.
    ASSERT_TRUE(patcher_.RestorePackages());
    testsupport::WriteFileBytes(leftover, {'k', 'i', 'l', 'l', 'e', 'd'});
  }
}

#else

TEST_F(FileInTheWay, GameFileHeldOpenWithoutSharingIsNeitherBackedUpNorOverwritten) {
  GTEST_SKIP() << "sharing modes exist on Windows only";
}

#endif

#ifdef __linux__

// Caps the size of any file this process writes; writes beyond it fail instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &savedAction_);
    rlimit capped = saved_;
    capped.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &capped);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    sigaction(SIGXFSZ, &savedAction_, nullptr);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  struct sigaction savedAction_ {};
};

// Where no hard link can be made the backup is a copy. The official file is larger than any file
// this process may write, so that copy breaks off midway, while every archive entry still fits.
TEST_F(FileInTheWay, GameFileThatCannotBeBackedUpIsNotOverwrittenNorHalfBackedUp) {
  constexpr uint32_t kErrorNotSupported = 50;
  platform::fault::Reset();
  platform::fault::FailNth(platform::fault::kLink, 1, kErrorNotSupported, 1000);
  uint32_t largestEntry = 0;
  for (const ManifestEntry& entry : files_) largestEntry = std::max(largestEntry, entry.size);
  const size_t limit = largestEntry + 4096;
  std::vector<uint8_t> official;
  while (official.size() < limit * 2) {
    const auto piece = OfficialBytes(stuck_.name);
    official.insert(official.end(), piece.begin(), piece.end());
  }
  testsupport::WriteFileBytes(tree_.PathOf(stuck_.name), official);

  bool installed = true;
  {
    FileSizeLimit cap(limit);
    installed = patcher_.InstallPackages();
  }
  EXPECT_FALSE(installed);
  for (const ManifestEntry& entry : files_) {
    if (std::string_view(entry.name) == stuck_.name) continue;
    EXPECT_TRUE(HoldsEntry(tree_.PathOf(entry.name), entry));
  }
  EXPECT_EQ(ReadBytes(tree_.PathOf(stuck_.name)), official);
  EXPECT_FALSE(fs::exists(tree_.BackupOf(stuck_.name)));  // a partial copy would pass for the backup later

  for (const auto& [path, bytes] : Snapshot(tree_.root())) {
    EXPECT_FALSE(fs::path(path).filename().string().starts_with("~")) << "a temporary is left: " << path;
  }
  EXPECT_TRUE(patcher_.InstallPackages());
  EXPECT_TRUE(HoldsEntry(tree_.PathOf(stuck_.name), stuck_));
  EXPECT_EQ(ReadBytes(tree_.BackupOf(stuck_.name)), official);
  EXPECT_EQ(fs::hard_link_count(tree_.BackupOf(stuck_.name)), 1u);  // a copy, not a link
  platform::fault::Reset();
}

// The backup is linked, then the replacement fails: the backup is the game file under a second
// name. A restore must still leave the official bytes at the target and no backup.
TEST_F(FileInTheWay, RestoreAfterAFailedReplaceLeavesTheOfficialFileAndNoBackup) {
  constexpr uint32_t kErrorWriteProtect = 19;
  platform::fault::Reset();
  platform::fault::FailNth(platform::fault::kMove, 1, kErrorWriteProtect, 1000);
  EXPECT_FALSE(patcher_.InstallPackages());
  platform::fault::Reset();
  ASSERT_TRUE(platform::IsSameFile(testsupport::ToU16(tree_.BackupOf(stuck_.name)), StuckPath()));

  EXPECT_TRUE(patcher_.RestorePackages());
  EXPECT_EQ(ReadBytes(tree_.PathOf(stuck_.name)), OfficialBytes(stuck_.name));
  EXPECT_FALSE(fs::exists(tree_.BackupOf(stuck_.name)));
}

// Where the system cannot tell that the two names are one file, the backup is moved over the
// target, which rename() does not do between two names of one file: the name must go all the same.
TEST_F(FileInTheWay, RestoreThatCannotTellASecondNameStillDropsIt) {
  ASSERT_TRUE(platform::CreateHardLink(StuckPath(), testsupport::ToU16(tree_.BackupOf(stuck_.name))));
  platform::fault::Reset();
  platform::fault::FailNth(platform::fault::kIdentity, 1, platform::kErrorAccessDenied, 1000);
  EXPECT_TRUE(patcher_.RestorePackages());
  platform::fault::Reset();
  EXPECT_EQ(ReadBytes(tree_.PathOf(stuck_.name)), OfficialBytes(stuck_.name));
  EXPECT_FALSE(fs::exists(tree_.BackupOf(stuck_.name)));
}

#endif

}  // namespace
}  // namespace patchtest

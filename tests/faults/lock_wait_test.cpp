// Files that a scanner or indexer holds for a moment: the moves, the backup step and the probe
// of an existing target fail with a sharing violation or access denied for a few tries, and the
// operation must still succeed, exactly as without them, with its backups still links. A lock
// that lasts must still be reported, within the wait budget, and only what was waited on files
// that failed counts against it. The backend's clock is virtual here: waits are measured exactly.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "fault_archives.h"
#include "patch/game_patcher.h"
#include "platform/fault.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/lock_wait.h"
#include "platform/text.h"
#include "tests/faults/game_files.h"

namespace {

namespace fault = platform::fault;
using namespace faulttest;

constexpr uint32_t kSharing = platform::kErrorSharingViolation;
constexpr uint32_t kDenied = platform::kErrorAccessDenied;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kForGood = 1u << 30;

struct Fault {
  fault::Op op;
  uint32_t error;
  uint32_t times;
};

using Operation = bool (GamePatcher::*)();

struct LockCase {
  const char* what;
  Operation run;
  std::vector<Fault> faults;
};

const LockCase kPassingLocks[] = {
    {"probe of a target that a scanner holds", &GamePatcher::InstallPackages, {{fault::kCreate, kSharing, 3}}},
    {"probe of a target being released", &GamePatcher::InstallPackages, {{fault::kCreate, kDenied, 3}}},
    {"move over a target that a scanner holds", &GamePatcher::InstallPackages, {{fault::kMove, kSharing, 5}}},
    {"move of a temporary being scanned", &GamePatcher::InstallPackages, {{fault::kMove, kDenied, 5}}},
    {"backup of a file being read by a scanner", &GamePatcher::InstallPackages, {{fault::kOpenInput, kSharing, 3}}},
    {"backup link of a held file", &GamePatcher::InstallPackages, {{fault::kLink, kSharing, 3}}},
    {"backup copy of a held file",
     &GamePatcher::InstallPackages,
     {{fault::kLink, kErrorNotSupported, kForGood}, {fault::kCopy, kSharing, 3}}},
    {"backup copy named while scanned",
     &GamePatcher::InstallPackages,
     {{fault::kLink, kErrorNotSupported, kForGood}, {fault::kMoveNoReplace, kDenied, 3}}},
    {"restore over a target that a scanner holds", &GamePatcher::RestorePackages, {{fault::kMove, kSharing, 4}}},
    {"restore denied for a moment", &GamePatcher::RestorePackages, {{fault::kMove, kDenied, 4}}},
    {"data file replaced while scanned", &GamePatcher::InstallPatchedData, {{fault::kMove, kSharing, 4}}},
};

// The overloaded operations, named once so that rows can be compared with them.
const Operation kInstallAlone = &GamePatcher::InstallPackages;
const Operation kRestoreAlone = &GamePatcher::RestorePackages;
const GamePatcher::Operation kRestoreInAPress = &GamePatcher::RestorePackages;

// Every package file with official bytes; patched first when the case restores.
void Prepare(const Game& game, bool patchedFirst) {
  for (const char* file : faults::kPackageFiles) game.Write(file, "official " + std::string(file));
  for (const char* file : faults::kDataFiles) game.Write(file, "data before");
  if (patchedFirst) {
    GamePatcher patcher(game.directory());
    ASSERT_TRUE(patcher.InstallPackages());
  }
}

Tree Reference(Operation run) {
  Game game;
  Prepare(game, run == kRestoreAlone);
  GamePatcher patcher(game.directory());
  EXPECT_TRUE((patcher.*run)());
  return Snapshot(game.root());
}

// The inode of every official package file: a backup made by a link keeps it.
std::map<std::string, ino_t> Inodes(const Game& game) {
  std::map<std::string, ino_t> inodes;
  for (const char* file : faults::kPackageFiles) {
    struct stat st {};
    if (::stat((game.root() / file).c_str(), &st) == 0) inodes[file] = st.st_ino;
  }
  return inodes;
}

std::string TestName(const char* what) {
  std::string name;
  for (const char* p = what; *p != '\0'; ++p) {
    if (std::isalnum(static_cast<unsigned char>(*p))) name.push_back(*p);
  }
  return name;
}

void PrintTo(const LockCase& c, std::ostream* out) { *out << c.what; }

class LockWait : public ::testing::TestWithParam<LockCase> {
 protected:
  void SetUp() override { fault::Reset(); }
  void TearDown() override { fault::Reset(); }
};

TEST_P(LockWait, LockThatPassesIsWaitedOutWithoutAFailure) {
  const LockCase& c = GetParam();
  const Tree expected = Reference(c.run);
  Game game;
  ASSERT_NO_FATAL_FAILURE(Prepare(game, c.run == kRestoreAlone));
  const auto official = Inodes(game);
  GamePatcher patcher(game.directory());
  fault::Reset();
  fault::UseVirtualClock();
  for (const Fault& f : c.faults) fault::FailNth(f.op, 1, f.error, f.times);
  EXPECT_TRUE((patcher.*c.run)());
  const bool linksRefused = c.faults.front().op == fault::kLink && c.faults.front().error != kSharing;
  fault::Reset();
  EXPECT_EQ(Snapshot(game.root()), expected);
  if (c.run != kInstallAlone || linksRefused) return;
  // A copy has the same bytes: only the inode tells that the link was waited for, not given up.
  for (const auto& [file, inode] : official) {
    struct stat st {};
    ASSERT_EQ(::stat((game.root() / (file + kBackup)).c_str(), &st), 0) << file;
    EXPECT_EQ(st.st_ino, inode) << file << kBackup << " is a copy, not the official file";
  }
}

INSTANTIATE_TEST_SUITE_P(Patcher, LockWait, ::testing::ValuesIn(kPassingLocks),
                         [](const ::testing::TestParamInfo<LockCase>& row) { return TestName(row.param.what); });

// Another program made the backup while the copy was under way: it is not ours to replace.
TEST(BackupCopy, ABackupThatAppearsMeanwhileIsKept) {
  fault::Reset();
  Game game;
  ASSERT_NO_FATAL_FAILURE(Prepare(game, false));
  const std::string first = faults::kPackageFiles[0];
  GamePatcher patcher(game.directory());
  fault::FailNth(fault::kLink, 1, kErrorNotSupported, kForGood);
  fault::BeforeNth(fault::kCopy, 1, [&] { game.Write(first + kBackup, "another program's backup"); });
  EXPECT_TRUE(patcher.InstallPackages());
  fault::Reset();
  const Tree tree = Snapshot(game.root());
  EXPECT_EQ(Lookup(tree, first + kBackup), "another program's backup");
  for (const auto& [path, bytes] : tree) EXPECT_FALSE(path.ends_with(".tmp")) << path;
}

// A press: two operations sharing one budget, as the launch actions run them.
struct BudgetCase {
  const char* what;
  GamePatcher::Operation first;
  GamePatcher::Operation second;
  std::function<void(const Game&)> arrange;  // faults armed, files changed
  bool succeeds;
  uint64_t waitedMilliseconds;  // exactly, on the virtual clock
  std::function<void(const Game&)> verify = {};  // after the press, the scanners still holding
};

constexpr uint32_t kPackages = std::size(faults::kPackageFiles);
constexpr uint32_t kFilesOfAPatchedPress = kPackages + std::size(faults::kDataFiles);
// Pauses of 10, 20, 40, 80, then 100 ms: what a hold of a file costs until it passes.
constexpr uint64_t kCostOfHold20 = 30, kCostOfHold50 = 70, kCostOfHold200 = 250, kCostOfHold300 = 350,
                   kCostOfHold900 = 950;

const std::string kFirst = faults::kPackageFiles[0];

std::string TemporaryOf(const std::string& file) {
  return platform::Utf16ToUtf8(TemporaryPathFor(platform::Utf8ToUtf16(file)));
}

// A file that a scanner holds for a while (sharing deletion, as scanners do) is deleted: until the
// scanner lets go, its name stays, and can be neither looked at nor taken.
void PendingDeletion(const Game& game, const std::string& name, uint64_t milliseconds) {
  game.Write(name, "held by a scanner");
  const std::u16string path = testsupport::ToU16(game.root() / name);
  ASSERT_TRUE(fault::HoldAsScanner(path, milliseconds));
  ASSERT_TRUE(platform::DeleteFile(path));
  ASSERT_FALSE(platform::PathExists(path));
  ASSERT_TRUE(fs::exists(game.root() / name));
}

void ExpectFirstOfficialAndNoBackup(const Game& game) {
  EXPECT_EQ(Lookup(Snapshot(game.root()), kFirst), "official " + kFirst);
  fault::Reset();  // the scanner lets go: a backup taken as made would vanish now
  EXPECT_FALSE(fs::exists(game.root() / (kFirst + kBackup)));
}

void ExpectFirstBackedUp(const Game& game) {
  EXPECT_EQ(Lookup(Snapshot(game.root()), kFirst + kBackup), "official " + kFirst);
}

const BudgetCase kBudgetCases[] = {
    {"scanner holding every new file for 20 ms", &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData,
     [](const Game&) { fault::HoldEachFile(fault::kMove, kSharing, 20); }, true,
     kFilesOfAPatchedPress * kCostOfHold20},
    {"scanner holding every new file for 50 ms", &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData,
     [](const Game&) { fault::HoldEachFile(fault::kMove, kDenied, 50); }, true, kFilesOfAPatchedPress * kCostOfHold50},
    // Each file gets its own allowance: 250 ms on every file is never charged, however many files.
    {"scanner holding every new file for 200 ms", &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData,
     [](const Game&) { fault::HoldEachFile(fault::kMove, kSharing, 200); }, true,
     kFilesOfAPatchedPress * kCostOfHold200},
    {"scanner holding each restored file for 900 ms", &GamePatcher::RestorePackages, &GamePatcher::InstallStockData,
     [](const Game&) { fault::HoldEachFile(fault::kMove, kSharing, 900); }, true,
     kFilesOfAPatchedPress * kCostOfHold900},
    // A running game: a second per file until three seconds were spent on files that failed.
    {"four files held for good", &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData,
     [](const Game&) { fault::HoldEachFile(fault::kMove, kSharing, fault::kForever, 4); }, false, 3000},
    {"every file held for good", &GamePatcher::RestorePackages, &GamePatcher::InstallStockData,
     [](const Game&) { fault::HoldEachFile(fault::kMove, kSharing, fault::kForever); }, false, 3000},
    // Passing holds before a lasting one cost nothing of its three seconds.
    {"three files held for a moment, then one for good", &GamePatcher::InstallPackages,
     &GamePatcher::InstallPatchedData,
     [](const Game&) {
       fault::HoldEachFile(fault::kMove, kSharing, 200, 3);
       fault::FailNth(fault::kMove, 3 * 6 + 1, kSharing, 1000);
     },
     false, 3 * kCostOfHold200 + 1000},
    // A backup name pending deletion is no backup: waited for, then made; or the file fails.
    {"backup name pending deletion for 300 ms", &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData,
     [](const Game& game) { PendingDeletion(game, kFirst + kBackup, 300); }, true, kCostOfHold300,
     ExpectFirstBackedUp},
    {"backup name pending deletion for good", &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData,
     [](const Game& game) { PendingDeletion(game, kFirst + kBackup, fault::kForever); }, false, 1000,
     ExpectFirstOfficialAndNoBackup},
    // The temporary's name is taken until the scanner lets go of a leftover removed under it.
    {"temporary name pending deletion for 300 ms", &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData,
     [](const Game& game) { PendingDeletion(game, TemporaryOf(kFirst), 300); }, true, kCostOfHold300,
     ExpectFirstBackedUp},
    {"temporary name pending deletion for good", &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData,
     [](const Game& game) { PendingDeletion(game, TemporaryOf(kFirst), fault::kForever); }, false, 1000},
    // A killed run's leftovers that a scanner holds without letting them be deleted: the restore
    // leaves them alone at once, and every official file is back.
    {"restore beside held leftovers", &GamePatcher::RestorePackages, &GamePatcher::InstallStockData,
     [](const Game& game) {
       for (const char* file : faults::kPackageFiles) {
         game.Write(TemporaryOf(file), "killed run");
         ASSERT_TRUE(fault::HoldAsScanner(testsupport::ToU16(game.root() / TemporaryOf(file)), fault::kForever, false));
       }
     },
     true, 0,
     [](const Game& game) {
       for (const char* file : faults::kPackageFiles) EXPECT_EQ(Lookup(Snapshot(game.root()), file), "official " + std::string(file));
     }},
    // Read-only game files refuse the restore for good: no wait at all.
    {"restore over read-only files", &GamePatcher::RestorePackages, &GamePatcher::InstallStockData,
     [](const Game& game) {
       for (const char* file : faults::kPackageFiles) {
         ASSERT_TRUE(platform::SetFileAttributes(testsupport::ToU16(game.root() / file), platform::kAttrReadOnly));
       }
     },
     false, 0},
};

void PrintTo(const BudgetCase& c, std::ostream* out) { *out << c.what; }

class WaitBudget : public ::testing::TestWithParam<BudgetCase> {
 protected:
  void SetUp() override { fault::Reset(); }
  void TearDown() override { fault::Reset(); }
};

TEST_P(WaitBudget, OnlyWhatFailedIsChargedAndAllWaitingIsBounded) {
  const BudgetCase& c = GetParam();
  Game game;
  ASSERT_NO_FATAL_FAILURE(Prepare(game, c.first == kRestoreInAPress));
  GamePatcher patcher(game.directory(), kOneWorker);
  fault::Reset();
  fault::UseVirtualClock();
  ASSERT_NO_FATAL_FAILURE(c.arrange(game));
  const uint64_t start = platform::SteadyMilliseconds();
  EXPECT_EQ(patcher.RunAction(c.first, c.second) == patch::ActionOutcome::kSucceeded, c.succeeds);
  const uint64_t waited = platform::SteadyMilliseconds() - start;
  EXPECT_EQ(waited, c.waitedMilliseconds);
  if (c.verify) c.verify(game);
  std::cout << "[ budget   ] " << c.what << ": " << (c.succeeds ? "succeeded" : "failed") << " after waiting "
            << waited << " ms over " << kFilesOfAPatchedPress << " files\n";
}

// However long a scanner holds each file, a press waits at most its whole bound in all; the files
// after that fail at once.
TEST(WaitBudgetBound, AScannerOnEveryFileCannotFreezeAPress) {
  fault::Reset();
  Game game;
  ASSERT_NO_FATAL_FAILURE(Prepare(game, false));
  GamePatcher patcher(game.directory(), kOneWorker);
  fault::HoldEachFile(fault::kMove, kSharing, 900);
  fault::UseVirtualClock();
  platform::PressWaitBudget budget(platform::PressWaitBudget::kTotalMilliseconds,
                                  platform::PressWaitBudget::kPerFileMilliseconds, 2 * kCostOfHold900);
  const uint64_t start = platform::SteadyMilliseconds();
  EXPECT_FALSE(patcher.InstallPackages(budget));
  EXPECT_EQ(platform::SteadyMilliseconds() - start, 2 * kCostOfHold900);
  fault::Reset();
}

INSTANTIATE_TEST_SUITE_P(Patcher, WaitBudget, ::testing::ValuesIn(kBudgetCases),
                         [](const ::testing::TestParamInfo<BudgetCase>& row) { return TestName(row.param.what); });

}  // namespace

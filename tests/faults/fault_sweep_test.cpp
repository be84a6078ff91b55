// Every patcher operation with a failing disk at every step: the n-th create, write, copy, move,
// directory creation, delete or time stamp fails, or the disk fills up after some bytes. After
// each fault the operation must report failure, every game file must hold its old or its new
// bytes in full, no official package version may be lost, and a clean run afterwards must reach
// exactly the state of a run that never failed.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fault_archives.h"
#include "patch/game_patcher.h"
#include "platform/fault.h"
#include "platform/fs.h"
#include "tests/faults/game_files.h"

namespace {

namespace fault = platform::fault;
using namespace faulttest;

struct Operation {
  const char* name;
  bool (GamePatcher::*run)();
  void (*prepare)(const Game& game, GamePatcher& patcher);
  bool guardsOfficialPackages;  // the package operations: an official version must never be lost
};

// Two official packages without backups, one package the game lacks, and one whose backup an
// earlier install made (the game file has changed since).
void PrepareOfficialGame(const Game& game, GamePatcher&) {
  game.Write(faults::kPackageFiles[0], std::string(30000, 'o'));
  game.Write(faults::kPackageFiles[2] + kBackup, "official before an earlier install");
  game.Write(faults::kPackageFiles[2], "changed since");
  game.Write(faults::kPackageFiles[3], "official splash");
}

void PreparePatchedGame(const Game& game, GamePatcher& patcher) {
  PrepareOfficialGame(game, patcher);
  ASSERT_TRUE(patcher.InstallPackages());
}

void PrepareStockData(const Game& game, GamePatcher&) {
  game.Write(faults::kDataFiles[0], "stock config");
  game.Write(faults::kDataFiles[1], std::string(5000, 's'));
}

void PreparePatchedDataMissingOne(const Game& game, GamePatcher&) {
  game.Write(faults::kDataFiles[0], std::string(25000, 'p'));
}

const Operation kOperations[] = {
    {"InstallPackages", &GamePatcher::InstallPackages, PrepareOfficialGame, true},
    {"RestorePackages", &GamePatcher::RestorePackages, PreparePatchedGame, true},
    {"InstallPatchedData", &GamePatcher::InstallPatchedData, PrepareStockData, false},
    {"InstallStockData", &GamePatcher::InstallStockData, PreparePatchedDataMissingOne, false},
};

// Errors of a failing disk, which no wait cures (a lock that passes is a case of its own).
uint32_t ErrorFor(fault::Op op) {
  constexpr uint32_t kErrorWriteProtect = 19;
  constexpr uint32_t kErrorWriteFault = 29;
  return op == fault::kWrite ? kErrorWriteFault : kErrorWriteProtect;
}

// A refused link falls back to a copy; an uncertain identity to moving the backup back.
bool FallsBack(fault::Op op) { return op == fault::kLink || op == fault::kIdentity; }

class FaultSweep : public ::testing::TestWithParam<Operation> {
 protected:
  void SetUp() override { fault::Reset(); }
  void TearDown() override { fault::Reset(); }

  // The state before and after a run that never fails, and the calls that run makes.
  void Reference() {
    Game game;
    GamePatcher patcher(game.directory(), kOneWorker);
    GetParam().prepare(game, patcher);
    before_ = Snapshot(game.root());
    fault::Reset();
    ASSERT_TRUE((patcher.*GetParam().run)());
    for (int op = 0; op < fault::kOpCount; ++op) calls_[op] = fault::Count(static_cast<fault::Op>(op));
    after_ = Snapshot(game.root());
    ASSERT_TRUE((patcher.*GetParam().run)());
    afterTwice_ = Snapshot(game.root());
    fault::Reset();
  }

  enum class Outcome {
    kFails,
    kSucceeds,
    // Either answer is right (a time stamp that will not stick once the content is in place is
    // not reported); a success must then have left the complete content.
    kMaySucceedComplete,
  };

  // Runs the operation with arm() armed on a fresh game and checks what the failure left.
  template <typename Arm>
  void RunWithFault(const std::string& label, Outcome outcome, Arm arm) {
    SCOPED_TRACE(std::string(GetParam().name) + " with " + label);
    Game game;
    GamePatcher patcher(game.directory(), kOneWorker);
    GetParam().prepare(game, patcher);
    fault::Reset();
    arm();
    const bool succeeded = (patcher.*GetParam().run)();
    fault::Reset();
    ++points_;
    const Tree faulted = Snapshot(game.root());
    if (outcome == Outcome::kFails) {
      EXPECT_FALSE(succeeded) << "a failed disk operation was reported as success";
    } else if (outcome == Outcome::kSucceeds) {
      EXPECT_TRUE(succeeded);
    }
    if (succeeded) ExpectSameTree(faulted, after_, "after a run reported as successful");

    ExpectEveryPathOldOrNew(faulted);
    if (GetParam().guardsOfficialPackages) ExpectOfficialPackagesKept(faulted);

    EXPECT_TRUE((patcher.*GetParam().run)()) << "the clean run after the fault failed";
    ExpectConverged(Snapshot(game.root()));
  }

  // A package file the game lacked gets no backup; when the failed run had already written it,
  // the clean run backs that file up as it would after any earlier install. Either is right.
  void ExpectConverged(const Tree& final) {
    for (const std::string& path : AllPaths({&final, &after_, &afterTwice_})) {
      const auto now = Lookup(final, path);
      EXPECT_TRUE(now == Lookup(after_, path) || now == Lookup(afterTwice_, path))
          << "after the clean run " << path << " is " << Describe(now) << ", not " << Describe(Lookup(after_, path))
          << " as after a run that never failed";
    }
  }

  // Never a mix, never truncated, nothing left over (a temporary file included).
  void ExpectEveryPathOldOrNew(const Tree& faulted) {
    for (const std::string& path : AllPaths({&before_, &after_, &faulted})) {
      const auto now = Lookup(faulted, path);
      const auto old = Lookup(before_, path);
      const auto fresh = Lookup(after_, path);
      EXPECT_TRUE(now == old || now == fresh)
          << path << " is " << Describe(now) << ", neither its old state (" << Describe(old)
          << ") nor its new one (" << Describe(fresh) << ")";
    }
  }

  // The official version of each package (its backup when one exists, else the game file) must
  // still be somewhere: in the game file or in the backup.
  void ExpectOfficialPackagesKept(const Tree& faulted) {
    for (const char* file : faults::kPackageFiles) {
      const std::string name = file;
      const auto official = Lookup(before_, name + kBackup) ? Lookup(before_, name + kBackup) : Lookup(before_, name);
      if (!official) continue;
      EXPECT_TRUE(Lookup(faulted, name) == official || Lookup(faulted, name + kBackup) == official)
          << "the official version of " << name << " is gone";
    }
  }

  Tree before_;
  Tree after_;
  Tree afterTwice_;
  uint32_t calls_[fault::kOpCount] = {};
  int points_ = 0;
};

TEST_P(FaultSweep, EveryFailingCallLeavesOldOrNewFilesAndConverges) {
  ASSERT_NO_FATAL_FAILURE(Reference());
  for (int op = 0; op < fault::kOpCount; ++op) {
    const auto kind = static_cast<fault::Op>(op);
    for (uint32_t n = 1; n <= calls_[op]; ++n) {
      RunWithFault(std::string("call ") + std::to_string(n) + " of " + fault::OpName(kind) + " failing",
                   // A game file that cannot be read is not backed up (a failure), a target that
                   // cannot be read is rewritten (no failure); a time that will not stick may pass.
                   kind == fault::kSetTimes || kind == fault::kOpenInput ? Outcome::kMaySucceedComplete
                   : FallsBack(kind)                                     ? Outcome::kSucceeds
                                                                         : Outcome::kFails,
                   [&] { fault::FailNth(kind, n, ErrorFor(kind)); });
    }
  }
  std::cout << "[ faults   ] " << GetParam().name << ": " << points_ << " failing calls injected\n";
  RecordProperty("fault_points", points_);
}

TEST_P(FaultSweep, FullDiskAtAnyByteLeavesOldOrNewFilesAndConverges) {
  ASSERT_NO_FATAL_FAILURE(Reference());
  if (calls_[fault::kWrite] + calls_[fault::kCopy] == 0) {
    // Moving backups back needs no room: a full disk must not stop a restore.
    RunWithFault("a full disk", Outcome::kSucceeds, [] { fault::SetWriteBudget(0); });
    std::cout << "[ faults   ] " << GetParam().name << ": " << points_ << " disk-full point injected\n";
    return;
  }
  // Every byte the run writes ends up in a file that differs from before; a backup is a second
  // name of the official file and costs none.
  uint64_t total = 0;
  for (const auto& [path, value] : after_) {
    const bool backup = path.ends_with(kBackup);
    if (value != kDirectory && !backup && Lookup(before_, path) != value) total += value.size();
  }

  const std::set<uint64_t> budgets = {0, 1, 700, 16383, 16384, 16385, total / 3, total / 2, total - 1};
  for (uint64_t budget : budgets) {
    RunWithFault("a disk that is full after " + std::to_string(budget) + " of " + std::to_string(total) + " bytes",
                 Outcome::kFails, [&] { fault::SetWriteBudget(budget); });
  }
  // The accounting above is exact: with room for every byte the run succeeds.
  RunWithFault("a disk with exactly enough room", Outcome::kSucceeds, [&] { fault::SetWriteBudget(total); });
  std::cout << "[ faults   ] " << GetParam().name << ": " << points_ << " disk-full points injected\n";
  RecordProperty("fault_points", points_);
}

void PrintTo(const Operation& operation, std::ostream* out) { *out << operation.name; }

INSTANTIATE_TEST_SUITE_P(Patcher, FaultSweep, ::testing::ValuesIn(kOperations),
                         [](const ::testing::TestParamInfo<Operation>& row) { return std::string(row.param.name); });

}  // namespace

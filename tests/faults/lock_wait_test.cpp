// Files that a scanner or indexer holds for a moment: the moves, the backup step and the probe
// of an existing target fail with a sharing violation or access denied for a few tries, and the
// operation must still succeed, exactly as without them. A lock that lasts must still be
// reported, within the operation's wait budget.
#include <gtest/gtest.h>

#include <chrono>
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

constexpr uint32_t kSharing = platform::kErrorSharingViolation;
constexpr uint32_t kDenied = platform::kErrorAccessDenied;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kForGood = 1u << 30;

struct Fault {
  fault::Op op;
  uint32_t error;
  uint32_t times;
};

struct LockCase {
  const char* what;
  bool (GamePatcher::*run)();
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

// Every package file with official bytes; patched first when the case restores.
void Prepare(const Game& game, bool (GamePatcher::*run)()) {
  for (const char* file : faults::kPackageFiles) game.Write(file, "official " + std::string(file));
  for (const char* file : faults::kDataFiles) game.Write(file, "data before");
  if (run == &GamePatcher::RestorePackages) {
    GamePatcher patcher(game.directory());
    ASSERT_TRUE(patcher.InstallPackages());
  }
}

Tree Reference(bool (GamePatcher::*run)()) {
  Game game;
  Prepare(game, run);
  GamePatcher patcher(game.directory());
  EXPECT_TRUE((patcher.*run)());
  return Snapshot(game.root());
}

class LockWait : public ::testing::TestWithParam<LockCase> {
 protected:
  void SetUp() override { fault::Reset(); }
  void TearDown() override { fault::Reset(); }
};

TEST_P(LockWait, LockThatPassesIsWaitedOutWithoutAFailure) {
  const LockCase& c = GetParam();
  const Tree expected = Reference(c.run);
  Game game;
  ASSERT_NO_FATAL_FAILURE(Prepare(game, c.run));
  GamePatcher patcher(game.directory());
  fault::Reset();
  for (const Fault& f : c.faults) fault::FailNth(f.op, 1, f.error, f.times);
  EXPECT_TRUE((patcher.*c.run)());
  fault::Reset();
  EXPECT_EQ(Snapshot(game.root()), expected);
}

INSTANTIATE_TEST_SUITE_P(Patcher, LockWait, ::testing::ValuesIn(kPassingLocks),
                         [](const ::testing::TestParamInfo<LockCase>& row) {
                           std::string name;
                           for (const char* p = row.param.what; *p != '\0'; ++p) {
                             if (std::isalnum(static_cast<unsigned char>(*p))) name.push_back(*p);
                           }
                           return name;
                         });

// Every move held for good, as by a running game: each file waits about a second until the
// operation's three seconds are spent, and then the rest fail at once.
TEST(LockWaitBudget, LockThatLastsIsReportedWithinTheOperationsBudget) {
  fault::Reset();
  Game game;
  ASSERT_NO_FATAL_FAILURE(Prepare(game, &GamePatcher::InstallPackages));
  const Tree before = Snapshot(game.root());
  GamePatcher patcher(game.directory());
  fault::FailNth(fault::kMove, 1, kSharing, kForGood);
  const auto start = std::chrono::steady_clock::now();
  const bool installed = patcher.InstallPackages();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  fault::Reset();
  EXPECT_FALSE(installed);
  EXPECT_LT(seconds, 8.0);
  std::cout << "[ locks    ] every move held for good: reported after " << seconds << " s\n";
  RecordProperty("lasting_lock_seconds", std::to_string(seconds));
  for (const char* file : faults::kPackageFiles) {
    EXPECT_EQ(Lookup(Snapshot(game.root()), file), Lookup(before, file)) << file << " changed";
  }
}

}  // namespace

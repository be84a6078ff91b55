// The wait budget on the full-size tree (112 package files, 2 data files), with the press's files
// worked on side by side and every pause lasting whole periods of Windows' default 15.625 ms
// timer. A scanner that holds each new file for a quarter second must cost no file; a lasting
// cause must still be reported within about three seconds of the player's time; all waiting of a
// press stays within its bound. The virtual clock gives each worker a clock of its own: the
// longest of them is what the player waits, the sum is what the whole bound counts.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "patch/game_patcher.h"
#include "platform/fault.h"
#include "platform/fs.h"
#include "platform/lock_wait.h"
#include "sample_manifest.h"
#include "tests/faults/game_files.h"

namespace {

namespace fault = platform::fault;
using namespace faulttest;
using patchtest::ManifestEntry;

constexpr uint32_t kSharing = platform::kErrorSharingViolation;
constexpr uint32_t kDenied = platform::kErrorAccessDenied;
constexpr uint32_t kWindowsTimerMicroseconds = 15625;
constexpr uint32_t kWorkers = 4;
// What a file can cost beyond its allowance: one last pause, rounded up to the timer.
constexpr uint64_t kOnePause = 110;
// The bound on all waiting of a press, as the README states it.
constexpr uint64_t kBoundOfAllWaiting = 60000;

template <size_t N>
void WriteFiles(const Game& game, const ManifestEntry (&entries)[N], const std::string& prefix) {
  for (const ManifestEntry& entry : entries) {
    if (!entry.directory) game.Write(entry.name, prefix + entry.name);
  }
}

constexpr uint32_t FileCount() {
  uint32_t count = 0;
  for (const ManifestEntry& entry : patchtest::kPackageArchive) count += entry.directory ? 0 : 1;
  for (const ManifestEntry& entry : patchtest::kPatchedDataArchive) count += entry.directory ? 0 : 1;
  return count;
}
constexpr uint32_t kFiles = FileCount();
static_assert(kFiles == 114, "the full-size sample tree");

// Official package files and old data files; patched first for a press that restores.
void Prepare(const Game& game, bool patchedFirst) {
  WriteFiles(game, patchtest::kPackageArchive, "official ");
  WriteFiles(game, patchtest::kPatchedDataArchive, "data before ");
  if (patchedFirst) {
    GamePatcher patcher(game.directory());
    ASSERT_TRUE(patcher.InstallPackages());
  }
}

struct BudgetCase {
  const char* what;
  GamePatcher::Operation first;
  GamePatcher::Operation second;
  std::function<void(const Game&)> arrange;
  bool succeeds;
  uint64_t perFileCost;      // a passing hold: what each of the press's files waits, summed exactly
  uint64_t longestPlayerWait;  // at most, summed over the two operations' longest workers
};

// Pauses of 10, 20, 40, 80, then 100 ms, each lasting whole timer periods (15.625, 31.25,
// 46.875, 93.75, 109.375 ms): a hold of 250 ms costs 296.875 ms, one of 20 ms 46.875 ms.
constexpr uint64_t kCostOfHold250 = 297, kCostOfHold20 = 47;
const GamePatcher::Operation kRestore = &GamePatcher::RestorePackages;

const BudgetCase kBudgetCases[] = {
    {"scanner holding every new file for 250 ms", &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData,
     [](const Game&) { fault::HoldEachFile(fault::kMove, kSharing, 250); }, true, kCostOfHold250,
     kFiles * kCostOfHold250},
    {"scanner holding every new file for 20 ms", &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData,
     [](const Game&) { fault::HoldEachFile(fault::kMove, kDenied, 20); }, true, kCostOfHold20, kFiles * kCostOfHold20},
    {"scanner holding every restored file for 250 ms", &GamePatcher::RestorePackages, &GamePatcher::InstallStockData,
     [](const Game&) { fault::HoldEachFile(fault::kMove, kSharing, 250); }, true, kCostOfHold250,
     kFiles * kCostOfHold250},
    // A running game: reported within about three seconds, whatever the workers did meanwhile.
    {"four files held for good", &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData,
     [](const Game&) { fault::HoldEachFile(fault::kMove, kSharing, fault::kForever, 4); }, false, 0, 3000},
    {"every file held for good", &GamePatcher::RestorePackages, &GamePatcher::InstallStockData,
     [](const Game&) { fault::HoldEachFile(fault::kMove, kSharing, fault::kForever); }, false, 0, 3000},
};

void PrintTo(const BudgetCase& c, std::ostream* out) { *out << c.what; }

std::string TestName(const char* what) {
  std::string name;
  for (const char* p = what; *p != '\0'; ++p) {
    if (std::isalnum(static_cast<unsigned char>(*p))) name.push_back(*p);
  }
  return name;
}

class WaitBudget : public ::testing::TestWithParam<BudgetCase> {
 protected:
  void SetUp() override { fault::Reset(); }
  void TearDown() override { fault::Reset(); }
};

// The press's two operations with one budget, as RunAction runs them; the waits of each.
struct Waited {
  bool succeeded;
  uint64_t summed;
  uint64_t player;
};

Waited Press(GamePatcher& patcher, GamePatcher::Operation first, GamePatcher::Operation second,
             platform::PressWaitBudget& budget) {
  (void)fault::TakeVirtualWaits();
  bool succeeded = (patcher.*first)(budget);
  const fault::VirtualWaits one = fault::TakeVirtualWaits();
  succeeded = succeeded && (patcher.*second)(budget);
  const fault::VirtualWaits two = fault::TakeVirtualWaits();
  return {succeeded, one.summedMilliseconds + two.summedMilliseconds,
          one.longestThreadMilliseconds + two.longestThreadMilliseconds};
}

TEST_P(WaitBudget, AScannerCostsNoFileAndALastingCauseIsReportedInSeconds) {
  const BudgetCase& c = GetParam();
  Game game;
  ASSERT_NO_FATAL_FAILURE(Prepare(game, c.first == kRestore));
  GamePatcher patcher(game.directory(), kWorkers);
  fault::Reset();
  ASSERT_NO_FATAL_FAILURE(c.arrange(game));
  fault::UseVirtualClock(kWindowsTimerMicroseconds);
  platform::PressWaitBudget budget;
  const Waited waited = Press(patcher, c.first, c.second, budget);
  EXPECT_EQ(waited.succeeded, c.succeeds);
  if (c.succeeds) {
    // Whole milliseconds of a 15.625 ms timer: each file's sum may lose or gain one per pause.
    EXPECT_NEAR(static_cast<double>(waited.summed), static_cast<double>(kFiles * c.perFileCost), kFiles * 5.0);
  }
  EXPECT_LE(waited.player, c.longestPlayerWait + kOnePause);
  std::cout << "[ budget   ] " << c.what << ": " << (waited.succeeded ? "succeeded" : "failed") << ", "
            << waited.summed << " ms waited over " << kFiles << " files, " << waited.player << " ms with "
            << kWorkers << " workers\n";
}

INSTANTIATE_TEST_SUITE_P(FullTree, WaitBudget, ::testing::ValuesIn(kBudgetCases),
                         [](const ::testing::TestParamInfo<BudgetCase>& row) { return TestName(row.param.what); });

// With the default budget, a scanner that holds every file for nearly a second (about 108 s over
// the tree) is cut off at the whole bound; the files after that fail at once.
TEST(WaitBudgetBound, AScannerOnEveryFileCannotHoldAPressForMinutes) {
  for (const uint32_t workers : {1u, kWorkers}) {
    SCOPED_TRACE(std::to_string(workers) + " workers");
    fault::Reset();
    Game game;
    ASSERT_NO_FATAL_FAILURE(Prepare(game, false));
    GamePatcher patcher(game.directory(), workers);
    fault::HoldEachFile(fault::kMove, kSharing, 900);
    fault::UseVirtualClock(kWindowsTimerMicroseconds);
    platform::PressWaitBudget budget;
    const Waited waited = Press(patcher, &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData, budget);
    EXPECT_FALSE(waited.succeeded);
    EXPECT_GE(waited.summed, platform::PressWaitBudget::kWholeMilliseconds);
    EXPECT_LE(waited.summed, kBoundOfAllWaiting + workers * kOnePause);
    std::cout << "[ bound    ] " << workers << " workers: " << waited.summed << " ms waited in all, "
              << waited.player << " ms as the player sees it\n";
  }
  fault::Reset();
}

// Workers whose files fail side by side charge the total together: every wait of theirs counts,
// so the next file finds the total spent. The failures end their threads with no other step
// between them, so ThreadSanitizer sees any charge made outside the budget's mutex.
TEST(WaitBudgetWorkers, FilesThatFailSideBySideAreAllCharged) {
  fault::Reset();
  fault::UseVirtualClock();
  constexpr uint32_t kPause = 10;  // the first pause of a file
  platform::PressWaitBudget budget(kWorkers * kPause);
  {
    std::vector<std::jthread> workers;
    for (uint32_t i = 0; i < kWorkers; ++i) {
      workers.emplace_back([&budget, i] {
        const std::u16string path = u"held" + std::u16string(1, static_cast<char16_t>(u'0' + i));
        EXPECT_FALSE(budget.ForFile([&](platform::LockWaitBudget& file) {
          EXPECT_TRUE(file.WaitAgain(kSharing, path)) << "the total ran out before every worker waited";
          return false;
        }));
      });
    }
  }
  EXPECT_FALSE(budget.ForFile([](platform::LockWaitBudget& file) { return file.WaitAgain(kSharing, u"next"); }))
      << "a failure of a worker went uncharged";
  fault::Reset();
}

}  // namespace

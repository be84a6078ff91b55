// Each launch action killed at every platform call it makes, with no clean-up at all, as Task
// Manager ends a frozen window. After each kill every game file must hold its old or its new bytes
// in full and every backup the official bytes in full or not exist; a clean run of the same action
// must then reach exactly the state of a run that was never killed, and "official" the official
// files with no backup and nothing stray. "Official" pressed straight after a killed install must
// reach that same official state.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "fault_archives.h"
#include "patch/game_patcher.h"
#include "platform/fault.h"
#include "tests/faults/game_files.h"

namespace {

namespace fault = platform::fault;
using namespace faulttest;

using Step = bool (GamePatcher::*)();

const std::vector<Step> kPatched = {&GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData};
const std::vector<Step> kOfficial = {&GamePatcher::RestorePackages, &GamePatcher::InstallStockData};
const std::vector<Step> kSummoner = {&GamePatcher::InstallPackages, &GamePatcher::InstallStockData};

struct Action {
  const char* name;
  std::vector<Step> steps;  // a later step runs only when the one before succeeded
  bool startsPatched;
  bool linksFail;  // a file system without hard links: backups are copies
  std::vector<Step> then;  // pressed after the kill; none: the same action again
  uint32_t workers = kOneWorker;  // more: the kill lands wherever the threads happen to be
};

const Action kActions[] = {
    {"Patched", kPatched, false, false, {}},
    {"PatchedWithoutLinks", kPatched, false, true, {}},
    {"Official", kOfficial, true, false, {}},
    {"Summoner", kSummoner, false, false, {}},
    {"RestoreOnly", {&GamePatcher::RestorePackages}, true, false, {}},
    {"PatchedThenOfficial", kPatched, false, false, kOfficial},
    {"PatchedWithoutLinksThenOfficial", kPatched, false, true, kOfficial},
    {"SummonerThenOfficial", kSummoner, false, false, kOfficial},
    {"PatchedWithWorkersThenOfficial", kPatched, false, false, kOfficial, 4},
};

bool RunAction(GamePatcher& patcher, const std::vector<Step>& steps) {
  for (Step step : steps) {
    if (!(patcher.*step)()) return false;
  }
  return true;
}

std::string Official(const std::string& name) { return "official " + name + std::string(name.size() * 997, 'o'); }

// Every package file with official bytes and no backups, old data files; patched first for the
// actions that start from there.
void Prepare(const Game& game, const Action& action) {
  for (const char* file : faults::kPackageFiles) game.Write(file, Official(file));
  for (const char* file : faults::kDataFiles) game.Write(file, "data before " + std::string(file));
  if (action.startsPatched) {
    GamePatcher patcher(game.directory(), kOneWorker);
    ASSERT_TRUE(patcher.InstallPackages());
  }
}

// Runs the action in a child that the hook ends at its n-th platform call; true when it was
// killed, false when it ran to its end first.
bool KilledAt(const Game& game, const Action& action, uint32_t n) {
  const pid_t child = ::fork();
  if (child == 0) {
    GamePatcher patcher(game.directory(), action.workers);
    constexpr uint32_t kErrorNotSupported = 50;
    fault::Reset();
    if (action.linksFail) fault::FailNth(fault::kLink, 1, kErrorNotSupported, 1000);
    fault::ExitAtCall(n);
    RunAction(patcher, action.steps);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << "the child did not end by itself at call " << n;
  return WIFEXITED(status) && WEXITSTATUS(status) == fault::kKilledExitCode;
}

class KillSweep : public ::testing::TestWithParam<Action> {
 protected:
  void SetUp() override {
    fault::Reset();
    Game game;
    ASSERT_NO_FATAL_FAILURE(Prepare(game, GetParam()));
    before_ = Snapshot(game.root());
    GamePatcher patcher(game.directory(), kOneWorker);
    ASSERT_TRUE(RunAction(patcher, GetParam().steps));
    after_ = Snapshot(game.root());
    ASSERT_TRUE(RunAction(patcher, kOfficial));
    official_ = Snapshot(game.root());
  }

  void ExpectWholeFilesAfterKill(const Tree& killed) {
    for (const std::string& path : AllPaths({&before_, &after_, &killed})) {
      const auto now = Lookup(killed, path);
      if (path.ends_with(kBackup)) {
        const std::string game = path.substr(0, path.size() - kBackup.size());
        EXPECT_TRUE(!now || *now == Official(game)) << path << " is " << Describe(now) << ", not the official bytes";
      } else if (!path.ends_with(".tmp")) {  // a killed write leaves its temporary: the clean run must remove it
        EXPECT_TRUE(now == Lookup(before_, path) || now == Lookup(after_, path))
            << path << " is " << Describe(now) << ", neither its old nor its new content";
      }
    }
  }

  Tree before_;
  Tree after_;
  Tree official_;  // the action unkilled, then "official"
};

TEST_P(KillSweep, EveryKillLeavesWholeFilesAndTheNextRunConverges) {
  const Action& action = GetParam();
  uint32_t points = 0;
  for (uint32_t n = 1;; ++n) {
    SCOPED_TRACE(std::string(action.name) + " killed at call " + std::to_string(n));
    Game game;
    ASSERT_NO_FATAL_FAILURE(Prepare(game, action));
    if (!KilledAt(game, action, n)) break;
    ++points;
    ExpectWholeFilesAfterKill(Snapshot(game.root()));

    GamePatcher patcher(game.directory(), kOneWorker);
    if (!action.then.empty()) {
      // Another button after the kill: what the killed action left must not outlive it.
      EXPECT_TRUE(RunAction(patcher, action.then)) << "the press after the kill failed";
      ExpectSameTree(Snapshot(game.root()), official_, "after official:");
      if (::testing::Test::HasFailure()) break;
      continue;
    }
    EXPECT_TRUE(RunAction(patcher, action.steps)) << "the clean run after the kill failed";
    ExpectSameTree(Snapshot(game.root()), after_, "after the clean run:");
    EXPECT_TRUE(patcher.RestorePackages() && patcher.InstallStockData());
    const Tree official = Snapshot(game.root());
    for (const char* file : faults::kPackageFiles) {
      EXPECT_EQ(Lookup(official, file), Official(file)) << "after official";
      EXPECT_FALSE(Lookup(official, file + kBackup)) << "after official";
    }
    for (const auto& [path, value] : official) EXPECT_FALSE(path.ends_with(".tmp")) << path << " is left after official";
    if (::testing::Test::HasFailure()) break;  // one broken kill point says enough
  }
  EXPECT_GT(points, 0u);
  std::cout << "[ kills    ] " << action.name << ": " << points << " kill points\n";
  RecordProperty("kill_points", static_cast<int>(points));
}

void PrintTo(const Action& action, std::ostream* out) { *out << action.name; }

INSTANTIATE_TEST_SUITE_P(LaunchActions, KillSweep, ::testing::ValuesIn(kActions),
                         [](const ::testing::TestParamInfo<Action>& row) { return std::string(row.param.name); });

}  // namespace

// Two copies of the tool on one game directory: a press in the second waits until the first
// copy's action has ended and then does its own, so the later press decides the final state and
// no official byte is lost. Natively the second copy is a forked process; on Windows this test
// program started again.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <numeric>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "patch/game_patcher.h"
#include "platform/fs.h"
#include "sample_manifest.h"
#include "tests/patch/game_tree.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/fault.h"
#endif

namespace patchtest {
namespace {

constexpr patch::ActionOutcome kSucceeded = patch::ActionOutcome::kSucceeded;

struct Press {
  const char* name;
  GamePatcher::Operation first;
  GamePatcher::Operation second;
};

// "hold": a copy that takes the lock and never lets go until it is killed.
const Press kPresses[] = {
    {"patched", &GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData},
    {"official", &GamePatcher::RestorePackages, &GamePatcher::InstallStockData},
    {"summoner", &GamePatcher::InstallPackages, &GamePatcher::InstallStockData},
    {"hold", nullptr, nullptr},
};

const Press& PressNamed(const std::string& name) {
  for (const Press& press : kPresses) {
    if (name == press.name) return press;
  }
  return kPresses[0];
}

// Beside the game directory: the second copy is about to press.
fs::path ReadyMark(const fs::path& game) { return game.parent_path() / "second-copy-pressing"; }

// The second copy's exit code is 0 when its press succeeded.
int PressAsSecondCopy(const fs::path& game, const Press& press) {
  GamePatcher patcher(testsupport::ToU16(game));
  if (press.first == nullptr) {
    const platform::DirectoryLock held = patcher.LockGameDirectory(0);
    testsupport::WriteFileText(ReadyMark(game), "holding");
    std::this_thread::sleep_for(std::chrono::minutes(2));
    return 3;
  }
  testsupport::WriteFileText(ReadyMark(game), "pressing");
  return patcher.RunAction(press.first, press.second) == kSucceeded ? 0 : 1;
}

// Until the second copy has left its mark, at most a minute.
bool AwaitMark(const fs::path& mark) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(mark) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return fs::exists(mark);
}

#ifdef _WIN32

class SecondCopy {
 public:
  SecondCopy(const GameTree& tree, const Press& press) : game_(tree.root().wstring()), press_(press.name) {}
  ~SecondCopy() {
    if (process_ != nullptr) ::CloseHandle(process_);
  }
  // Starts it; the handles of this process stay its own.
  bool Go() {
    ::SetEnvironmentVariableW(L"MORVELT_SECOND_COPY_GAME", game_.c_str());
    ::SetEnvironmentVariableA("MORVELT_SECOND_COPY_PRESS", press_.c_str());
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) +
                           L"\" --gtest_filter=SecondCopy.DISABLED_Press --gtest_also_run_disabled_tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (::CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
      ::CloseHandle(info.hThread);
      process_ = info.hProcess;
    }
    ::SetEnvironmentVariableW(L"MORVELT_SECOND_COPY_GAME", nullptr);
    ::SetEnvironmentVariableW(L"MORVELT_SECOND_COPY_PRESS", nullptr);
    return process_ != nullptr;
  }
  void Kill() { ::TerminateProcess(process_, 9); }
  int Wait() {
    ::WaitForSingleObject(process_, INFINITE);
    DWORD code = 1;
    ::GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
  }

 private:
  std::wstring game_;
  std::string press_;
  HANDLE process_ = nullptr;
};

// The second copy's side, run only by SecondCopy above.
TEST(SecondCopy, DISABLED_Press) {
  const wchar_t* game = _wgetenv(L"MORVELT_SECOND_COPY_GAME");
  const char* press = std::getenv("MORVELT_SECOND_COPY_PRESS");
  if (game == nullptr || press == nullptr) GTEST_SKIP() << "started by TwoCopies only";
  EXPECT_EQ(PressAsSecondCopy(fs::path(game), PressNamed(press)), 0);
}

#else

// Forked before the first copy takes the lock: a child forked later would share the locked
// descriptor and keep the lock held after the parent lets it go.
class SecondCopy {
 public:
  SecondCopy(const GameTree& tree, const Press& press) {
    if (::pipe(go_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      char signal = 0;
      ::close(go_[1]);
      if (::read(go_[0], &signal, 1) != 1) ::_exit(2);
      ::_exit(PressAsSecondCopy(tree.root(), press));
    }
    ::close(go_[0]);
  }
  ~SecondCopy() { ::close(go_[1]); }
  bool Go() { return pid_ > 0 && ::write(go_[1], "g", 1) == 1; }
  void Kill() { ::kill(pid_, SIGKILL); }
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
  }

 private:
  int go_[2] = {-1, -1};
  pid_t pid_ = -1;
};

#endif

void PlaceOfficialPackages(const GameTree& tree) {
  for (const ManifestEntry& entry : FileEntries(kPackageArchive)) {
    testsupport::WriteFileBytes(tree.PathOf(entry.name), OfficialBytes(entry.name));
  }
}

// What one copy pressing first, then second, gives.
TreeSnapshot OneAfterTheOther(const Press& first, const Press& second) {
  GameTree tree;
  PlaceOfficialPackages(tree);
  GamePatcher patcher(tree.directory());
  EXPECT_EQ(patcher.RunAction(first.first, first.second), kSucceeded);
  EXPECT_EQ(patcher.RunAction(second.first, second.second), kSucceeded);
  return Snapshot(tree.root());
}

struct Pair {
  const char* first;
  const char* second;
};

void PrintTo(const Pair& pair, std::ostream* out) { *out << pair.first << " then " << pair.second; }

class TwoCopies : public testing::TestWithParam<Pair> {};

TEST_P(TwoCopies, TheSecondPressWaitsForTheFirstActionAndDecidesTheEnd) {
  const Press& first = PressNamed(GetParam().first);
  const Press& second = PressNamed(GetParam().second);
  const TreeSnapshot expected = OneAfterTheOther(first, second);

  GameTree tree;
  PlaceOfficialPackages(tree);
  GamePatcher patcher(tree.directory());
  const fs::path ready = ReadyMark(tree.root());
  SecondCopy other(tree, second);
  // The first copy's action is under way: it holds the lock while the second copy presses.
  std::optional<platform::DirectoryLock> lock = patcher.LockGameDirectory(0);
  ASSERT_TRUE(lock->IsHeld());
  ASSERT_TRUE(other.Go());
  EXPECT_TRUE(AwaitMark(ready)) << "the second copy never pressed";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // it is waiting for the lock now
  platform::PressWaitBudget budget;
  EXPECT_TRUE((patcher.*first.first)(budget) && (patcher.*first.second)(budget));
  lock.reset();

  EXPECT_EQ(other.Wait(), 0) << "the second copy's press failed";
  EXPECT_EQ(Snapshot(tree.root()), expected) << first.name << " then " << second.name;
}

INSTANTIATE_TEST_SUITE_P(Presses, TwoCopies,
                         testing::Values(Pair{"patched", "official"}, Pair{"official", "patched"},
                                         Pair{"patched", "summoner"}),
                         [](const testing::TestParamInfo<Pair>& row) {
                           return std::string(row.param.first) + "Then" + row.param.second;
                         });

// Runs a step when the press has done a given number of files, on whichever of the action's
// threads got there; each step once.
class AtFilesDone : public patch::ActionProgress {
 public:
  struct Step {
    uint32_t files;
    std::function<void()> run;
  };
  explicit AtFilesDone(std::vector<Step> steps) : steps_(std::move(steps)), ran_(steps_.size()) {}
  void WaitingForOtherCopy(bool) override {}
  void FilesDone(uint32_t done, uint32_t) override {
    for (size_t i = 0; i < steps_.size(); ++i) {
      if (done == steps_[i].files && !ran_[i].exchange(true)) steps_[i].run();
    }
  }

 private:
  std::vector<Step> steps_;
  std::vector<std::atomic<bool>> ran_;
};

// Every report of a press, from whichever of its threads made it.
class Reports : public patch::ActionProgress {
 public:
  void WaitingForOtherCopy(bool waiting) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    waited_ = waited_ || waiting;
  }
  void FilesDone(uint32_t done, uint32_t total) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    done_.push_back(done);
    totals_.insert(total);
  }
  bool Waited() const { return waited_; }
  // The counts reported, in order of size.
  std::vector<uint32_t> Done() const {
    std::vector<uint32_t> done = done_;
    std::sort(done.begin(), done.end());
    return done;
  }
  const std::set<uint32_t>& Totals() const { return totals_; }

 private:
  std::mutex mutex_;
  bool waited_ = false;
  std::vector<uint32_t> done_;
  std::set<uint32_t> totals_;
};

// The line ends at every file of both operations: one report per finished file, counting
// 1, 2, ... up to the total, whichever worker finished it.
TEST(ActionProgress, ThePressReportsEveryFileUpToTheTotal) {
  const uint32_t files = static_cast<uint32_t>(FileEntries(kPackageArchive).size() + FileEntries(kPatchedDataArchive).size());
  for (const Press& press : {PressNamed("patched"), PressNamed("official"), PressNamed("summoner")}) {
    SCOPED_TRACE(press.name);
    GameTree tree;
    PlaceOfficialPackages(tree);
    GamePatcher patcher(tree.directory(), 4);
    Reports reports;
    EXPECT_EQ(patcher.RunAction(press.first, press.second, &reports), kSucceeded);
    std::vector<uint32_t> expected(files + 1);
    std::iota(expected.begin(), expected.end(), 0u);  // 0 before the first file
    EXPECT_EQ(reports.Done().back(), files) << "the line ends short of the total";
    EXPECT_EQ(reports.Done(), expected);
    EXPECT_EQ(reports.Totals(), std::set<uint32_t>{files});
  }
}

// A game folder removed after it was accepted cannot be locked: the press fails (the failure box,
// then the launcher), with no word of another copy and no wait for one.
TEST(TwoCopiesWait, ARemovedGameFolderIsAFailureNotAnotherCopy) {
  GameTree tree;
  GamePatcher patcher(tree.directory());
  ASSERT_FALSE(patcher.GameDirectory().empty());
  fs::remove_all(tree.root());
  Reports reports;
  EXPECT_EQ(patcher.RunAction(&GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData, &reports, 5000),
            patch::ActionOutcome::kFailed);
  EXPECT_FALSE(reports.Waited()) << "a removed folder was waited for as another copy's";
  EXPECT_FALSE(fs::exists(tree.root())) << "the press made the removed folder again";
}

// The lock is held for the whole action, not per operation: another copy that presses while the
// first copy's package files are being written runs only after its data files too, so no data
// file of one press outlives the other's. The first copy pauses after its first data file, where
// a lock held per operation would let the other copy's whole press in.
TEST(TwoCopiesWait, AnotherPressWaitsForTheDataFilesToo) {
  const TreeSnapshot expected = OneAfterTheOther(PressNamed("patched"), PressNamed("official"));
  GameTree tree;
  PlaceOfficialPackages(tree);
  SecondCopy other(tree, PressNamed("official"));
  GamePatcher patcher(tree.directory(), 1);  // one worker: the pause falls between the two data files
  const auto packages = static_cast<uint32_t>(FileEntries(kPackageArchive).size());
  bool pressed = false;
  AtFilesDone progress({
      {1,
       [&] {
         pressed = other.Go() && AwaitMark(ReadyMark(tree.root()));
         std::this_thread::sleep_for(std::chrono::milliseconds(300));  // it is waiting for the lock now
       }},
      {packages + 1, [] { std::this_thread::sleep_for(std::chrono::seconds(3)); }},
  });
  EXPECT_EQ(patcher.RunAction(&GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData, &progress),
            kSucceeded);
  EXPECT_TRUE(pressed) << "the second copy never pressed";
  EXPECT_EQ(other.Wait(), 0) << "the second copy's press failed";
  EXPECT_EQ(Snapshot(tree.root()), expected) << "the two presses mixed";
}

// A copy that is already waiting when the holder is killed (the task manager ending it) gets the
// lock the holder left, and its press goes on as usual.
TEST(TwoCopiesWait, ACopyWaitingWhenTheHolderIsKilledGoesOn) {
  GameTree tree;
  PlaceOfficialPackages(tree);
  SecondCopy holder(tree, PressNamed("hold"));
  ASSERT_TRUE(holder.Go());
  ASSERT_TRUE(AwaitMark(ReadyMark(tree.root())));
  GamePatcher patcher(tree.directory());
  const auto start = std::chrono::steady_clock::now();
  std::thread killer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    holder.Kill();
  });
  const patch::ActionOutcome outcome =
      patcher.RunAction(&GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData, nullptr, 20000);
  killer.join();
  holder.Wait();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << "it never waited";
  EXPECT_EQ(outcome, kSucceeded);
}

// A copy killed while it holds the lock (the task manager ending a frozen window) leaves nothing
// held: the next press gets the lock at once.
TEST(TwoCopiesWait, AKilledHolderLeavesNoLockBehind) {
  GameTree tree;
  PlaceOfficialPackages(tree);
  SecondCopy holder(tree, PressNamed("hold"));
  ASSERT_TRUE(holder.Go());
  ASSERT_TRUE(AwaitMark(ReadyMark(tree.root())));
  GamePatcher patcher(tree.directory());
  EXPECT_FALSE(patcher.LockGameDirectory(0).IsHeld()) << "the holder does not hold the lock";
  holder.Kill();
  holder.Wait();
  EXPECT_EQ(patcher.RunAction(&GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData, nullptr, 5000),
            kSucceeded);
}

// A press that finds the lock held for all of its wait gives up and touches nothing, even when
// it names the game directory another way; once the holder lets go, a press goes through. Also
// where the folder cannot be opened to read its identity (a folder that may be written but not
// listed): the lock is then named after its normalised path, which both spellings meet at.
TEST(TwoCopiesWait, APressThatWaitsInVainTouchesNothing) {
  struct Row {
    const char* what;
    bool identityUnreadable;
  };
  std::vector<Row> rows = {{"folder identity read", false}};
#ifdef __linux__
  rows.push_back({"folder identity unreadable", true});
#endif
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    GameTree tree;
    PlaceOfficialPackages(tree);
    const TreeSnapshot before = Snapshot(tree.root());
#ifdef __linux__
    platform::fault::Reset();
    if (row.identityUnreadable) {
      platform::fault::FailNth(platform::fault::kFolderIdentity, 1, platform::kErrorAccessDenied, 1000);
    }
#endif
    GamePatcher holder(tree.directory());
    std::optional<platform::DirectoryLock> lock = holder.LockGameDirectory(0);
    ASSERT_TRUE(lock->IsHeld());
    const std::u16string otherSpelling = tree.directory() + u"\\TCLS\\..";
    patch::ActionOutcome pressed = kSucceeded;
    std::thread([&] {
      GamePatcher other(otherSpelling);
      ASSERT_EQ(other.GameDirectory(), otherSpelling + u"\\");
      pressed = other.RunAction(&GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData, nullptr, 300);
    }).join();
    EXPECT_EQ(pressed, patch::ActionOutcome::kOtherCopyBusy);
    EXPECT_EQ(Snapshot(tree.root()), before);
    lock.reset();
    EXPECT_EQ(holder.RunAction(&GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData, nullptr, 0),
              kSucceeded);
#ifdef __linux__
    platform::fault::Reset();
#endif
  }
}

}  // namespace
}  // namespace patchtest

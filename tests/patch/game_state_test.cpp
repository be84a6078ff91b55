// ReadGameState over trees in each state, and a press while the game's client runs.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <chrono>
#include <future>
#include <thread>

#include "patch/game_patcher.h"
#include "patch/game_state.h"
#include "sample_manifest.h"
#include "tests/patch/game_tree.h"

#ifndef _WIN32
#include "platform/fault.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#endif

namespace patchtest {
namespace {

// A game tree with its patcher, which puts the tree into each state as a press would.
struct StateTree {
  // The game as shipped: an official version of every package file but `skip` of them, and
  // official data files (neither set).
  void PlaceOfficialGame(size_t skip = 0) {
    for (size_t i = skip; i < packages_.size(); ++i) {
      testsupport::WriteFileBytes(tree_.PathOf(packages_[i].name), OfficialBytes(packages_[i].name));
    }
    for (const ManifestEntry& entry : FileEntries(kStockDataArchive)) {
      testsupport::WriteFileBytes(tree_.PathOf(entry.name), OfficialBytes(entry.name));
    }
  }

  std::optional<patch::GameState> Read(const std::atomic<bool>& stop) {
    return patch::ReadGameState({patcher_.GameDirectory(), patcher_.PackageBytes(), patcher_.PatchedDataBytes(),
                                 patcher_.StockDataBytes(), 2},
                                stop);
  }

  std::optional<patch::GameState> Read() {
    const std::atomic<bool> go{false};
    return Read(go);
  }

  GameTree tree_;
  GamePatcher patcher_{tree_.directory()};
  std::vector<ManifestEntry> packages_ = FileEntries(kPackageArchive);
};

class GameStateRead : public testing::Test, protected StateTree {};

struct StateRow {
  const char* name;
  std::function<void(GamePatcher&, const std::vector<ManifestEntry>&, GameTree&)> arrange;
  patch::GameVersion version;
  std::u16string line;
};

TEST_F(GameStateRead, TellsEachStateInAPlayersWords) {
  using V = patch::GameVersion;
  const std::vector<StateRow> rows = {
      {"shipped game", [](auto&, auto&, auto&) {}, V::kOfficial, u"当前：官方原版"},
      {"patched", [](GamePatcher& p, auto&, auto&) { p.InstallPackages(); p.InstallPatchedData(); },
       V::kPatched, u"当前：反和谐版"},
      {"summoner", [](GamePatcher& p, auto&, auto&) { p.InstallPackages(); p.InstallStockData(); },
       V::kSummoner, u"当前：召唤师专用版"},
      {"official again",
       [](GamePatcher& p, auto&, auto&) {
         p.InstallPackages(); p.InstallPatchedData(); p.RestorePackages(); p.InstallStockData();
       },
       V::kOfficial, u"当前：官方原版"},
      {"patched, three put back by hand",
       [](GamePatcher& p, const std::vector<ManifestEntry>& packages, GameTree& tree) {
         p.InstallPackages(); p.InstallPatchedData();
         for (size_t i = 0; i < 3; ++i) fs::rename(tree.BackupOf(packages[i].name), tree.PathOf(packages[i].name));
         testsupport::WriteFileBytes(tree.BackupOf(packages[3].name), OfficialBytes(packages[3].name));
         fs::remove(tree.PathOf(packages[3].name));  // a backup without its file is not a change
       },
       V::kMixed, u"当前：混合版本（4个补丁文件未替换，数据文件为反和谐版）"},
      {"updated by the game since it was patched",
       [](GamePatcher& p, const std::vector<ManifestEntry>& packages, GameTree& tree) {
         p.InstallPackages(); p.InstallStockData();
         for (size_t i = 0; i < 2; ++i) testsupport::WriteFileBytes(tree.PathOf(packages[i].name), OfficialBytes(packages[i].name, 1));
       },
       V::kMixed, u"当前：混合版本（2个文件在打补丁后被改动，数据文件为官方原版）"},
      {"right size and time, other bytes",
       [](GamePatcher& p, const std::vector<ManifestEntry>& packages, GameTree& tree) {
         p.InstallPackages(); p.InstallPatchedData();
         const fs::path file = tree.PathOf(packages[0].name);
         const auto time = fs::last_write_time(file);
         std::vector<uint8_t> bytes = ReadBytes(file);
         bytes[bytes.size() / 2] ^= 0x5a;
         fs::remove(file);  // a new file: the backup keeps its bytes
         testsupport::WriteFileBytes(file, bytes);
         fs::last_write_time(file, time);
       },
       V::kMixed, u"当前：混合版本（1个文件在打补丁后被改动，数据文件为反和谐版）"},
      {"a data file missing",
       [](GamePatcher& p, auto&, GameTree& tree) {
         p.InstallPackages(); p.InstallPatchedData();
         fs::remove(tree.PathOf(FileEntries(kPatchedDataArchive)[0].name));
       },
       V::kMixed, u"当前：混合版本（缺少数据文件）"},
      {"official packages, patched data",
       [](GamePatcher& p, auto&, auto&) { p.InstallPatchedData(); }, V::kMixed,
       u"当前：混合版本（补丁文件为官方原版，数据文件为反和谐版）"},
  };
  for (const StateRow& row : rows) {
    SCOPED_TRACE(row.name);
    StateTree fresh;
    fresh.PlaceOfficialGame();
    row.arrange(fresh.patcher_, fresh.packages_, fresh.tree_);
    const TreeSnapshot before = Snapshot(fresh.tree_.root());
    const std::optional<patch::GameState> state = fresh.Read();
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->version, row.version);
    EXPECT_EQ(patch::DescribeGameState(*state), row.line);
    EXPECT_EQ(Snapshot(fresh.tree_.root()), before);  // the reader writes nothing
  }
}

// Files the patch added, where the game had none, stay after a restore and leave it official.
TEST_F(GameStateRead, FilesThePatchAddedDoNotCountAgainstOfficial) {
  PlaceOfficialGame(packages_.size() / 2);
  ASSERT_TRUE(patcher_.InstallPackages() && patcher_.RestorePackages() && patcher_.InstallStockData());
  const std::optional<patch::GameState> state = Read();
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ(state->version, patch::GameVersion::kOfficial);
  EXPECT_EQ(state->patchedFiles, packages_.size() / 2);
}

// A press stops the reader: whatever it had read is dropped.
TEST_F(GameStateRead, StoppedReaderGivesNothing) {
  PlaceOfficialGame();
  ASSERT_TRUE(patcher_.InstallPackages() && patcher_.InstallPatchedData());
  const std::atomic<bool> stop{true};
  EXPECT_FALSE(Read(stop).has_value());
}

#ifndef _WIN32
// The reader held in the middle of its reads (the posix backend's hook, before it opens a file
// to check its CRC): the press, stopping it as the dialog does, runs to its end meanwhile, since
// the reader holds no lock a press waits for; the reader then gives nothing.
TEST_F(GameStateRead, PressRunsWhileTheReaderIsHalfWayAndDropsItsRead) {
  PlaceOfficialGame();
  ASSERT_TRUE(patcher_.InstallPackages() && patcher_.InstallPatchedData());
  std::atomic<bool> stop{false};
  std::promise<void> readerHeld;
  std::promise<void> pressDone;
  std::shared_future<void> pressEnded = pressDone.get_future().share();
  std::atomic<bool> endedWhileHeld{false};
  platform::fault::BeforeNth(platform::fault::kOpenInput, 1, [&] {
    readerHeld.set_value();
    endedWhileHeld = pressEnded.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  });
  std::optional<patch::GameState> seen;
  std::thread reader([&] { seen = Read(stop); });
  readerHeld.get_future().wait();
  stop = true;
  const patch::ActionOutcome outcome =
      patcher_.RunAction(&GamePatcher::InstallPackages, &GamePatcher::InstallStockData, nullptr, 2000);
  pressDone.set_value();
  reader.join();
  platform::fault::Reset();
  EXPECT_EQ(outcome, patch::ActionOutcome::kSucceeded);
  EXPECT_TRUE(endedWhileHeld) << "the press waited for the reader";
  EXPECT_FALSE(seen.has_value());
  EXPECT_EQ(Read()->version, patch::GameVersion::kSummoner);
}
#endif

#ifndef _WIN32
// A program started from a copy of a file that only sleeps, as long as the object lives.
class RunningCopy {
 public:
  explicit RunningCopy(const fs::path& image) {
    fs::create_directories(image.parent_path());
    fs::copy_file("/bin/sleep", image, fs::copy_options::overwrite_existing);
    const std::string path = image.string();
    char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>("30"), nullptr};
    EXPECT_EQ(posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv, environ), 0);
  }
  ~RunningCopy() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = 0;
};

TEST_F(GameStateRead, PressWhileTheClientRunsChangesNothing) {
  PlaceOfficialGame();
  const TreeSnapshot before = Snapshot(tree_.root());
  {
    RunningCopy client(tree_.root() / "bin" / "Client.exe");
    EXPECT_EQ(patcher_.RunAction(&GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData),
              patch::ActionOutcome::kGameRunning);
    TreeSnapshot expected = before;
    expected["bin"] = {};
    expected["bin/Client.exe"] = ReadBytes(tree_.root() / "bin" / "Client.exe");
    EXPECT_EQ(Snapshot(tree_.root()), expected);
  }
  // The launcher alone, running, is no reason to refuse.
  RunningCopy launcher(tree_.Launcher());
  EXPECT_EQ(patcher_.RunAction(&GamePatcher::InstallPackages, &GamePatcher::InstallPatchedData),
            patch::ActionOutcome::kSucceeded);
  EXPECT_EQ(Read()->version, patch::GameVersion::kPatched);
}
#endif

}  // namespace
}  // namespace patchtest

#pragma once
// Binds the three embedded archives to one game directory and installs, backs up and restores
// the game's files.
#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "archive/archive.h"
#include "patch/action_progress.h"
#include "patch/file_workers.h"
#include "platform/directory_lock.h"
#include "platform/lock_wait.h"

inline constexpr char16_t kLauncherRelPath[] = u"TCLS\\Launcher.exe";
inline constexpr char16_t kBackupSuffix[] = u".VTBak";
// The game's client: while it runs from the game directory, no action changes anything.
inline constexpr char16_t kClientRelPath[] = u"bin\\Client.exe";

inline constexpr uint16_t kPackageArchiveId = 203;
inline constexpr uint16_t kPatchedDataArchiveId = 204;
inline constexpr uint16_t kStockDataArchiveId = 205;

class GamePatcher {
 public:
  // Opens the three embedded archives and offers the candidate to SetGameDirectory. An operation
  // works on up to `workers` files at once (patch/file_workers.h); 0 takes the machine's count,
  // and 1 works in entry order on the caller's thread alone.
  explicit GamePatcher(const std::u16string& candidate, uint32_t workers = 0);
  ~GamePatcher();
  GamePatcher(const GamePatcher&) = delete;
  GamePatcher& operator=(const GamePatcher&) = delete;

  // Accepts a directory (with or without trailing backslash) holding TCLS\Launcher.exe.
  bool SetGameDirectory(const std::u16string& directory);
  // Each operation returns false at once, touching nothing, unless a game directory is accepted,
  // its launcher still exists and the operation's archive is open. Otherwise it processes every
  // file entry and returns true when none failed; a false result may mean a partly applied state.
  // Files that another program holds for a moment are waited for within `budget`
  // (platform/lock_wait.h); the forms without one give the operation a budget of its own.
  // Files are worked on side by side; the operation returns when all of them are done.

  // Writes every package file, first keeping a file it replaces as its ".VTBak" backup (a hard
  // link, or a copy where links cannot be made) unless one exists. A file whose backup cannot be
  // made is left as it is. A file that already holds its entry is not rewritten.
  bool InstallPackages(platform::PressWaitBudget& budget);
  // Moves every existing backup back over its package file, and removes what a killed run left
  // beside each package file and its backup.
  bool RestorePackages(platform::PressWaitBudget& budget);
  // Writes the data files of resource 204 or 205; no backups.
  bool InstallPatchedData(platform::PressWaitBudget& budget);
  bool InstallStockData(platform::PressWaitBudget& budget);
  bool InstallPackages();
  bool RestorePackages();
  bool InstallPatchedData();
  bool InstallStockData();

  using Operation = bool (GamePatcher::*)(platform::PressWaitBudget&);
  // How long a press waits for another copy's action on the same game directory.
  static constexpr uint32_t kActionWaitMilliseconds = 60000;
  // A launch action: first, then second only when first succeeded, with one wait budget for both,
  // under the game directory's lock (platform/directory_lock.h), so that two copies of the tool
  // never interleave and the later press decides the final state. kOtherCopyBusy, touching
  // nothing, when another copy's action held the lock for all of waitMilliseconds; kGameRunning,
  // touching nothing, when the lock is held but the game's client runs. Runs on the
  // caller's thread; `progress` (may be null) is written as it goes, for another thread to read.
  patch::ActionOutcome RunAction(Operation first, Operation second, patch::ActionProgress* progress = nullptr,
                                 uint32_t waitMilliseconds = kActionWaitMilliseconds);
  // The lock RunAction holds, for as long as the returned object lives; not held when the wait
  // ran out or no game directory is accepted.
  platform::DirectoryLock LockGameDirectory(uint32_t waitMilliseconds) const;

  const std::u16string& GameDirectory() const { return gameDirectory_; }
  // The embedded archives' bytes, which stay for the life of the process: a reader on another
  // thread opens handles of its own over them.
  std::span<const uint8_t> PackageBytes() const { return packageBytes_; }
  std::span<const uint8_t> PatchedDataBytes() const { return patchedDataBytes_; }
  std::span<const uint8_t> StockDataBytes() const { return stockDataBytes_; }

 private:
  bool CanOperateOn(ArchiveHandle archive) const;
  bool InstallData(ArchiveHandle archive, std::span<const uint8_t> bytes, platform::PressWaitBudget& budget);
  bool ForEachFile(ArchiveHandle archive, std::span<const uint8_t> bytes, const patch::FileWork& work);
  bool WithOwnBudget(Operation operation);
  ArchiveHandle ArchiveOf(Operation operation) const;
  uint32_t FileCount(Operation operation) const;
  void FileDone();

  std::u16string gameDirectory_;
  uint32_t workers_;
  // The resources the handles read, from which each worker opens handles of its own.
  std::span<const uint8_t> packageBytes_;
  std::span<const uint8_t> patchedDataBytes_;
  std::span<const uint8_t> stockDataBytes_;
  ArchiveHandle packageArchive_ = nullptr;
  ArchiveHandle patchedDataArchive_ = nullptr;
  ArchiveHandle stockDataArchive_ = nullptr;
  // Set only while RunAction runs; the count is shared by the action's threads.
  patch::ActionProgress* progress_ = nullptr;
  uint32_t filesToDo_ = 0;
  std::atomic<uint32_t> filesDone_{0};
};

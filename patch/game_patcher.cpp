#include "patch/game_patcher.h"

#include <cstdint>
#include <limits>
#include <span>
#include <utility>

#include "patch/entry_walk.h"
#include "patch/file_backup.h"
#include "platform/fs.h"
#include "platform/resource.h"

namespace {

// The archive stays where the executable's resource lies; a missing resource or an archive the
// reader refuses leaves the handle empty, and every operation over it then returns false.
ArchiveHandle OpenEmbeddedArchive(uint16_t id) {
  const std::span<const uint8_t> bytes = platform::FindResourceBytes(u"ZIP", id, platform::kLangChineseSimplified);
  if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return nullptr;
  return OpenArchiveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr);
}

void CloseIfOpen(ArchiveHandle archive) {
  if (IsArchiveHandle(archive)) (void)CloseArchive(archive);  // ignored: nothing to do about it at exit
}

bool ExtractTo(ArchiveHandle archive, int32_t index, const std::u16string& target, platform::LockWaitBudget& budget) {
  return ExtractEntryToFile(archive, index, target.c_str(), budget) == kOk;
}

}  // namespace

GamePatcher::GamePatcher(const std::u16string& candidate)
    : packageArchive_(OpenEmbeddedArchive(kPackageArchiveId)),
      patchedDataArchive_(OpenEmbeddedArchive(kPatchedDataArchiveId)),
      stockDataArchive_(OpenEmbeddedArchive(kStockDataArchiveId)) {
  (void)SetGameDirectory(candidate);  // ignored: the caller checks GameDirectory() or offers another
}

GamePatcher::~GamePatcher() {
  CloseIfOpen(packageArchive_);
  CloseIfOpen(patchedDataArchive_);
  CloseIfOpen(stockDataArchive_);
}

bool GamePatcher::SetGameDirectory(const std::u16string& directory) {
  // An empty candidate would become "\", the root of the current drive.
  if (directory.empty()) return false;
  std::u16string candidate = directory;
  if (candidate.back() != u'\\') candidate.push_back(u'\\');
  if (!platform::PathExists(candidate + kLauncherRelPath)) return false;
  gameDirectory_ = std::move(candidate);
  return true;
}

// Tested before every operation: the launcher may have gone since the directory was accepted.
bool GamePatcher::CanOperateOn(ArchiveHandle archive) const {
  return !gameDirectory_.empty() && platform::PathExists(gameDirectory_ + kLauncherRelPath) &&
         IsArchiveHandle(archive);
}

// An operation waits out files that a scanner holds for a moment, within one budget for all its
// files, so that a lasting lock on many of them is still reported within seconds.
bool GamePatcher::InstallPackages(platform::LockWaitBudget& budget) {
  if (!CanOperateOn(packageArchive_)) return false;
  return patch::WalkFileEntries(packageArchive_, gameDirectory_, [&](int32_t index, const std::u16string& target) {
    const bool done = budget.ForFile([&] {
      // Without its backup the official file could never be put back: leave it as it is.
      return patch::PreserveBeforeOverwrite(target, budget) && ExtractTo(packageArchive_, index, target, budget);
    });
    FileDone();
    return done;
  });
}

bool GamePatcher::RestorePackages(platform::LockWaitBudget& budget) {
  if (!CanOperateOn(packageArchive_)) return false;
  // A package file that had no official version before the first install stays in place.
  return patch::WalkFileEntries(packageArchive_, gameDirectory_, [&](int32_t, const std::u16string& target) {
    const bool done = budget.ForFile([&] { return patch::RestoreBackup(target, budget); });
    FileDone();
    return done;
  });
}

bool GamePatcher::InstallPatchedData(platform::LockWaitBudget& budget) { return InstallData(patchedDataArchive_, budget); }

bool GamePatcher::InstallStockData(platform::LockWaitBudget& budget) { return InstallData(stockDataArchive_, budget); }

bool GamePatcher::InstallData(ArchiveHandle archive, platform::LockWaitBudget& budget) {
  if (!CanOperateOn(archive)) return false;
  return patch::WalkFileEntries(archive, gameDirectory_, [&](int32_t index, const std::u16string& target) {
    const bool done = budget.ForFile([&] { return ExtractTo(archive, index, target, budget); });
    FileDone();
    return done;
  });
}

bool GamePatcher::InstallPackages() { return WithOwnBudget(&GamePatcher::InstallPackages); }

bool GamePatcher::RestorePackages() { return WithOwnBudget(&GamePatcher::RestorePackages); }

bool GamePatcher::InstallPatchedData() { return WithOwnBudget(&GamePatcher::InstallPatchedData); }

bool GamePatcher::InstallStockData() { return WithOwnBudget(&GamePatcher::InstallStockData); }

bool GamePatcher::WithOwnBudget(Operation operation) {
  platform::LockWaitBudget budget;
  return (this->*operation)(budget);
}

platform::DirectoryLock GamePatcher::LockGameDirectory(uint32_t waitMilliseconds) const {
  if (gameDirectory_.empty()) return {};
  return platform::DirectoryLock::Acquire(gameDirectory_, waitMilliseconds);
}

patch::ActionOutcome GamePatcher::RunAction(Operation first, Operation second, patch::ActionProgress* progress,
                                            uint32_t waitMilliseconds) {
  platform::DirectoryLock lock = LockGameDirectory(0);
  if (!lock.IsHeld() && !gameDirectory_.empty()) {
    // Said only when there is something to wait for, so a free directory shows no such line.
    if (progress != nullptr) progress->WaitingForOtherCopy(true);
    lock = LockGameDirectory(waitMilliseconds);
    if (progress != nullptr) progress->WaitingForOtherCopy(false);
  }
  if (!lock.IsHeld()) {
    // Only a wait that ran out means another copy; a directory that cannot be locked is a failure.
    const bool busy = !gameDirectory_.empty() && platform::LastError() == platform::kErrorTimeout;
    return busy ? patch::ActionOutcome::kOtherCopyBusy : patch::ActionOutcome::kFailed;
  }
  filesToDo_ = FileCount(first) + FileCount(second);
  filesDone_ = 0;
  progress_ = progress;
  if (progress_ != nullptr) progress_->FilesDone(0, filesToDo_);
  platform::LockWaitBudget budget;
  const bool succeeded = (this->*first)(budget) && (this->*second)(budget);
  progress_ = nullptr;
  return succeeded ? patch::ActionOutcome::kSucceeded : patch::ActionOutcome::kFailed;
}

ArchiveHandle GamePatcher::ArchiveOf(Operation operation) const {
  if (operation == static_cast<Operation>(&GamePatcher::InstallPatchedData)) return patchedDataArchive_;
  if (operation == static_cast<Operation>(&GamePatcher::InstallStockData)) return stockDataArchive_;
  return packageArchive_;
}

// What the walk will visit, for the progress bar; an unreadable count shows as none.
uint32_t GamePatcher::FileCount(Operation operation) const {
  uint32_t count = 0;
  (void)patch::WalkFileEntries(ArchiveOf(operation), gameDirectory_, [&](int32_t, const std::u16string&) {
    ++count;
    return true;
  });
  return count;
}

void GamePatcher::FileDone() {
  const uint32_t done = ++filesDone_;
  if (progress_ != nullptr) progress_->FilesDone(done, filesToDo_);
}

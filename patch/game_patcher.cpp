#include "patch/game_patcher.h"

#include <cstdint>
#include <limits>
#include <span>
#include <utility>

#include "patch/entry_walk.h"
#include "patch/file_backup.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/resource.h"

namespace {

// The archive stays where the executable's resource lies; a missing resource or an archive the
// reader refuses leaves the handle empty, and every operation over it then returns false.
std::span<const uint8_t> EmbeddedBytes(uint16_t id) {
  const std::span<const uint8_t> bytes = platform::FindResourceBytes(u"ZIP", id, platform::kLangChineseSimplified);
  if (bytes.size() > std::numeric_limits<uint32_t>::max()) return {};
  return bytes;
}

ArchiveHandle OpenEmbeddedArchive(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return nullptr;
  return OpenArchiveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr);
}

void CloseIfOpen(ArchiveHandle archive) {
  if (IsArchiveHandle(archive)) (void)CloseArchive(archive);  // ignored: nothing to do about it at exit
}

bool ExtractTo(ArchiveHandle archive, int32_t index, const std::u16string& target, platform::LockWaitBudget& budget) {
  return ExtractEntryToFile(archive, index, target.c_str(), budget) == kOk;
}

}  // namespace

GamePatcher::GamePatcher(const std::u16string& candidate, uint32_t workers)
    : workers_(workers == 0 ? patch::DefaultWorkerCount() : workers),
      packageBytes_(EmbeddedBytes(kPackageArchiveId)),
      patchedDataBytes_(EmbeddedBytes(kPatchedDataArchiveId)),
      stockDataBytes_(EmbeddedBytes(kStockDataArchiveId)),
      packageArchive_(OpenEmbeddedArchive(packageBytes_)),
      patchedDataArchive_(OpenEmbeddedArchive(patchedDataBytes_)),
      stockDataArchive_(OpenEmbeddedArchive(stockDataBytes_)) {
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
bool GamePatcher::InstallPackages(platform::PressWaitBudget& budget) {
  if (!CanOperateOn(packageArchive_)) return false;
  return ForEachFile(packageArchive_, packageBytes_, [&](ArchiveHandle archive, int32_t index, const std::u16string& target) {
    return budget.ForFile([&](platform::LockWaitBudget& file) {
      // Without its backup the official file could never be put back: leave it as it is.
      return patch::PreserveBeforeOverwrite(target, file) && ExtractTo(archive, index, target, file);
    });
  });
}

bool GamePatcher::RestorePackages(platform::PressWaitBudget& budget) {
  if (!CanOperateOn(packageArchive_)) return false;
  // A package file that had no official version before the first install stays in place.
  return ForEachFile(packageArchive_, packageBytes_, [&](ArchiveHandle, int32_t, const std::u16string& target) {
    return budget.ForFile([&](platform::LockWaitBudget& file) { return patch::RestoreBackup(target, file); });
  });
}

bool GamePatcher::InstallPatchedData(platform::PressWaitBudget& budget) {
  return InstallData(patchedDataArchive_, patchedDataBytes_, budget);
}

bool GamePatcher::InstallStockData(platform::PressWaitBudget& budget) {
  return InstallData(stockDataArchive_, stockDataBytes_, budget);
}

bool GamePatcher::InstallData(ArchiveHandle archive, std::span<const uint8_t> bytes,
                              platform::PressWaitBudget& budget) {
  if (!CanOperateOn(archive)) return false;
  return ForEachFile(archive, bytes, [&](ArchiveHandle own, int32_t index, const std::u16string& target) {
    return budget.ForFile([&](platform::LockWaitBudget& file) { return ExtractTo(own, index, target, file); });
  });
}

// Each file counts as done for the progress once its work ended, whatever came of it.
bool GamePatcher::ForEachFile(ArchiveHandle archive, std::span<const uint8_t> bytes, const patch::FileWork& work) {
  return patch::WorkOnFileEntries(archive, bytes, gameDirectory_, workers_,
                                  [&](ArchiveHandle own, int32_t index, const std::u16string& target) {
                                    const bool done = work(own, index, target);
                                    FileDone();
                                    return done;
                                  });
}

bool GamePatcher::InstallPackages() { return WithOwnBudget(&GamePatcher::InstallPackages); }

bool GamePatcher::RestorePackages() { return WithOwnBudget(&GamePatcher::RestorePackages); }

bool GamePatcher::InstallPatchedData() { return WithOwnBudget(&GamePatcher::InstallPatchedData); }

bool GamePatcher::InstallStockData() { return WithOwnBudget(&GamePatcher::InstallStockData); }

bool GamePatcher::WithOwnBudget(Operation operation) {
  platform::PressWaitBudget budget;
  return (this->*operation)(budget);
}

platform::DirectoryLock GamePatcher::LockGameDirectory(uint32_t waitMilliseconds) const {
  if (gameDirectory_.empty()) return {};
  return platform::DirectoryLock::Acquire(gameDirectory_, waitMilliseconds);
}

patch::ActionOutcome GamePatcher::RunAction(Operation first, Operation second, patch::ActionProgress* progress,
                                            uint32_t waitMilliseconds) {
  platform::DirectoryLock lock = LockGameDirectory(0);
  if (!lock.IsHeld() && !gameDirectory_.empty() && platform::LastError() == platform::kErrorTimeout) {
    // Said only when another copy holds it, so neither a free nor a removed directory shows the line.
    if (progress != nullptr) progress->WaitingForOtherCopy(true);
    lock = LockGameDirectory(waitMilliseconds);
    if (progress != nullptr) progress->WaitingForOtherCopy(false);
  }
  if (!lock.IsHeld()) {
    // Only a wait that ran out means another copy; a directory that cannot be locked is a failure.
    const bool busy = !gameDirectory_.empty() && platform::LastError() == platform::kErrorTimeout;
    return busy ? patch::ActionOutcome::kOtherCopyBusy : patch::ActionOutcome::kFailed;
  }
  // Files changed under a running game leave it with a mix of versions. Asked under the lock, so
  // no other copy's press is half way through either; the launcher alone running is no reason.
  if (platform::IsImageRunning(gameDirectory_ + kClientRelPath)) return patch::ActionOutcome::kGameRunning;
  filesToDo_ = FileCount(first) + FileCount(second);
  filesDone_ = 0;
  progress_ = progress;
  if (progress_ != nullptr) progress_->FilesDone(0, filesToDo_);
  platform::PressWaitBudget budget;
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

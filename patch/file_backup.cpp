#include "patch/file_backup.h"

#include "archive/archive.h"
#include "patch/game_patcher.h"
#include "platform/fs.h"

namespace patch {
namespace {

bool AlreadyExists(uint32_t error) {
  return error == platform::kErrorFileExists || error == platform::kErrorAlreadyExists;
}

// Whether a backup stands at the name: true when one can be seen, false when nothing is there.
// A name that cannot be looked at (pending deletion: a dropped backup that a scanner still holds)
// is neither, and refuses both a link and a move onto it; it is waited for within the file's
// allowance, and the file fails if it stays.
bool LookAtBackup(const std::u16string& backup, platform::LockWaitBudget& budget, bool* present) {
  return platform::RetryWhileLocked(budget, backup, [&] {
    *present = platform::GetFileAttributes(backup) != platform::kInvalidAttributes;
    const uint32_t error = platform::LastError();
    return *present || error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound;
  });
}

// A link or a move onto the backup's name was refused because something is there: another
// program's backup, which counts, or a name pending deletion, which never does.
bool TakenByABackup(const std::u16string& backup, platform::LockWaitBudget& budget) {
  bool present = false;
  return LookAtBackup(backup, budget, &present) && present;
}

// A second name shares the file's bytes, attributes and times, costs no copying and appears
// whole in one step. This is sound only because extraction never writes into an existing file:
// it replaces the target with a new one, and the backup keeps the old data. A sharing violation
// may pass; any other refusal (no links on this file system, a read-only file that Windows will
// not link) is left to the copy.
bool LinkBackup(const std::u16string& target, const std::u16string& backup, platform::LockWaitBudget& budget) {
  for (;;) {
    if (platform::CreateHardLink(target, backup)) return true;
    const uint32_t error = platform::LastError();
    if (error != platform::kErrorSharingViolation || !budget.WaitAgain(error, target)) return false;
  }
}

// The copy lands under a temporary name and is then named as the backup without replacing
// anything, so a copy cut short (a full disk, a kill) never passes for the official file.
bool CopyToBackup(const std::u16string& target, const std::u16string& backup, platform::LockWaitBudget& budget) {
  const std::u16string temporary = TemporaryPathFor(backup);
  if (!platform::RetryWhileLocked(budget, temporary, [&] { return RemoveLeftoverTemporary(temporary); })) return false;
  if (!platform::RetryWhileLocked(budget, target, [&] { return platform::CopyFileNoReplace(target, temporary); })) {
    return false;  // a failed copy leaves no file behind
  }
  const bool named =
      platform::RetryWhileLocked(budget, backup, [&] { return platform::MoveFileNoReplace(temporary, backup); });
  // Someone made the backup between the test and the move: it is there, and it is not ours.
  const bool backedUp = named || (AlreadyExists(platform::LastError()) && TakenByABackup(backup, budget));
  if (!named) (void)RemoveLeftoverTemporary(temporary);  // ignored: the next install removes it
  return backedUp;
}

// The backup is the target under a second name (the install linked it, then could not replace
// the target): the official bytes never left, and only the name goes. A read-only file refuses
// the deletion, so its bit is lifted for it, as for a leftover temporary, and given back to the
// file, which keeps it under its one remaining name.
bool DropSecondName(const std::u16string& target, const std::u16string& backup, platform::LockWaitBudget& budget) {
  const uint32_t attributes = platform::GetFileAttributes(target);
  const bool dropped = platform::RetryWhileLocked(budget, backup, [&] { return RemoveLeftoverTemporary(backup); });
  if (dropped && attributes != platform::kInvalidAttributes && (attributes & platform::kAttrReadOnly) != 0) {
    (void)platform::SetFileAttributes(target, attributes);  // ignored: the bytes are whole either way
  }
  return dropped;
}

}  // namespace

bool PreserveBeforeOverwrite(const std::u16string& target, platform::LockWaitBudget& budget) {
  if (!platform::PathExists(target)) return true;
  const std::u16string backup = target + kBackupSuffix;
  // What a killed copy left; nothing is there almost always, and then this costs one look.
  (void)RemoveLeftoverTemporary(TemporaryPathFor(backup));  // ignored: CopyToBackup tries again
  bool present = false;
  if (!LookAtBackup(backup, budget, &present)) return false;
  if (present) return true;
  // A link would be made even to a file that cannot be read, which a copy never was: one that the
  // running game holds without sharing is left alone, neither backed up nor overwritten.
  const bool readable =
      platform::RetryWhileLocked(budget, target, [&] { return platform::InputFile::Open(target).IsOpen(); });
  if (!readable) return false;
  if (LinkBackup(target, backup, budget)) return true;
  if (AlreadyExists(platform::LastError())) return TakenByABackup(backup, budget);
  return CopyToBackup(target, backup, budget);
}

bool RestoreBackup(const std::u16string& target, platform::LockWaitBudget& budget) {
  const std::u16string backup = target + kBackupSuffix;
  // What a killed install left beside the file and its backup; one held open stays. Ignored: a
  // leftover the next action removes costs nothing meanwhile.
  (void)RemoveLeftoverTemporary(TemporaryPathFor(target));
  (void)RemoveLeftoverTemporary(TemporaryPathFor(backup));
  if (!platform::PathExists(backup)) return true;
  if (platform::IsSameFile(backup, target)) return DropSecondName(target, backup, budget);
  if (!platform::RetryWhileLocked(budget, target, [&] { return platform::MoveFileReplace(backup, target); })) {
    return false;
  }
  // A move between two names of one file succeeds without doing anything on some systems
  // (rename() on posix, and Wine on top of it); the names were one file after all.
  return !platform::PathExists(backup) || DropSecondName(target, backup, budget);
}

}  // namespace patch

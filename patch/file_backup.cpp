#include "patch/file_backup.h"

#include "patch/game_patcher.h"
#include "platform/fs.h"

namespace patch {
namespace {

// A backup is taken as the official file for good, so a half-written one must not survive.
// Only called right after this process found no backup and its copy failed.
void RemovePartialBackup(const std::u16string& backup) {
  if (!platform::PathExists(backup)) return;
  // The copy carries the source's read-only bit, which would block the delete.
  (void)platform::SetFileAttributes(backup, platform::kAttrNormal);  // ignored: the delete below decides
  (void)platform::DeleteFile(backup);  // ignored: the failure is already reported by the caller
}

}  // namespace

bool PreserveBeforeOverwrite(const std::u16string& target) {
  if (!platform::PathExists(target)) return true;
  const std::u16string backup = target + kBackupSuffix;
  if (platform::PathExists(backup)) return true;
  if (platform::CopyFileNoReplace(target, backup)) return true;
  const uint32_t error = platform::LastError();
  // Someone made the backup between the test and the copy: it is there, and it is not ours.
  if (error == platform::kErrorFileExists || error == platform::kErrorAlreadyExists) return true;
  RemovePartialBackup(backup);
  return false;
}

}  // namespace patch

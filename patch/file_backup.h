#pragma once
// The one-time backup of a game file before the package install overwrites it.
#include <string>

#include "platform/lock_wait.h"

namespace patch {

// Makes target + ".VTBak" a second name of an existing target unless that backup already
// exists; where the file system has no hard links, copies it instead. Either way the backup
// appears only complete: the copy goes to a temporary first and takes the backup's name without
// replacing anything. True when the target may now be overwritten: it did not exist, a backup was
// already there, or one was made. False when a backup was needed and could not be made within
// budget; nothing partial is left, so a later install still makes a true one.
bool PreserveBeforeOverwrite(const std::u16string& target, platform::LockWaitBudget& budget);

// Moves an existing backup back over its target; true when there was none. A backup that is
// the target itself under a second name (the install linked it, then could not replace the
// target) only loses that name, read-only or not. Leftover temporaries of the target and the
// backup go first.
bool RestoreBackup(const std::u16string& target, platform::LockWaitBudget& budget);

}  // namespace patch

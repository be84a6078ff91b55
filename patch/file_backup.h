#pragma once
// The one-time backup of a game file before the package install overwrites it.
#include <string>

namespace patch {

// Copies an existing target to target + ".VTBak" unless that backup already exists.
// True when the target may now be overwritten: it did not exist, a backup was already there,
// or the copy succeeded. False when a backup was needed and could not be made; no partial
// backup is left behind, so a later install still makes a true one.
bool PreserveBeforeOverwrite(const std::u16string& target);

}  // namespace patch

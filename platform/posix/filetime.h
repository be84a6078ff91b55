#pragma once
// FILETIME values as the timespec pairs that futimens and utimensat take.
#include <sys/stat.h>

#include <cstdint>
#include <optional>

namespace platform::posix {

// 0 leaves a time alone (as SetFileTime does for a zero FILETIME), and so does all ones;
// nothing for values SetFileTime would reject.
std::optional<struct timespec> TimespecFromFileTime(uint64_t fileTime);

// The FILETIME of a time the kernel reports; the inverse of TimespecFromFileTime.
uint64_t FileTimeFromTimespec(const struct timespec& time);

// Fills times[0] (access) and times[1] (modification); false after recording the error.
bool FileTimesToTimespecs(uint64_t access, uint64_t modification, struct timespec times[2]);

}  // namespace platform::posix

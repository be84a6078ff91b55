#pragma once
// What the tests read back from the operating system directly, not through the platform layer.
#include <cstdint>
#include <filesystem>

namespace platformtest {

struct FileTimes {
  uint64_t creation;  // 0 where the system keeps none that can be set
  uint64_t access;
  uint64_t modification;
};

// The file's times as FILETIME values.
FileTimes ReadFileTimes(const std::filesystem::path& path);

// True where a read-only file refuses writers as Windows does (the posix backend enforces it
// itself; Wine only when it does not run as root).
bool ReadOnlyIsEnforced();
// True where a file keeps the creation time a program gives it (Windows, but not Wine on Linux).
bool KeepsCreationTime();
// True where a read-only file takes new times by path (Windows; Wine refuses attribute access).
bool ReadOnlyFileTakesTimesByPath();
// True where a second writer of an open OutputFile is refused with a sharing violation.
bool OpenFilesAreExclusive();
// True where this process may create files beside its own program, and so write the program file
// were it not running. Not so under Wine here: it runs root's test programs as another user.
bool MayWriteBesideOwnProgram();

}  // namespace platformtest

#define SKIP_UNLESS_READ_ONLY_ENFORCED()                                                           \
  do {                                                                                             \
    if (!platformtest::ReadOnlyIsEnforced())                                                       \
      GTEST_SKIP() << "this process may write read-only files (Wine as root), so Windows refusals " \
                      "cannot be observed";                                                        \
  } while (0)

#pragma once
// Test-only fault injection for the posix backend's file operations: makes the n-th call of an
// operation fail, the disk run full after a number of bytes, or the process die at a call, so
// tests can show that no failing disk, lock or kill loses or mixes a file. The Windows backend
// has no such hook.
//
// Process-wide state by nature (the backend's free functions consult it); single-threaded use.
#include <cstdint>

namespace platform::fault {

enum Op {
  kCreate,           // OutputFile::Open
  kWrite,            // OutputFile::Write
  kCopy,             // CopyFileNoReplace
  kMove,             // MoveFileReplace
  kCreateDirectory,  // CreateDirectory
  kDelete,           // DeleteFile
  kSetTimes,         // OutputFile::SetTimes, SetFileTimes
  kLink,             // CreateHardLink
  kMoveNoReplace,    // MoveFileNoReplace
  kOpenInput,        // InputFile::Open
  kOpCount
};

const char* OpName(Op op);

// The n-th call of op from now (n = 1 is the next one) and the `times` - 1 calls after it fail
// with the Windows error code given; later calls succeed again. A lock that lasts a while.
void FailNth(Op op, uint32_t n, uint32_t error, uint32_t times = 1);
// The n-th hooked call of any op from now ends the process with _exit(kKilledExitCode) before it
// does anything: a kill from the task manager, with no clean-up at all.
inline constexpr int kKilledExitCode = 86;
void ExitAtCall(uint32_t n);
// Writes and copies succeed for `bytes` more bytes; then they fail with a full disk (112),
// writing nothing.
void SetWriteBudget(uint64_t bytes);
// No faults armed, every count back to zero.
void Reset();
// Calls of op since the last Reset.
uint32_t Count(Op op);

// For the backend, at the top of each operation: counts the call and reports whether it must
// fail, with the thread's last error already set.
bool Inject(Op op);
// A place inside a call where a kill may land too (a copy's file made but not yet filled); counts
// towards ExitAtCall only.
void Checkpoint();
// Writes: also spends `bytes` of the budget.
bool InjectWrite(uint64_t bytes);
// Copies: also spends the size of the file at `nativeSource` (when it can be read).
bool InjectCopy(const char* nativeSource);

}  // namespace platform::fault

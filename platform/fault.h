#pragma once
// Test-only fault injection for the posix backend's file operations: makes the n-th call of an
// operation fail, or the disk run full after a number of bytes, so tests can show that no failing
// disk loses or mixes a file. The Windows backend has no such hook.
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
  kOpCount
};

const char* OpName(Op op);

// The n-th call of op from now (n = 1 is the next one) fails with the Windows error code given;
// later calls succeed again.
void FailNth(Op op, uint32_t n, uint32_t error);
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
// Writes: also spends `bytes` of the budget.
bool InjectWrite(uint64_t bytes);
// Copies: also spends the size of the file at `nativeSource` (when it can be read).
bool InjectCopy(const char* nativeSource);

}  // namespace platform::fault

#pragma once
// Test-only fault injection for the posix backend's file operations: makes the n-th call of an
// operation fail, the disk run full after a number of bytes, or the process die at a call, so
// tests can show that no failing disk, lock or kill loses or mixes a file. The Windows backend
// has no such hook.
//
// Process-wide state by nature (the backend's free functions consult it), guarded by one mutex:
// a press's workers call the backend side by side. Arm faults while no action runs.
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

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
  kIdentity,         // IsSameFile: a failure answers "not certainly one file"
  kFolderIdentity,   // DirectoryLock::Acquire's open of the folder, whose identity names the lock
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
// A scanner that holds each new file for a while: calls of op on a path fail with error until
// `milliseconds` of the calling thread's clock have passed since the first call on that path.
// Only the first `files` paths met are held; later ones pass. The move over a target (kMove) is
// the call that names its path.
inline constexpr uint64_t kForever = std::numeric_limits<uint64_t>::max();
void HoldEachFile(Op op, uint32_t error, uint64_t milliseconds,
                  uint32_t files = std::numeric_limits<uint32_t>::max());
// Runs action right before the n-th call of op from now does anything: another program at work
// in the same tree at that moment.
void BeforeNth(Op op, uint32_t n, std::function<void()> action);
// A scanner opens the file at path, sharing everything, and lets go after `milliseconds` of the
// backend's clock (kForever: at Reset). Deleted meanwhile, the file keeps its name, pending
// deletion (platform/posix/open_names.h). With sharesDelete false it refuses the deletion instead,
// as a program that holds the file without FILE_SHARE_DELETE. False when it cannot be opened.
bool HoldAsScanner(const std::u16string& path, uint64_t milliseconds = kForever, bool sharesDelete = true);
// The backend's clock stands still but for pauses, which pass at once: waits cost no real time
// and SteadyMilliseconds() measures them exactly. Each thread has a clock of its own, starting at
// 0, which only its own pauses advance: workers wait side by side, as they do in real time. Each
// pause lasts a whole number of timer periods (microseconds; Windows' default period is 15625).
void UseVirtualClock(uint32_t timerPeriodMicroseconds = 1000);
// Since the last Reset or TakeVirtualWaits: all pauses summed over every thread, and the clock of
// the thread that paused longest (the wait a player sees when the threads ran side by side).
struct VirtualWaits {
  uint64_t summedMilliseconds;
  uint64_t longestThreadMilliseconds;
};
VirtualWaits TakeVirtualWaits();
// No faults armed, no scanner holding anything, every count back to zero, the real clock back.
void Reset();
// Calls of op since the last Reset.
uint32_t Count(Op op);

// For the backend, at the top of each operation: counts the call and reports whether it must
// fail, with the thread's last error already set. `nativePath` names the file a hold applies to.
bool Inject(Op op, const char* nativePath = nullptr);
// For the backend's clock: the virtual time while UseVirtualClock is in force.
bool VirtualNow(uint64_t* milliseconds);
// For the backend's pause: true when the virtual clock took it.
bool VirtualSleep(uint32_t milliseconds);
// A place inside a call where a kill may land too (a copy's file made but not yet filled); counts
// towards ExitAtCall only.
void Checkpoint();
// Writes: also spends `bytes` of the budget.
bool InjectWrite(uint64_t bytes);
// Copies: also spends the size of the file at `nativeSource` (when it can be read).
bool InjectCopy(const char* nativeSource);

}  // namespace platform::fault

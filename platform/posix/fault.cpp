#include "platform/fault.h"

#include <sys/stat.h>
#include <unistd.h>

#include <limits>

#include "platform/fs.h"
#include "platform/posix/last_error.h"

namespace platform::fault {
namespace {

constexpr uint64_t kUnlimited = std::numeric_limits<uint64_t>::max();

struct State {
  uint32_t counts[kOpCount] = {};
  uint32_t failFrom[kOpCount] = {};  // absolute call numbers [failFrom, failUntil) fail; 0 = none
  uint32_t failUntil[kOpCount] = {};
  uint32_t error[kOpCount] = {};
  uint32_t total = 0;
  uint32_t exitAt = 0;  // absolute call number across every op; 0 = none
  uint64_t budget = kUnlimited;
};

State& Faults() {
  static State state;
  return state;
}

bool Spend(uint64_t bytes) {
  State& s = Faults();
  if (s.budget == kUnlimited) return true;
  if (bytes > s.budget) return false;
  s.budget -= bytes;
  return true;
}

}  // namespace

const char* OpName(Op op) {
  static const char* const kNames[kOpCount] = {"create", "write",     "copy",     "move",           "create-directory",
                                               "delete", "set-times", "link",     "move-no-replace", "open-input"};
  return op < kOpCount ? kNames[op] : "?";
}

void FailNth(Op op, uint32_t n, uint32_t error, uint32_t times) {
  State& s = Faults();
  s.failFrom[op] = s.counts[op] + n;
  s.failUntil[op] = s.failFrom[op] + times;
  s.error[op] = error;
}

void ExitAtCall(uint32_t n) {
  State& s = Faults();
  s.exitAt = s.total + n;
}

void SetWriteBudget(uint64_t bytes) { Faults().budget = bytes; }

void Reset() { Faults() = State{}; }

uint32_t Count(Op op) { return Faults().counts[op]; }

bool Inject(Op op) {
  State& s = Faults();
  ++s.counts[op];
  if (++s.total == s.exitAt) ::_exit(kKilledExitCode);
  if (s.failFrom[op] == 0 || s.counts[op] < s.failFrom[op] || s.counts[op] >= s.failUntil[op]) return false;
  posix::Fail(s.error[op]);
  return true;
}

void Checkpoint() {
  State& s = Faults();
  if (++s.total == s.exitAt) ::_exit(kKilledExitCode);
}

bool InjectWrite(uint64_t bytes) {
  if (Inject(kWrite)) return true;
  if (Spend(bytes)) return false;
  posix::Fail(kErrorDiskFull);
  return true;
}

bool InjectCopy(const char* nativeSource) {
  if (Inject(kCopy)) return true;
  struct stat st {};
  if (::stat(nativeSource, &st) != 0 || Spend(static_cast<uint64_t>(st.st_size))) return false;
  posix::Fail(kErrorDiskFull);
  return true;
}

}  // namespace platform::fault

#include "platform/fault.h"

#include <sys/stat.h>
#include <unistd.h>

#include <limits>
#include <string>
#include <utility>

#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/posix/last_error.h"
#include "platform/posix/native_path.h"
#include "platform/posix/open_names.h"

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

  std::function<void()> before[kOpCount];
  uint32_t beforeAt[kOpCount] = {};  // absolute call number; 0 = none

  struct Hold {
    bool armed = false;
    Op op = kOpCount;
    uint32_t error = 0;
    uint64_t milliseconds = 0;
    uint32_t files = 0;
    uint32_t seen = 0;  // paths met so far
    std::string path;
    uint64_t since = 0;
  } hold;

  bool virtualClock = false;
  uint64_t virtualNow = 0;
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
                                               "delete", "set-times", "link",     "move-no-replace", "open-input",
                                               "identity", "folder-identity"};
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

void Reset() {
  posix::ReleaseTimedHolds();
  Faults() = State{};
}

bool HoldAsScanner(const std::u16string& path, uint64_t milliseconds, bool sharesDelete) {
  const std::string native = posix::NativePath(path);
  posix::FileHold hold;
  {
    const posix::NameLock lock;
    struct stat st {};
    if (posix::IsPending(lock, native) || ::stat(native.c_str(), &st) != 0) return false;
    hold = posix::FileHold(lock, st, sharesDelete);
  }
  posix::HoldUntil(std::move(hold), milliseconds);
  return true;
}

uint32_t Count(Op op) { return Faults().counts[op]; }

void HoldEachFile(Op op, uint32_t error, uint64_t milliseconds, uint32_t files) {
  Faults().hold = {true, op, error, milliseconds, files, 0, {}, 0};
}

void BeforeNth(Op op, uint32_t n, std::function<void()> action) {
  State& s = Faults();
  s.beforeAt[op] = s.counts[op] + n;
  s.before[op] = std::move(action);
}

void UseVirtualClock() { Faults().virtualClock = true; }

bool VirtualNow(uint64_t* milliseconds) {
  const State& s = Faults();
  if (s.virtualClock) *milliseconds = s.virtualNow;
  return s.virtualClock;
}

bool VirtualSleep(uint32_t milliseconds) {
  State& s = Faults();
  if (s.virtualClock) s.virtualNow += milliseconds;
  return s.virtualClock;
}

namespace {

bool Held(State::Hold& hold, Op op, const char* nativePath) {
  if (!hold.armed || op != hold.op || nativePath == nullptr) return false;
  const uint64_t now = SteadyMilliseconds();
  if (hold.path != nativePath) {
    hold.path = nativePath;
    hold.since = now;
    ++hold.seen;
  }
  return hold.seen <= hold.files && (hold.milliseconds == kForever || now - hold.since < hold.milliseconds);
}

}  // namespace

bool Inject(Op op, const char* nativePath) {
  State& s = Faults();
  ++s.counts[op];
  if (++s.total == s.exitAt) ::_exit(kKilledExitCode);
  if (s.counts[op] == s.beforeAt[op] && s.before[op]) std::exchange(s.before[op], nullptr)();
  if (Held(s.hold, op, nativePath)) {
    posix::Fail(s.hold.error);
    return true;
  }
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

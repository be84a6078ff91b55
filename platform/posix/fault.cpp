#include "platform/fault.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/posix/last_error.h"
#include "platform/posix/native_path.h"
#include "platform/posix/open_names.h"
#include "platform/posix/real_clock.h"

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
    struct Met {
      uint64_t since;   // when its hold began
      uint64_t ordinal;  // 1 for the first path met
    };
    std::map<std::string, Met> since;  // each path met so far
  } hold;

  bool virtualClock = false;
  uint32_t timerPeriod = 1000;  // microseconds
  uint64_t generation = 1;      // a thread's clock from an earlier one starts again at 0
  uint64_t summed = 0;          // microseconds, over every thread
  uint64_t longest = 0;
};

// Every access to the state holds this mutex; the callers' own clocks need none.
std::mutex& Guard() {
  static std::mutex mutex;
  return mutex;
}

State& Faults() {
  static State state;
  return state;
}

// This thread's virtual clock in microseconds, valid for one generation.
struct ThreadClock {
  uint64_t generation = 0;
  uint64_t now = 0;
};
thread_local ThreadClock t_clock;

uint64_t& ThreadNow(const State& s) {
  if (t_clock.generation != s.generation) t_clock = {s.generation, 0};
  return t_clock.now;
}

bool Spend(uint64_t bytes) {
  const std::lock_guard<std::mutex> lock(Guard());
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
  const std::lock_guard<std::mutex> lock(Guard());
  State& s = Faults();
  s.failFrom[op] = s.counts[op] + n;
  s.failUntil[op] = s.failFrom[op] + times;
  s.error[op] = error;
}

void ExitAtCall(uint32_t n) {
  const std::lock_guard<std::mutex> lock(Guard());
  State& s = Faults();
  s.exitAt = s.total + n;
}

void SetWriteBudget(uint64_t bytes) {
  const std::lock_guard<std::mutex> lock(Guard());
  Faults().budget = bytes;
}

void Reset() {
  posix::ReleaseTimedHolds();
  const std::lock_guard<std::mutex> lock(Guard());
  const uint64_t generation = Faults().generation;
  Faults() = State{};
  Faults().generation = generation + 1;
}

bool HoldAsScanner(const std::u16string& path, uint64_t milliseconds, bool sharesDelete) {
  const std::string native = posix::NativePath(path);
  posix::FileHold hold;
  {
    const posix::NameLock lock(native, posix::NameUse::kLook);
    struct stat st {};
    if (posix::IsPending(lock, native) || ::stat(native.c_str(), &st) != 0) return false;
    hold = posix::FileHold(lock, st, sharesDelete);
  }
  posix::HoldUntil(std::move(hold), milliseconds);
  return true;
}

uint32_t Count(Op op) {
  const std::lock_guard<std::mutex> lock(Guard());
  return Faults().counts[op];
}

void HoldEachFile(Op op, uint32_t error, uint64_t milliseconds, uint32_t files) {
  const std::lock_guard<std::mutex> lock(Guard());
  Faults().hold = {true, op, error, milliseconds, files, {}};
}

void BeforeNth(Op op, uint32_t n, std::function<void()> action) {
  const std::lock_guard<std::mutex> lock(Guard());
  State& s = Faults();
  s.beforeAt[op] = s.counts[op] + n;
  s.before[op] = std::move(action);
}

void UseVirtualClock(uint32_t timerPeriodMicroseconds) {
  const std::lock_guard<std::mutex> lock(Guard());
  Faults().virtualClock = true;
  Faults().timerPeriod = std::max(1u, timerPeriodMicroseconds);
}

VirtualWaits TakeVirtualWaits() {
  const std::lock_guard<std::mutex> lock(Guard());
  State& s = Faults();
  const VirtualWaits waits{s.summed / 1000, s.longest / 1000};
  s.summed = 0;
  s.longest = 0;
  ++s.generation;
  return waits;
}

bool VirtualNow(uint64_t* milliseconds) {
  const std::lock_guard<std::mutex> lock(Guard());
  const State& s = Faults();
  if (s.virtualClock) *milliseconds = ThreadNow(s) / 1000;
  return s.virtualClock;
}

bool VirtualSleep(uint32_t milliseconds) {
  const std::lock_guard<std::mutex> lock(Guard());
  State& s = Faults();
  if (!s.virtualClock) return false;
  const uint64_t asked = uint64_t{milliseconds} * 1000;
  const uint64_t paused = (asked + s.timerPeriod - 1) / s.timerPeriod * s.timerPeriod;
  uint64_t& now = ThreadNow(s);
  now += paused;
  s.summed += paused;
  s.longest = std::max(s.longest, now);
  return true;
}

namespace {

// Under the guard. Each path's hold is timed on the clock of the thread that calls.
bool Held(State& s, Op op, const char* nativePath) {
  State::Hold& hold = s.hold;
  if (!hold.armed || op != hold.op || nativePath == nullptr) return false;
  const uint64_t now = s.virtualClock ? ThreadNow(s) / 1000 : posix::RealMilliseconds();
  const auto [met, first] = hold.since.try_emplace(nativePath, State::Hold::Met{now, hold.since.size() + 1});
  // Another thread's clock may stand behind the one that met the path first: its hold starts anew.
  if (now < met->second.since) met->second.since = now;
  return met->second.ordinal <= hold.files &&
         (hold.milliseconds == kForever || now - met->second.since < hold.milliseconds);
}

// Under the guard: whether the call fails now, its error set.
bool Armed(State& s, Op op, const char* nativePath) {
  if (Held(s, op, nativePath)) {
    posix::Fail(s.hold.error);
    return true;
  }
  if (s.failFrom[op] == 0 || s.counts[op] < s.failFrom[op] || s.counts[op] >= s.failUntil[op]) return false;
  posix::Fail(s.error[op]);
  return true;
}

}  // namespace

// Every backend file call comes here: one pass under the guard, unless another program's action
// must run first, without it.
bool Inject(Op op, const char* nativePath) {
  std::function<void()> before;
  {
    const std::lock_guard<std::mutex> lock(Guard());
    State& s = Faults();
    ++s.counts[op];
    if (++s.total == s.exitAt) ::_exit(kKilledExitCode);
    if (s.counts[op] != s.beforeAt[op] || !s.before[op]) return Armed(s, op, nativePath);
    before = std::exchange(s.before[op], nullptr);
  }
  // Another program's action runs file calls of its own, which come back here.
  before();
  const std::lock_guard<std::mutex> lock(Guard());
  return Armed(Faults(), op, nativePath);
}

void Checkpoint() {
  const std::lock_guard<std::mutex> lock(Guard());
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

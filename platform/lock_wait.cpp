#include "platform/lock_wait.h"

#include <algorithm>

#include "platform/clock.h"

namespace platform {
namespace {

constexpr uint32_t kFirstPause = 10;
constexpr uint32_t kLongestPause = 100;

bool MayPass(uint32_t error, const std::u16string& path) {
  if (error == kErrorSharingViolation) return true;
  if (error != kErrorAccessDenied) return false;
  // Windows says access denied for a read-only file and for one that is being deleted or is
  // still held by a scanner; only the first never passes.
  const uint32_t attributes = GetFileAttributes(path);
  return attributes == kInvalidAttributes || (attributes & (kAttrReadOnly | kAttrDirectory)) == 0;
}

}  // namespace

LockWaitBudget::LockWaitBudget(uint32_t totalMilliseconds, uint32_t perFileMilliseconds, uint32_t wholeMilliseconds)
    : total_(totalMilliseconds), perFile_(perFileMilliseconds), whole_(wholeMilliseconds) {}

void LockWaitBudget::StartFile() {
  spentOnFile_ = 0;
  pauses_ = 0;
}

void LockWaitBudget::EndFile(bool succeeded) {
  if (!succeeded) spentOnFailures_ += spentOnFile_;
}

bool LockWaitBudget::WaitAgain(uint32_t error, const std::u16string& path) {
  const bool mayPass = MayPass(error, path);
  RestoreLastError(error);
  // The file in hand may yet fail: its wait so far already counts against the total.
  const uint64_t charged = spentOnFailures_ + spentOnFile_;
  if (!mayPass || charged >= total_ || spentOnFile_ >= perFile_ || spentInAll_ >= whole_) return false;
  const uint64_t left = std::min<uint64_t>({total_ - charged, perFile_ - spentOnFile_, whole_ - spentInAll_});
  const uint32_t pause = static_cast<uint32_t>(std::min<uint64_t>(
      {left, kLongestPause, uint64_t{kFirstPause} << std::min<uint32_t>(pauses_, 4)}));
  ++pauses_;
  const uint64_t start = SteadyMilliseconds();
  SleepMilliseconds(pause);
  // A pause that the clock does not see pass still counts, so the loop always ends.
  const uint64_t slept = std::max<uint64_t>(SteadyMilliseconds() - start, pause);
  spentOnFile_ += slept;
  spentInAll_ += slept;
  return true;
}

}  // namespace platform

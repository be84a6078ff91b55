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

PressWaitBudget::PressWaitBudget(uint32_t totalMilliseconds, uint32_t perFileMilliseconds, uint32_t wholeMilliseconds)
    : total_(totalMilliseconds), perFile_(perFileMilliseconds), whole_(wholeMilliseconds) {}

uint64_t PressWaitBudget::Allowance(uint64_t onFile) {
  const std::lock_guard<std::mutex> lock(mutex_);
  // The file in hand may yet fail: its wait so far already counts against the total.
  const uint64_t charged = spentOnFailures_ + onFile;
  if (charged >= total_ || onFile >= perFile_ || spentInAll_ >= whole_) return 0;
  return std::min<uint64_t>({total_ - charged, perFile_ - onFile, whole_ - spentInAll_});
}

void PressWaitBudget::Spent(uint64_t milliseconds) {
  const std::lock_guard<std::mutex> lock(mutex_);
  spentInAll_ += milliseconds;
}

void PressWaitBudget::EndFile(uint64_t onFile, bool succeeded) {
  if (succeeded) return;
  const std::lock_guard<std::mutex> lock(mutex_);
  spentOnFailures_ += onFile;
}

LockWaitBudget::LockWaitBudget(uint32_t totalMilliseconds, uint32_t perFileMilliseconds, uint32_t wholeMilliseconds)
    : own_(std::make_unique<PressWaitBudget>(totalMilliseconds, perFileMilliseconds, wholeMilliseconds)),
      press_(own_.get()) {}

bool LockWaitBudget::WaitAgain(uint32_t error, const std::u16string& path) {
  const bool mayPass = MayPass(error, path);
  RestoreLastError(error);
  if (!mayPass) return false;
  const uint64_t left = press_->Allowance(spentOnFile_);
  if (left == 0) return false;
  const uint32_t pause = static_cast<uint32_t>(
      std::min<uint64_t>({left, kLongestPause, uint64_t{kFirstPause} << std::min<uint32_t>(pauses_, 4)}));
  ++pauses_;
  const uint64_t start = SteadyMilliseconds();
  SleepMilliseconds(pause);
  // A pause that the clock does not see pass still counts, so the loop always ends.
  const uint64_t slept = std::max<uint64_t>(SteadyMilliseconds() - start, pause);
  spentOnFile_ += slept;
  press_->Spent(slept);
  RestoreLastError(error);
  return true;
}

}  // namespace platform

#pragma once
// Waiting out files that another program holds for a moment. Antivirus scanners and indexers open
// a file that has just been written; a move, link, copy or open of it then fails with a sharing
// violation or access denied for a fraction of a second. Such failures are tried again after a
// short, growing pause, within an allowance per file and a total per operation, so that a
// lasting cause (a running game holding its files, a folder the user may not write to) is still
// reported within seconds, however many files it blocks.
#include <cstdint>
#include <string>

#include "platform/fs.h"

namespace platform {

class LockWaitBudget {
 public:
  static constexpr uint32_t kPerFileMilliseconds = 1000;
  static constexpr uint32_t kTotalMilliseconds = 3000;

  explicit LockWaitBudget(uint32_t totalMilliseconds = kTotalMilliseconds,
                          uint32_t perFileMilliseconds = kPerFileMilliseconds);

  // The next file gets a fresh allowance, within what is left of the total.
  void StartFile();
  // Called after an attempt on `path` failed with `error`. When the error may pass (a sharing
  // violation, or access denied while the path is not read-only) and the allowance is not
  // spent, pauses and returns true. LastError() still holds `error` afterwards.
  bool WaitAgain(uint32_t error, const std::u16string& path);

 private:
  uint32_t total_;
  uint32_t perFile_;
  uint64_t spent_ = 0;
  uint64_t spentOnFile_ = 0;
  uint32_t pauses_ = 0;
};

// Runs attempt (a callable returning bool) until it succeeds or budget.WaitAgain says to stop;
// `path` is the file whose read-only bit would make access denied a lasting answer.
template <typename Attempt>
bool RetryWhileLocked(LockWaitBudget& budget, const std::u16string& path, Attempt attempt) {
  while (!attempt()) {
    if (!budget.WaitAgain(LastError(), path)) return false;
  }
  return true;
}

}  // namespace platform

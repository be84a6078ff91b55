#pragma once
// Waiting out files that another program holds for a moment. Antivirus scanners and indexers open
// a file that has just been written; a move, link, copy or open of it then fails with a sharing
// violation or access denied for a fraction of a second. Such failures are tried again after a
// short, growing pause, within an allowance per file. Only the time spent on files that still
// failed counts against the total, so that a lasting cause (a running game holding its files, a
// folder the user may not write to) is reported within seconds however many files it blocks,
// while a scanner that holds every new file costs no file at all. All waiting together is bounded
// too, so such a scanner cannot freeze the tool for minutes.
#include <cstdint>
#include <string>

#include "platform/fs.h"

namespace platform {

class LockWaitBudget {
 public:
  static constexpr uint32_t kPerFileMilliseconds = 1000;
  static constexpr uint32_t kTotalMilliseconds = 3000;   // waited on files that failed after all
  static constexpr uint32_t kWholeMilliseconds = 30000;  // all waiting, whatever came of it

  explicit LockWaitBudget(uint32_t totalMilliseconds = kTotalMilliseconds,
                          uint32_t perFileMilliseconds = kPerFileMilliseconds,
                          uint32_t wholeMilliseconds = kWholeMilliseconds);

  // Runs work (a callable returning bool) on one file with a fresh allowance; what was waited for
  // it is charged to the total only when the work failed.
  template <typename Work>
  bool ForFile(Work work) {
    StartFile();
    const bool succeeded = work();
    EndFile(succeeded);
    return succeeded;
  }

  // Called after an attempt on `path` failed with `error`. When the error may pass (a sharing
  // violation, or access denied while the path is not read-only) and neither the file's
  // allowance, the total nor the whole bound is spent, pauses and returns true. LastError()
  // still holds `error` afterwards.
  bool WaitAgain(uint32_t error, const std::u16string& path);

 private:
  void StartFile();
  void EndFile(bool succeeded);

  uint32_t total_;
  uint32_t perFile_;
  uint32_t whole_;
  uint64_t spentOnFailures_ = 0;
  uint64_t spentOnFile_ = 0;
  uint64_t spentInAll_ = 0;
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

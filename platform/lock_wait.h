#pragma once
// Waiting out files that another program holds for a moment. Antivirus scanners and indexers open
// a file that has just been written; a move, link, copy or open of it then fails with a sharing
// violation or access denied for a fraction of a second. Such failures are tried again after a
// short, growing pause, within an allowance per file. Only the time spent on files that still
// failed counts against the total, so that a lasting cause (a running game holding its files, a
// folder the user may not write to) is reported within seconds however many files it blocks,
// while a scanner that holds every new file costs no file at all. All waiting together is bounded
// too, so such a scanner cannot hold a press for minutes.
//
// A press works on several files at once: PressWaitBudget keeps the totals for the whole press
// (guarded by its mutex), and each file gets a LockWaitBudget of its own, on the stack of the
// thread that works on it, that refers to them.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/fs.h"

namespace platform {

class LockWaitBudget;

class PressWaitBudget {
 public:
  static constexpr uint32_t kPerFileMilliseconds = 1000;
  static constexpr uint32_t kTotalMilliseconds = 3000;  // waited on files that failed after all
  // All waiting of a press, summed over its files whatever came of them. Files wait side by side,
  // so the press itself waits less; 60 s lets a scanner that holds every one of the 114 files for
  // 250 ms on a 15.625 ms timer (about 300 ms a file) cost no file, and still ends a press that
  // a scanner holds for a second a file within a minute.
  static constexpr uint32_t kWholeMilliseconds = 60000;

  explicit PressWaitBudget(uint32_t totalMilliseconds = kTotalMilliseconds,
                           uint32_t perFileMilliseconds = kPerFileMilliseconds,
                           uint32_t wholeMilliseconds = kWholeMilliseconds);
  PressWaitBudget(const PressWaitBudget&) = delete;
  PressWaitBudget& operator=(const PressWaitBudget&) = delete;

  // Runs work (a callable taking LockWaitBudget& and returning bool) on one file with a fresh
  // allowance; what was waited for it is charged to the total only when the work failed. Any
  // thread may call it, several at once.
  template <typename Work>
  bool ForFile(Work work);

 private:
  friend class LockWaitBudget;
  // Under the mutex: how long the next pause of a file that spent `onFile` may last; 0: no more.
  uint64_t Allowance(uint64_t onFile);
  void Spent(uint64_t milliseconds);
  void EndFile(uint64_t onFile, bool succeeded);

  const uint32_t total_;
  const uint32_t perFile_;
  const uint32_t whole_;
  std::mutex mutex_;  // guards the two totals below
  uint64_t spentOnFailures_ = 0;
  uint64_t spentInAll_ = 0;
};

// One file's allowance. File-level code takes it by reference and calls WaitAgain.
class LockWaitBudget {
 public:
  static constexpr uint32_t kPerFileMilliseconds = PressWaitBudget::kPerFileMilliseconds;
  static constexpr uint32_t kTotalMilliseconds = PressWaitBudget::kTotalMilliseconds;
  static constexpr uint32_t kWholeMilliseconds = PressWaitBudget::kWholeMilliseconds;

  // A file of `press`, which must outlive it.
  explicit LockWaitBudget(PressWaitBudget& press) : press_(&press) {}
  // One file with totals of its own, for a single call outside a press.
  explicit LockWaitBudget(uint32_t totalMilliseconds = kTotalMilliseconds,
                          uint32_t perFileMilliseconds = kPerFileMilliseconds,
                          uint32_t wholeMilliseconds = kWholeMilliseconds);
  LockWaitBudget(const LockWaitBudget&) = delete;
  LockWaitBudget& operator=(const LockWaitBudget&) = delete;

  // Called after an attempt on `path` failed with `error`. When the error may pass (a sharing
  // violation, or access denied while the path is not read-only) and neither the file's
  // allowance, the total nor the whole bound is spent, pauses and returns true. LastError()
  // still holds `error` afterwards.
  bool WaitAgain(uint32_t error, const std::u16string& path);

 private:
  friend class PressWaitBudget;

  std::unique_ptr<PressWaitBudget> own_;
  PressWaitBudget* press_;
  uint64_t spentOnFile_ = 0;
  uint32_t pauses_ = 0;
};

template <typename Work>
bool PressWaitBudget::ForFile(Work work) {
  LockWaitBudget file(*this);
  const bool succeeded = work(file);
  EndFile(file.spentOnFile_, succeeded);
  return succeeded;
}

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

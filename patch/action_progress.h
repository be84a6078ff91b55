#pragma once
// What a launch action tells its watcher while it runs, and how it ended.
#include <cstdint>

namespace patch {

// Called from the action's threads, any of them, at any time until the action returns: an
// implementation hands the news on (the dialog posts itself a message) and touches nothing else.
class ActionProgress {
 public:
  virtual ~ActionProgress() = default;
  // The press waits for another copy's action on the same game directory (true), or no longer.
  virtual void WaitingForOtherCopy(bool waiting) = 0;
  // done of total files of both operations are finished (changed, left as they were, or failed).
  virtual void FilesDone(uint32_t done, uint32_t total) = 0;
};

enum class ActionOutcome {
  kSucceeded,
  kFailed,         // some file could not be changed; the state may be partly applied
  kOtherCopyBusy,  // another copy's action held the game directory all along: nothing touched
  kGameRunning,    // the game's client runs from this directory: nothing touched
};

}  // namespace patch

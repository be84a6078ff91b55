#include "app/action_thread.h"

#include <cstdint>
#include <system_error>

// The counts and the outcome travel in wParam and lParam, which are 32 bits wide in the shipped exe.
static_assert(sizeof(WPARAM) >= sizeof(uint32_t) && sizeof(LPARAM) >= sizeof(uint32_t),
              "a file count must fit a message parameter");

class ActionThread::Reporter final : public patch::ActionProgress {
 public:
  Reporter(HWND window, std::atomic<bool>& progressPosted) : window_(window), progressPosted_(progressPosted) {}

  void WaitingForOtherCopy(bool waiting) override {
    (void)PostMessageW(window_, WM_ACTION_WAITING, waiting ? 1 : 0, 0);  // lost: the next news still shows
  }

  void FilesDone(uint32_t done, uint32_t total) override {
    // Each message repaints the line, and under Wine each repaint has its X11 driver look for its
    // resource files: a few a second look smooth. The first and the last are never held back.
    const ULONGLONG now = GetTickCount64();
    const bool edge = done == 0 || done == total;
    if (!edge && now < nextAt_.load(std::memory_order_relaxed)) return;
    if (progressPosted_.exchange(true)) return;  // the one in the queue is shown soon; the bar catches up
    nextAt_.store(now + kRepaintMilliseconds, std::memory_order_relaxed);
    if (!PostMessageW(window_, WM_ACTION_PROGRESS, done, static_cast<LPARAM>(total))) progressPosted_ = false;
  }

 private:
  static constexpr ULONGLONG kRepaintMilliseconds = 100;
  HWND window_;
  std::atomic<bool>& progressPosted_;
  std::atomic<ULONGLONG> nextAt_{0};
};

ActionThread::~ActionThread() { Join(); }

bool ActionThread::Start(HWND window, GamePatcher& patcher, GamePatcher::Operation first,
                         GamePatcher::Operation second) {
  if (thread_.joinable()) return false;
  progressPosted_ = false;
  try {
    thread_ = std::thread([this, window, &patcher, first, second] {
      Reporter reporter(window, progressPosted_);
      const patch::ActionOutcome outcome = patcher.RunAction(first, second, &reporter);
      // The dialog re-enables itself only on this message: it must arrive. A full queue empties as
      // the dialog's thread reads it; a window that is gone wants nothing.
      while (!PostMessageW(window, WM_ACTION_DONE, static_cast<WPARAM>(outcome), 0) && IsWindow(window)) Sleep(10);
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void ActionThread::Join() {
  if (thread_.joinable()) thread_.join();
}

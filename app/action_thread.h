#pragma once
// The thread a launch action runs on, so that the dialog's thread keeps reading messages while the
// action waits for another copy or for files a scanner holds. The dialog owns it: it starts one
// action at a time, learns of its progress only from the messages below, and joins the thread on
// WM_ACTION_DONE (or in the destructor, which therefore runs before the patcher is destroyed).
#include <windows.h>

#include <atomic>
#include <thread>

#include "patch/game_patcher.h"

inline constexpr UINT WM_ACTION_WAITING = WM_APP + 1;   // wParam: 1 while waiting for another copy
inline constexpr UINT WM_ACTION_PROGRESS = WM_APP + 2;  // wParam: files done, lParam: files to do
inline constexpr UINT WM_ACTION_DONE = WM_APP + 3;      // wParam: the patch::ActionOutcome

class ActionThread {
 public:
  ActionThread() = default;
  ~ActionThread();
  ActionThread(const ActionThread&) = delete;
  ActionThread& operator=(const ActionThread&) = delete;

  // Runs patcher.RunAction(first, second) on a new thread; its news goes to window. The patcher
  // must outlive the thread. False when a thread is still there or could not be started.
  bool Start(HWND window, GamePatcher& patcher, GamePatcher::Operation first, GamePatcher::Operation second);
  // True from Start until Join.
  bool Running() const { return thread_.joinable(); }
  // Called on WM_ACTION_DONE: the thread has posted its last message and is ending.
  void Join();
  // The dialog has shown the last progress message: the next change may post another.
  void ProgressShown() { progressPosted_ = false; }

 private:
  class Reporter;

  // At most one progress message waits in the queue, so a fast action cannot flood it.
  std::atomic<bool> progressPosted_{false};
  std::thread thread_;
};

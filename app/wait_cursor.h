#pragma once
// The busy cursor while a launch action runs, then the cursor from before. The dialog keeps
// working meanwhile, so the cursor is the one that says so (an arrow with an hourglass), and the
// dialog shows it again whenever the system asks (WM_SETCURSOR).
#include <windows.h>

class WaitCursor {
 public:
  WaitCursor() : busy_(LoadCursorW(nullptr, IDC_APPSTARTING)), previous_(SetCursor(busy_)) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

  void Show() const { SetCursor(busy_); }

 private:
  HCURSOR busy_;      // shared system cursors or the class cursor: not ours to destroy
  HCURSOR previous_;
};

#pragma once
// The wait cursor for as long as the object lives, then the cursor from before. The dialog handles
// no messages while a launch action patches, so nothing else resets the cursor in between.
#include <windows.h>

class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;  // a shared system cursor or the class cursor: not ours to destroy
};

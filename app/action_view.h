#pragma once
// What the dialog shows while a launch action runs: a line of text and a progress bar in the strip
// between the launch buttons and the bottom row, which the template leaves empty. Both exist only
// during the action, so the template's controls keep their places and nothing stays behind.
#include <windows.h>

#include <cstdint>

inline constexpr int IDC_ACTION_STATUS = 1006;
inline constexpr int IDC_ACTION_PROGRESS = 1007;

class ActionView {
 public:
  ActionView() = default;
  ~ActionView() { Hide(); }
  ActionView(const ActionView&) = delete;
  ActionView& operator=(const ActionView&) = delete;

  // Creates the two controls in dialog, with its font; the bar is empty.
  void Show(HWND dialog);
  // Waiting for another copy: its text and a marquee bar.
  void Waiting();
  void Progress(uint32_t done, uint32_t total);
  void Hide();

 private:
  HWND status_ = nullptr;
  HWND bar_ = nullptr;
  bool marquee_ = false;
};

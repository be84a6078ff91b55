#pragma once
// The line that tells which version the game's files hold, in the strip where an action's line
// appears, while no action runs. Created on first use, in the dialog's font; the template's
// controls keep their places.
#include <windows.h>

#include <string>

inline constexpr int IDC_GAME_STATE = 1008;

class StateLine {
 public:
  StateLine() = default;
  ~StateLine() { Hide(); }
  StateLine(const StateLine&) = delete;
  StateLine& operator=(const StateLine&) = delete;

  void Show(HWND dialog, const std::u16string& text);
  // The files are being read.
  void Checking(HWND dialog);
  void Hide();

 private:
  HWND line_ = nullptr;
};

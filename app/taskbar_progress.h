#pragma once
// The progress of a launch action on the tool's taskbar button (ITaskbarList3). The taskbar tells a
// window that its button exists with the registered message below; until then, and where the
// taskbar offers no such interface, every call does nothing.
#include <windows.h>
#include <shobjidl.h>

#include <cstdint>

class TaskbarProgress {
 public:
  TaskbarProgress() = default;
  ~TaskbarProgress();
  TaskbarProgress(const TaskbarProgress&) = delete;
  TaskbarProgress& operator=(const TaskbarProgress&) = delete;

  // The message the shell sends once the button exists (and again after Explorer restarts).
  static UINT ButtonCreatedMessage();
  // On that message: binds to the button of window.
  void Attach(HWND window);

  void Waiting();
  void Show(uint32_t done, uint32_t total);
  void Failed();  // the error state, kept until Clear
  void Clear();

 private:
  void Release();

  HWND window_ = nullptr;
  ITaskbarList3* taskbar_ = nullptr;
};

#pragma once
// A modal dialog over the raw dialog manager: the object is bound to its window at
// WM_INITDIALOG, and every later message goes to HandleMessage.
#include <windows.h>

class CDialogImpl {
 public:
  CDialogImpl() = default;
  virtual ~CDialogImpl() = default;
  CDialogImpl(const CDialogImpl&) = delete;
  CDialogImpl& operator=(const CDialogImpl&) = delete;

  // DialogBoxParamW: the value given to EndDialog, or -1 when the dialog could not be created.
  INT_PTR DoModal(HINSTANCE instance, UINT templateId, HWND owner);

  HWND m_hWnd = nullptr;

 protected:
  // True when the message was handled; result is what the dialog procedure answers
  // (WM_INITDIALOG's focus flag, or the message result of any other message).
  virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

#include "app/dialog_impl.h"

// The dialog object's address lives in DWLP_USER, and the init message's lParam carries it.
static_assert(sizeof(LONG_PTR) == sizeof(void*) && sizeof(LPARAM) == sizeof(void*),
              "window data must hold a pointer in the 32-bit exe and its 64-bit twin alike");

INT_PTR CDialogImpl::DoModal(HINSTANCE instance, UINT templateId, HWND owner) {
  return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialogImpl::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialogImpl* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialogImpl*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_hWnd = window;
  } else {
    self = reinterpret_cast<CDialogImpl*>(GetWindowLongPtrW(window, DWLP_USER));
  }
  // Messages before WM_INITDIALOG (WM_SETFONT and friends) get the default handling.
  if (self == nullptr) return FALSE;

  LRESULT result = 0;
  const bool handled = self->HandleMessage(message, wParam, lParam, result);
  if (message == WM_NCDESTROY) self->m_hWnd = nullptr;
  if (!handled) return FALSE;
  if (message == WM_INITDIALOG) return static_cast<INT_PTR>(result);
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

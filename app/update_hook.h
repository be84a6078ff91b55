#pragma once
// The dialog's side of the update check: started once from OnInitDialog, answered through the
// synchronous private message WM_UPDATE_NOTICE.
#include <windows.h>

inline constexpr UINT WM_UPDATE_NOTICE = WM_USER + 1000;  // 2024

// Starts the worker with the dialog's window and releases the thread handle at once.
void StartUpdateCheck(HWND dialog);
// Handler of WM_UPDATE_NOTICE: text is the notice, valid only during this call. Returns 0.
LRESULT OnUpdateNotice(HWND dialog, const wchar_t* text);

#include "app/state_line.h"

#include <commctrl.h>

namespace {

constexpr char16_t kCheckingText[] = u"正在检查游戏文件…";

}  // namespace

void StateLine::Show(HWND dialog, const std::u16string& text) {
  if (line_ == nullptr) {
    // Dialog units, like the template; the whole strip, from the label column to the settings
    // button's edge, since no bar shares it.
    RECT units{15, 79, 253, 87};
    MapDialogRect(dialog, &units);
    line_ = CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS,
                            units.left, units.top, units.right - units.left, units.bottom - units.top, dialog,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_GAME_STATE)), nullptr, nullptr);
    if (line_ == nullptr) return;
    SendMessageW(line_, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
  }
  SetWindowTextW(line_, reinterpret_cast<const wchar_t*>(text.c_str()));
}

void StateLine::Checking(HWND dialog) { Show(dialog, kCheckingText); }

void StateLine::Hide() {
  if (line_ != nullptr) DestroyWindow(line_);
  line_ = nullptr;
}

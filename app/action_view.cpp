#include "app/action_view.h"

#include <commctrl.h>

#include <string>

namespace {

constexpr wchar_t kWaitingText[] = L"另一个窗口正在修改游戏文件，请稍候…";
constexpr wchar_t kChangingText[] = L"正在修改游戏文件";
constexpr UINT kMarqueeMilliseconds = 30;
// The share done in thousandths: the bar's range is 16 bits wide on old systems.
constexpr uint32_t kBarRange = 1000;

// Dialog units, like the template: the same layout at every DPI and font.
HWND CreateChild(HWND dialog, const wchar_t* className, DWORD style, int id, RECT units) {
  MapDialogRect(dialog, &units);
  const HWND child = CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | style, units.left, units.top,
                                     units.right - units.left, units.bottom - units.top, dialog,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  if (child != nullptr) SendMessageW(child, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
  return child;
}

void Destroy(HWND& window) {
  if (window != nullptr) DestroyWindow(window);
  window = nullptr;
}

}  // namespace

void ActionView::Show(HWND dialog) {
  Hide();
  // Left: the text, from the label column; right: the bar, up to the settings button's edge.
  status_ = CreateChild(dialog, WC_STATICW, SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, IDC_ACTION_STATUS,
                        RECT{15, 79, 153, 87});
  bar_ = CreateChild(dialog, PROGRESS_CLASSW, PBS_SMOOTH, IDC_ACTION_PROGRESS, RECT{157, 79, 253, 87});
  if (bar_ != nullptr) SendMessageW(bar_, PBM_SETRANGE32, 0, kBarRange);
  marquee_ = false;
}

void ActionView::Waiting() {
  if (status_ != nullptr) SetWindowTextW(status_, kWaitingText);
  if (bar_ == nullptr || marquee_) return;
  SetWindowLongPtrW(bar_, GWL_STYLE, GetWindowLongPtrW(bar_, GWL_STYLE) | PBS_MARQUEE);
  SendMessageW(bar_, PBM_SETMARQUEE, TRUE, kMarqueeMilliseconds);
  marquee_ = true;
}

void ActionView::Progress(uint32_t done, uint32_t total) {
  if (status_ != nullptr) {
    const std::wstring text =
        std::wstring(kChangingText) + L" " + std::to_wstring(done) + L"/" + std::to_wstring(total);
    SetWindowTextW(status_, text.c_str());
  }
  if (bar_ == nullptr) return;
  if (marquee_) {
    SendMessageW(bar_, PBM_SETMARQUEE, FALSE, 0);
    SetWindowLongPtrW(bar_, GWL_STYLE, GetWindowLongPtrW(bar_, GWL_STYLE) & ~static_cast<LONG_PTR>(PBS_MARQUEE));
    marquee_ = false;
  }
  const uint32_t permille = total == 0 ? 0 : static_cast<uint32_t>(uint64_t{done} * kBarRange / total);
  SendMessageW(bar_, PBM_SETPOS, permille, 0);
}

void ActionView::Hide() {
  Destroy(status_);
  Destroy(bar_);
  marquee_ = false;
}

#include "app/update_hook.h"

#include <shellapi.h>

#include <string>

#include "app/app_info.h"
#include "update/update.h"

namespace {

// WM_UPDATE_NOTICE's wParam carries the worker's text by address.
static_assert(sizeof(WPARAM) == sizeof(void*), "wParam must hold a pointer");

constexpr wchar_t kOfferText[] = L"发现本程序有新版本，是否立即去下载？";
constexpr wchar_t kOfferCaption[] = L"更新提示";

DWORD WINAPI UpdateCheckThread(LPVOID parameter) {
  const HWND dialog = static_cast<HWND>(parameter);
  update::RunUpdateCheck(update::UpdateNoticeUrl(), [dialog](const char16_t* notice) {
    // Synchronous on purpose: the text lives on this thread until the dialog has handled it.
    // A dialog that is already gone simply gets nothing.
    SendMessageW(dialog, WM_UPDATE_NOTICE, reinterpret_cast<WPARAM>(notice), 0);
  }, update::UpdateNoticeTrust());
  return 0;
}

}  // namespace

void StartUpdateCheck(HWND dialog) {
  const HANDLE thread = CreateThread(nullptr, 0, &UpdateCheckThread, dialog, 0, nullptr);
  // Nobody waits for the worker; a worker that could not start just means no check this time.
  if (thread != nullptr) CloseHandle(thread);
}

LRESULT OnUpdateNotice(HWND dialog, const wchar_t* text) {
  if (text == nullptr) return 0;
  // A copy: the worker's text is gone once this handler returns, and the offer box below runs
  // a message loop of its own.
  const std::u16string notice(reinterpret_cast<const char16_t*>(text));
  const update::NoticeOffer offer =
      update::EvaluateNotice(notice, reinterpret_cast<const char16_t*>(kAppVersion));
  if (!offer.offer) return 0;
  if (MessageBoxW(dialog, kOfferText, kOfferCaption, MB_YESNO | MB_ICONINFORMATION | MB_TOPMOST) != IDYES) return 0;
  // The tool closes whether or not a browser could be started: the user chose to update.
  ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t*>(offer.address.c_str()), nullptr, nullptr, SW_SHOW);
  EndDialog(dialog, 0);
  return 0;
}

// Reads the running tool's dialog from outside, for the end-to-end tests: what a user would see
// (texts, enabled buttons, focus, message boxes) and where the controls are on the screen.
//
//   dialog_probe state            the main dialog's title, edit text, game state line, buttons, focus and place,
//                                 and the ANSI code page that Wine gives programs run like the probe
//   dialog_probe msgbox MS        the first message box owned by the dialog, waiting up to MS ms
//   dialog_probe gone MS          exit 0 once no main dialog exists, waiting up to MS ms
//   dialog_probe layout           the screen's DPI, the dialog's client size and, for each control,
//                                 its client width and the width of its text in the dialog's font
//   dialog_probe watch MS         for MS ms, every 100 ms: how long the dialog takes to answer
//                                 WM_NULL (500 ms at most), the texts its action line showed, and
//                                 how often a launch or settings button was enabled while it did
//   dialog_probe hold DIR MS      holds the game directory's lock, as another copy's action does,
//                                 for MS ms; prints "held=1" once it has it
//   dialog_probe active           the title of the window that takes the keyboard now (Wine makes a
//                                 window active only once X has told it of the focus)
//   dialog_probe close            the system menu's Close (SC_CLOSE) and WM_CLOSE, as the close box
//                                 sends them, to the main dialog; returns once it handled both
//
// Output is UTF-8, one "key=value" per line. Exit code 1 when the window asked for is not there.
// The probe is DPI aware itself, so that it sees the tool's real pixels, as X and xdotool do.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "platform/directory_lock.h"

namespace {

constexpr wchar_t kTitlePrefix[] = L"Vantrel剑灵反和谐登陆器";
constexpr int kGameState = 1008;  // the line that tells which version the game's files hold
constexpr int kControls[] = {1000, 1001, 1002, 1003, 1004, 1005};

void Print(const std::wstring& line) {
  const std::wstring text = line + L"\n";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                      nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// The text of a window of another process: WM_GETTEXT, which the system carries across.
std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return L"?";
  std::vector<wchar_t> buffer(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                      SMTO_ABORTIFHUNG, 5000, &copied);
  return std::wstring(buffer.data(), copied);
}

struct Search {
  HWND owner;  // null: look for the main dialog
  HWND found;
};

BOOL CALLBACK FindWindowProc(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  if (!IsWindowVisible(window) || ClassOf(window) != L"#32770") return TRUE;
  if (search->owner == nullptr) {
    const std::wstring title = TextOf(window);
    if (title.compare(0, std::wcslen(kTitlePrefix), kTitlePrefix) != 0) return TRUE;
  } else if (GetWindow(window, GW_OWNER) != search->owner) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

HWND FindOwnedDialog(HWND owner) {
  Search search{owner, nullptr};
  EnumWindows(FindWindowProc, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitFor(HWND owner, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND found = FindOwnedDialog(owner)) return found;
    if (GetTickCount() - start >= milliseconds) return nullptr;
    Sleep(100);
  }
}

int State() {
  HWND dialog = WaitFor(nullptr, 20000);
  if (dialog == nullptr) {
    Print(L"error=no main dialog");
    return 1;
  }
  Print(L"title=" + TextOf(dialog));
  Print(L"edit=" + TextOf(GetDlgItem(dialog, 1004)));
  const HWND gameState = GetDlgItem(dialog, kGameState);
  Print(L"gamestate=" + (gameState != nullptr ? TextOf(gameState) : std::wstring()));
  for (int id : kControls) {
    HWND control = GetDlgItem(dialog, id);
    RECT rect{};
    GetWindowRect(control, &rect);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    Print(L"control." + std::to_wstring(id) + L"=" + std::to_wstring(IsWindowEnabled(control) ? 1 : 0) + L"," +
          std::to_wstring((rect.left + rect.right) / 2) + L"," + std::to_wstring((rect.top + rect.bottom) / 2) +
          L"," + std::to_wstring(style & 0xF));
  }
  GUITHREADINFO thread{};
  thread.cbSize = sizeof(thread);
  const DWORD threadId = GetWindowThreadProcessId(dialog, nullptr);
  if (GetGUIThreadInfo(threadId, &thread) && thread.hwndFocus != nullptr) {
    Print(L"focus=" + std::to_wstring(GetDlgCtrlID(thread.hwndFocus)));
  } else {
    Print(L"focus=none");
  }
  RECT rect{};
  GetWindowRect(dialog, &rect);
  Print(L"window=" + std::to_wstring(rect.left) + L"," + std::to_wstring(rect.top) + L"," +
        std::to_wstring(rect.right - rect.left) + L"," + std::to_wstring(rect.bottom - rect.top));
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
  Print(L"workarea=" + std::to_wstring(monitor.rcWork.left) + L"," + std::to_wstring(monitor.rcWork.top) + L"," +
        std::to_wstring(monitor.rcWork.right - monitor.rcWork.left) + L"," +
        std::to_wstring(monitor.rcWork.bottom - monitor.rcWork.top));
  Print(L"acp=" + std::to_wstring(GetACP()));
  return 0;
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
  if (ClassOf(child) == L"Static") {
    const std::wstring text = TextOf(child);
    if (!text.empty()) *reinterpret_cast<std::wstring*>(param) += text;
  }
  return TRUE;
}

int MessageBoxState(DWORD milliseconds) {
  HWND dialog = FindOwnedDialog(nullptr);
  if (dialog == nullptr) {
    Print(L"error=no main dialog");
    return 1;
  }
  HWND box = WaitFor(dialog, milliseconds);
  if (box == nullptr) {
    Print(L"msgbox=none");
    return 1;
  }
  std::wstring text;
  EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
  Print(L"caption=" + TextOf(box));
  Print(L"text=" + text);
  return 0;
}

int Gone(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (FindOwnedDialog(nullptr) != nullptr) {
    if (GetTickCount() - start >= milliseconds) return 1;
    Sleep(100);
  }
  return 0;
}

// The font the dialog manager made from the template: its LOGFONT when the system lets another
// process read it, else the template's 9 point "宋体" at the screen's DPI, as the dialog manager makes it.
LOGFONTW DialogFont(HWND dialog, int dpi, std::wstring& source) {
  LOGFONTW font{};
  DWORD_PTR handle = 0;
  if (SendMessageTimeoutW(dialog, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, 5000, &handle) && handle != 0 &&
      GetObjectW(reinterpret_cast<HFONT>(handle), sizeof(font), &font) == sizeof(font)) {
    source = L"dialog";
    return font;
  }
  source = L"template";
  font.lfHeight = -MulDiv(9, dpi, 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  std::wcscpy(font.lfFaceName, L"宋体");
  return font;
}

struct Measure {
  HDC dc;
  int index;
};

BOOL CALLBACK PrintControlText(HWND child, LPARAM param) {
  auto* measure = reinterpret_cast<Measure*>(param);
  const std::wstring text = TextOf(child);
  SIZE extent{};
  GetTextExtentPoint32W(measure->dc, text.c_str(), static_cast<int>(text.size()), &extent);
  RECT client{};
  GetClientRect(child, &client);
  Print(L"item." + std::to_wstring(measure->index++) + L"=" + ClassOf(child) + L"," +
        std::to_wstring(GetDlgCtrlID(child)) + L"," + std::to_wstring(client.right) + L"," +
        std::to_wstring(extent.cx) + L"," + text);
  return TRUE;
}

int Layout() {
  HWND dialog = WaitFor(nullptr, 20000);
  if (dialog == nullptr) {
    Print(L"error=no main dialog");
    return 1;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  std::wstring source;
  const LOGFONTW logFont = DialogFont(dialog, dpi, source);
  HFONT font = CreateFontIndirectW(&logFont);
  HGDIOBJ previous = SelectObject(screen, font);
  RECT client{};
  GetClientRect(dialog, &client);
  Print(L"dpi=" + std::to_wstring(dpi));
  Print(L"client=" + std::to_wstring(client.right) + L"," + std::to_wstring(client.bottom));
  Print(L"font=" + source + L"," + std::to_wstring(logFont.lfHeight));
  Measure measure{screen, 0};
  EnumChildWindows(dialog, PrintControlText, reinterpret_cast<LPARAM>(&measure));
  SelectObject(screen, previous);
  DeleteObject(font);
  ReleaseDC(nullptr, screen);
  return 0;
}

constexpr int kActionStatus = 1006;
constexpr int kActionButtons[] = {1000, 1002, 1003, 1005};

int Watch(DWORD milliseconds) {
  const HWND dialog = WaitFor(nullptr, 20000);
  if (dialog == nullptr) {
    Print(L"error=no main dialog");
    return 1;
  }
  DWORD longest = 0;
  int samples = 0, unanswered = 0, busy = 0, enabledWhileBusy = 0;
  std::set<std::wstring> texts;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    const DWORD sent = GetTickCount();
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 500, &result)) ++unanswered;
    longest = std::max(longest, GetTickCount() - sent);
    ++samples;
    const HWND status = GetDlgItem(dialog, kActionStatus);
    if (status != nullptr) {
      ++busy;
      const std::wstring text = TextOf(status);
      // Progress texts differ by their count: keep what precedes it.
      texts.insert(text.substr(0, text.find(L' ')));
      for (const int id : kActionButtons) {
        if (IsWindowEnabled(GetDlgItem(dialog, id))) ++enabledWhileBusy;
      }
    }
    Sleep(100);
  }
  std::wstring seen;
  for (const std::wstring& text : texts) seen += (seen.empty() ? L"" : L"|") + text;
  Print(L"samples=" + std::to_wstring(samples));
  Print(L"longest_reply_ms=" + std::to_wstring(longest));
  Print(L"unanswered=" + std::to_wstring(unanswered));
  Print(L"busy_samples=" + std::to_wstring(busy));
  Print(L"enabled_while_busy=" + std::to_wstring(enabledWhileBusy));
  Print(L"texts=" + seen);
  return 0;
}

int Close() {
  const HWND dialog = WaitFor(nullptr, 20000);
  if (dialog == nullptr) {
    Print(L"error=no main dialog");
    return 1;
  }
  DWORD_PTR result = 0;
  int answered = 0;
  if (SendMessageTimeoutW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_NORMAL, 5000, &result)) ++answered;
  if (SendMessageTimeoutW(dialog, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &result)) ++answered;
  Print(L"answered=" + std::to_wstring(answered));
  return 0;
}

int Hold(const std::wstring& directory, DWORD milliseconds) {
  const platform::DirectoryLock lock =
      platform::DirectoryLock::Acquire(std::u16string(directory.begin(), directory.end()), 10000);
  if (!lock.IsHeld()) {
    Print(L"held=0");
    return 1;
  }
  Print(L"held=1");
  Sleep(milliseconds);
  return 0;
}

int Active() {
  const HWND window = GetForegroundWindow();
  if (window == nullptr) {
    Print(L"active=");
    return 1;
  }
  Print(L"active=" + TextOf(window));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  SetProcessDPIAware();
  if (argc >= 2 && std::wstring(argv[1]) == L"state") return State();
  if (argc >= 2 && std::wstring(argv[1]) == L"layout") return Layout();
  if (argc >= 3 && std::wstring(argv[1]) == L"msgbox") return MessageBoxState(std::wcstoul(argv[2], nullptr, 10));
  if (argc >= 3 && std::wstring(argv[1]) == L"gone") return Gone(std::wcstoul(argv[2], nullptr, 10));
  if (argc >= 3 && std::wstring(argv[1]) == L"watch") return Watch(std::wcstoul(argv[2], nullptr, 10));
  if (argc >= 2 && std::wstring(argv[1]) == L"active") return Active();
  if (argc >= 4 && std::wstring(argv[1]) == L"hold") return Hold(argv[2], std::wcstoul(argv[3], nullptr, 10));
  if (argc >= 2 && std::wstring(argv[1]) == L"close") return Close();
  Print(L"usage: dialog_probe state | msgbox MS | gone MS | layout | watch MS | hold DIR MS | active | close");
  return 2;
}

// Stands in for the game's TCLS\Launcher.exe in the demo install and the end-to-end tests:
// it only records that it was started, one line per start in "launched.log" beside itself.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t module[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  std::wstring log(module, length);
  log.resize(log.find_last_of(L'\\') + 1);
  log += L"launched.log";

  HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const char line[] = "started\r\n";
  DWORD written = 0;
  const BOOL ok = WriteFile(file, line, sizeof(line) - 1, &written, nullptr);
  CloseHandle(file);
  return ok && written == sizeof(line) - 1 ? 0 : 1;
}

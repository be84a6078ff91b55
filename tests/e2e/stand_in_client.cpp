// Stands in for the game's bin\Client.exe in the end-to-end tests: holds one package file open for
// reading, as a running game does, until a release file appears (or MS ms have passed).
//
//   stand_in_client HELD RELEASE MS     prints "held=1" once HELD is open
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  const HANDLE held = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 1;
  std::printf("held=1\n");
  std::fflush(stdout);
  const DWORD start = GetTickCount();
  const DWORD limit = std::wcstoul(argv[3], nullptr, 10);
  while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES && GetTickCount() - start < limit) Sleep(100);
  CloseHandle(held);
  return 0;
}

// Running programs, found by the file they were started from.
#include "platform/process.h"

#include <vector>

#include "platform/win32/file_identity.h"
#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"
// After <windows.h>, whose types it uses.
#include <tlhelp32.h>

namespace platform {
namespace {

constexpr DWORD kLongestPath = 32768;

// A function that fills a buffer and returns the units it needs when the buffer is too small.
template <typename Fill>
std::wstring Grown(Fill fill) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD units = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (units == 0) return {};
    if (units < buffer.size()) return std::wstring(buffer.data(), units);
    if (buffer.size() >= kLongestPath) return {};
    buffer.resize(units + 1);
  }
}

// The form Windows compares: absolute, "\" only, long names where the file exists.
std::wstring Canonical(const std::u16string& path) {
  std::wstring full = Grown([&](wchar_t* out, DWORD size) { return ::GetFullPathNameW(win32::Wide(path), size, out, nullptr); });
  if (full.empty()) full.assign(win32::Wide(path), path.size());
  for (wchar_t& unit : full) {
    if (unit == L'/') unit = L'\\';
  }
  const std::wstring longName =
      Grown([&](wchar_t* out, DWORD size) { return ::GetLongPathNameW(full.c_str(), out, size); });
  return longName.empty() ? full : longName;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

bool Identify(const std::u16string& path, win32::FileIdentity* identity) {
  const win32::UniqueFileHandle file = win32::OpenForIdentity(path);
  return file && win32::IdentifyFile(file.get(), identity);
}

// The image's full Win32 path; empty for a process this user may not ask (another user's, the
// system's), which cannot be one the player started from the game directory.
std::u16string ImageOf(DWORD processId) {
  const win32::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return {};
  const std::wstring image = Grown([&](wchar_t* out, DWORD size) {
    DWORD units = size;
    if (::QueryFullProcessImageNameW(process.get(), 0, out, &units)) return units;
    return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER ? size * 2 : DWORD{0};
  });
  return win32::FromWide(image.c_str(), image.size());
}

}  // namespace

bool IsSamePath(const std::u16string& a, const std::u16string& b) { return SameText(Canonical(a), Canonical(b)); }

// The file's identity (volume serial and file id) is compared, not only its name: a game folder
// reached through a junction, a subst drive or a mapped share names the same file by another
// path. A process's image is opened only when its path already ends in the same file name, so a
// press opens a few files, not one per process.
bool IsImageRunning(const std::u16string& image) {
  win32::FileIdentity client;
  if (!Identify(image, &client)) return false;
  const std::wstring clientPath = Canonical(image);
  const std::wstring clientName = clientPath.substr(clientPath.find_last_of(L'\\') + 1);

  const win32::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  const DWORD self = ::GetCurrentProcessId();
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == 0 || entry.th32ProcessID == self) continue;
    const std::u16string path = ImageOf(entry.th32ProcessID);
    if (path.empty()) continue;
    const std::wstring canonical = Canonical(path);
    if (SameText(canonical, clientPath)) return true;
    const std::wstring name = canonical.substr(canonical.find_last_of(L'\\') + 1);
    win32::FileIdentity other;
    if (SameText(name, clientName) && Identify(path, &other) && win32::SameIdentity(other, client)) return true;
  }
  return false;
}

}  // namespace platform

#include <vector>

#include "platform/profile.h"
#include "platform/win32/last_error.h"
#include "platform/win32/profile_unicode.h"
#include "platform/win32/windows_api.h"

namespace platform {

std::u16string GetProfileString(const std::u16string& file, const std::u16string& section, const std::u16string& key,
                                uint32_t bufferUnits) {
  if (bufferUnits == 0) return {};
  std::vector<wchar_t> buffer(bufferUnits, L'\0');
  ::SetLastError(ERROR_SUCCESS);  // an empty answer is only a failure when the call says why
  const DWORD units = ::GetPrivateProfileStringW(win32::Wide(section), win32::Wide(key), L"", buffer.data(),
                                                 bufferUnits, win32::Wide(file));
  if (units == 0 && ::GetLastError() != ERROR_SUCCESS) win32::FailWithLastError();
  return win32::FromWide(buffer.data(), units);
}

bool WriteProfileString(const std::u16string& file, const std::u16string& section, const std::u16string& key,
                        const std::u16string& value) {
  if (!win32::PrepareUnicodeProfile(file, section, key, value)) return false;
  return ::WritePrivateProfileStringW(win32::Wide(section), win32::Wide(key), win32::Wide(value), win32::Wide(file)) ||
         win32::FailWithLastError();
}

}  // namespace platform

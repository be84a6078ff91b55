#include <vector>

#include "platform/registry.h"
#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"

namespace platform {

std::optional<std::u16string> ReadMachineString(const std::u16string& keyPath, const std::u16string& valueName,
                                                uint32_t bufferUnits) {
  HKEY raw = nullptr;
  // The game's installer is a 32-bit program: on 64-bit Windows its HKLM\SOFTWARE values live in the
  // 32-bit view (Wow6432Node). The 32-bit exe reads that view anyway; the 64-bit build must ask for
  // it. 32-bit Windows ignores the flag.
  LONG status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::Wide(keyPath), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &raw);
  if (status != ERROR_SUCCESS) {
    win32::FailWith(static_cast<uint32_t>(status));
    return std::nullopt;
  }
  win32::UniqueKey key(raw);
  DWORD size = 0;
  status = ::RegQueryValueExW(key.get(), win32::Wide(valueName), nullptr, nullptr, nullptr, &size);
  if (status != ERROR_SUCCESS) {
    win32::FailWith(static_cast<uint32_t>(status));
    return std::nullopt;
  }
  const uint64_t capacity = uint64_t{bufferUnits} * sizeof(wchar_t);
  if (size == 0 || size > capacity) {
    win32::FailWith(size == 0 ? ERROR_FILE_NOT_FOUND : ERROR_MORE_DATA);
    return std::nullopt;
  }
  // One unit more than the value may use, zeroed here, so the text always ends inside the buffer.
  std::vector<wchar_t> buffer(size_t{bufferUnits} + 1, L'\0');
  DWORD got = static_cast<DWORD>(capacity);
  status = ::RegQueryValueExW(key.get(), win32::Wide(valueName), nullptr, nullptr,
                              reinterpret_cast<BYTE*>(buffer.data()), &got);
  if (status != ERROR_SUCCESS) {  // includes a value that grew between the two queries
    win32::FailWith(static_cast<uint32_t>(status));
    return std::nullopt;
  }
  for (uint32_t i = 0; i < bufferUnits; ++i) {
    if (buffer[i] == L'\0') return win32::FromWide(buffer.data(), i);
  }
  win32::FailWith(ERROR_MORE_DATA);  // fills the buffer with no end of its own
  return std::nullopt;
}

}  // namespace platform

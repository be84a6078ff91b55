#include "platform/resource.h"
#include "platform/win32/last_error.h"
#include "platform/win32/windows_api.h"

namespace platform {

// The requested language first, then whichever language the system picks by its own rules.
std::span<const uint8_t> FindResourceBytes(const char16_t* type, uint16_t id, uint16_t language) {
  const auto* wideType = reinterpret_cast<const wchar_t*>(type);
  HRSRC info = ::FindResourceExW(nullptr, wideType, MAKEINTRESOURCEW(id), language);
  if (info == nullptr) info = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), wideType);
  if (info == nullptr) {
    win32::FailWithLastError();
    return {};
  }
  const DWORD size = ::SizeofResource(nullptr, info);
  HGLOBAL loaded = ::LoadResource(nullptr, info);
  const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (bytes == nullptr) {
    win32::FailWithLastError();
    return {};
  }
  return {static_cast<const uint8_t*>(bytes), size};
}

}  // namespace platform

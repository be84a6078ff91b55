#include <climits>

#include "platform/text.h"
#include "platform/win32/last_error.h"
#include "platform/win32/windows_api.h"

namespace platform {

std::u16string SystemMultiByteToWide(uint32_t codePage, std::string_view bytes) {
  if (bytes.empty()) return {};  // the system call treats a zero length as an error
  if (bytes.size() > INT_MAX) {
    win32::FailWith(ERROR_INVALID_PARAMETER);
    return {};
  }
  const int length = static_cast<int>(bytes.size());
  const int units = ::MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (units <= 0) {
    win32::FailWithLastError();
    return {};
  }
  std::u16string text(static_cast<size_t>(units), u'\0');
  if (::MultiByteToWideChar(codePage, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(text.data()), units) !=
      units) {
    win32::FailWithLastError();
    return {};
  }
  return text;
}

std::string SystemWideToMultiByte(uint32_t codePage, std::u16string_view text) {
  if (text.empty()) return {};
  if (text.size() > INT_MAX) {
    win32::FailWith(ERROR_INVALID_PARAMETER);
    return {};
  }
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  // No default character: UTF-8 refuses one, and the system's own replacement is what callers expect.
  const int size = ::WideCharToMultiByte(codePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    win32::FailWithLastError();
    return {};
  }
  std::string bytes(static_cast<size_t>(size), '\0');
  if (::WideCharToMultiByte(codePage, 0, wide, length, bytes.data(), size, nullptr, nullptr) != size) {
    win32::FailWithLastError();
    return {};
  }
  return bytes;
}

uint32_t AnsiCodePage() { return ::GetACP(); }

bool SurvivesAnsiCodePage(std::u16string_view text) {
  if (text.empty()) return true;
  if (text.size() > INT_MAX) return false;
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  // Where the ANSI page is UTF-8 the system refuses these flags: "no" then costs only a Unicode file.
  const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  std::string bytes(static_cast<size_t>(size), '\0');
  BOOL usedDefault = FALSE;
  return ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, bytes.data(), size, nullptr,
                               &usedDefault) == size &&
         !usedDefault;
}

std::u16string Utf8ToUtf16(std::string_view bytes) { return SystemMultiByteToWide(CP_UTF8, bytes); }
std::string Utf16ToUtf8(std::u16string_view text) { return SystemWideToMultiByte(CP_UTF8, text); }

}  // namespace platform

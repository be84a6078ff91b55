#pragma once
// <windows.h> for the backend. It maps several names to their W functions with macros, and the
// platform API uses those names for its own functions; the backend always calls the W forms.
#include <windows.h>

#undef CopyFile
#undef CreateHardLink
#undef CreateDirectory
#undef DeleteFile
#undef GetCurrentDirectory
#undef GetFileAttributes
#undef GetModuleFileName
#undef GetProfileString
#undef RemoveDirectory
#undef SetFileAttributes
#undef WriteProfileString

#include <string>

namespace platform::win32 {

// Core text is char16_t and Windows' is wchar_t: the casts below rely on one unit being the other.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be a UTF-16 unit");

inline const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline std::u16string FromWide(const wchar_t* text, size_t units) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), units);
}

}  // namespace platform::win32

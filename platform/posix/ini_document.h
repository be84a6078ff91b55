#pragma once
// Settings-file text with the rules of the Windows profile functions: section and key names
// match without regard to case, blanks around names and values do not count, and a rewrite
// touches only the line it changes.
#include <optional>
#include <string>
#include <string_view>

namespace platform::posix {

// A file without a byte-order mark is in the ANSI code page, as Windows reads it, unless its bytes
// are UTF-8 beyond ASCII (Notepad's default); Wine also honours a UTF-8 and a UTF-16BE mark.
enum class IniEncoding { kAnsi, kUtf8, kUtf8Bom, kUtf16Le, kUtf16Be };

struct IniText {
  IniEncoding encoding = IniEncoding::kAnsi;
  std::u16string text;
};

IniText DecodeIni(std::string_view bytes);
std::string EncodeIni(const IniText& ini);

// The value of key in section, without surrounding quotes; nothing when either is missing.
std::optional<std::u16string> FindIniValue(std::u16string_view text, std::u16string_view section,
                                           std::u16string_view key);
// The text with key set to value: an existing key's line is replaced, a new key goes after the
// section's last entry, and a new section goes at the end.
std::u16string SetIniValue(std::u16string_view text, std::u16string_view section, std::u16string_view key,
                           std::u16string_view value);

}  // namespace platform::posix

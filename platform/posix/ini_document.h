#pragma once
// Settings-file text with the rules of the Windows profile functions: section and key names
// match without regard to case, blanks around names and values do not count, and a rewrite
// touches only the line it changes.
#include <optional>
#include <string>
#include <string_view>

namespace platform::posix {

enum class IniEncoding { kUtf8, kUtf8Bom, kUtf16Le };

struct IniText {
  IniEncoding encoding = IniEncoding::kUtf8;
  std::u16string text;
};

// Files are UTF-8, with or without a byte-order mark; a UTF-16LE file (with its mark) is read too.
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

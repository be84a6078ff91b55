#pragma once
// The system's text conversions (MultiByteToWideChar / WideCharToMultiByte without flags).
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

inline constexpr uint32_t kCodePageAnsi = 0;       // CP_ACP: the system's ANSI page
inline constexpr uint32_t kCodePageUtf8 = 65001;   // CP_UTF8
inline constexpr uint32_t kCodePageAscii = 20127;  // US-ASCII

// Converts exactly the given bytes (no terminator is added or required). Invalid input converts
// as the system does (U+FFFD on Windows for UTF-8); empty result when the system conversion fails.
// The posix backend's ANSI page is the stand-in that AnsiCodePage() names.
std::u16string SystemMultiByteToWide(uint32_t codePage, std::string_view bytes);
std::string SystemWideToMultiByte(uint32_t codePage, std::u16string_view text);

// The system's ANSI code page (GetACP). The posix backend stands in US-ASCII, with "?" for every
// other character, so that native tests lose text where a player would; the environment variable
// MORVELT_POSIX_ANSI_CODE_PAGE=65001 makes it UTF-8 instead.
uint32_t AnsiCodePage();
// True when text converts to the ANSI page unchanged: no default character and no best-fit
// stand-in (a full-width "Ｇ" that would come back as "G").
bool SurvivesAnsiCodePage(std::u16string_view text);

// UTF-16 <-> UTF-8 for the backends and tests; same as the calls above with kCodePageUtf8.
std::u16string Utf8ToUtf16(std::string_view bytes);
std::string Utf16ToUtf8(std::u16string_view text);

// Bytes only UTF-8 explains: valid UTF-8 with a character beyond ASCII, as Notepad writes a file
// without a mark since Windows 10 1903. Plain ASCII reads alike in every page, so it is not.
inline bool IsNonAsciiUtf8(std::string_view bytes) {
  bool beyondAscii = false;
  for (char c : bytes) beyondAscii = beyondAscii || static_cast<unsigned char>(c) >= 0x80;
  // Invalid sequences come back as U+FFFD, whose bytes differ from what they replaced.
  return beyondAscii && Utf16ToUtf8(Utf8ToUtf16(bytes)) == bytes;
}

// UTF-16 text from its bytes in either order (after any mark); an odd last byte is dropped.
inline std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  const size_t high = bigEndian ? 0 : 1;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>((static_cast<uint8_t>(bytes[i + high]) << 8) |
                                         static_cast<uint8_t>(bytes[i + 1 - high])));
  }
  return text;
}

}  // namespace platform

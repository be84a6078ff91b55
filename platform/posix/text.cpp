#include "platform/text.h"

#include <cstdlib>

#include "platform/posix/last_error.h"

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(c));
  }
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

bool IsSupportedCodePage(uint32_t codePage) { return codePage == kCodePageAnsi || codePage == kCodePageUtf8; }

// One "?" per unit the page lacks, as Windows converts a single-byte page without best fit.
std::string Utf16ToAscii(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

std::u16string AsciiToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char b : bytes) out.push_back(static_cast<uint8_t>(b) < 0x80 ? static_cast<char16_t>(b) : u'?');
  return out;
}

}  // namespace

// Each maximal invalid subsequence becomes one U+FFFD; overlong forms, encoded surrogates and
// values above U+10FFFF are invalid, so the output is always well-formed UTF-16.
std::u16string Utf8ToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<uint8_t>(bytes[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    size_t need = 0;
    char32_t c = 0;
    uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      need = 1;
      c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      need = 2;
      c = lead & 0x0F;
      if (lead == 0xE0) lo = 0xA0;
      if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      need = 3;
      c = lead & 0x07;
      if (lead == 0xF0) lo = 0x90;
      if (lead == 0xF4) hi = 0x8F;
    } else {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool complete = true;
    for (size_t k = 0; k < need; ++k, ++j) {
      if (j >= bytes.size()) {
        complete = false;
        break;
      }
      const auto b = static_cast<uint8_t>(bytes[j]);
      const bool ok = k == 0 ? (b >= lo && b <= hi) : IsContinuation(b);
      if (!ok) {
        complete = false;
        break;
      }
      c = (c << 6) | (b & 0x3F);
    }
    if (complete) {
      AppendUtf16(out, c);
    } else {
      out.push_back(kReplacement);
    }
    i = j;
  }
  return out;
}

// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string SystemMultiByteToWide(uint32_t codePage, std::string_view bytes) {
  if (!IsSupportedCodePage(codePage)) {
    posix::Fail(posix::kErrorInvalidParameter);
    return {};
  }
  if (codePage == kCodePageAnsi && AnsiCodePage() == kCodePageAscii) return AsciiToUtf16(bytes);
  return Utf8ToUtf16(bytes);
}

std::string SystemWideToMultiByte(uint32_t codePage, std::u16string_view text) {
  if (!IsSupportedCodePage(codePage)) {
    posix::Fail(posix::kErrorInvalidParameter);
    return {};
  }
  if (codePage == kCodePageAnsi && AnsiCodePage() == kCodePageAscii) return Utf16ToAscii(text);
  return Utf16ToUtf8(text);
}

uint32_t AnsiCodePage() {
  const char* chosen = std::getenv("MORVELT_POSIX_ANSI_CODE_PAGE");
  return chosen != nullptr && std::string_view(chosen) == "65001" ? kCodePageUtf8 : kCodePageAscii;
}

bool SurvivesAnsiCodePage(std::u16string_view text) {
  return SystemMultiByteToWide(kCodePageAnsi, SystemWideToMultiByte(kCodePageAnsi, text)) == text;
}

}  // namespace platform

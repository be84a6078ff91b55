#include <cstring>
#include <utility>

#include "platform/text.h"
#include "update/update.h"

namespace update {
namespace {

std::u16string_view TerminatedView(const char16_t* text) {
  return text == nullptr ? std::u16string_view{} : std::u16string_view{text};
}

std::string_view TerminatedView(const char* bytes) {
  return bytes == nullptr ? std::string_view{} : std::string_view{bytes};
}

}  // namespace

void SwapBytePairs(void* buffer, std::size_t length) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  for (std::size_t i = 0; i + 1 < length; i += 2) std::swap(bytes[i], bytes[i + 1]);
}

std::string WideToMultiByte(const char16_t* text, uint32_t codePage) {
  const std::u16string_view units = TerminatedView(text);
  if (units.empty()) return {};
  if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be) {
    std::string bytes(units.size() * 2, '\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
      bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
      bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
    }
    if (codePage == kCodePageUtf16Be) SwapBytePairs(bytes.data(), bytes.size());
    return bytes;
  }
  return platform::SystemWideToMultiByte(codePage, units);
}

std::u16string MultiByteToWide(const char* bytes, uint32_t codePage) {
  const std::string_view input = TerminatedView(bytes);
  if (input.empty()) return {};
  if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be) {
    std::string raw(input.substr(0, input.size() / 2 * 2));
    if (codePage == kCodePageUtf16Be) SwapBytePairs(raw.data(), raw.size());
    std::u16string units(raw.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
      units[i] = static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                       static_cast<unsigned char>(raw[2 * i + 1]) << 8);
    }
    return units;
  }
  return platform::SystemMultiByteToWide(codePage, input);
}

}  // namespace update

// The update notice's decoding and evaluation on arbitrary bytes. The first byte picks the code
// page, the rest is the response body (zero bytes included: the converters stop at the first).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "update/update.h"

namespace {

constexpr uint32_t kCodePages[] = {65001, update::kCodePageUtf16Le, update::kCodePageUtf16Be, 0, 936, 1252};

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n = 0;
    uint32_t cp = 0;
    if (b < 0x80) { ++i; continue; }
    if (b >= 0xC2 && b <= 0xDF) { n = 1; cp = b & 0x1F; }
    else if (b >= 0xE0 && b <= 0xEF) { n = 2; cp = b & 0x0F; }
    else if (b >= 0xF0 && b <= 0xF4) { n = 3; cp = b & 0x07; }
    else return false;
    if (i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

char16_t Lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

void CheckEvaluation(const std::u16string& notice) {
  const update::NoticeOffer offer = update::EvaluateNotice(notice, u"1.0.3");
  if (!offer.offer) return;
  const size_t bar = notice.find(u'|');
  FUZZ_CHECK(bar != std::u16string::npos && bar > 0);
  FUZZ_CHECK(notice.compare(0, bar, u"1.0.3") != 0);
  FUZZ_CHECK(offer.address == notice.substr(bar + 1));
  std::u16string start = offer.address.substr(0, 8);
  for (char16_t& c : start) c = Lower(c);
  FUZZ_CHECK(start.rfind(u"http://", 0) == 0 || start == u"https://");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint32_t page = kCodePages[data[0] % (sizeof(kCodePages) / sizeof(kCodePages[0]))];
  const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string text = body.substr(0, body.find('\0'));  // what the converters may look at

  const std::u16string wide = update::MultiByteToWide(body.c_str(), page);
  FUZZ_CHECK(wide.find(u'\0') == std::u16string::npos);
  if (page == update::kCodePageUtf16Le || page == update::kCodePageUtf16Be) {
    FUZZ_CHECK(wide.size() == text.size() / 2);
  }
  const std::string back = update::WideToMultiByte(wide.c_str(), page);
  if (page == update::kCodePageUtf16Le || page == update::kCodePageUtf16Be) {
    // Units without a zero byte never hold a zero unit, so the round trip is exact.
    FUZZ_CHECK(back == text.substr(0, wide.size() * 2));
  } else if (page == 65001 && IsValidUtf8(text)) {
    FUZZ_CHECK(back == text);
  }

  std::string swapped = body;
  update::SwapBytePairs(swapped.data(), swapped.size());
  if (swapped.size() % 2 == 1) FUZZ_CHECK(swapped.back() == body.back());
  update::SwapBytePairs(swapped.data(), swapped.size());
  FUZZ_CHECK(swapped == body);

  CheckEvaluation(wide);
  CheckEvaluation(update::MultiByteToWide(body.c_str(), 65001));
  return 0;
}

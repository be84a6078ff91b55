#include <gtest/gtest.h>

#include "platform/fs.h"
#include "platform/text.h"

namespace {

using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

struct Pair {
  const char* name;
  std::string utf8;
  std::u16string utf16;
};

TEST(Utf, RoundTripsEveryEncodedLength) {
  const Pair cases[] = {
      {"ascii", "GamePath", u"GamePath"},
      {"two-byte", "\xC3\xA9", u"\u00E9"},
      {"three-byte chinese", "\xE5\x89\x91\xE7\x81\xB5", u"\u5251\u7075"},
      {"last BMP unit", "\xEF\xBF\xBF", u"\uFFFF"},
      {"supplementary plane", "\xF0\x9F\x98\x80", u"\U0001F600"},
      {"highest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"embedded zero", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.name;
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.name;
  }
}

TEST(Utf, ReplacesInvalidUtf8InsteadOfDroppingOrPassingIt) {
  const Pair cases[] = {
      {"stray continuation", "a\x80z", u"a\uFFFDz"},
      {"impossible byte", "\xFF", u"\uFFFD"},
      {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"sequence cut by end", "ab\xE5\x89", u"ab\uFFFD"},
      {"sequence cut by ascii", "\xE5\x89z", u"\uFFFDz"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.name;
}

// How many U+FFFD these become differs between systems; that nothing else comes out does not.
TEST(Utf, NeverDecodesSurrogatesOrValuesBeyondUnicode) {
  const std::string cases[] = {"\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80"};
  for (const auto& bytes : cases) {
    const std::u16string text = Utf8ToUtf16(bytes);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_not_of(u'\uFFFD'), std::u16string::npos) << testing::PrintToString(text);
  }
}

TEST(Utf, ReplacesUnpairedSurrogatesWhenEncoding) {
  const Pair cases[] = {
      {"lone high", "a\xEF\xBF\xBDz", std::u16string{u'a', char16_t{0xD800}, u'z'}},
      {"lone low", "\xEF\xBF\xBD", std::u16string{char16_t{0xDC00}}},
      {"high at end", "x\xEF\xBF\xBD", std::u16string{u'x', char16_t{0xDBFF}}},
      {"swapped pair", "\xEF\xBF\xBD\xEF\xBF\xBD", std::u16string{char16_t{0xDC00}, char16_t{0xD800}}},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.name;
}

TEST(SystemText, Utf8CodePageMatchesOwnConverter) {
  const std::string bytes = "D:\\\xE6\xB8\xB8\xE6\x88\x8F\\";
  EXPECT_EQ(platform::SystemMultiByteToWide(platform::kCodePageUtf8, bytes), u"D:\\\u6E38\u620F\\");
  EXPECT_EQ(platform::SystemWideToMultiByte(platform::kCodePageUtf8, u"D:\\\u6E38\u620F\\"), bytes);
}

TEST(SystemText, UnknownCodePageGivesEmptyAndInvalidParameter) {
  EXPECT_EQ(platform::SystemMultiByteToWide(4711, "abc"), u"");
  EXPECT_EQ(platform::LastError(), 87u);
  EXPECT_EQ(platform::SystemWideToMultiByte(4711, u"abc"), "");
  EXPECT_EQ(platform::LastError(), 87u);
}

}  // namespace

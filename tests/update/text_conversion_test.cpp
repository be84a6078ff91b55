#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"
#include "update/update.h"

namespace {

using namespace std::string_literals;
using update::kCodePageUtf16Be;
using update::kCodePageUtf16Le;
using update::MultiByteToWide;
using update::WideToMultiByte;

constexpr uint32_t kUtf8 = platform::kCodePageUtf8;
constexpr uint32_t kAnsi = platform::kCodePageAnsi;

std::string Bytes(std::initializer_list<unsigned char> values) { return std::string(values.begin(), values.end()); }

TEST(WideToMultiByte, WritesUtf16LittleEndianFor1200) {
  EXPECT_EQ(WideToMultiByte(u"A\u4E2D", kCodePageUtf16Le), Bytes({0x41, 0x00, 0x2D, 0x4E}));
}

TEST(WideToMultiByte, WritesUtf16BigEndianFor1201) {
  EXPECT_EQ(WideToMultiByte(u"A\u4E2D", kCodePageUtf16Be), Bytes({0x00, 0x41, 0x4E, 0x2D}));
}

TEST(WideToMultiByte, EncodesUtf8For65001WithoutTerminatorInResult) {
  const std::string bytes = WideToMultiByte(u"v\u7248\u672C", kUtf8);
  EXPECT_EQ(bytes, Bytes({'v', 0xE7, 0x89, 0x88, 0xE6, 0x9C, 0xAC}));
}

TEST(WideToMultiByte, KeepsAsciiAddressInAnsiPage) {
  EXPECT_EQ(WideToMultiByte(u"http://127.0.0.1:8080/s/tool/fhx.txt", kAnsi), "http://127.0.0.1:8080/s/tool/fhx.txt");
}

TEST(WideToMultiByte, GivesEmptyBytesForEmptyOrMissingText) {
  for (uint32_t page : {kCodePageUtf16Le, kCodePageUtf16Be, kUtf8, kAnsi}) {
    SCOPED_TRACE(page);
    EXPECT_EQ(WideToMultiByte(u"", page), "");
    EXPECT_EQ(WideToMultiByte(nullptr, page), "");
  }
}

TEST(WideToMultiByte, GivesEmptyBytesForUnknownCodePage) { EXPECT_EQ(WideToMultiByte(u"abc", 12345), ""); }

TEST(MultiByteToWide, ReadsUtf16LittleEndianFor1200) {
  EXPECT_EQ(MultiByteToWide("\x41\x42\x43\x44", kCodePageUtf16Le), u"\u4241\u4443");
}

TEST(MultiByteToWide, ReadsUtf16BigEndianFor1201) {
  EXPECT_EQ(MultiByteToWide("\x41\x42\x43\x44", kCodePageUtf16Be), u"\u4142\u4344");
}

TEST(MultiByteToWide, DropsTrailingOddByteOfUtf16) {
  EXPECT_EQ(MultiByteToWide("\x41\x42\x43", kCodePageUtf16Le), u"\u4241");
  EXPECT_EQ(MultiByteToWide("\x41\x42\x43", kCodePageUtf16Be), u"\u4142");
  EXPECT_EQ(MultiByteToWide("\x41", kCodePageUtf16Be), u"");
}

TEST(MultiByteToWide, StopsUtf16AtFirstZeroByte) {
  // Input is a zero-terminated byte string, so the zero high byte of "A" ends it.
  EXPECT_EQ(MultiByteToWide("\x2D\x4E\x41\x00\x42\x00", kCodePageUtf16Le), u"\u4E2D");
}

TEST(MultiByteToWide, DecodesUtf8For65001) {
  EXPECT_EQ(MultiByteToWide("1.0.4|http://\xE4\xB8\x8B\xE8\xBD\xBD", kUtf8), u"1.0.4|http://\u4E0B\u8F7D");
}

TEST(MultiByteToWide, StopsUtf8AtFirstZeroByte) {
  const std::string body = "1.0.4|http://a\0|evil"s;
  EXPECT_EQ(MultiByteToWide(body.c_str(), kUtf8), u"1.0.4|http://a");
}

TEST(MultiByteToWide, KeepsByteOrderMarkOfUtf8) {
  EXPECT_EQ(MultiByteToWide("\xEF\xBB\xBF" "1.0.3|x", kUtf8), u"\uFEFF1.0.3|x");
}

TEST(MultiByteToWide, ReadsAsciiInAnsiPage) { EXPECT_EQ(MultiByteToWide("1.0.4|http://a/", kAnsi), u"1.0.4|http://a/"); }

TEST(MultiByteToWide, GivesEmptyTextForEmptyOrMissingBytes) {
  for (uint32_t page : {kCodePageUtf16Le, kCodePageUtf16Be, kUtf8, kAnsi}) {
    SCOPED_TRACE(page);
    EXPECT_EQ(MultiByteToWide("", page), u"");
    EXPECT_EQ(MultiByteToWide(nullptr, page), u"");
  }
}

TEST(MultiByteToWide, GivesEmptyTextForUnknownCodePage) { EXPECT_EQ(MultiByteToWide("abc", 12345), u""); }

TEST(TextConversion, RoundTripsThroughEveryPage) {
  // No unit with a zero byte: the byte side is read as a zero-terminated string.
  const std::u16string text = u"\u4E0B\u8F7D\u7248\U0001F601";
  for (uint32_t page : {kCodePageUtf16Le, kCodePageUtf16Be, kUtf8}) {
    SCOPED_TRACE(page);
    EXPECT_EQ(MultiByteToWide(WideToMultiByte(text.c_str(), page).c_str(), page), text);
  }
}

TEST(SwapBytePairs, ExchangesEachPairAndLeavesOddByte) {
  std::string even = Bytes({1, 2, 3, 4});
  update::SwapBytePairs(even.data(), even.size());
  EXPECT_EQ(even, Bytes({2, 1, 4, 3}));

  std::string odd = Bytes({1, 2, 3});
  update::SwapBytePairs(odd.data(), odd.size());
  EXPECT_EQ(odd, Bytes({2, 1, 3}));

  std::string one = Bytes({7});
  update::SwapBytePairs(one.data(), one.size());
  EXPECT_EQ(one, Bytes({7}));
  update::SwapBytePairs(nullptr, 0);
}

}  // namespace

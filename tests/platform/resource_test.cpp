#include <gtest/gtest.h>

#include <string>

#include "platform/resource.h"

namespace {

constexpr uint16_t kLangEnglishUs = 1033;

std::string Text(std::span<const uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(FindResourceBytes, PrefersTheRequestedLanguage) {
  EXPECT_EQ(Text(platform::FindResourceBytes(u"TESTBLOB", 7, platform::kLangChineseSimplified)), "zh");
  EXPECT_EQ(Text(platform::FindResourceBytes(u"TESTBLOB", 7, kLangEnglishUs)), "en");
}

TEST(FindResourceBytes, FallsBackToAnotherLanguageRatherThanNothing) {
  EXPECT_EQ(Text(platform::FindResourceBytes(u"TESTBLOB", 8, platform::kLangChineseSimplified)), "only-en");
}

TEST(FindResourceBytes, MatchesTheTypeNameWithoutCase) {
  EXPECT_EQ(Text(platform::FindResourceBytes(u"TestBlob", 7, platform::kLangChineseSimplified)), "zh");
}

TEST(FindResourceBytes, MissingIdOrTypeGivesEmpty) {
  EXPECT_TRUE(platform::FindResourceBytes(u"TESTBLOB", 9, platform::kLangChineseSimplified).empty());
  EXPECT_TRUE(platform::FindResourceBytes(u"ZIP", 7, platform::kLangChineseSimplified).empty());
}

}  // namespace

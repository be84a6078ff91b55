#include <gtest/gtest.h>

#include <ctime>

#include "platform/time.h"

namespace {

using platform::CalendarTime;

TEST(SystemTimeToFileTime, ConvertsKnownCalendarValues) {
  struct Case {
    CalendarTime time;
    uint64_t fileTime;
  };
  const Case cases[] = {
      {{1601, 1, 1, 0, 0, 0, 0}, 0},
      {{1970, 1, 1, 0, 0, 0, 0}, 116444736000000000ULL},
      {{1980, 1, 1, 0, 0, 0, 0}, 119600064000000000ULL},
      {{2000, 2, 29, 12, 34, 56, 789}, 125963012967890000ULL},
      {{2024, 12, 31, 23, 59, 59, 999}, 133801631999990000ULL},
      {{30827, 12, 31, 23, 59, 59, 999}, 0x7FFF35F4F06C58F0ULL},
  };
  for (const auto& c : cases) {
    const auto got = platform::SystemTimeToFileTime(c.time);
    ASSERT_TRUE(got.has_value()) << c.time.year << "-" << c.time.month << "-" << c.time.day;
    EXPECT_EQ(*got, c.fileTime) << c.time.year << "-" << c.time.month << "-" << c.time.day;
  }
}

TEST(SystemTimeToFileTime, RefusesImpossibleDatesAndTimes) {
  struct Case {
    const char* name;
    CalendarTime time;
  };
  const Case cases[] = {
      {"month 0", {2020, 0, 1, 0, 0, 0, 0}},
      {"month 13", {2020, 13, 1, 0, 0, 0, 0}},
      {"day 0", {2020, 1, 0, 0, 0, 0, 0}},
      {"february 29 of 1900", {1900, 2, 29, 0, 0, 0, 0}},
      {"february 30 of 2000", {2000, 2, 30, 0, 0, 0, 0}},
      {"april 31", {2021, 4, 31, 0, 0, 0, 0}},
      {"hour 24", {2021, 1, 1, 24, 0, 0, 0}},
      {"minute 60", {2021, 1, 1, 0, 60, 0, 0}},
      {"second 60", {2021, 1, 1, 0, 0, 60, 0}},
      {"millisecond 1000", {2021, 1, 1, 0, 0, 0, 1000}},
      {"year 1600", {1600, 12, 31, 0, 0, 0, 0}},
      {"year 30828", {30828, 1, 1, 0, 0, 0, 0}},
      {"DOS date with all-zero fields", {1980, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(platform::SystemTimeToFileTime(c.time).has_value()) << c.name;
  }
}

CalendarTime FromTm(const std::tm& t) {
  return {static_cast<uint16_t>(t.tm_year + 1900), static_cast<uint16_t>(t.tm_mon + 1), static_cast<uint16_t>(t.tm_mday),
          static_cast<uint16_t>(t.tm_hour), static_cast<uint16_t>(t.tm_min), static_cast<uint16_t>(t.tm_sec), 0};
}

TEST(LocalFileTimeToFileTime, SubtractsTheOffsetInForceNow) {
  const std::time_t now = std::time(nullptr);
  const auto local = platform::SystemTimeToFileTime(FromTm(*std::localtime(&now)));
  const auto utc = platform::SystemTimeToFileTime(FromTm(*std::gmtime(&now)));
  ASSERT_TRUE(local && utc);
  const auto converted = platform::LocalFileTimeToFileTime(*local);
  ASSERT_TRUE(converted.has_value());
  EXPECT_EQ(*converted, *utc);
}

TEST(LocalFileTimeToFileTime, UsesTodaysOffsetEvenForADistantDate) {
  const std::time_t now = std::time(nullptr);
  const auto local = platform::SystemTimeToFileTime(FromTm(*std::localtime(&now)));
  const auto utc = platform::SystemTimeToFileTime(FromTm(*std::gmtime(&now)));
  ASSERT_TRUE(local && utc);
  const int64_t offset = static_cast<int64_t>(*local - *utc);
  const auto summer1980 = platform::SystemTimeToFileTime({1980, 7, 1, 12, 0, 0, 0});
  const auto winter1980 = platform::SystemTimeToFileTime({1980, 1, 1, 12, 0, 0, 0});
  ASSERT_TRUE(summer1980 && winter1980);
  EXPECT_EQ(static_cast<int64_t>(*summer1980 - *platform::LocalFileTimeToFileTime(*summer1980)), offset);
  EXPECT_EQ(static_cast<int64_t>(*winter1980 - *platform::LocalFileTimeToFileTime(*winter1980)), offset);
}

}  // namespace

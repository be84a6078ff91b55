#include <gtest/gtest.h>

#include <string>

#include "update/update.h"

namespace {

constexpr std::u16string_view kOwnVersion = u"1.0.3";

struct NoticeCase {
  const char* fault;
  std::u16string notice;
  bool offer;
  std::u16string address;  // when offered: exactly what goes to the shell
};

const NoticeCase kNoticeCases[] = {
    {"OffersNewerVersion", u"1.0.4|http://dl.example/Morvelt.zip", true, u"http://dl.example/Morvelt.zip"},
    {"IgnoresCurrentVersion", u"1.0.3|http://dl.example/Morvelt.zip", false, u""},
    {"OffersOlderVersionSinceOnlyDifferenceCounts", u"1.0.2|http://dl.example/old.zip", true,
     u"http://dl.example/old.zip"},
    {"AcceptsSchemeInCapitalsAndKeepsAddressAsWritten", u"1.1.0|HTTP://DL.Example/New.zip", true,
     u"HTTP://DL.Example/New.zip"},
    {"RefusesFtpAddress", u"1.0.4|ftp://dl.example/Morvelt.zip", false, u""},
    {"OffersSecureAddress", u"1.0.4|https://dl.example/Morvelt.zip", true, u"https://dl.example/Morvelt.zip"},
    {"AcceptsSecureSchemeInMixedCase", u"1.0.4|HttpS://dl.example/a", true, u"HttpS://dl.example/a"},
    {"RefusesSecureSchemeWithOneSlash", u"1.0.4|https:/dl.example/", false, u""},
    {"RefusesAddressShorterThanScheme", u"1.0.4|http:/", false, u""},
    {"RefusesAddressWithOneSlashAfterScheme", u"1.0.4|http:/x", false, u""},
    {"RefusesLookAlikeLettersInScheme", u"1.0.4|\u0127ttp://dl.example/", false, u""},
    {"IgnoresNoticeWithoutBar", u"1.0.4 http://dl.example/Morvelt.zip", false, u""},
    {"IgnoresNoticeStartingWithBar", u"|http://dl.example/Morvelt.zip", false, u""},
    {"IgnoresEmptyNotice", u"", false, u""},
    {"KeepsLineEndAsPartOfAddress", u"1.0.4|http://dl.example/Morvelt.zip\r\n", true,
     u"http://dl.example/Morvelt.zip\r\n"},
    {"ByteOrderMarkMakesVersionDiffer", u"\uFEFF1.0.3|http://dl.example/Morvelt.zip", true,
     u"http://dl.example/Morvelt.zip"},
    {"SplitsAtFirstBarOnly", u"2.0|http://dl.example/a|b", true, u"http://dl.example/a|b"},
    {"ComparesVersionWithoutTrimming", u"1.0.3 |http://dl.example/", true, u"http://dl.example/"},
    {"ComparesVersionCaseSensitively", u"V1.0.3|http://dl.example/", true, u"http://dl.example/"},
    {"OffersBareSchemeAddress", u"1.0.4|http://", true, u"http://"},
};

TEST(NoticeEvaluation, FollowsTheTable) {
  for (const NoticeCase& c : kNoticeCases) {
    SCOPED_TRACE(c.fault);
    const update::NoticeOffer result = update::EvaluateNotice(c.notice, kOwnVersion);
    EXPECT_EQ(result.offer, c.offer);
    if (c.offer) {
      EXPECT_EQ(result.address, c.address);
    }
  }
}

}  // namespace

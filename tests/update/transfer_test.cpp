#include <curl/curl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/update/loopback_http_server.h"
#include "update/update.h"

namespace {

using namespace std::string_literals;
using updatetest::HttpResponse;
using updatetest::LoopbackHttpServer;

constexpr char kNoticePath[] = "/s/tool/fhx.txt";
// The transfer's own behaviour is tried against the plain loopback server below.
const update::FetchTrust kPlainHttp{nullptr, true};

// What the worker hands to the dialog, one entry per delivery.
std::vector<std::u16string> Deliveries(const std::u16string& url, const update::FetchTrust& trust = kPlainHttp) {
  std::vector<std::u16string> delivered;
  update::RunUpdateCheck(url.c_str(), [&](const char16_t* notice) { delivered.emplace_back(notice); }, trust);
  return delivered;
}

class NoticeTransfer : public testing::Test {
 protected:
  static void SetUpTestSuite() { updatetest::BypassProxiesForLoopback(); }
};

TEST_F(NoticeTransfer, TakesBodyOfSuccessfulAnswer) {
  LoopbackHttpServer server(HttpResponse("200 OK", "1.0.4|http://dl.example/Morvelt.zip"));
  const update::FetchResult result = update::FetchNotice(server.Url(kNoticePath).c_str(), kPlainHttp);
  EXPECT_EQ(result.error, update::FetchError::kNone) << update::FetchErrorName(result.error);
  EXPECT_EQ(result.transferCode, CURLE_OK);
  EXPECT_EQ(result.body, "1.0.4|http://dl.example/Morvelt.zip");
}

TEST_F(NoticeTransfer, SendsOnePlainGetWithoutUserAgent) {
  LoopbackHttpServer server(HttpResponse("200 OK", "x"));
  update::FetchNotice(server.Url(kNoticePath).c_str(), kPlainHttp);
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].rfind("GET /s/tool/fhx.txt HTTP/1.1\r\n", 0), 0u) << requests[0];
  EXPECT_EQ(requests[0].find("User-Agent:"), std::string::npos) << requests[0];
}

TEST_F(NoticeTransfer, DeliversDecodedNotice) {
  LoopbackHttpServer server(HttpResponse("200 OK", "1.0.4|http://dl.example/\xE4\xB8\x8B\xE8\xBD\xBD\r\n"));
  EXPECT_EQ(Deliveries(server.Url(kNoticePath)), std::vector<std::u16string>{u"1.0.4|http://dl.example/\u4E0B\u8F7D\r\n"});
}

TEST_F(NoticeTransfer, NotFoundFailsSilently) {
  LoopbackHttpServer server(HttpResponse("404 Not Found", "1.0.4|http://dl.example/Morvelt.zip"));
  const update::FetchResult result = update::FetchNotice(server.Url(kNoticePath).c_str(), kPlainHttp);
  EXPECT_EQ(result.error, update::FetchError::kTransferFailed);
  EXPECT_EQ(result.transferCode, CURLE_HTTP_RETURNED_ERROR);
  EXPECT_TRUE(result.body.empty());
  EXPECT_TRUE(Deliveries(server.Url(kNoticePath)).empty());
}

TEST_F(NoticeTransfer, RedirectIsNotFollowedAndItsOwnBodyIsTaken) {
  LoopbackHttpServer server(
      HttpResponse("302 Found", "Moved", "Location: /s/tool/elsewhere.txt\r\n"));
  const update::FetchResult result = update::FetchNotice(server.Url(kNoticePath).c_str(), kPlainHttp);
  EXPECT_EQ(result.error, update::FetchError::kNone);
  EXPECT_EQ(result.body, "Moved");
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(NoticeTransfer, BodyIsReadOnlyUpToFirstZeroByte) {
  LoopbackHttpServer server(HttpResponse("200 OK", "1.0.4|http://a/\0|1.0.3"s));
  EXPECT_EQ(Deliveries(server.Url(kNoticePath)), std::vector<std::u16string>{u"1.0.4|http://a/"});
}

TEST_F(NoticeTransfer, RefusesBodyOverLimit) {
  LoopbackHttpServer server(HttpResponse("200 OK", std::string(update::kMaxNoticeBytes + 1, 'x')));
  const update::FetchResult result = update::FetchNotice(server.Url(kNoticePath).c_str(), kPlainHttp);
  EXPECT_EQ(result.error, update::FetchError::kTransferFailed);
  EXPECT_EQ(result.transferCode, CURLE_WRITE_ERROR);
  EXPECT_TRUE(result.body.empty());
  EXPECT_TRUE(Deliveries(server.Url(kNoticePath)).empty());
}

TEST_F(NoticeTransfer, AcceptsBodyAtLimit) {
  LoopbackHttpServer server(HttpResponse("200 OK", std::string(update::kMaxNoticeBytes, 'x')));
  const update::FetchResult result = update::FetchNotice(server.Url(kNoticePath).c_str(), kPlainHttp);
  EXPECT_EQ(result.error, update::FetchError::kNone);
  EXPECT_EQ(result.body.size(), update::kMaxNoticeBytes);
}

TEST_F(NoticeTransfer, RefusedConnectionFailsSilently) {
  std::u16string url;
  {
    LoopbackHttpServer gone(std::nullopt);
    url = gone.Url(kNoticePath);
  }
  const update::FetchResult result = update::FetchNotice(url.c_str(), kPlainHttp);
  EXPECT_EQ(result.error, update::FetchError::kTransferFailed);
  EXPECT_TRUE(Deliveries(url).empty());
}

TEST_F(NoticeTransfer, GivesUpOnServerThatNeverAnswers) {
  LoopbackHttpServer server(std::nullopt);
  const auto start = std::chrono::steady_clock::now();
  const std::vector<std::u16string> delivered = Deliveries(server.Url(kNoticePath));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "never-answering server: gave up after " << seconds << " s\n";
  RecordProperty("gave_up_after_ms", static_cast<int>(seconds * 1000));
  EXPECT_TRUE(delivered.empty());
  EXPECT_EQ(server.Requests().size(), 1u);  // it did connect and ask
  EXPECT_GE(seconds, 7.5);
  EXPECT_LT(seconds, 30.0);
}

TEST_F(NoticeTransfer, NeverAsksPlainHttpAddress) {
  LoopbackHttpServer server(HttpResponse("200 OK", "1.0.4|http://dl.example/Morvelt.zip"));
  const update::FetchResult result = update::FetchNotice(server.Url(kNoticePath).c_str());
  EXPECT_EQ(result.error, update::FetchError::kTransferFailed);
  EXPECT_EQ(result.transferCode, CURLE_UNSUPPORTED_PROTOCOL);
  EXPECT_TRUE(Deliveries(server.Url(kNoticePath), {}).empty());
  EXPECT_TRUE(server.Requests().empty());
}

// The HTTPS servers of tls_notice_server.py, a ctest fixture: one per server certificate, all
// serving the same notices; the test authority is trusted only where a row says so.
struct TlsCase {
  const char* fault;
  const char* server;
  const char* path;
  bool trustTestAuthority;
  const char16_t* offered;  // the download address offered, or null for a silent check
};

const TlsCase kTlsCases[] = {
    {"OffersHttpsDownloadFromVerifiedServer", "valid", "/s/tool/fhx.txt", true, u"https://dl.example/Morvelt-1.0.4.zip"},
    {"OffersHttpDownloadFromVerifiedServer", "valid", "/s/tool/plain-download.txt", true,
     u"HTTP://dl.example/Morvelt-1.0.4.zip"},
    // Wine's Schannel accepts this chain: only the platform's own second check refuses it there.
    {"SilentWhenOnlySystemStoreIsTrusted", "valid", "/s/tool/fhx.txt", false, nullptr},
    {"SilentOnUnknownAuthority", "self_signed", "/s/tool/fhx.txt", true, nullptr},
    {"SilentOnCertificateForAnotherHost", "other_host", "/s/tool/fhx.txt", true, nullptr},
    {"SilentOnExpiredCertificate", "expired", "/s/tool/fhx.txt", true, nullptr},
};

TEST(NoticeOverTls, FollowsTheTable) {
  const char* dir = std::getenv("MORVELT_TEST_TLS_DIR");
  if (dir == nullptr) GTEST_SKIP() << "needs the HTTPS servers that ctest starts as a fixture";
  updatetest::BypassProxiesForLoopback();
  const std::string authority = std::string(dir) + "/ca.pem";
  std::map<std::string, int> ports;
  std::ifstream list(std::string(dir) + "/ports");
  std::string name;
  int port = 0;
  while (list >> name >> port) ports[name] = port;
  ASSERT_EQ(ports.size(), 4u) << "no server list in " << dir;

  for (const TlsCase& c : kTlsCases) {
    SCOPED_TRACE(c.fault);
    update::FetchTrust trust;
    if (c.trustTestAuthority) trust.authorityFile = authority.c_str();
    std::u16string url = u"https://localhost:";
    for (const char ch : std::to_string(ports.at(c.server)) + c.path) url += static_cast<char16_t>(ch);
    const update::FetchResult fetched = update::FetchNotice(url.c_str(), trust);
    EXPECT_EQ(fetched.error == update::FetchError::kNone, c.offered != nullptr) << "transfer code " << fetched.transferCode;
    const std::vector<std::u16string> delivered = Deliveries(url, trust);
    if (c.offered == nullptr) {
      EXPECT_TRUE(delivered.empty());
      continue;
    }
    ASSERT_EQ(delivered.size(), 1u);
    const update::NoticeOffer offer = update::EvaluateNotice(delivered[0], u"1.0.3");
    EXPECT_TRUE(offer.offer);
    EXPECT_EQ(offer.address, c.offered);
  }
}

TEST(AppendToBuffer, RefusesMissingBuffer) {
  char data[] = "abc";
  EXPECT_EQ(update::AppendToBuffer(data, 1, 3, nullptr), 0u);
}

TEST(AppendToBuffer, AppendsEachChunk) {
  std::string buffer;
  char data[] = "abcd";
  EXPECT_EQ(update::AppendToBuffer(data, 2, 2, &buffer), 4u);
  EXPECT_EQ(update::AppendToBuffer(data, 1, 1, &buffer), 1u);
  EXPECT_EQ(buffer, "abcda");
}

TEST(AppendToBuffer, RefusesChunkCrossingLimitAndKeepsBuffer) {
  std::string buffer(update::kMaxNoticeBytes - 1, 'x');
  char data[] = "yz";
  EXPECT_EQ(update::AppendToBuffer(data, 1, 2, &buffer), 0u);
  EXPECT_EQ(buffer, std::string(update::kMaxNoticeBytes - 1, 'x'));
  EXPECT_EQ(update::AppendToBuffer(data, 1, 1, &buffer), 1u);
  EXPECT_EQ(buffer.size(), update::kMaxNoticeBytes);
}

TEST(AppendToBuffer, RefusesSizeWhoseProductOverflows) {
  std::string buffer;
  char data[] = "a";
  const std::size_t huge = std::numeric_limits<std::size_t>::max() / 2 + 1;
  EXPECT_EQ(update::AppendToBuffer(data, huge, 2, &buffer), 0u);
  EXPECT_TRUE(buffer.empty());
}

TEST(UpdateNoticeUrl, IsHttpsAddressOfTheNoticeFileTrustingTheSystemStore) {
  const std::u16string url = update::UpdateNoticeUrl();
  EXPECT_EQ(url.rfind(u"https://", 0), 0u);
  EXPECT_EQ(update::UpdateNoticeTrust().authorityFile, nullptr);
  EXPECT_FALSE(update::UpdateNoticeTrust().plainHttp);
  ASSERT_GE(url.size(), 15u);
  EXPECT_EQ(url.substr(url.size() - 15), u"/s/tool/fhx.txt");
}

}  // namespace

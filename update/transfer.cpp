#include <curl/curl.h>

#include <new>

#include "platform/text.h"
#include "platform/unique_resource.h"
#include "update/update.h"

namespace update {
namespace {

struct CurlTraits {
  using Value = CURL*;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value handle) noexcept { curl_easy_cleanup(handle); }
};
using UniqueCurl = platform::UniqueResource<CurlTraits>;

}  // namespace

const char* FetchErrorName(FetchError error) {
  switch (error) {
    case FetchError::kNone: return "none";
    case FetchError::kNoHandle: return "no-handle";
    case FetchError::kTransferFailed: return "transfer-failed";
  }
  return "unknown";
}

std::size_t AppendToBuffer(char* data, std::size_t size, std::size_t count, void* buffer) {
  if (buffer == nullptr) return 0;
  auto& body = *static_cast<std::string*>(buffer);
  if (count != 0 && size > kMaxNoticeBytes / count) return 0;
  const std::size_t length = size * count;
  if (length > kMaxNoticeBytes - body.size()) return 0;
  // No exception may cross back into the C library.
  try {
    body.append(data, length);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return length;
}

FetchResult FetchNotice(const char16_t* url, const FetchTrust& trust) {
  FetchResult result;
  std::string body;
  UniqueCurl handle(curl_easy_init());
  if (!handle) {
    result.error = FetchError::kNoHandle;
    result.transferCode = CURLE_FAILED_INIT;
    return result;
  }
  const std::string address = WideToMultiByte(url, platform::kCodePageAnsi);
  // Option results are ignored: these fail only for lack of memory, and then so does the perform.
  curl_easy_setopt(handle.get(), CURLOPT_URL, address.c_str());
  curl_easy_setopt(handle.get(), CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
  curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &AppendToBuffer);
  curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(handle.get(), CURLOPT_FAILONERROR, 1L);
  // Anyone on the player's path can answer a plain request, and the notice names what the player
  // is asked to download: only a server that proves its name with a certificate the system trusts
  // is heard. Redirects stay off (the default), so the answer comes from that server alone.
  curl_easy_setopt(handle.get(), CURLOPT_PROTOCOLS_STR, trust.plainHttp ? "http,https" : "https");
  curl_easy_setopt(handle.get(), CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle.get(), CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(handle.get(), CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  // An unreachable revocation server must not silence every notice; a revoked certificate still fails.
  curl_easy_setopt(handle.get(), CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
  if (trust.authorityFile != nullptr) curl_easy_setopt(handle.get(), CURLOPT_CAINFO, trust.authorityFile);
  const CURLcode code = curl_easy_perform(handle.get());
  result.transferCode = static_cast<int>(code);
  if (code != CURLE_OK) {
    result.error = FetchError::kTransferFailed;
    return result;
  }
  result.body = std::move(body);
  return result;
}

}  // namespace update

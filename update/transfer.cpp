#include <curl/curl.h>

#include <cstring>
#include <new>
#include <vector>

#include "platform/text.h"
#include "platform/tls_peer.h"
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

struct CurlUrlTraits {
  using Value = CURLU*;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value url) noexcept { curl_url_cleanup(url); }
};
using UniqueCurlUrl = platform::UniqueResource<CurlUrlTraits>;

struct CurlTextTraits {
  using Value = char*;
  static Value Invalid() noexcept { return nullptr; }
  static void Close(Value text) noexcept { curl_free(text); }
};
using UniqueCurlText = platform::UniqueResource<CurlTextTraits>;

// Schannel under Wine accepts any chain it is left to check against the system store, so the chain
// the server sent is checked once more by the platform; a plain "http://" answer (tests only) has none.
bool PeerTrusted(CURL* handle, const std::string& address, const FetchTrust& trust) {
  const char* scheme = nullptr;
  if (curl_easy_getinfo(handle, CURLINFO_SCHEME, &scheme) != CURLE_OK || scheme == nullptr) return false;
  if (curl_strequal(scheme, "http")) return trust.plainHttp;
  curl_certinfo* info = nullptr;
  if (curl_easy_getinfo(handle, CURLINFO_CERTINFO, &info) != CURLE_OK || info == nullptr) return false;
  std::vector<std::string> chain;
  for (int i = 0; i < info->num_of_certs; ++i) {
    for (const curl_slist* field = info->certinfo[i]; field != nullptr; field = field->next) {
      if (std::strncmp(field->data, "Cert:", 5) == 0) chain.emplace_back(field->data + 5);
    }
  }
  UniqueCurlUrl url(curl_url());
  char* host = nullptr;
  if (!url || curl_url_set(url.get(), CURLUPART_URL, address.c_str(), 0) != CURLUE_OK ||
      curl_url_get(url.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK) {
    return false;
  }
  const UniqueCurlText hostText(host);
  return platform::TlsPeerTrusted(chain, hostText.get(), trust.authorityFile);
}

}  // namespace

const char* FetchErrorName(FetchError error) {
  switch (error) {
    case FetchError::kNone: return "none";
    case FetchError::kNoHandle: return "no-handle";
    case FetchError::kTransferFailed: return "transfer-failed";
    case FetchError::kPeerUntrusted: return "peer-untrusted";
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
  curl_easy_setopt(handle.get(), CURLOPT_CERTINFO, 1L);  // the chain, for PeerTrusted
  const CURLcode code = curl_easy_perform(handle.get());
  result.transferCode = static_cast<int>(code);
  if (code != CURLE_OK) {
    result.error = FetchError::kTransferFailed;
    return result;
  }
  if (!PeerTrusted(handle.get(), address, trust)) {
    result.error = FetchError::kPeerUntrusted;
    return result;
  }
  result.body = std::move(body);
  return result;
}

}  // namespace update

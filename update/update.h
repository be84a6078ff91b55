#pragma once
// The update check: fetch the one-line notice over verified HTTPS, decode it, decide whether to offer the
// download. Window and thread handling stay with the dialog (app/update_hook.cpp).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace update {

// ---- Text conversion ----

inline constexpr uint32_t kCodePageUtf16Le = 1200;
inline constexpr uint32_t kCodePageUtf16Be = 1201;

// text is zero-terminated (null counts as empty). 1200/1201 give the UTF-16 units as little- or
// big-endian bytes; any other page goes through the system conversion. Empty when that fails.
std::string WideToMultiByte(const char16_t* text, uint32_t codePage);

// bytes is zero-terminated (null counts as empty): only the bytes before the first zero byte are
// converted, for 1200/1201 too, where a trailing odd byte is dropped.
std::u16string MultiByteToWide(const char* bytes, uint32_t codePage);

// Exchanges bytes 0 and 1, 2 and 3, ...; a trailing odd byte stays where it is.
void SwapBytePairs(void* buffer, std::size_t length);

// ---- Notice evaluation ----

struct NoticeOffer {
  bool offer = false;
  std::u16string address;  // exactly as written in the notice (line ends included)
};

// The notice is "version|address". Offered when the version differs from ownVersion (exact text)
// and the address starts with "http://" or "https://" in any letter case.
NoticeOffer EvaluateNotice(std::u16string_view notice, std::u16string_view ownVersion);

// ---- Transfer ----

// The notice is one short line; a larger body is refused so no server can make us hold much memory.
inline constexpr std::size_t kMaxNoticeBytes = 64 * 1024;
inline constexpr long kTransferTimeoutSeconds = 8;

enum class FetchError {
  kNone = 0,
  kNoHandle,        // the transfer library could not create a handle
  kTransferFailed,  // time-out, network, TLS or HTTP error (status >= 400), a refused scheme or body
  kPeerUntrusted,   // the transfer ended, but the server's certificate chain failed the platform's own check
};
const char* FetchErrorName(FetchError error);

struct FetchResult {
  FetchError error = FetchError::kNone;
  int transferCode = 0;  // the transfer library's own result, for diagnostics
  std::string body;      // the response body as received; empty unless error is kNone
};

// The transfer's write callback: buffer is a std::string. Returns the number of bytes taken;
// anything short of size * count makes the library fail the transfer.
std::size_t AppendToBuffer(char* data, std::size_t size, std::size_t count, void* buffer);

// Whom a fetch believes. The tool always uses the default: "https://" only, the certificate and
// host name verified against the system's store. Only tests widen it, to reach loopback servers.
struct FetchTrust {
  const char* authorityFile = nullptr;  // a PEM file whose authorities replace the system store
  bool plainHttp = false;               // "http://" taken too (tests of the transfer itself)
};

// One GET of url (zero-terminated, sent in the ANSI code page). Redirects are not followed.
FetchResult FetchNotice(const char16_t* url, const FetchTrust& trust = {});

// ---- The worker ----

// The notice address built in (a build may override it), zero-terminated.
const char16_t* UpdateNoticeUrl();
// What the built-in check trusts: the default, unless a test build names its own authority.
FetchTrust UpdateNoticeTrust();

// The worker's body: fetches url and, on success, hands the body decoded from UTF-8 (up to its
// first zero byte) to deliver. A failed check calls nothing.
void RunUpdateCheck(const char16_t* url, const std::function<void(const char16_t* notice)>& deliver,
                    const FetchTrust& trust = {});

}  // namespace update

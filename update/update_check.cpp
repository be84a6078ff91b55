#include "platform/text.h"
#include "update/update.h"

namespace update {

const char16_t* UpdateNoticeUrl() { return MORVELT_UPDATE_NOTICE_URL; }

FetchTrust UpdateNoticeTrust() {
  FetchTrust trust;
#ifdef MORVELT_UPDATE_TEST_AUTHORITY
  // Only the end-to-end tests' own build names this; the shipped tool trusts the system store alone.
  trust.authorityFile = MORVELT_UPDATE_TEST_AUTHORITY;
#endif
  return trust;
}

void RunUpdateCheck(const char16_t* url, const std::function<void(const char16_t* notice)>& deliver,
                    const FetchTrust& trust) {
  const FetchResult fetched = FetchNotice(url, trust);
  if (fetched.error != FetchError::kNone) return;  // every failed check stays silent
  // c_str(): the body counts only up to its first zero byte.
  const std::u16string notice = MultiByteToWide(fetched.body.c_str(), platform::kCodePageUtf8);
  deliver(notice.c_str());
}

}  // namespace update

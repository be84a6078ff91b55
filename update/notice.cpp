#include "update/update.h"

namespace update {
namespace {

constexpr std::u16string_view kWebSchemes[] = {u"http://", u"https://"};

// ASCII only: a look-alike letter from another script must not pass for "http://".
char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool StartsWithScheme(std::u16string_view address, std::u16string_view scheme) {
  if (address.size() < scheme.size()) return false;
  for (std::size_t i = 0; i < scheme.size(); ++i) {
    if (AsciiLower(address[i]) != scheme[i]) return false;
  }
  return true;
}

bool StartsWithWebScheme(std::u16string_view address) {
  for (const std::u16string_view scheme : kWebSchemes) {
    if (StartsWithScheme(address, scheme)) return true;
  }
  return false;
}

}  // namespace

NoticeOffer EvaluateNotice(std::u16string_view notice, std::u16string_view ownVersion) {
  const std::size_t bar = notice.find(u'|');
  if (bar == std::u16string_view::npos || bar == 0) return {};
  const std::u16string_view version = notice.substr(0, bar);
  const std::u16string_view address = notice.substr(bar + 1);
  // Any other version counts, older ones included: the site decides what users should run.
  if (version == ownVersion || !StartsWithWebScheme(address)) return {};
  return {true, std::u16string(address)};
}

}  // namespace update

#include "platform/resource.h"

#include "platform/posix/embedded.h"
#include "platform/posix/last_error.h"

namespace platform {
namespace posix {

// Overridden by a strong definition in an object file of the executable.
__attribute__((weak)) const EmbeddedResource* EmbeddedResourceTable() {
  static const EmbeddedResource kEmpty[] = {{nullptr, 0, 0, nullptr, 0}};
  return kEmpty;
}

}  // namespace posix

namespace {

// Resource type names compare without regard to ASCII case, as Windows uppercases them.
bool SameTypeName(const char16_t* a, const char16_t* b) {
  auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
  for (; *a && *b; ++a, ++b) {
    if (upper(*a) != upper(*b)) return false;
  }
  return *a == *b;
}

}  // namespace

// The requested language first, then language-neutral, then any language, the order in which
// Windows falls back.
std::span<const uint8_t> FindResourceBytes(const char16_t* type, uint16_t id, uint16_t language) {
  const posix::EmbeddedResource* neutral = nullptr;
  const posix::EmbeddedResource* any = nullptr;
  if (type != nullptr) {
    for (const auto* r = posix::EmbeddedResourceTable(); r != nullptr && r->type != nullptr; ++r) {
      if (r->id != id || !SameTypeName(r->type, type)) continue;
      if (r->language == language) return {r->data, r->size};
      if (r->language == 0 && neutral == nullptr) neutral = r;
      if (any == nullptr) any = r;
    }
  }
  if (const auto* found = neutral != nullptr ? neutral : any) return {found->data, found->size};
  posix::Fail(posix::kErrorResourceNotFound);
  return {};
}

}  // namespace platform

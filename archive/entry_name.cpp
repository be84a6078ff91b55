#include "archive/entry_name.h"

#include <array>

#include "archive/path_separator.h"
#include "platform/text.h"

namespace archive {

std::optional<std::u16string> ConvertStoredName(std::span<const uint8_t> stored) {
  if (stored.size() > kMaxNameUnits) return std::nullopt;
  std::string_view bytes(reinterpret_cast<const char*>(stored.data()), stored.size());
  bytes = bytes.substr(0, bytes.find('\0'));
  std::u16string name = platform::SystemMultiByteToWide(platform::kCodePageUtf8, bytes);
  if (name.size() > kMaxNameUnits) return std::nullopt;
  return name;
}

std::u16string SanitiseName(std::u16string name) {
  static constexpr std::array<std::u16string_view, 4> kClimbs = {u"\\..\\", u"\\../", u"/../", u"/..\\"};
  for (bool changed = true; changed;) {
    if (name.size() >= 2 && name[1] == u':') {
      name.erase(0, 2);
    } else if (!name.empty() && (name[0] == u'\\' || name[0] == u'/')) {
      name.erase(0, 1);
    } else {
      changed = false;
      for (std::u16string_view climb : kClimbs) {
        const size_t at = name.find(climb);
        if (at != std::u16string::npos) {
          name.erase(0, at + climb.size());
          changed = true;
          break;
        }
      }
    }
  }
  return name;
}

namespace {

// "..", "...", ".. " and the like: Windows drops trailing dots and spaces from a final path
// segment, so each of them can end up meaning the parent directory.
bool ClimbsToParent(std::u16string_view segment) {
  size_t dots = 0;
  for (char16_t c : segment) {
    if (c == u'.') {
      ++dots;
    } else if (c != u' ') {
      return false;
    }
  }
  return dots >= 2;
}

}  // namespace

bool IsContainedName(std::u16string_view name) {
  if (name.empty() || IsSeparator(name[0]) || (name.size() >= 2 && name[1] == u':')) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (ClimbsToParent(name.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace archive

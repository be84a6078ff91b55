#include "archive/target_path.h"

namespace archive {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// "/x", "\x" and "C:..." stand on their own; anything else hangs below the base directory.
bool IsAbsolute(std::u16string_view directory) {
  return (!directory.empty() && IsSeparator(directory[0])) || (directory.size() >= 2 && directory[1] == u':');
}

}  // namespace

ArchiveResult ResolveTarget(std::u16string_view base, std::u16string_view path, TargetPath* target) {
  if (path.size() > kMaxPathUnits) return kPathTooLong;
  size_t split = path.size();
  while (split > 0 && !IsSeparator(path[split - 1])) --split;
  TargetPath t;
  t.directory = path.substr(0, split);
  t.fileName = path.substr(split);
  if (!IsAbsolute(t.directory)) {
    if (base.empty()) return kPathTooLong;  // the current directory did not fit at open time
    t.base = base;
  }
  t.full = t.base + t.directory + t.fileName;
  if (t.full.size() > kMaxPathUnits) return kPathTooLong;
  *target = std::move(t);
  return kOk;
}

std::u16string TemporaryFileName(uint32_t seed) {
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  std::u16string name = u"~";
  for (int shift = 28; shift >= 0; shift -= 4) name.push_back(kHex[(seed >> shift) & 0xF]);
  name += u".tmp";
  return name;
}

}  // namespace archive

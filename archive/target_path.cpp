#include "archive/target_path.h"

#include "archive/path_separator.h"

namespace archive {
namespace {

// "/x", "\x" and "C:..." stand on their own; anything else hangs below the base directory.
bool IsAbsolute(std::u16string_view directory) {
  return (!directory.empty() && IsSeparator(directory[0])) || (directory.size() >= 2 && directory[1] == u':');
}

// Where the last component begins: after the last "/" or "\", or at 0.
size_t FileNameStart(std::u16string_view path) {
  size_t split = path.size();
  while (split > 0 && !IsSeparator(path[split - 1])) --split;
  return split;
}

// "~", eight hex digits of a hash of the name and ".tmp": one name per target, whatever the run,
// so that the next extraction of a target finds the temporary a killed run left beside it. The
// hash ignores ASCII case, as Windows names do.
std::u16string TemporaryFileName(std::u16string_view fileName) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (char16_t c : fileName) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    hash = (hash ^ (c & 0xFFu)) * 16777619u;
    hash = (hash ^ (c >> 8)) * 16777619u;
  }
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  std::u16string name = u"~";
  for (int shift = 28; shift >= 0; shift -= 4) name.push_back(kHex[(hash >> shift) & 0xF]);
  name += u".tmp";
  return name;
}

}  // namespace

ArchiveResult ResolveTarget(std::u16string_view base, std::u16string_view path, TargetPath* target) {
  if (path.size() > kMaxPathUnits) return kPathTooLong;
  const size_t split = FileNameStart(path);
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

}  // namespace archive

std::u16string TemporaryPathFor(std::u16string_view target) {
  const size_t split = archive::FileNameStart(target);
  return std::u16string(target.substr(0, split)) + archive::TemporaryFileName(target.substr(split));
}

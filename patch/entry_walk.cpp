#include "patch/entry_walk.h"

#include <string_view>

#include "archive/entry_name.h"
#include "platform/fs.h"

namespace patch {
namespace {

// The name up to its terminator; empty when the record holds none within its buffer.
std::u16string_view NameOf(const ArchiveEntry& entry) {
  const std::u16string_view whole(entry.name, kArchiveNameUnits);
  const size_t end = whole.find(u'\0');
  return end == std::u16string_view::npos ? std::u16string_view() : whole.substr(0, end);
}

}  // namespace

bool IsNameInsideGameDirectory(std::u16string_view name) {
  // The reader's own containment rule, plus no stream or drive colon anywhere in the name.
  return name.find(u':') == std::u16string_view::npos && archive::IsContainedName(name);
}

bool WalkFileEntries(ArchiveHandle archive, const std::u16string& gameDirectory, const FileEntryVisitor& visit) {
  ArchiveEntry entry{};
  if (GetEntry(archive, -1, &entry) != kOk) return false;
  const int32_t count = entry.index;

  bool allGood = true;
  for (int32_t index = 0; index < count; ++index) {
    if (GetEntry(archive, index, &entry) != kOk) {
      allGood = false;
      continue;
    }
    if ((entry.attributes & platform::kAttrDirectory) != 0) continue;
    const std::u16string_view name = NameOf(entry);
    if (!IsNameInsideGameDirectory(name)) {
      allGood = false;
      continue;
    }
    std::u16string target = gameDirectory;
    target.append(name);
    if (!visit(index, target)) allGood = false;
  }
  return allGood;
}

}  // namespace patch

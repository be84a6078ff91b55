// Arbitrary bytes as an archive: open, count, read every record in the patcher's order, then read
// some again backwards (the cursor restarts from the first record) and compare.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "fuzz/fuzz_check.h"

namespace {

// Enough to cross several bad records; a count of 65535 with few real records fails fast anyway.
constexpr int32_t kMaxWalked = 4096;
constexpr int32_t kMaxCompared = 16;

struct Seen {
  ArchiveResult result;
  std::u16string name;
  uint32_t attributes;
  uint32_t compressedSize;
  uint32_t uncompressedSize;
};

Seen Read(ArchiveHandle handle, int32_t index) {
  ArchiveEntry entry{};
  const ArchiveResult result = GetEntry(handle, index, &entry);
  FUZZ_CHECK(std::find(entry.name, entry.name + kArchiveNameUnits, u'\0') != entry.name + kArchiveNameUnits);
  if (result != kOk) return {result, {}, 0, 0, 0};
  FUZZ_CHECK(entry.index == index);
  return {result, entry.name, entry.attributes, entry.compressedSize, entry.uncompressedSize};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  ArchiveHandle handle = OpenArchiveFromMemory(data, static_cast<uint32_t>(size), nullptr);
  if (handle == nullptr) return 0;
  FUZZ_CHECK(IsArchiveHandle(handle));

  ArchiveEntry entry{};
  FUZZ_CHECK(GetEntry(handle, -1, &entry) == kOk);
  const int32_t count = entry.index;
  FUZZ_CHECK(count >= 0 && count <= 0xFFFF);
  FUZZ_CHECK(GetEntry(handle, count, &entry) == kBadArguments);
  FUZZ_CHECK(GetEntry(handle, -2, &entry) == kBadArguments);

  std::vector<Seen> forward;
  for (int32_t i = 0; i < std::min(count, kMaxWalked); ++i) {
    Seen seen = Read(handle, i);
    // A record that cannot be read ends the walk for every later index too.
    if (!forward.empty() && forward.back().result == kBadRecord) FUZZ_CHECK(seen.result == kBadRecord);
    forward.push_back(std::move(seen));
  }
  for (int32_t i = std::min<int32_t>(static_cast<int32_t>(forward.size()), kMaxCompared) - 1; i >= 0; --i) {
    const Seen again = Read(handle, i);
    const Seen& first = forward[static_cast<size_t>(i)];
    FUZZ_CHECK(again.result == first.result);
    FUZZ_CHECK(again.name == first.name);
    FUZZ_CHECK(again.attributes == first.attributes);
    FUZZ_CHECK(again.compressedSize == first.compressedSize && again.uncompressedSize == first.uncompressedSize);
  }
  FUZZ_CHECK(CloseArchive(handle) == kOk);
  return 0;
}

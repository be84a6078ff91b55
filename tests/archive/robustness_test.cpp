// Damaged archives of every kind: each byte in turn forced to 0x00 and 0xFF. The archive lies in
// a heap block of exactly its size, so a read past its end is caught by the sanitizers; every
// call must return, and a failed extraction must not leave a temporary file behind.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "archive/archive.h"
#include "tests/archive/archive_test_support.h"
#include "tests/support/temp_dir.h"

namespace archivetest {
namespace {

using ziptools::Bytes;

std::vector<uint8_t> SmallMixedArchive() {
  ziptools::Archive a;
  auto stamped = FileEntry("dir/stored.txt", Bytes("stored text"));
  stamped.localExtra = ziptools::ExtendedTimestamp(7, {1, 2, 3});
  a.entries.push_back(stamped);
  a.entries.push_back(FileEntry("deflated.txt", Bytes("deflated deflated deflated"), ziptools::kDeflated));
  auto secret = FileEntry("secret.txt", Bytes("secret"), ziptools::kDeflated);
  secret.password = "pw";
  a.entries.push_back(secret);
  a.comment.push_back('c');
  return ziptools::Write(a);
}

TEST(DamagedArchives, EveryByteForcedToAnExtremeIsHandledWithoutStrayReadsOrLeftovers) {
  const std::vector<uint8_t> original = SmallMixedArchive();
  testsupport::TempDir dir;
  const std::u16string target = dir.u16() + u"out";
  for (size_t offset = 0; offset < original.size(); ++offset) {
    for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}}) {
      auto block = std::make_unique<uint8_t[]>(original.size());
      std::memcpy(block.get(), original.data(), original.size());
      block[offset] = value;
      ArchivePtr handle(OpenArchiveFromMemory(block.get(), static_cast<uint32_t>(original.size()), "pw"));
      if (!handle) continue;
      ArchiveEntry count{};
      ASSERT_EQ(GetEntry(handle.get(), -1, &count), kOk);
      for (int32_t i = 0; i < count.index; ++i) {
        ArchiveEntry entry{};
        if (GetEntry(handle.get(), i, &entry) == kOk) ExtractEntryToFile(handle.get(), i, target.c_str());
      }
      for (const std::string& name : ListNames(dir.path())) {
        ASSERT_EQ(name, "out") << "byte " << offset << " = " << int(value) << " left " << name;
      }
    }
  }
}

TEST(DamagedArchives, EveryTruncationWithAnEndRecordGluedBackIsHandled) {
  // Cutting the archive anywhere and then appending the original end record makes the recorded
  // offsets point past the end, into the end record, or at the wrong bytes.
  ziptools::Layout layout;
  ziptools::Archive a;
  a.entries.push_back(FileEntry("a.txt", Bytes("alpha alpha"), ziptools::kDeflated));
  a.entries.push_back(FileEntry("b.txt", Bytes("beta")));
  const auto original = ziptools::Write(a, &layout);
  const std::vector<uint8_t> end(original.begin() + layout.endRecord, original.end());
  testsupport::TempDir dir;
  const std::u16string target = dir.u16() + u"out";
  for (size_t cut = 0; cut < layout.endRecord; ++cut) {
    const size_t size = cut + end.size();
    auto block = std::make_unique<uint8_t[]>(size);
    std::memcpy(block.get(), original.data(), cut);
    std::memcpy(block.get() + cut, end.data(), end.size());
    ArchivePtr handle(OpenArchiveFromMemory(block.get(), static_cast<uint32_t>(size), nullptr));
    if (!handle) continue;
    for (int32_t i = 0; i < 2; ++i) {
      ArchiveEntry entry{};
      if (GetEntry(handle.get(), i, &entry) == kOk) ExtractEntryToFile(handle.get(), i, target.c_str());
    }
    for (const std::string& name : ListNames(dir.path())) ASSERT_EQ(name, "out") << "cut at " << cut;
  }
}

}  // namespace
}  // namespace archivetest

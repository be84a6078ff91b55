// Extraction that succeeds: content, pieces, directories, targets, attributes and times.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>

#include "archive/archive.h"
#include "archive/whole_inflate.h"
#include "platform/fs.h"
#ifndef _WIN32
#include "platform/fault.h"
#endif
#include "tests/archive/archive_test_support.h"
#include "tests/archive/file_times.h"
#include "tests/support/temp_dir.h"

namespace archivetest {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using ziptools::Bytes;

std::vector<uint8_t> Repeated(size_t count) {
  std::vector<uint8_t> out(count);
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>("0123456789abcdef"[i % 16] + (i / 4096) % 3);
  return out;
}

struct ContentCase {
  const char* what;
  std::vector<uint8_t> content;
  uint16_t method;
  bool dataDescriptor;
};

TEST(ExtractContent, WritesStoredAndDeflatedEntriesByteForByte) {
  const std::vector<ContentCase> cases = {
      {"empty stored", {}, ziptools::kStored, false},
      {"empty deflated", {}, ziptools::kDeflated, false},
      {"small stored", Bytes("hello"), ziptools::kStored, false},
      {"exactly one piece", ziptools::NoiseBytes(16384, 1), ziptools::kStored, false},
      {"one byte over a piece", ziptools::NoiseBytes(16385, 2), ziptools::kStored, false},
      {"large stored", ziptools::NoiseBytes(70000, 3), ziptools::kStored, false},
      {"large deflated noise", ziptools::NoiseBytes(100000, 4), ziptools::kDeflated, false},
      {"compressible, many pieces from little input", Repeated(300000), ziptools::kDeflated, false},
      {"deflated with data descriptor", ziptools::NoiseBytes(40000, 5), ziptools::kDeflated, true},
      {"deflated, exactly the whole-decode cap", Repeated(archive::kWholeInflateCap), ziptools::kDeflated, false},
      {"deflated, one byte over the whole-decode cap", Repeated(archive::kWholeInflateCap + 1), ziptools::kDeflated,
       false},
  };
  for (const auto& c : cases) {
    ziptools::Entry e = FileEntry("entry.bin", c.content, c.method);
    e.dataDescriptor = c.dataDescriptor;
    const auto bytes = SingleEntryArchive(e);
    auto handle = Open(bytes);
    TempDir dir;
    const std::u16string target = dir.u16() + u"out.bin";
    ASSERT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kOk) << c.what;
    ASSERT_TRUE(fs::is_regular_file(dir.path() / "out.bin")) << c.what;
    EXPECT_EQ(ReadFileBytes(dir.path() / "out.bin"), c.content) << c.what;
    EXPECT_EQ(ListNames(dir.path()), std::set<std::string>{"out.bin"}) << c.what << ": no temporary left";
  }
}

TEST(ExtractContent, ExtractsEveryEntryOfOneArchiveInTurn) {
  ziptools::Archive a;
  for (int i = 0; i < 6; ++i) {
    a.entries.push_back(FileEntry(std::string(1, 'f') + std::to_string(i), ziptools::NoiseBytes(3000 * i, i), i % 2 ? 8 : 0));
  }
  a.prefix = Bytes("MZ stub in front");
  const auto bytes = ziptools::Write(a);
  auto handle = Open(bytes);
  TempDir dir;
  for (int i : {5, 0, 3, 1, 4, 2}) {
    ArchiveEntry entry{};
    ASSERT_EQ(GetEntry(handle.get(), i, &entry), kOk);
    const std::u16string target = dir.u16() + entry.name;
    ASSERT_EQ(ExtractEntryToFile(handle.get(), i, target.c_str()), kOk) << i;
    EXPECT_EQ(ReadFileBytes(dir.path() / a.entries[i].name), a.entries[i].content) << i;
  }
}

TEST(ExtractTimes, StampsAllThreeEntryTimesOnTheWrittenFile) {
  for (const auto& content : {std::vector<uint8_t>{}, Bytes("with content")}) {
    ziptools::Entry e = FileEntry("t", content);
    e.localExtra = ziptools::ExtendedTimestamp(7, {1600000000, 1500000000, 1400000000});
    const auto bytes = SingleEntryArchive(e);
    auto handle = Open(bytes);
    TempDir dir;
    testsupport::WriteFileText(dir.path() / "t", "older and longer content than the entry");
    const std::u16string target = dir.u16() + u"t";
    ASSERT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kOk);
    const auto times = ReadFileTimes(dir.path() / "t");
    ASSERT_TRUE(times.has_value());
    EXPECT_EQ(times->modification, UnixToFileTime(1600000000));
    EXPECT_EQ(times->access, UnixToFileTime(1500000000));
    // The replaced file's creation time must not be carried over to the new one.
    if (CreationTimeSticks(dir.path())) {
      EXPECT_EQ(times->creation, UnixToFileTime(1400000000));
    } else {
      std::cout << "creation time not checked: this file system keeps none that can be set\n";
    }
    EXPECT_EQ(ReadFileBytes(dir.path() / "t"), content);
  }
}

// A re-launch finds most targets holding their entry already: those are not rewritten (the same
// file stays, with the entry's times and bits), and a target that differs in any way is.
struct InPlaceCase {
  const char* what;
  std::function<void(const fs::path& target)> change;  // after the first extraction
  bool leftInPlace;
  bool read;  // the second extraction had to read the target
  uint32_t entryAttributes = 0x20;
};

TEST(ExtractInPlace, LeavesOnlyATargetThatHoldsTheEntryAlready) {
  const uint64_t entryTime = UnixToFileTime(1600000000);
  const auto restamp = [=](const fs::path& target) {
    ASSERT_TRUE(platform::SetFileTimes(testsupport::ToU16(target), 0, 0, entryTime));
  };
  // Bytes and times stay; only the read-only or hidden bit the entry gave the file goes.
  const auto plain = [](const fs::path& t) {
    ASSERT_TRUE(platform::SetFileAttributes(testsupport::ToU16(t), platform::kAttrArchive));
  };
  const std::vector<InPlaceCase> cases = {
      {"unchanged, last read long ago",
       [](const fs::path& t) { ASSERT_TRUE(platform::SetFileTimes(testsupport::ToU16(t), 0, UnixToFileTime(9), 0)); },
       true, true},
      {"one byte changed, same size and time",
       [&](const fs::path& t) {
         std::fstream(t, std::ios::in | std::ios::out | std::ios::binary).seekp(70000).put('!');
         restamp(t);
       },
       false, true},
      {"same bytes, another time",
       [](const fs::path& t) { ASSERT_TRUE(platform::SetFileTimes(testsupport::ToU16(t), 0, 0, UnixToFileTime(7))); },
       false, false},
      {"one byte longer, same time",
       [&](const fs::path& t) {
         std::ofstream(t, std::ios::app | std::ios::binary).put('!');
         restamp(t);
       },
       false, false},
      {"same bytes and time, entry read-only, file not", plain, false, false, 0x21},
      {"same bytes and time, entry hidden, file not", plain, false, false, 0x22},
  };
  for (const InPlaceCase& c : cases) {
    ziptools::Entry e = FileEntry("p.upk", ziptools::NoiseBytes(300000, 9), ziptools::kDeflated);
    e.localExtra = ziptools::ExtendedTimestamp(7, {1600000000, 1500000000, 1400000000});
    e.externalAttributes = c.entryAttributes;
    const auto bytes = SingleEntryArchive(e);
    auto handle = Open(bytes);
    TempDir dir;
    const std::u16string target = dir.u16() + u"p.upk";
    ASSERT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kOk) << c.what;
    // The entry's bits as this file system keeps them (posix keeps no hidden bit).
    const uint32_t entryBits = platform::GetFileAttributes(target) & (platform::kAttrReadOnly | platform::kAttrHidden);
    c.change(dir.path() / "p.upk");
    fs::create_hard_link(dir.path() / "p.upk", dir.path() / "witness");  // the file that was there
#ifndef _WIN32
    platform::fault::Reset();
#endif
    ASSERT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kOk) << c.what;
    EXPECT_EQ(platform::IsSameFile(target, dir.u16() + u"witness"), c.leftInPlace) << c.what;
#ifndef _WIN32
    EXPECT_EQ(platform::fault::Count(platform::fault::kOpenInput), c.read ? 1u : 0u) << c.what;
    if (c.leftInPlace) {
      EXPECT_EQ(platform::fault::Count(platform::fault::kCreate) + platform::fault::Count(platform::fault::kWrite) +
                    platform::fault::Count(platform::fault::kMove),
                0u)
          << c.what;
    }
#endif
    const auto times = ReadFileTimes(dir.path() / "p.upk");  // before reading moves the access time
    ASSERT_TRUE(times.has_value());
    EXPECT_EQ(times->modification, entryTime) << c.what;
    EXPECT_EQ(times->access, UnixToFileTime(1500000000)) << c.what;
    EXPECT_EQ(ReadFileBytes(dir.path() / "p.upk"), e.content) << c.what;
    EXPECT_EQ(platform::GetFileAttributes(target) & (platform::kAttrReadOnly | platform::kAttrHidden), entryBits)
        << c.what;
    EXPECT_EQ(ListNames(dir.path()), (std::set<std::string>{"p.upk", "witness"})) << c.what;
  }
}

TEST(ExtractTimes, UsesDosTimeAsLocalTimeWithoutExtraField) {
  ziptools::Entry e = FileEntry("t", Bytes("x"));
  e.dosDate = ziptools::DosDate(2018, 3, 4);
  e.dosTime = ziptools::DosTime(5, 6, 8);
  const auto bytes = SingleEntryArchive(e);
  auto handle = Open(bytes);
  TempDir dir;
  const std::u16string target = dir.u16() + u"t";
  ASSERT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kOk);
  const auto times = ReadFileTimes(dir.path() / "t");
  ASSERT_TRUE(times.has_value());
  EXPECT_EQ(times->modification, LocalCalendarToUtcFileTime(2018, 3, 4, 5, 6, 8));
}

TEST(ExtractTargets, CreatesEveryMissingLevelSpelledWithMixedSeparators) {
  const auto bytes = SingleEntryArchive(FileEntry("contents/bns/CookedPC/x.upk", Bytes("package")));
  auto handle = Open(bytes);
  TempDir dir;
  const std::u16string target = dir.u16() + u"game\\contents/bns\\CookedPC/x.upk";
  ASSERT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kOk);
  EXPECT_EQ(ReadFileBytes(dir.path() / "game" / "contents" / "bns" / "CookedPC" / "x.upk"), Bytes("package"));
}

TEST(ExtractTargets, WritesUnicodeTargetNames) {
  const auto bytes = SingleEntryArchive(FileEntry("x", Bytes("text")));
  auto handle = Open(bytes);
  TempDir dir;
  const std::u16string target = dir.u16() + u"\u6570\u636E/\u6587\u4EF6.dat";
  ASSERT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kOk);
  EXPECT_EQ(ReadFileBytes(fs::path(target)), Bytes("text"));
}

// A relative target hangs below the current directory of the moment the archive was opened.
TEST(ExtractTargets, RelativeTargetResolvesAgainstTheDirectoryAtOpen) {
  const auto bytes = SingleEntryArchive(FileEntry("x", Bytes("relative")));
  TempDir atOpen;
  TempDir later;
  const fs::path saved = fs::current_path();
  fs::current_path(atOpen.path());
  auto handle = Open(bytes);
  fs::current_path(later.path());
  const ArchiveResult plain = ExtractEntryToFile(handle.get(), 0, u"plain.txt");
  const ArchiveResult nested = ExtractEntryToFile(handle.get(), 0, u"sub/dir\\nested.txt");
  fs::current_path(saved);
  EXPECT_EQ(plain, kOk);
  EXPECT_EQ(nested, kOk);
  EXPECT_EQ(ReadFileBytes(atOpen.path() / "plain.txt"), Bytes("relative"));
  EXPECT_EQ(ReadFileBytes(atOpen.path() / "sub" / "dir" / "nested.txt"), Bytes("relative"));
  EXPECT_TRUE(ListNames(later.path()).empty());
}

TEST(ExtractAttributes, ReadOnlyEntryMakesReadOnlyFileThatRefusesAnotherExtraction) {
  ziptools::Entry e = FileEntry("ro.txt", Bytes("read-only content"));
  e.externalAttributes = 0x21;
  const auto bytes = SingleEntryArchive(e);
  auto handle = Open(bytes);
  TempDir dir;
  const std::u16string target = dir.u16() + u"ro.txt";
  ASSERT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kOk);
  EXPECT_NE(platform::GetFileAttributes(target) & platform::kAttrReadOnly, 0u);
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kCannotOpenFile);
  EXPECT_EQ(ReadFileBytes(dir.path() / "ro.txt"), Bytes("read-only content"));
  EXPECT_EQ(ListNames(dir.path()), std::set<std::string>{"ro.txt"});
}

TEST(ExtractAttributes, HiddenFileIsReplacedOnlyByAnEntryThatKeepsItHidden) {
  TempDir dir;
  const std::u16string target = dir.u16() + u"h.txt";
  testsupport::WriteFileText(dir.path() / "h.txt", "hidden original");
  platform::SetFileAttributes(target, platform::kAttrHidden);
  if ((platform::GetFileAttributes(target) & platform::kAttrHidden) == 0) {
    GTEST_SKIP() << "this file system keeps no hidden attribute";
  }
  ziptools::Entry plain = FileEntry("h.txt", Bytes("plain"));
  ziptools::Entry hidden = FileEntry("h.txt", Bytes("hidden new"));
  hidden.externalAttributes = 0x22;
  ziptools::Archive a;
  a.entries = {plain, hidden};
  const auto bytes = ziptools::Write(a);
  auto handle = Open(bytes);
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kCannotOpenFile);
  EXPECT_EQ(ReadFileBytes(dir.path() / "h.txt"), Bytes("hidden original"));
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 1, target.c_str()), kOk);
  EXPECT_EQ(ReadFileBytes(dir.path() / "h.txt"), Bytes("hidden new"));
  EXPECT_NE(platform::GetFileAttributes(target) & platform::kAttrHidden, 0u);
}

TEST(ExtractAttributes, FileHeldOpenWithoutSharingIsLeftAlone) {
  TempDir dir;
  const std::u16string target = dir.u16() + u"busy.txt";
  testsupport::WriteFileText(dir.path() / "busy.txt", "in use");
  platform::OutputFile holder = platform::OutputFile::Open(target, platform::Disposition::kOpenExisting, 0x20);
  ASSERT_TRUE(holder.IsOpen());
  if (platform::OutputFile::Open(target, platform::Disposition::kOpenExisting, 0x20).IsOpen()) {
    GTEST_SKIP() << "this system has no share modes: a second open of a busy file succeeds";
  }
  const auto bytes = SingleEntryArchive(FileEntry("busy.txt", Bytes("replacement")));
  auto handle = Open(bytes);
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kCannotOpenFile);
  holder.Close();
  EXPECT_EQ(ReadFileBytes(dir.path() / "busy.txt"), Bytes("in use"));
  EXPECT_EQ(ListNames(dir.path()), std::set<std::string>{"busy.txt"});
}

TEST(ExtractDirectories, DirectoryEntryCreatesTheDirectoryChain) {
  const auto bytes = SingleEntryArchive(DirectoryEntry("contents/bns/"));
  auto handle = Open(bytes);
  TempDir dir;
  const std::u16string withSeparator = dir.u16() + u"a/contents/bns/";
  const std::u16string withoutSeparator = dir.u16() + u"b\\contents\\bns";
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, withSeparator.c_str()), kOk);
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, withoutSeparator.c_str()), kOk);
  EXPECT_TRUE(fs::is_directory(dir.path() / "a" / "contents" / "bns"));
  EXPECT_TRUE(fs::is_directory(dir.path() / "b" / "contents" / "bns"));
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, withSeparator.c_str()), kOk) << "an existing directory is fine";
}

TEST(ExtractDirectories, RefusesWhenSomethingElseIsInTheWay) {
  TempDir dir;
  testsupport::WriteFileText(dir.path() / "file", "a file, not a directory");
  fs::create_directories(dir.path() / "folder");
  ziptools::Archive a;
  a.entries = {DirectoryEntry("d/"), FileEntry("f", Bytes("x"))};
  const auto bytes = ziptools::Write(a);
  auto handle = Open(bytes);
  const std::u16string fileInTheWay = dir.u16() + u"file";
  const std::u16string fileAsParent = dir.u16() + u"file/below.txt";
  const std::u16string folderAsTarget = dir.u16() + u"folder";
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, fileInTheWay.c_str()), kCannotOpenFile);
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 1, fileAsParent.c_str()), kCannotOpenFile);
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 1, folderAsTarget.c_str()), kCannotOpenFile);
  EXPECT_EQ(ReadFileBytes(dir.path() / "file"), Bytes("a file, not a directory"));
  EXPECT_TRUE(fs::is_empty(dir.path() / "folder"));
  EXPECT_EQ(ListNames(dir.path()), (std::set<std::string>{"file", "folder"}));
}

TEST(ExtractEncrypted, DecryptsWithTheRightPassword) {
  ziptools::Archive a;
  a.entries = {FileEntry("s", Bytes("stored secret")), FileEntry("d", ziptools::NoiseBytes(50000, 8), 8),
               FileEntry("dd", Repeated(40000), 8)};
  for (auto& e : a.entries) e.password = "open sesame";
  a.entries[2].dataDescriptor = true;  // check byte from the DOS time instead of the CRC
  const auto bytes = ziptools::Write(a);
  auto handle = Open(bytes, "open sesame");
  TempDir dir;
  for (int i = 0; i < 3; ++i) {
    const std::u16string target = dir.u16() + U16(a.entries[i].name);
    ASSERT_EQ(ExtractEntryToFile(handle.get(), i, target.c_str()), kOk) << i;
    EXPECT_EQ(ReadFileBytes(dir.path() / a.entries[i].name), a.entries[i].content) << i;
  }
}

TEST(ExtractArguments, RefusesBadIndexesAndNullPathCreatingNothing) {
  const auto bytes = SingleEntryArchive(FileEntry("x", Bytes("x")));
  auto handle = Open(bytes);
  TempDir dir;
  const std::u16string target = dir.u16() + u"sub/x";
  for (int32_t index : {-1, -2, 1, INT32_MAX}) {
    EXPECT_EQ(ExtractEntryToFile(handle.get(), index, target.c_str()), kBadArguments) << index;
  }
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, nullptr), kBadArguments);
  EXPECT_TRUE(ListNames(dir.path()).empty());
}

// The patcher asks for the record and then extracts the same index from the cache; the local
// header must still be checked before its data is trusted.
TEST(ExtractArguments, ChecksLocalHeaderAgainEvenWhenTheRecordIsCached) {
  ziptools::Layout layout;
  auto bytes = ziptools::Write([] {
    ziptools::Archive a;
    a.entries.push_back(FileEntry("x", Bytes("x")));
    return a;
  }(), &layout);
  auto handle = Open(bytes);
  ArchiveEntry entry{};
  ASSERT_EQ(GetEntry(handle.get(), 0, &entry), kOk);
  bytes[layout.localHeaders[0]] = 0;
  TempDir dir;
  const std::u16string target = dir.u16() + u"x";
  EXPECT_EQ(ExtractEntryToFile(handle.get(), 0, target.c_str()), kInflateFailed);
  EXPECT_TRUE(ListNames(dir.path()).empty());
}

}  // namespace
}  // namespace archivetest

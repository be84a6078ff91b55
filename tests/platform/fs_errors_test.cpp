// Paths with either separator reach the same file, and failures carry the codes Windows gives.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/fs.h"
#include "tests/platform/file_probe.h"
#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include "platform/fault.h"
#endif

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

TEST(PathSeparators, BackslashAndSlashBothSeparate) {
  TempDir dir;
  ASSERT_TRUE(platform::CreateDirectory(dir.u16() + u"sub"));
  ASSERT_TRUE(platform::CreateDirectory(dir.u16() + u"sub\\deeper"));
  auto file = platform::OutputFile::Open(dir.u16() + u"sub/deeper\\file.txt", platform::Disposition::kCreateNew,
                                         platform::kAttrNormal);
  ASSERT_TRUE(file.IsOpen());
  ASSERT_TRUE(file.Write("xyz", 3));
  ASSERT_TRUE(file.Close());

  EXPECT_EQ(testsupport::ReadFileBytes(dir.path() / "sub" / "deeper" / "file.txt"), (std::vector<uint8_t>{'x', 'y', 'z'}));
  EXPECT_TRUE(platform::PathExists(dir.u16() + u"sub\\deeper/file.txt"));
  EXPECT_EQ(platform::GetFileAttributes(dir.u16() + u"sub\\deeper") & platform::kAttrDirectory, platform::kAttrDirectory);
  EXPECT_EQ(platform::GetFileAttributes(dir.u16() + u"sub/deeper\\file.txt") & platform::kAttrDirectory, 0u);
}

TEST(PathSeparators, NonAsciiNamesReachTheFile) {
  TempDir dir;
  const std::u16string name = u"\u5251\u7075\u76EE\u5F55";
  ASSERT_TRUE(platform::CreateDirectory(dir.u16() + name));
  EXPECT_TRUE(fs::is_directory(dir.path() / fs::path(name)));
}

TEST(ErrorCodes, FailuresReportTheWindowsCode) {
  TempDir dir;
  testsupport::WriteFileText(dir.path() / "file.txt", "keep");
  fs::create_directories(dir.path() / "full");
  testsupport::WriteFileText(dir.path() / "full" / "inner", "x");
  const std::u16string base = dir.u16();

  struct Case {
    const char* name;
    std::function<bool()> call;
    uint32_t error;
  };
  std::vector<Case> cases = {
      {"attributes of missing file", [&] { return platform::GetFileAttributes(base + u"none") != platform::kInvalidAttributes; },
       platform::kErrorFileNotFound},
      {"attributes under missing folder",
       [&] { return platform::GetFileAttributes(base + u"nodir\\none") != platform::kInvalidAttributes; },
       platform::kErrorPathNotFound},
      {"existing directory created again", [&] { return platform::CreateDirectory(base + u"full"); },
       platform::kErrorAlreadyExists},
      {"directory over a file", [&] { return platform::CreateDirectory(base + u"file.txt"); }, platform::kErrorAlreadyExists},
      {"directory under missing parent", [&] { return platform::CreateDirectory(base + u"nodir\\sub"); },
       platform::kErrorPathNotFound},
      {"create-new over existing file",
       [&] {
         return platform::OutputFile::Open(base + u"file.txt", platform::Disposition::kCreateNew, platform::kAttrNormal).IsOpen();
       },
       platform::kErrorFileExists},
      {"open-existing of missing file",
       [&] {
         return platform::OutputFile::Open(base + u"none", platform::Disposition::kOpenExisting, platform::kAttrNormal).IsOpen();
       },
       platform::kErrorFileNotFound},
      {"create under missing folder",
       [&] {
         return platform::OutputFile::Open(base + u"nodir\\f", platform::Disposition::kCreateAlways, platform::kAttrNormal)
             .IsOpen();
       },
       platform::kErrorPathNotFound},
      {"writing a directory",
       [&] {
         return platform::OutputFile::Open(base + u"full", platform::Disposition::kCreateAlways, platform::kAttrNormal).IsOpen();
       },
       platform::kErrorAccessDenied},
      {"delete missing file", [&] { return platform::DeleteFile(base + u"none"); }, platform::kErrorFileNotFound},
      {"delete a directory", [&] { return platform::DeleteFile(base + u"full"); }, platform::kErrorAccessDenied},
      {"remove non-empty directory", [&] { return platform::RemoveDirectory(base + u"full"); }, 145},
      {"move missing source", [&] { return platform::MoveFileReplace(base + u"none", base + u"other"); },
       platform::kErrorFileNotFound},
      // A program that is running may not be written (ETXTBSY on Linux), even by whoever may write it.
      {"writing the running program",
       [&] {
         return platform::OutputFile::Open(platform::GetModuleFileName(), platform::Disposition::kOpenExisting,
                                           platform::kAttrNormal)
             .IsOpen();
       },
       platformtest::MayWriteBesideOwnProgram() ? platform::kErrorSharingViolation : platform::kErrorAccessDenied},
  };
#ifndef _WIN32
  // Windows before 10 1903 (and FAT, exFAT): a file deleted while a scanner holds it keeps its name
  // until the scanner lets go; a holder that does not share deletion refuses it. Wine has neither.
  for (const char* name : {"source", "pending", "scanned", "held"}) testsupport::WriteFileText(dir.path() / name, name);
  ASSERT_TRUE(platform::fault::HoldAsScanner(base + u"pending"));
  ASSERT_TRUE(platform::DeleteFile(base + u"pending"));
  ASSERT_TRUE(platform::fault::HoldAsScanner(base + u"scanned"));
  const platform::InputFile held = platform::InputFile::Open(base + u"held");
  ASSERT_TRUE(held.IsOpen());
  const auto create = [&](const char16_t* name, platform::Disposition disposition) {
    return platform::OutputFile::Open(base + name, disposition, platform::kAttrNormal).IsOpen();
  };
  const std::vector<Case> heldNames = {
      {"attributes of a name pending deletion",
       [&] { return platform::GetFileAttributes(base + u"pending") != platform::kInvalidAttributes; },
       platform::kErrorAccessDenied},
      {"reading a name pending deletion", [&] { return platform::InputFile::Open(base + u"pending").IsOpen(); },
       platform::kErrorAccessDenied},
      {"create-new over a name pending deletion", [&] { return create(u"pending", platform::Disposition::kCreateNew); },
       platform::kErrorAccessDenied},
      {"create over a name pending deletion", [&] { return create(u"pending", platform::Disposition::kCreateAlways); },
       platform::kErrorAccessDenied},
      {"delete a name pending deletion", [&] { return platform::DeleteFile(base + u"pending"); },
       platform::kErrorAccessDenied},
      {"move over a name pending deletion", [&] { return platform::MoveFileReplace(base + u"source", base + u"pending"); },
       platform::kErrorAccessDenied},
      {"copy onto a name pending deletion",
       [&] { return platform::CopyFileNoReplace(base + u"source", base + u"pending"); }, platform::kErrorAccessDenied},
      {"move without replace onto a name pending deletion",
       [&] { return platform::MoveFileNoReplace(base + u"source", base + u"pending"); }, platform::kErrorFileExists},
      {"link onto a name pending deletion",
       [&] { return platform::CreateHardLink(base + u"source", base + u"pending"); }, platform::kErrorFileExists},
      {"move over a file a scanner holds", [&] { return platform::MoveFileReplace(base + u"source", base + u"scanned"); },
       platform::kErrorAccessDenied},
      {"delete a file held without delete sharing", [&] { return platform::DeleteFile(base + u"held"); },
       platform::kErrorSharingViolation},
      {"move over a file held without delete sharing",
       [&] { return platform::MoveFileReplace(base + u"source", base + u"held"); }, platform::kErrorSharingViolation},
  };
  cases.insert(cases.end(), heldNames.begin(), heldNames.end());
#endif
  for (const auto& c : cases) {
    EXPECT_FALSE(c.call()) << c.name;
    EXPECT_EQ(platform::LastError(), c.error) << c.name;
  }
#ifndef _WIN32
  EXPECT_TRUE(fs::exists(dir.path() / "pending"));
  platform::fault::Reset();  // the scanners let go: the deleted name goes with them
  EXPECT_FALSE(fs::exists(dir.path() / "pending"));
  EXPECT_TRUE(fs::exists(dir.path() / "source"));
  EXPECT_TRUE(fs::exists(dir.path() / "scanned"));
  EXPECT_TRUE(fs::exists(dir.path() / "held"));
#endif
  EXPECT_EQ(testsupport::ReadFileBytes(dir.path() / "file.txt"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  EXPECT_TRUE(fs::exists(dir.path() / "full" / "inner"));
  EXPECT_FALSE(fs::exists(dir.path() / "nodir"));
  EXPECT_FALSE(fs::exists(dir.path() / "none"));
  EXPECT_FALSE(fs::exists(dir.path() / "other"));
}

TEST(ErrorCodes, RemovesEmptyDirectory) {
  TempDir dir;
  fs::create_directories(dir.path() / "empty");
  ASSERT_TRUE(platform::RemoveDirectory(dir.u16() + u"empty"));
  EXPECT_FALSE(fs::exists(dir.path() / "empty"));
}

}  // namespace

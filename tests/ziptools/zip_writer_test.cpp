// The writer's archives must be ones a real unzip accepts, or every suite built on it proves
// nothing. Checked against the system's unzip where there is one (not under Wine).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/temp_dir.h"
#include "tests/ziptools/zip_writer.h"

namespace {

using ziptools::Bytes;

#ifndef _WIN32
std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    *status = -1;
    return output;
  }
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
  *status = ::pclose(pipe);
  return output;
}
#endif

ziptools::Entry MakeEntry(std::string name, std::vector<uint8_t> content, uint16_t method) {
  ziptools::Entry e;
  e.name = std::move(name);
  e.content = std::move(content);
  e.method = method;
  return e;
}

TEST(ZipWriter, ArchivesPassSystemUnzipIncludingEncryptedEntries) {
#ifdef _WIN32
  GTEST_SKIP() << "needs the system's unzip, which a Windows build does not have";
#else
  int status = 0;
  RunCommand("unzip -v >/dev/null 2>&1", &status);
  if (status != 0) GTEST_SKIP() << "no unzip on this machine";

  ziptools::Archive archive;
  archive.comment = "archive comment";
  archive.entries.push_back(MakeEntry("stored.txt", Bytes("plain stored text"), ziptools::kStored));
  archive.entries.push_back(MakeEntry("dir/deflated.bin", ziptools::NoiseBytes(40000, 7), ziptools::kDeflated));
  auto secret = MakeEntry("secret.txt", Bytes(std::string(3000, 's')), ziptools::kDeflated);
  secret.password = "pa55word";
  archive.entries.push_back(secret);
  auto streamed = MakeEntry("streamed.txt", Bytes("written with a data descriptor"), ziptools::kStored);
  streamed.password = "pa55word";
  streamed.dataDescriptor = true;
  archive.entries.push_back(streamed);
  auto stamped = MakeEntry("stamped.txt", Bytes("x"), ziptools::kStored);
  stamped.localExtra = ziptools::ExtendedTimestamp(1, {1600000000});
  archive.entries.push_back(stamped);

  testsupport::TempDir dir;
  const auto zip = dir.path() / "w.zip";
  testsupport::WriteFileBytes(zip, ziptools::Write(archive));
  const std::string quoted = "'" + zip.string() + "'";

  RunCommand("unzip -tqq -P pa55word " + quoted + " 2>&1", &status);
  EXPECT_EQ(status, 0);
  for (const auto& entry : archive.entries) {
    const std::string out = RunCommand("unzip -p -P pa55word " + quoted + " '" + entry.name + "'", &status);
    EXPECT_EQ(status, 0) << entry.name;
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), entry.content) << entry.name;
  }
  RunCommand("unzip -tqq -P wrong " + quoted + " secret.txt >/dev/null 2>&1", &status);
  EXPECT_NE(status, 0) << "a wrong password must not pass";
#endif
}

TEST(ZipWriter, RecordsOffsetsWithoutThePrefix) {
  ziptools::Archive archive;
  archive.prefix = std::vector<uint8_t>(100, 0xCC);
  archive.entries.push_back(MakeEntry("a", Bytes("abc"), ziptools::kStored));
  ziptools::Layout layout;
  const auto bytes = ziptools::Write(archive, &layout);
  ASSERT_EQ(layout.localHeaders.at(0), 100u);
  // Local header offset field of the central record: 42 bytes in.
  const size_t field = layout.centralRecords.at(0) + 42;
  EXPECT_EQ(bytes[field] | (bytes[field + 1] << 8), 0);
  // Central directory offset in the end record: 16 bytes in.
  const size_t central = layout.endRecord + 16;
  EXPECT_EQ(static_cast<uint32_t>(bytes[central] | (bytes[central + 1] << 8)), layout.centralRecords[0] - 100);
}

}  // namespace

// Crafted archives (made by make_malformed.py) against the reader: each row's open, GetEntry and
// extraction codes, no file written outside the target directory, and an existing target that
// stays byte-for-byte intact whenever an extraction fails.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tree_snapshot.h"

namespace {

struct MalformedCase {
  const char* name;
  const unsigned char* data;
  size_t size;
  const char* expect;
};

#include "malformed_cases.inc"

namespace fs = std::filesystem;
using testsupport::ReadFileBytes;
using testsupport::TempDir;
using testsupport::WriteFileBytes;
using testsupport::WriteFileText;

struct EntryRow {
  int32_t index = 0;
  std::string get;
  std::string extract;
  bool checksContent = false;
  uint32_t size = 0;
  uint32_t crc = 0;
};

struct Row {
  bool opens = false;
  int32_t count = 0;
  std::vector<EntryRow> entries;
  std::map<int32_t, int64_t> modifiedUnixTime;
};

Row ParseRow(const std::string& text) {
  Row row;
  std::istringstream in(text);
  std::string token;
  while (in >> token) {
    if (token == "open=ok") {
      row.opens = true;
    } else if (token == "open=null") {
      row.opens = false;
    } else if (token.rfind("count=", 0) == 0) {
      row.count = std::stoi(token.substr(6));
    } else if (token.rfind("entry=", 0) == 0) {
      std::vector<std::string> parts;
      std::istringstream fields(token.substr(6));
      for (std::string part; std::getline(fields, part, ',');) parts.push_back(part);
      EntryRow entry;
      entry.index = std::stoi(parts.at(0));
      entry.get = parts.at(1);
      entry.extract = parts.at(2);
      if (parts.size() == 5) {
        entry.checksContent = true;
        entry.size = static_cast<uint32_t>(std::stoul(parts[3]));
        entry.crc = static_cast<uint32_t>(std::stoul(parts[4], nullptr, 16));
      }
      row.entries.push_back(entry);
    } else if (token.rfind("modified=", 0) == 0) {
      const size_t comma = token.find(',');
      row.modifiedUnixTime[std::stoi(token.substr(9, comma - 9))] = std::stoll(token.substr(comma + 1));
    } else {
      ADD_FAILURE() << "unknown manifest token " << token;
    }
  }
  return row;
}

::testing::AssertionResult CodeIs(const std::string& expected, ArchiveResult actual) {
  if (expected == ArchiveResultName(actual)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected " << expected << ", got " << ArchiveResultName(actual);
}

using testsupport::Snapshot;
using testsupport::Tree;

std::vector<std::string> Differences(const Tree& before, const Tree& after) {
  std::vector<std::string> changed;
  for (const auto& [key, value] : after) {
    auto it = before.find(key);
    if (it == before.end() || it->second != value) changed.push_back(key);
  }
  for (const auto& [key, value] : before) {
    if (after.find(key) == after.end()) changed.push_back(key);
  }
  return changed;
}

uint32_t Crc(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// A name that names a file inside the target directory: worth putting an old file in its way.
bool StaysInside(const std::u16string& name) {
  if (name.empty() || name.back() == u'/' || name.back() == u'\\' || name.front() == u'/' ||
      name.front() == u'\\' || name.find(u':') != std::u16string::npos) {
    return false;
  }
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of(u"/\\", start);
    if (end == std::u16string::npos) end = name.size();
    if (name.compare(start, end - start, u"..") == 0) return false;
    start = end + 1;
  }
  return true;
}

fs::path Under(const fs::path& dir, std::u16string name) {
  for (auto& c : name) {
    if (c == u'\\') c = u'/';
  }
  return dir / fs::path(name);
}

const std::string kOldBytes = "old target bytes that a failed extraction must leave alone";

// Files a climbing name would land on: any change to them shows in the tree comparison.
void PlantSentinels(const fs::path& root) {
  for (const char* where : {"x", "y", "a/x", "a/b/x", "a/b/c/x", "a/b/c/y", "a/b/c/server/x"}) {
    WriteFileText(root / where, std::string("sentinel ") + where);
  }
}

// Where a record could not be read the patcher would skip the entry; extraction still gets a path.
std::u16string FallbackName(int32_t index) {
  std::u16string name = u"entry";
  for (char c : std::to_string(index)) name.push_back(static_cast<char16_t>(c));
  return name;
}

enum class TargetStyle { kAbsolute, kRelativeToBase };

void Walk(const MalformedCase& c, const Row& row, TargetStyle style) {

  TempDir scratch;
  const fs::path target = scratch.path() / "a" / "b" / "c" / "target";
  fs::create_directories(target);
  PlantSentinels(scratch.path());
  const fs::path previousDirectory = fs::current_path();
  if (style == TargetStyle::kRelativeToBase) fs::current_path(target);

  // A copy of exactly the archive's size on the heap, so a read past the end shows under ASan.
  const std::vector<unsigned char> bytes(c.data, c.data + c.size);
  const Tree initial = Snapshot(scratch.path());
  ArchiveHandle handle = OpenArchiveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr);
  if (style == TargetStyle::kRelativeToBase) fs::current_path(previousDirectory);

  if (!row.opens) {
    EXPECT_EQ(handle, nullptr);
    if (handle != nullptr) CloseArchive(handle);
    EXPECT_EQ(Snapshot(scratch.path()), initial);
    return;
  }
  ASSERT_NE(handle, nullptr);

  ArchiveEntry entry{};
  ASSERT_EQ(GetEntry(handle, -1, &entry), kOk);
  EXPECT_EQ(entry.index, row.count);
  EXPECT_EQ(GetEntry(handle, row.count, &entry), kBadArguments);

  for (const EntryRow& expected : row.entries) {
    SCOPED_TRACE("entry " + std::to_string(expected.index));
    entry = ArchiveEntry{};
    const ArchiveResult got = GetEntry(handle, expected.index, &entry);
    EXPECT_TRUE(CodeIs(expected.get, got));
    if (auto it = row.modifiedUnixTime.find(expected.index); it != row.modifiedUnixTime.end()) {
      constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000;
      EXPECT_EQ(entry.modificationTime, static_cast<uint64_t>(it->second) * 10000000 + kUnixEpochAsFileTime);
    }

    // The patcher's target: the directory followed by the entry's name as reported.
    const std::u16string name = got == kOk && entry.name[0] != 0 ? std::u16string(entry.name) : FallbackName(expected.index);
    const std::u16string absolute = testsupport::ToU16(target) + u"/" + name;
    // Only a path the system can hold gets an old file in its way. Wine reports a file whose name
    // begins with a dot as hidden, which an entry without the hidden bit may not replace.
    const size_t leaf = name.find_last_of(u"/\\") + 1;
    const bool inside = StaysInside(name) && absolute.size() <= 259 && name.compare(leaf, 1, u".") != 0;
    if (inside) WriteFileText(Under(target, name), kOldBytes);
    const std::u16string path = style == TargetStyle::kAbsolute ? absolute : name;

    const Tree before = Snapshot(scratch.path());
    const ArchiveResult extracted = ExtractEntryToFile(handle, expected.index, path.c_str());
    EXPECT_TRUE(CodeIs(expected.extract, extracted));
    const Tree after = Snapshot(scratch.path());
    const std::vector<std::string> changed = Differences(before, after);

    if (extracted != kOk) {
      EXPECT_TRUE(changed.empty()) << "a failed extraction changed " << changed.front();
      if (inside) {
        EXPECT_EQ(ReadFileBytes(Under(target, name)), std::vector<uint8_t>(kOldBytes.begin(), kOldBytes.end()));
      }
      continue;
    }
    ASSERT_TRUE(StaysInside(name)) << "an entry whose name leaves the target was written";
    ASSERT_EQ(changed.size(), 1u) << "more than the target changed, first " << changed.front();
    EXPECT_EQ(changed.front().rfind("a/b/c/target/", 0), 0u) << changed.front();
    const auto written = ReadFileBytes(Under(target, name));
    const std::string content(written.begin(), written.end());
    if (expected.checksContent) {
      EXPECT_EQ(content.size(), expected.size);
      EXPECT_EQ(Crc(content), expected.crc);
    }
  }
  EXPECT_EQ(CloseArchive(handle), kOk);
}

// A reader that loops on a crafted archive would hold the suite until ctest's timeout; this names
// the row and ends the program instead.
class Watchdog {
 public:
  explicit Watchdog(const char* row)
      : thread_([this, row] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!wake_.wait_for(lock, kLimit, [this] { return done_; })) {
            std::fprintf(stderr, "row %s is still running after %lld s: the reader hangs on it\n", row,
                         static_cast<long long>(kLimit.count()));
            std::abort();
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  static constexpr std::chrono::seconds kLimit{60};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;  // last: starts once the members it uses exist
};

// One row at a time; a failure names the row.
template <typename Body>
void ForEachRow(bool opens, Body body) {
  int rows = 0;
  for (const MalformedCase& c : kMalformedCases) {
    const Row row = ParseRow(c.expect);
    if (row.opens != opens) continue;
    SCOPED_TRACE(c.name);
    Watchdog watchdog(c.name);
    body(c, row);
    ++rows;
  }
  EXPECT_GT(rows, 0);
}

TEST(MalformedArchive, RefusesEveryArchiveWithoutAUsableEndRecord) {
  ForEachRow(false, [](const MalformedCase& c, const Row& row) { Walk(c, row, TargetStyle::kAbsolute); });
}

TEST(MalformedArchive, GivesEachEntryItsCodeAndWritesOnlyInsideTheTarget) {
  ForEachRow(true, [](const MalformedCase& c, const Row& row) { Walk(c, row, TargetStyle::kAbsolute); });
}

TEST(MalformedArchive, RelativeTargetsStayInsideTheBaseDirectory) {
  ForEachRow(true, [](const MalformedCase& c, const Row& row) { Walk(c, row, TargetStyle::kRelativeToBase); });
}

}  // namespace

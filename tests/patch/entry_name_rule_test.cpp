// The walk's last line of defence: names the reader passes on but that would write outside the
// game directory, or into a stream or drive, never become targets. And the names the workers may
// not take side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "patch/entry_walk.h"
#include "patch/file_workers.h"
#include "tests/ziptools/zip_writer.h"

namespace patchtest {
namespace {

struct NameCase {
  const char16_t* name;
  bool accepted;
};

TEST(EntryNameRule, RefusesNamesThatLeaveTheGameDirectory) {
  const NameCase cases[] = {
      {u"contents/bns/CookedPC/00002728.upk", true},
      {u"contents\\data\\xml.dat", true},
      {u"contents/..data/x", true},  // a name that merely starts with dots stays inside
      {u"contents/./x", true},
      {u"", false},
      {u"../x", false},
      {u"..\\x", false},
      {u"contents/../../x", false},
      {u"contents\\..\\..\\x", false},
      {u"contents/..", false},
      {u"..", false},
      {u"contents/.. /x", false},  // Windows trims the space and climbs
      {u"contents/.../x", false},
      {u"/etc/x", false},
      {u"\\x", false},
      {u"C:x", false},
      {u"contents/x.upk:stream", false},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(patch::IsNameInsideGameDirectory(c.name), c.accepted) << testing::PrintToString(std::u16string(c.name));
  }
}

// Windows names one file in any case and with either separator: entries whose targets meet so, or
// a file and its backup, keep the one-worker order, since side by side they would race on one file.
TEST(EntriesThatMeet, KeepTheOneWorkerOrder) {
  struct Row {
    const char* what;
    std::vector<std::string> names;
    bool meet;
  };
  const Row rows[] = {
      {"names apart", {"a/one.bin", "a/two.bin", "b/one.bin"}, false},
      {"one name twice", {"a/b.bin", "x.bin", "a/b.bin"}, true},
      {"names that differ in case only", {"a/B.bin", "x.bin", "A/b.bin"}, true},
      {"names that differ in separator only", {"a/b.bin", "x.bin", "a\\b.bin"}, true},
      {"a name and its backup", {"a/b.upk", "a/b.upk.VTBak"}, true},
      {"a name and its backup in other case", {"a/B.upk", "x.bin", "A/b.UPK.vtbak"}, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ziptools::Archive zip;
    for (const std::string& name : row.names) {
      ziptools::Entry entry;
      entry.name = name;
      entry.content = ziptools::Bytes(name);
      zip.entries.push_back(entry);
    }
    const std::vector<uint8_t> bytes = ziptools::Write(zip);
    ArchiveHandle archive = OpenArchiveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr);
    ASSERT_TRUE(IsArchiveHandle(archive));
    std::mutex mutex;
    std::vector<int32_t> order;
    std::vector<std::thread::id> threads;
    EXPECT_TRUE(patch::WorkOnFileEntries(archive, bytes, u"C:\\Game\\", 4,
                                         [&](ArchiveHandle, int32_t index, const std::u16string&) {
                                           const std::lock_guard<std::mutex> lock(mutex);
                                           order.push_back(index);
                                           threads.push_back(std::this_thread::get_id());
                                           return true;
                                         }));
    EXPECT_EQ(CloseArchive(archive), kOk);
    ASSERT_EQ(order.size(), row.names.size());
    const auto onCaller = static_cast<size_t>(std::count(threads.begin(), threads.end(), std::this_thread::get_id()));
    if (row.meet) {
      EXPECT_EQ(onCaller, row.names.size()) << "entries that meet went to workers";
      for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], static_cast<int32_t>(i));
    } else {
      EXPECT_EQ(onCaller, 0u) << "entries apart were not fanned out";
    }
  }
}

}  // namespace
}  // namespace patchtest

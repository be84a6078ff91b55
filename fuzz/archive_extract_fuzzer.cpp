// Arbitrary bytes as an archive, every entry extracted into a scratch directory the way the
// patcher does it (absolute target) and against the base directory (relative target). Nothing
// may appear outside the scratch directory, and an extraction that succeeds must have had a
// name that stays inside it.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "archive/archive.h"
#include "fuzz/fuzz_check.h"

namespace fs = std::filesystem;

namespace {

// Deep enough that a name climbing out of the scratch directory lands in a level we watch.
constexpr int kWatchedLevels = 12;
// Bounds the disk work per input; the archive format allows 65535 entries.
constexpr int32_t kMaxExtracted = 32;

struct Scratch {
  fs::path root;   // watched: holds only the chain of levels down to base
  fs::path base;   // the current directory at open time, so relative targets resolve inside it
  fs::path home;   // the process's own current directory, where libFuzzer keeps its files
  std::u16string baseU16;
};

Scratch* g_scratch = nullptr;

void RemoveScratch() {
  std::error_code ec;
  if (g_scratch != nullptr) fs::remove_all(g_scratch->root, ec);  // best effort at exit
}

std::u16string ToU16(const fs::path& path) { return path.u16string(); }

// Every level holds exactly the next one: anything else was written outside the scratch directory.
void CheckNothingOutside() {
  fs::path level = g_scratch->root;
  for (int i = 0; i <= kWatchedLevels; ++i) {
    const fs::path next = level / (i == kWatchedLevels ? "scratch" : "level");
    int items = 0;
    for (const auto& item : fs::directory_iterator(level)) {
      ++items;
      if (item.path() != next) {
        std::fprintf(stderr, "written outside the scratch directory: %s\n", item.path().c_str());
        std::abort();
      }
    }
    FUZZ_CHECK(items == 1);
    level = next;
  }
  // The root's own parent is the shared temporary directory; a climb that far leaves a name we
  // can look for.
  FUZZ_CHECK(!fs::exists(g_scratch->root.parent_path() / "x"));
}

// No ".." segment, no leading separator, no drive: the only names that may be written.
bool StaysInside(const std::u16string& name) {
  if (name.empty() || name[0] == u'/' || name[0] == u'\\' || (name.size() > 1 && name[1] == u':')) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of(u"/\\", start);
    if (end == std::u16string::npos) end = name.size();
    if (name.compare(start, end - start, u"..") == 0) return false;
    start = end + 1;
  }
  return true;
}

void EmptyBase() {
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(g_scratch->base, ec)) {
    fs::permissions(item.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(item.path(), ec);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_scratch = new Scratch;
  g_scratch->root = fs::temp_directory_path() / ("morvelt-fuzz-extract-" + std::to_string(::getpid()));
  fs::path level = g_scratch->root;
  for (int i = 0; i < kWatchedLevels; ++i) level /= "level";
  g_scratch->base = level / "scratch";
  fs::create_directories(g_scratch->base);
  g_scratch->home = fs::current_path();
  g_scratch->baseU16 = ToU16(g_scratch->base) + u"/";
  std::atexit(RemoveScratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > UINT32_MAX) return 0;
  // The password matters only for encrypted entries; the seeds' one uses it.
  // The reader takes its base directory from the current directory at open time.
  fs::current_path(g_scratch->base);
  ArchiveHandle handle = OpenArchiveFromMemory(data, static_cast<uint32_t>(size), "secret");
  fs::current_path(g_scratch->home);
  if (handle == nullptr) return 0;

  ArchiveEntry entry{};
  FUZZ_CHECK(GetEntry(handle, -1, &entry) == kOk);
  const int32_t count = std::min(entry.index, kMaxExtracted);
  for (int32_t i = 0; i < count; ++i) {
    const bool haveRecord = GetEntry(handle, i, &entry) == kOk;
    const std::u16string name = haveRecord ? std::u16string(entry.name) : u"record-unreadable";
    const std::u16string path = (i % 2 == 0) ? name : g_scratch->baseU16 + name;
    const ArchiveResult result = ExtractEntryToFile(handle, i, path.c_str());
    if (result == kOk) FUZZ_CHECK(haveRecord && StaysInside(name));
  }
  FUZZ_CHECK(CloseArchive(handle) == kOk);
  CheckNothingOutside();
  EmptyBase();
  return 0;
}

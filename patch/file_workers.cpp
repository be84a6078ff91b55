#include "patch/file_workers.h"

#include <algorithm>
#include <atomic>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#include "patch/entry_walk.h"

namespace patch {
namespace {

struct FileJob {
  int32_t index;
  std::u16string target;
  uint32_t size;
};

// An archive handle of one worker's own, closed when the worker ends.
class OwnArchive {
 public:
  explicit OwnArchive(std::span<const uint8_t> bytes)
      : handle_(OpenArchiveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr)) {}
  ~OwnArchive() {
    if (IsArchiveHandle(handle_)) (void)CloseArchive(handle_);  // ignored: memory only
  }
  OwnArchive(const OwnArchive&) = delete;
  OwnArchive& operator=(const OwnArchive&) = delete;
  ArchiveHandle get() const { return handle_; }

 private:
  ArchiveHandle handle_;
};

// Windows names one file in any case, with either separator.
std::u16string FoldedName(const std::u16string& target) {
  std::u16string folded = target;
  for (char16_t& c : folded) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c == u'/') c = u'\\';
  }
  return folded;
}

// Two jobs on one path (or on a file and its backup) must keep their order.
bool PathsMeet(const std::vector<FileJob>& jobs) {
  std::set<std::u16string> names;
  for (const FileJob& job : jobs) {
    if (!names.insert(FoldedName(job.target)).second) return true;
  }
  for (const std::u16string& name : names) {
    if (names.count(name + u".vtbak") != 0) return true;
  }
  return false;
}

// The shared part of one fan-out: the next job to take and whether any failed.
class JobQueue {
 public:
  JobQueue(const std::vector<FileJob>& jobs, const FileWork& work) : jobs_(jobs), work_(work) {}

  // One worker's loop over `archive` until no job is left.
  void Drain(ArchiveHandle archive) {
    for (size_t i = next_++; i < jobs_.size(); i = next_++) {
      const FileJob& job = jobs_[i];
      if (!IsArchiveHandle(archive) || !work_(archive, job.index, job.target)) failed_ = true;
    }
  }
  bool Failed() const { return failed_; }

 private:
  const std::vector<FileJob>& jobs_;
  const FileWork& work_;
  std::atomic<size_t> next_{0};
  std::atomic<bool> failed_{false};
};

}  // namespace

uint32_t DefaultWorkerCount() {
  const uint32_t cores = std::max(1u, std::thread::hardware_concurrency());
  return std::clamp(2 * cores, 2u, kMostWorkers);
}

bool WorkOnFileEntries(ArchiveHandle archive, std::span<const uint8_t> bytes, const std::u16string& gameDirectory,
                       uint32_t workers, const FileWork& work) {
  const auto inOrder = [&] {
    return WalkFileEntries(archive, gameDirectory,
                           [&](int32_t index, const std::u16string& target) { return work(archive, index, target); });
  };
  if (workers <= 1 || bytes.empty()) return inOrder();

  std::vector<FileJob> jobs;
  const bool listed = WalkFileEntries(archive, gameDirectory, [&](int32_t index, const std::u16string& target) {
    ArchiveEntry entry{};
    const uint32_t size = GetEntry(archive, index, &entry) == kOk ? entry.uncompressedSize : 0;
    jobs.push_back({index, target, size});
    return true;
  });
  if (jobs.size() <= 1 || PathsMeet(jobs)) return inOrder();
  // The largest entries first, so that no large one starts last while the other workers idle.
  std::stable_sort(jobs.begin(), jobs.end(), [](const FileJob& a, const FileJob& b) { return a.size > b.size; });

  JobQueue queue(jobs, work);
  {
    std::vector<std::jthread> threads;
    const size_t count = std::min<size_t>(workers, jobs.size());
    try {
      while (threads.size() < count) {
        threads.emplace_back([&queue, bytes] {
          const OwnArchive own(bytes);
          queue.Drain(own.get());
        });
      }
    } catch (const std::system_error&) {
      // No thread to be had: the coordinator does what is left itself.
      queue.Drain(archive);
    }
  }  // every worker joined here
  return listed && !queue.Failed();
}

}  // namespace patch

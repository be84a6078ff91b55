#include "platform/posix/open_names.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <functional>
#include <mutex>
#include <limits>
#include <map>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/posix/unique_fd.h"

namespace platform::posix {

struct OpenNamesAccess {
  static void Forget(FileHold& hold) { hold.held_ = false; }
  static std::pair<dev_t, ino_t> Key(const FileHold& hold) { return {hold.device_, hold.inode_}; }
  static bool SharesDelete(const FileHold& hold) { return hold.sharesDelete_; }
};

namespace {

using Key = std::pair<dev_t, ino_t>;

struct Claims {
  uint32_t sharing = 0;
  uint32_t refusing = 0;
};

// The folder is kept open so that the name goes from the folder it was deleted in, wherever that
// folder has moved since.
struct PendingName {
  UniqueFd folder;
  Key folderKey;
  std::string leaf;
  Key file;
};

struct TimedHold {
  FileHold hold;
  uint64_t until;
};

// Names that share a lock only wait for each other; a power of two, for the hash's sake.
constexpr size_t kNameLocks = 256;

struct Table {
  std::array<std::shared_mutex, kNameLocks> names;  // see NameLock
  std::mutex mutex;  // guards everything below; never held across a file call
  std::map<Key, Claims> claims;
  std::vector<PendingName> pending;
  std::vector<TimedHold> timed;
};

Table& Names() {
  static Table table;
  return table;
}

Key KeyOf(const struct stat& st) { return {st.st_dev, st.st_ino}; }

// The folder part and the last component, as the kernel resolves them.
std::pair<std::string, std::string> Split(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

bool NameIsFile(const PendingName& name) {
  struct stat st {};
  return ::fstatat(name.folder.get(), name.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && KeyOf(st) == name.file;
}

// With the mutex held.
void ReleaseClaim(Table& table, Key key, bool sharesDelete) {
  const auto it = table.claims.find(key);
  if (it == table.claims.end()) return;
  uint32_t& count = sharesDelete ? it->second.sharing : it->second.refusing;
  if (count > 0) --count;
  if (it->second.sharing != 0 || it->second.refusing != 0) return;
  table.claims.erase(it);
  std::erase_if(table.pending, [&](const PendingName& name) {
    if (name.file != key) return false;
    if (NameIsFile(name)) ::unlinkat(name.folder.get(), name.leaf.c_str(), 0);  // best effort, as the system's
    return true;
  });
}

void ExpireTimedHolds(Table& table) {
  if (table.timed.empty()) return;
  const uint64_t now = SteadyMilliseconds();
  std::erase_if(table.timed, [&](TimedHold& timed) {
    if (timed.until > now) return false;
    ReleaseClaim(table, OpenNamesAccess::Key(timed.hold), OpenNamesAccess::SharesDelete(timed.hold));
    OpenNamesAccess::Forget(timed.hold);
    return true;
  });
}

std::shared_mutex* LockOfName(const std::string& nativePath) {
  return &Names().names[std::hash<std::string>{}(Split(nativePath).second) & (kNameLocks - 1)];
}

}  // namespace

NameLock::NameLock(const std::string& nativePath, NameUse use) : NameLock(nativePath, nativePath, use) {}

NameLock::NameLock(const std::string& first, const std::string& second, NameUse use)
    : first_(LockOfName(first)), second_(LockOfName(second)), exclusive_(use == NameUse::kChange) {
  // One order for every thread, so that two calls that each want both never wait on each other.
  if (second_ < first_) std::swap(first_, second_);
  if (second_ == first_) second_ = nullptr;
  for (std::shared_mutex* m : {first_, second_}) {
    if (m == nullptr) continue;
    if (exclusive_) {
      m->lock();
    } else {
      m->lock_shared();
    }
  }
  Table& table = Names();
  const std::lock_guard<std::mutex> guard(table.mutex);
  ExpireTimedHolds(table);
}

NameLock::~NameLock() {
  for (std::shared_mutex* m : {second_, first_}) {
    if (m == nullptr) continue;
    if (exclusive_) {
      m->unlock();
    } else {
      m->unlock_shared();
    }
  }
}

FileHold::FileHold(const NameLock&, const struct stat& st, bool sharesDelete)
    : held_(true), device_(st.st_dev), inode_(st.st_ino), sharesDelete_(sharesDelete) {
  Table& table = Names();
  const std::lock_guard<std::mutex> guard(table.mutex);
  Claims& claims = table.claims[KeyOf(st)];
  ++(sharesDelete ? claims.sharing : claims.refusing);
}

FileHold::~FileHold() { Release(); }

FileHold::FileHold(FileHold&& other) noexcept
    : held_(std::exchange(other.held_, false)),
      device_(other.device_),
      inode_(other.inode_),
      sharesDelete_(other.sharesDelete_) {}

FileHold& FileHold::operator=(FileHold&& other) noexcept {
  if (this != &other) {
    Release();
    held_ = std::exchange(other.held_, false);
    device_ = other.device_;
    inode_ = other.inode_;
    sharesDelete_ = other.sharesDelete_;
  }
  return *this;
}

void FileHold::Release() {
  if (!held_) return;
  Table& table = Names();
  const std::lock_guard<std::mutex> guard(table.mutex);
  ReleaseClaim(table, {device_, inode_}, sharesDelete_);
  held_ = false;
}

bool IsPending(const NameLock&, const std::string& nativePath) {
  Table& table = Names();
  {
    const std::lock_guard<std::mutex> guard(table.mutex);
    if (table.pending.empty()) return false;
  }
  // Not a structured binding: clang before 16 cannot capture one in the lambda below.
  const std::pair<std::string, std::string> split = Split(nativePath);
  const std::string& leaf = split.second;
  struct stat st {};
  if (::stat(split.first.c_str(), &st) != 0) return false;
  const std::lock_guard<std::mutex> guard(table.mutex);
  return std::any_of(table.pending.begin(), table.pending.end(), [&](const PendingName& name) {
    return name.folderKey == KeyOf(st) && name.leaf == leaf && NameIsFile(name);
  });
}

Holders HoldersOf(const NameLock&, const struct stat& st) {
  Table& table = Names();
  const std::lock_guard<std::mutex> guard(table.mutex);
  const auto& claims = table.claims;
  const auto it = claims.find(KeyOf(st));
  if (it == claims.end()) return Holders::kNone;
  return it->second.refusing != 0 ? Holders::kSomeRefuseDelete : Holders::kAllShareDelete;
}

bool MarkPending(const NameLock&, const std::string& nativePath, const struct stat& st) {
  const auto [folder, leaf] = Split(nativePath);
  PendingName name;
  name.folder.reset(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  struct stat folderStat {};
  if (!name.folder || ::fstat(name.folder.get(), &folderStat) != 0) return false;
  name.folderKey = KeyOf(folderStat);
  name.leaf = leaf;
  name.file = KeyOf(st);
  Table& table = Names();
  const std::lock_guard<std::mutex> guard(table.mutex);
  table.pending.push_back(std::move(name));
  return true;
}

void HoldUntil(FileHold hold, uint64_t milliseconds) {
  const uint64_t now = SteadyMilliseconds();
  const uint64_t until = milliseconds >= std::numeric_limits<uint64_t>::max() - now
                             ? std::numeric_limits<uint64_t>::max()
                             : now + milliseconds;
  Table& table = Names();
  const std::lock_guard<std::mutex> guard(table.mutex);
  table.timed.push_back({std::move(hold), until});
}

void ReleaseTimedHolds() {
  Table& table = Names();
  const std::lock_guard<std::mutex> guard(table.mutex);
  for (TimedHold& timed : table.timed) {
    ReleaseClaim(table, OpenNamesAccess::Key(timed.hold), OpenNamesAccess::SharesDelete(timed.hold));
    OpenNamesAccess::Forget(timed.hold);
  }
  table.timed.clear();
}

}  // namespace platform::posix

// Hard links, renames that never replace, and file identity.
#include "platform/fs.h"
#include "platform/win32/file_identity.h"
#include "platform/win32/last_error.h"
#include "platform/win32/windows_api.h"

namespace platform {

bool MoveFileNoReplace(const std::u16string& from, const std::u16string& to) {
  return ::MoveFileExW(win32::Wide(from), win32::Wide(to), 0) || win32::FailWithLastError();
}

bool CreateHardLink(const std::u16string& existing, const std::u16string& link) {
  return ::CreateHardLinkW(win32::Wide(link), win32::Wide(existing), nullptr) || win32::FailWithLastError();
}

// Both names stay open while they are compared, so neither file's id can be freed and given to
// another file in between; a second name shows in the link count of both. Anything short of certainty answers false, and the
// caller then takes the path that is right for two files.
bool IsSameFile(const std::u16string& a, const std::u16string& b) {
  const win32::UniqueFileHandle first = win32::OpenForIdentity(a);
  if (!first) return false;
  const win32::UniqueFileHandle second = win32::OpenForIdentity(b);
  if (!second) return false;
  win32::FileIdentity x, y;
  if (!win32::IdentifyFile(first.get(), &x) || !win32::IdentifyFile(second.get(), &y)) return false;
  return x.links >= 2 && y.links >= 2 && win32::SameIdentity(x, y);
}

}  // namespace platform

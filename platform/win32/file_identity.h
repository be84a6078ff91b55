#pragma once
// Who a file is, for telling whether two names are one file.
#include <cstdint>
#include <string>

#include "platform/win32/handles.h"

namespace platform::win32 {

struct FileIdentity {
  uint64_t volume = 0;
  uint8_t id[16] = {};
  bool wideId = false;  // the 128-bit id; otherwise the 64-bit index in its first eight bytes
  uint32_t links = 0;
};

// A handle that only asks who the file is: no data access, so no sharing mode stands in its
// way; folders open too.
UniqueFileHandle OpenForIdentity(const std::u16string& path);
// The volume serial and the 128-bit file id (Windows 8 and later), or where the system has no
// such id, the 32-bit serial and the 64-bit index, which ReFS and some network shares do not keep
// unique. False, with the error, when neither can be had.
bool IdentifyFile(HANDLE file, FileIdentity* identity);
// Both identities of the same form and equal.
bool SameIdentity(const FileIdentity& a, const FileIdentity& b);

}  // namespace platform::win32

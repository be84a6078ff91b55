#include "tests/patch/held_file.h"

#include <windows.h>

namespace patchtest {

HeldFile::HeldFile(const std::filesystem::path& path)
    : handle_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}

HeldFile::~HeldFile() {
  if (held()) CloseHandle(handle_);
}

bool HeldFile::held() const { return handle_ != INVALID_HANDLE_VALUE; }

}  // namespace patchtest

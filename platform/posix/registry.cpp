#include "platform/registry.h"

#include "platform/fs.h"
#include "platform/posix/last_error.h"

namespace platform {

// There is no machine registry here: every key is missing.
std::optional<std::u16string> ReadMachineString(const std::u16string& /*keyPath*/,
                                                const std::u16string& /*valueName*/, uint32_t /*bufferUnits*/) {
  posix::Fail(kErrorFileNotFound);
  return std::nullopt;
}

}  // namespace platform

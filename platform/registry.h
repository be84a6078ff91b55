#pragma once
// Read-only access to string values under HKEY_LOCAL_MACHINE.
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The text of valueName under HKEY_LOCAL_MACHINE\keyPath in the 32-bit view (where a 32-bit
// installer writes on 64-bit Windows), whichever build reads it, up to its first zero unit.
// Nothing when the key or value is missing, its size is zero, or it does not fit a buffer of
// bufferUnits wide characters or carries no terminator within it (such a value is ignored).
// The posix backend has an empty registry.
std::optional<std::u16string> ReadMachineString(const std::u16string& keyPath,
                                                const std::u16string& valueName,
                                                uint32_t bufferUnits);

}  // namespace platform

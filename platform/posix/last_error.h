#pragma once
// The posix backend's stand-in for the thread's Windows last-error value.
#include <cstdint>
#include <string>

namespace platform::posix {

// Records code as the thread's last error; returns false so failure paths can `return Fail(...)`.
bool Fail(uint32_t code);
// Records the Windows code for errno value err, as a call on nativePath would have failed.
bool FailErrno(int err, const std::string& nativePath);
// The Windows code for err; ENOENT becomes "path not found" when nativePath's parent is missing.
uint32_t ErrorFromErrno(int err, const std::string& nativePath);

// Codes that fs.h does not name.
inline constexpr uint32_t kErrorNotEnoughMemory = 8;
inline constexpr uint32_t kErrorNotSameDevice = 17;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorDirNotEmpty = 145;
inline constexpr uint32_t kErrorFilenameTooLong = 206;
inline constexpr uint32_t kErrorDirectory = 267;
inline constexpr uint32_t kErrorResourceNotFound = 1814;
inline constexpr uint32_t kErrorTooManyOpenFiles = 4;

}  // namespace platform::posix

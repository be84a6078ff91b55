#pragma once
// Read-only bytes embedded in the running executable, read in place (never copied).
#include <cstdint>
#include <span>

namespace platform {

inline constexpr uint16_t kLangChineseSimplified = 2052;

// FindResourceExW + SizeofResource + LoadResource + LockResource on the executable's own module,
// for a resource with a numeric id and a string type name such as u"ZIP".
// Empty span when the resource is missing. The bytes stay valid for the life of the process.
//
// The posix backend looks the resource up in a table that the executable links in (see
// platform/posix/embedded.h); a program that links none has no resources.
std::span<const uint8_t> FindResourceBytes(const char16_t* type, uint16_t id, uint16_t language);

}  // namespace platform

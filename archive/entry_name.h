#pragma once
// Entry names: stored bytes to UTF-16, the sanitising rules, and the test that a name stays
// inside the directory it is extracted under.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace archive {

// 259 characters; the record's name buffer holds one more for the terminator.
inline constexpr uint32_t kMaxNameUnits = 259;

// UTF-8 whatever general-purpose bit 11 says. Nothing when the stored name or its conversion is
// longer than kMaxNameUnits: a cut-off name could name a different file. The name ends at an
// embedded zero byte, as every caller that reads it as a terminated string would see it.
std::optional<std::u16string> ConvertStoredName(std::span<const uint8_t> stored);

// Strips drive letters, leading separators and everything up to a "\..\"-style segment,
// repeatedly. Separators are kept as stored.
std::u16string SanitiseName(std::u16string name);

// False for a name that is empty, absolute, or has a segment that climbs to a parent
// (".." and the dot-and-space spellings that Windows trims to it).
bool IsContainedName(std::u16string_view name);

}  // namespace archive

#pragma once
// INI settings files (GetPrivateProfileStringW / WritePrivateProfileStringW).
#include <cstdint>
#include <string>

namespace platform {

// The value of key in section of file, read into a buffer of bufferUnits units (terminator
// included, so at most bufferUnits - 1 come back). A missing file, section or key reads as empty.
std::u16string GetProfileString(const std::u16string& file, const std::u16string& section,
                                const std::u16string& key, uint32_t bufferUnits);
// Writes key = value into section, creating the file and the section as needed. file is a full
// path. A new file is UTF-16LE; one without that mark stays in the ANSI code page unless the entry
// would not survive it or the file is UTF-16BE or UTF-8 without a mark, and then becomes UTF-16LE
// with every other line kept.
bool WriteProfileString(const std::u16string& file, const std::u16string& section,
                        const std::u16string& key, const std::u16string& value);

}  // namespace platform

#pragma once
// Windows' profile functions write a settings file in the ANSI code page unless it starts with the
// UTF-16LE byte-order mark; this keeps every file they are asked to write able to hold the text.
#include <string>

namespace platform::win32 {

// Before key = value is written into section of file (a full path): a missing file is created
// holding only the mark; an existing one without it is rewritten as UTF-16LE, every line kept,
// when any of the three would not survive the ANSI code page, and always when it is UTF-16BE or
// UTF-8 without a mark, which the system would misread. False (error kept) on failure.
bool PrepareUnicodeProfile(const std::u16string& file, const std::u16string& section, const std::u16string& key,
                           const std::u16string& value);

}  // namespace platform::win32

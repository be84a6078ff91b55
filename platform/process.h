#pragma once
// Whether a program is running, told by the file it was started from.
#include <string>

namespace platform {

// True when a process runs whose executable is the file at `image`, whatever name it was started
// by: the same file counts when its path differs in case, separators, short or long names, or
// goes through another link to the folder. False when none does, when no file is at `image`,
// or when the system will not list its processes (a refusal cannot be told from none running).
bool IsImageRunning(const std::u16string& image);

// Whether two paths name one file as the file system compares names, without opening either:
// on Windows, full paths with long names, either separator and no regard to case.
bool IsSamePath(const std::u16string& a, const std::u16string& b);

}  // namespace platform

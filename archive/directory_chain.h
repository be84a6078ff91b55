#pragma once
#include <string_view>

namespace archive {

// Creates every missing level of `directory` (which may end in a separator), below `base` when
// base is not empty; "/" and "\" both separate. Failures are not reported here: a level that
// could not be made shows up when the file beneath it cannot be created.
void CreateDirectoryChain(std::u16string_view base, std::u16string_view directory);

}  // namespace archive

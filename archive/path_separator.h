#pragma once
// Both "\" and "/" separate path components: the game directory uses one, entry names the other.

namespace archive {

inline bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace archive

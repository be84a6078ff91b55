#pragma once
// How a native executable supplies its "resources": a table it links in, ended by a null type.
// A program that links no table gets the empty default (a weak definition in the backend).
#include <cstdint>

namespace platform::posix {

struct EmbeddedResource {
  const char16_t* type;  // nullptr ends the table
  uint16_t id;
  uint16_t language;
  const uint8_t* data;
  uint32_t size;
};

// Defined by the linked-in table; the backend provides a weak empty one.
extern "C++" const EmbeddedResource* EmbeddedResourceTable();

}  // namespace platform::posix

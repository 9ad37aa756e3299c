// Type information: the names of type indices.
#pragma once

#include <cstdint>
#include <string_view>

namespace symdeck {

// The text for a type index: a name for the primitive types that have one, a fallback for
// the other primitive indices (below 0x1000), and "one of NM types" for the indices that
// name the file's own type records (0x1000 and up).
std::string_view primitiveTypeName(uint32_t index);

}  // namespace symdeck

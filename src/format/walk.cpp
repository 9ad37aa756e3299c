#include "format/walk.h"

namespace symdeck {

Stop limitStop(std::string_view header, uint64_t limit) {
    return Stop{WalkEnd::Limit, header, 0, limit};
}

Stop boundsStop(std::string_view header, uint64_t offset, uint64_t fileSize) {
    return Stop{WalkEnd::Bounds, header, offset, fileSize};
}

}  // namespace symdeck

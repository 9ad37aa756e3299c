#include "report/reader.h"

#include <cstring>

namespace symdeck {

std::string_view textAt(const NmsImage& image, uint64_t offset) {
    if (offset >= image.size) return {};
    const auto* start = reinterpret_cast<const char*>(image.data + offset);
    const uint64_t room = image.size - offset;
    const void* nul = std::memchr(start, 0, room);
    const uint64_t length = nul ? static_cast<uint64_t>(static_cast<const char*>(nul) - start) : room;
    return {start, length};
}

}  // namespace symdeck

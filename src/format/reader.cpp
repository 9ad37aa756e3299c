#include "format/reader.h"

#include <cstring>

namespace symdeck {

std::string_view textAt(const NmsImage& image, uint64_t offset) {
    if (offset >= image.size) return {};
    const auto* start = reinterpret_cast<const char*>(image.data + offset);
    // The image is in memory, so what is left of it fits a size_t (32 bits on wasm32).
    const auto room = static_cast<size_t>(image.size - offset);
    const void* nul = std::memchr(start, 0, room);
    const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - start) : room;
    return {start, length};
}

}  // namespace symdeck

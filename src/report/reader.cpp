#include "report/reader.h"

#include <cstring>

namespace symdeck {

std::optional<Record> recordAt(const NmsImage& image, uint64_t offset, uint64_t width) {
    if (!fits(image, offset, width)) return std::nullopt;
    return Record{image.data + offset, offset, width};
}

std::optional<uint32_t> readU32(const NmsImage& image, uint64_t offset) {
    auto record = recordAt(image, offset, 4);
    if (!record) return std::nullopt;
    return record->u32(0);
}

std::string_view textAt(const NmsImage& image, uint64_t offset) {
    if (offset >= image.size) return {};
    const auto* start = reinterpret_cast<const char*>(image.data + offset);
    const uint64_t room = image.size - offset;
    const void* nul = std::memchr(start, 0, room);
    const uint64_t length = nul ? static_cast<uint64_t>(static_cast<const char*>(nul) - start) : room;
    return {start, length};
}

}  // namespace symdeck

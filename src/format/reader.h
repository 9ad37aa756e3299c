// Bounds-checked access to the bytes of an NMS database.
//
// Every byte the converter looks at is read through this file. An offset is a 64-bit
// distance from the image's first byte; a read of `width` bytes at `offset` is allowed only
// when offset + width <= size, computed without wrap-around. Integers are little-endian and
// are assembled byte by byte, so packed records with unaligned fields read correctly.
#pragma once

#include <cassert>
#include <cstdint>
#include <optional>
#include <string_view>

namespace symdeck {

// The whole input file, held in memory and never written.
struct NmsImage {
    const unsigned char* data = nullptr;
    uint64_t size = 0;
};

// True when the `width` bytes at `offset` lie inside the image.
constexpr bool fits(const NmsImage& image, uint64_t offset, uint64_t width) {
    return offset <= image.size && width <= image.size - offset;
}

// A structure whose bytes have been proven to lie inside the image: [offset, offset + width).
// Field reads are relative to the structure's first byte. A read that would leave the
// structure is a fault of the program (its field offsets are wrong): debug and sanitizer
// builds stop on it; a release build yields 0 and never reads outside the structure.
struct Record {
    const unsigned char* bytes = nullptr;
    uint64_t offset = 0;
    uint64_t width = 0;

    uint16_t u16(uint64_t at) const {
        assert(at <= width && width - at >= 2);
        if (at > width || width - at < 2) return 0;
        return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
    }
    uint32_t u32(uint64_t at) const {
        assert(at <= width && width - at >= 4);
        if (at > width || width - at < 4) return 0;
        return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
               (static_cast<uint32_t>(bytes[at + 2]) << 16) |
               (static_cast<uint32_t>(bytes[at + 3]) << 24);
    }
    bool startsWith(std::string_view signature) const {
        if (signature.size() > width) return false;
        for (size_t i = 0; i < signature.size(); ++i)
            if (bytes[i] != static_cast<unsigned char>(signature[i])) return false;
        return true;
    }
};

// The structure of `width` bytes at `offset`, or nothing when it does not fit.
inline std::optional<Record> recordAt(const NmsImage& image, uint64_t offset, uint64_t width) {
    if (!fits(image, offset, width)) return std::nullopt;
    return Record{image.data + offset, offset, width};
}

// The ULONG at `offset`, or nothing when its four bytes do not fit.
inline std::optional<uint32_t> readU32(const NmsImage& image, uint64_t offset) {
    auto record = recordAt(image, offset, 4);
    if (!record) return std::nullopt;
    return record->u32(0);
}

// The NUL-terminated text at `offset`: the bytes up to the first NUL, or up to the image's
// end when no NUL follows. Empty when `offset` is at or past the end.
std::string_view textAt(const NmsImage& image, uint64_t offset);

}  // namespace symdeck

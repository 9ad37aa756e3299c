// UTF-8 as the system's own text: the command line's names, and what a terminal shows.
#pragma once

#include <cstddef>
#include <string_view>

namespace symdeck {

// The length of the valid UTF-8 sequence at the start of `text` (1 for any ASCII byte), or
// 0 when its first byte begins none. Only the shortest form is valid: no overlong
// sequences, no surrogates, nothing past U+10FFFF. `text` must not be empty.
inline size_t utf8SequenceAt(std::string_view text) {
    const auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const auto within = [](unsigned c, unsigned low, unsigned high) { return c >= low && c <= high; };
    const unsigned c = byte(0);
    if (c < 0x80) return 1;
    unsigned low = 0x80, high = 0xBF;
    size_t length = 0;
    if (within(c, 0xC2, 0xDF)) {
        length = 2;
    } else if (within(c, 0xE0, 0xEF)) {
        length = 3;
        if (c == 0xE0) low = 0xA0;
        if (c == 0xED) high = 0x9F;
    } else if (within(c, 0xF0, 0xF4)) {
        length = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (!within(byte(1), low, high)) return 0;
    for (size_t i = 2; i < length; ++i)
        if (!within(byte(i), 0x80, 0xBF)) return 0;
    return length;
}

// The code point of a valid sequence of `length` bytes at the start of `text`.
inline char32_t utf8CodePoint(std::string_view text, size_t length) {
    const auto byte = [&](size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(text[i])); };
    switch (length) {
        case 1: return byte(0);
        case 2: return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
        case 3: return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
        default: return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
    }
}

}  // namespace symdeck

// UTF-8: the one decoder of the program. Texts of the database are checked with it where a
// form needs valid UTF-8 (the JSON forms, the page, what a terminal is given); the command
// line's names are the system's own UTF-8 text.
#pragma once

#include <cstddef>
#include <string_view>

namespace symdeck {

// What begins at the start of a text: a valid sequence and its length (1 for any ASCII
// byte), or, where none begins, the maximal invalid subsequence there: the longest prefix
// of a valid sequence's bytes (at least one byte), which a decoder replaces by one U+FFFD.
struct Utf8Sequence {
    size_t length;
    bool valid;
};

// Only the shortest form is valid: no overlong sequences, no surrogates, nothing past
// U+10FFFF. `text` must not be empty.
inline Utf8Sequence utf8SequenceAt(std::string_view text) {
    const auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const auto within = [](unsigned c, unsigned low, unsigned high) { return c >= low && c <= high; };
    const unsigned c = byte(0);
    if (c < 0x80) return {1, true};
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
        return {1, false};  // no sequence begins with this byte
    }
    if (!within(byte(1), low, high)) return {1, false};
    size_t i = 2;
    while (i < length && within(byte(i), 0x80, 0xBF)) ++i;
    return {i, i == length};
}

// U+0080 to U+009F, the C1 controls, which some terminals obey as they do ESC: the valid
// sequences 0xC2 0x80 to 0xC2 0x9F. `sequence` is what begins at the start of `text`.
inline bool isC1Control(std::string_view text, Utf8Sequence sequence) {
    return sequence.valid && sequence.length == 2 && static_cast<unsigned char>(text[0]) == 0xC2 &&
           static_cast<unsigned char>(text[1]) < 0xA0;
}

}  // namespace symdeck

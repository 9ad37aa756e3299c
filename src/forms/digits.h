// Digits: the one table of hexadecimal digits and the one decimal writer of the program.
// Every number any form writes passes through here, several per field, so both work in
// place, without printf and without a division by a variable.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace symdeck {

// Upper-case hexadecimal digits. OR-ing 0x20 into one gives its lower-case form (the ten
// decimal digits already have that bit).
inline constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char lowerHexDigit(unsigned n) { return static_cast<char>(kHexDigits[n & 0xF] | 0x20); }

// `value` in decimal at `p` (at most 20 characters); returns the end. The same characters
// as std::to_chars, in fewer steps: the length comes from the value's bit width, and the
// digits go straight into place two at a time, last first.
[[gnu::always_inline]] inline char* putDecimal(char* p, uint64_t value) {
    static constexpr uint64_t kPowers[20] = {
        1u, 10u, 100u, 1000u, 10000u, 100000u, 1000000u, 10000000u, 100000000u, 1000000000u,
        10000000000u, 100000000000u, 1000000000000u, 10000000000000u, 100000000000000u,
        1000000000000000u, 10000000000000000u, 100000000000000000u, 1000000000000000000u,
        10000000000000000000u};
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    // log10(2) is about 1233 / 4096: `estimate` is the number of digits or one fewer, one
    // fewer exactly when the value reaches 10 to the power `estimate`.
    const uint64_t atLeastOne = value | 1;
    const unsigned estimate = (static_cast<unsigned>(std::bit_width(atLeastOne)) * 1233) >> 12;
    char* const end = p + estimate + (atLeastOne >= kPowers[estimate] ? 1 : 0);
    char* q = end;
    while (value >= 100) {
        q -= 2;
        std::memcpy(q, kPairs + 2 * (value % 100), 2);
        value /= 100;
    }
    if (value >= 10) {
        std::memcpy(q - 2, kPairs + 2 * value, 2);
    } else {
        q[-1] = static_cast<char>('0' + value);
    }
    return end;
}

// `value` read as a signed 32-bit number, in decimal at `p` (at most 11 characters).
[[gnu::always_inline]] inline char* putSignedDecimal(char* p, int32_t value) {
    if (value >= 0) return putDecimal(p, static_cast<uint64_t>(value));
    *p = '-';
    return putDecimal(p + 1, uint64_t{0} - static_cast<uint64_t>(static_cast<int64_t>(value)));
}

}  // namespace symdeck

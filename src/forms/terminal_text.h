// Texts of the database on their way to a terminal. A database's names are copied into the
// report byte for byte, control bytes included; on a terminal those bytes would act (move
// the cursor, retitle the window, rewrite what was shown), so there every byte below 0x20,
// 0x7F, every C1 control (U+0080 to U+009F, which some terminals obey as well) and every
// byte that is not part of valid UTF-8 is shown as "\xNN" instead. Into a file or a pipe
// the report stays exact: only a terminal gets these spellings.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace symdeck {

// How many bytes at the start of `text` a terminal may be given as they are: the length of
// the valid UTF-8 sequence there, or 0 when its first byte must be escaped. `text` must not
// be empty.
size_t terminalSafePrefix(std::string_view text);

// "\xNN" for `byte`, in upper-case hexadecimal, into `out` (4 bytes).
inline void terminalEscape(unsigned char byte, char* out) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    out[0] = '\\';
    out[1] = 'x';
    out[2] = kDigits[byte >> 4];
    out[3] = kDigits[byte & 0xF];
}

// `text` with every byte a terminal must not get escaped. With `keepLineFeeds`, line feeds
// stay as they are: for a whole answer text whose own lines end in them.
std::string escapedForTerminal(std::string_view text, bool keepLineFeeds);

}  // namespace symdeck

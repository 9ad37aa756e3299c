#include "forms/terminal_text.h"

#include "forms/utf8.h"

namespace symdeck {

size_t terminalSafePrefix(std::string_view text) {
    const auto first = static_cast<unsigned char>(text[0]);
    if (first < 0x20 || first == 0x7F) return 0;
    const size_t length = utf8SequenceAt(text);
    // U+0080 to U+009F, the C1 controls, are 0xC2 0x80 to 0xC2 0x9F.
    if (length == 2 && first == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) return 0;
    return length;
}

std::string escapedForTerminal(std::string_view text, bool keepLineFeeds) {
    std::string result;
    result.reserve(text.size());
    while (!text.empty()) {
        size_t safe = terminalSafePrefix(text);
        if (safe == 0 && keepLineFeeds && text[0] == '\n') safe = 1;
        if (safe == 0) {
            char escape[4];
            terminalEscape(static_cast<unsigned char>(text[0]), escape);
            result.append(escape, 4);
            safe = 1;
        } else {
            result.append(text.substr(0, safe));
        }
        text.remove_prefix(safe);
    }
    return result;
}

}  // namespace symdeck

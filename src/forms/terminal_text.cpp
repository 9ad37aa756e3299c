#include "forms/terminal_text.h"

#include "forms/utf8.h"

namespace symdeck {

size_t terminalSafePrefix(std::string_view text) {
    const auto first = static_cast<unsigned char>(text[0]);
    if (first < 0x20 || first == 0x7F) return 0;
    const Utf8Sequence sequence = utf8SequenceAt(text);
    if (!sequence.valid || isC1Control(text, sequence)) return 0;
    return sequence.length;
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

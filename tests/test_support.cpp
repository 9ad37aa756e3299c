#include "test_support.h"

#include <cstdio>

#include "report/driver.h"

namespace symdeck::test {

std::string report(const std::vector<uint8_t>& bytes, const SectionSelection& selection) {
    return renderToString(NmsImage{bytes.data(), bytes.size()}, selection);
}

std::string afterDirectory(const std::string& text) {
    // The banner holds two separator lines, the NM32 header block ends with one and the
    // directory block with one more.
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t found = text.find(kSep, at);
        if (found == std::string::npos) return {};
        at = found + kSep.size();
    }
    return text.substr(at);
}

std::string lastLine(const std::string& text) {
    std::string body = text;
    if (!body.empty() && body.back() == '\n') body.pop_back();
    const size_t nl = body.rfind('\n');
    return nl == std::string::npos ? body : body.substr(nl + 1);
}

std::string hex(uint64_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(value));
    return buffer;
}

}  // namespace symdeck::test

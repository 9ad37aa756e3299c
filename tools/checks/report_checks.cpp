#include "checks/report_checks.h"

#include <string_view>

#include "app/driver.h"
#include "report/walk.h"

namespace symdeck::checks {

namespace {

constexpr std::string_view kSeparator =
    "-------------------------------------------------------------------------------\n";
constexpr std::string_view kBannerTitle =
    "--  NMS symbol database to text converter 1.0 (by Zobrik) ---------------------\n";

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// "UNKNOWN SubSection (value %d)" at the very end.
bool endsWithUnknownKind(std::string_view text) {
    if (!endsWith(text, ")")) return false;
    const size_t open = text.rfind("UNKNOWN SubSection (value ");
    if (open == std::string_view::npos) return false;
    std::string_view number = text.substr(open + 26, text.size() - 1 - (open + 26));
    if (!number.empty() && number[0] == '-') number.remove_prefix(1);
    if (number.empty() || number.size() > 10) return false;
    for (char c : number)
        if (c < '0' || c > '9') return false;
    return true;
}

bool endsWithErrorLine(std::string_view text) {
    if (!endsWith(text, ".\n")) return false;
    const size_t previous = text.rfind('\n', text.size() - 2);
    const std::string_view last =
        previous == std::string_view::npos ? text : text.substr(previous + 1);
    return last.substr(0, 9) == "ERROR in ";
}

}  // namespace

SectionSelection selectionFromBits(uint8_t bits) {
    SectionSelection s;
    s.skipNmtp = bits & 1;
    s.skipSttb = bits & 2;
    s.skipSymd = bits & 4;
    s.skipTytb = bits & 8;
    s.skipHsht = bits & 16;
    s.skipFpod = bits & 32;
    s.skipSrcp = bits & 64;
    s.skipGtyp = bits & 128;
    return s;
}

std::string checkReport(const uint8_t* data, uint64_t size, const SectionSelection& selection) {
    const NmsImage image{data, size};
    const std::string text = renderToString(image, selection);
    const std::string banner = std::string(kSeparator) + std::string(kBannerTitle) + std::string(kSeparator);
    if (text.compare(0, banner.size(), banner) != 0) return "the report does not begin with the banner";
    const uint64_t bound = reportLimit(size) + size + 4096;
    if (text.size() > bound)
        return "the report has " + std::to_string(text.size()) + " bytes, more than " +
               std::to_string(bound);
    if (!endsWith(text, std::string("\n") + std::string(kSeparator)) &&
        !endsWithUnknownKind(text) && !endsWithErrorLine(text))
        return "the report ends neither with a separator, an unknown-kind text nor an error line";
    if (renderToString(image, selection) != text) return "two renderings differ";
    return {};
}

}  // namespace symdeck::checks

#include "checks/report_checks.h"

#include <nlohmann/json.hpp>
#include <cstring>
#include <string_view>
#include <vector>

#include "checks/json_checks.h"
#include "checks/map_checks.h"
#include "entry/render.h"
#include "format/section_kinds.h"
#include "forms/explain_answers.h"
#include "forms/recorder.h"
#include "forms/view_printer.h"

namespace symdeck::checks {

namespace {

constexpr std::string_view kSeparator =
    "-------------------------------------------------------------------------------\n";
constexpr std::string_view kBannerTitle =
    "--  NMS symbol database to text converter 1.0 (by Zobrik) ---------------------\n";

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

constexpr std::string_view kUnknownKind = "UNKNOWN SubSection (value ";

// Length of the "UNKNOWN SubSection (value %d)" text at the start of `text`, or 0.
size_t unknownKindAt(std::string_view text) {
    if (text.substr(0, kUnknownKind.size()) != kUnknownKind) return 0;
    size_t i = kUnknownKind.size();
    if (i < text.size() && text[i] == '-') ++i;
    const size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == digits || i - digits > 10 || i >= text.size() || text[i] != ')') return 0;
    return i + 1;
}

// The last line, without the unknown-kind texts that stand at its start: an unknown kind
// writes no line feed, so whatever follows it continues its line.
std::string_view lastLineBody(std::string_view text) {
    const size_t from = text.size() >= 2 ? text.size() - 2 : 0;
    const size_t previous = text.rfind('\n', from);
    std::string_view last = previous == std::string_view::npos ? text : text.substr(previous + 1);
    while (size_t n = unknownKindAt(last)) last.remove_prefix(n);
    return last;
}

bool endsWithUnknownKind(std::string_view text) {
    return endsWith(text, ")") && lastLineBody(text).empty();
}

bool endsWithErrorLine(std::string_view text) {
    return endsWith(text, ".\n") && lastLineBody(text).substr(0, 9) == "ERROR in ";
}

// The view form's fields: each one's record (textEnd left out, as it counts only the fields
// recorded) and value text, in order.
struct ViewFields {
    std::vector<std::string> fields;
    uint32_t how = 0, total = 0;
};

ViewFields viewFields(const std::string& bytes) {
    std::string records, texts, end;
    for (size_t at = 0; at + 8 <= bytes.size();) {
        uint32_t head[2];
        std::memcpy(head, bytes.data() + at, 8);
        const std::string payload = bytes.substr(at + 8, head[1]);
        if (head[0] == view::kFields) records += payload;
        if (head[0] == view::kText) texts += payload;
        if (head[0] == view::kEnd) end = payload;
        at += 8 + (uint64_t{head[1]} + 3) / 4 * 4;
    }
    ViewFields v;
    uint32_t textStart = 0;
    for (size_t i = 0; i + view::kFieldBytes <= records.size(); i += view::kFieldBytes) {
        uint32_t textEnd;
        std::memcpy(&textEnd, records.data() + i + 12, 4);
        std::string field = records.substr(i, 12) + records.substr(i + 16, 8);
        field += texts.substr(textStart, textEnd - textStart);
        textStart = textEnd;
        v.fields.push_back(std::move(field));
    }
    if (end.size() >= 4 * view::kEndWords) {
        std::memcpy(&v.how, end.data() + 4 * view::kEndHow, 4);
        std::memcpy(&v.total, end.data() + 4 * view::kEndFields, 4);
    }
    return v;
}

// A view that records some fields records exactly those of the whole view that its spans
// choose, each the same, and its walk ends where the whole one did.
std::string checkViewChoice(const NmsImage& image, const SectionSelection& selection, WalkEnd end) {
    if (image.size > 0xFFFFFFFFu) return {};
    const ViewFields whole = viewFields(renderViewToString(image, selection));
    const uint64_t size = image.size;
    const ViewSpan bytes[] = {{size / 3, size / 2 + 1}, {size > 0 ? size - 1 : 0, size + 1}};
    const ViewSpan fields[] = {{2, 9}, {40, 41}};
    // Without the text counted the walk cannot stop at the report's limit: only a walk that
    // did not is walked so.
    const ViewOptions options{.skeleton = false, .countText = end != WalkEnd::Limit, .chosen = true,
                              .bytes = bytes, .fields = fields};
    const ViewFields some = viewFields(renderViewToString(image, selection, &options));
    std::vector<std::string> expected;
    for (uint32_t i = 0; i < whole.fields.size(); ++i) {
        uint32_t offset, fieldSize;
        std::memcpy(&offset, whole.fields[i].data(), 4);
        std::memcpy(&fieldSize, whole.fields[i].data() + 4, 4);
        const auto touches = [&](const ViewSpan& s) { return offset < s.to && uint64_t{offset} + fieldSize > s.from; };
        const bool numbered = (i >= 2 && i < 9) || i == 40;
        if (numbered || touches(bytes[0]) || touches(bytes[1])) expected.push_back(whole.fields[i]);
    }
    if (some.fields != expected)
        return "a view of some fields holds " + std::to_string(some.fields.size()) + " fields, not the " +
               std::to_string(expected.size()) + " of the whole view its spans choose";
    if (some.how != whole.how || some.total != whole.total)
        return "a view of some fields ended elsewhere than the whole view";
    return {};
}

}  // namespace

SectionSelection selectionFromBits(uint8_t bits) {
    SectionSelection s;
    for (const auto& kind : kSectionKindInfo) s.*kind.skip = (bits >> kind.flagOrder) & 1;
    return s;
}

std::string checkReport(const uint8_t* data, uint64_t size, const SectionSelection& selection,
                        WalkTally* tally) {
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

    // The JSON form of the same walk: valid, within its own limit, and the text's blocks.
    const std::string json = renderJsonToString(image, selection, "database.nms");
    // Past the last check point one field can follow, holding a name whose bytes may each
    // take six characters.
    const uint64_t jsonBound = reportLimit(size) + 6 * size + 8192;
    if (json.size() > jsonBound)
        return "the JSON form has " + std::to_string(json.size()) + " bytes, more than " +
               std::to_string(jsonBound);
    if (std::string failure = checkJsonAgainstText(json, text, size); !failure.empty()) return failure;
    // The document against itself, and the lines form of the same walk against it.
    const std::string lines = renderJsonToString(image, selection, "database.nms", true);
    WalkTally counted;
    if (std::string failure = checkJsonProperties(json, lines, counted); !failure.empty()) return failure;

    // Explain, on offsets at the start, inside and past the end: its JSON form parses, holds
    // one answer per offset, and its walk stops where the text's did.
    const std::vector<uint64_t> offsets = {0, size / 3, size / 2, size == 0 ? 0 : size - 1, size};
    const Explanation answers = explainImage(image, selection, offsets, true);
    const nlohmann::json parsed = nlohmann::json::parse(answers.text, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_array() || parsed.size() != offsets.size())
        return "the explanation is not a JSON array of one answer per offset";
    if ((answers.end != WalkEnd::Complete) != endsWithErrorLine(text))
        return "the explanation's walk did not stop where the report's did";
    // Each field found is the report's JSON field: its value a number but for a signature or
    // a text, its extent an offset and a size that hold the byte asked (or name the text
    // that does), its target an integer.
    uint64_t explained = 0;
    for (size_t k = 0; k < offsets.size(); ++k) {
        for (const nlohmann::json& hit : parsed[k]["hits"]) {
            const nlohmann::json& field = hit["field"];
            const bool textual = field["role"] == "signature" || field["role"] == "text";
            if (textual != field["value"].is_string() || (!textual && !field["value"].is_number_unsigned()))
                return "an explained field's value is not as the report's JSON gives it: " + field.dump();
            if (field.contains("target") && !field["target"].is_number_unsigned())
                return "an explained field's target is not an integer: " + field.dump();
            const nlohmann::json& extent = hit.contains("text") ? hit["text"] : field;
            const uint64_t byte = (hit.contains("text") ? hit["text"]["byte"] : hit["byte"]).get<uint64_t>();
            if (extent["offset"].get<uint64_t>() + byte != offsets[k] || byte >= extent["size"].get<uint64_t>())
                return "an explained field does not hold the byte asked: " + hit.dump();
            ++explained;
        }
    }

    // What the walk says of its fields: targets and counts.
    const std::vector<WalkEvent> events = recordWalk(image, selection);
    if (events.empty() || events.back().kind != WalkEvent::Kind::End ||
        (events.back().stop.end != WalkEnd::Complete) != endsWithErrorLine(text))
        return "the recorded walk did not stop where the report's did";
    if (std::string failure = checkWalk(events, size, selection, counted); !failure.empty())
        return failure;
    counted.explained = explained;
    if (std::string failure = checkViewChoice(image, selection, events.back().stop.end); !failure.empty())
        return failure;
    // The map, and one of its units walked alone (which one turns with the input's bytes).
    uint64_t pick = size;
    for (uint64_t i = 0; i < size; i += 61) pick = pick * 31 + data[i];
    if (std::string failure = checkMap(image, selection, pick, text, counted); !failure.empty())
        return failure;
    if (tally != nullptr) *tally += counted;
    return {};
}

}  // namespace symdeck::checks

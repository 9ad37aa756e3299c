#include "report/driver.h"

#include <algorithm>
#include <vector>

#include "report/explain_answers.h"
#include "report/printers.h"
#include "report/sections.h"

namespace symdeck {

namespace {

struct Entry {
    uint32_t entryIndex;
    uint32_t offEntry;
};

// Entry i of the directory at `directory`. The directory's render has already proven that
// every entry lies inside the image, so these reads cannot fail.
Entry entryAt(const NmsImage& image, uint64_t directory, uint32_t i) {
    auto entry = recordAt(image, directory + nmdr::kSize + nmde::kSize * i, nmde::kSize);
    if (!entry) return {0, 0};
    return {entry->u32(nmde::kEntryIndex), entry->u32(nmde::kOffEntry)};
}

template <class P>
bool walkSections(Walk<P>& walk) {
    if (!renderNm32Header(walk)) return false;
    // The header's fixed part has been checked, so offNMDR can be read.
    const uint64_t directory = recordAt(walk.image, 0, nm32::kSize)->u32(nm32::kOffNmdr);
    if (!renderDirectory(walk, directory)) return false;
    const uint32_t nNMDE = recordAt(walk.image, directory, nmdr::kSize)->u32(nmdr::kNNmde);

    // The first NMTP entry holds the records that type indices name, and the first STTB
    // entry serves the names of every section, whatever the selection.
    for (uint32_t i = 0; i < nNMDE; ++i) {
        const Entry entry = entryAt(walk.image, directory, i);
        if (entry.entryIndex != kTypeRecordsKind) continue;
        installTypeRecords(walk, entry.offEntry);
        break;
    }
    for (uint32_t i = 0; i < nNMDE; ++i) {
        const Entry entry = entryAt(walk.image, directory, i);
        if (entry.entryIndex != kStringTableKind) continue;
        if (!installStringTable(walk, entry.offEntry)) return false;
        break;
    }

    for (uint32_t i = 0; i < nNMDE; ++i) {
        const Entry entry = entryAt(walk.image, directory, i);
        bool rendered = true;
        const bool known = withSectionKind(entry.entryIndex, [&](const auto& kind) {
            if (!(walk.selection.*kind.info.skip)) rendered = kind.render(walk, entry.offEntry);
        });
        if (!known) walk.print.unknownSection(static_cast<int32_t>(entry.entryIndex));
        if (!rendered) return false;
    }
    return true;
}

template <class P>
WalkEnd renderWith(P& print, const NmsImage& image, const SectionSelection& selection) {
    Walk<P> walk{image, print, reportLimit(image.size), selection};
    print.begin();
    walkSections(walk);
    print.end(walk.stop);
    return walk.stop.end;
}

}  // namespace

WalkEnd renderImage(const NmsImage& image, const SectionSelection& selection, ReportWriter& out,
                    bool forTerminal, FieldProblems* problems) {
    TextPrinter print(out, forTerminal);
    const WalkEnd end = renderWith(print, image, selection);
    if (problems) *problems = print.problems();
    return end;
}

WalkEnd renderImageJson(const NmsImage& image, const SectionSelection& selection,
                        std::string_view databaseName, ReportWriter& out, bool lines,
                        FieldProblems* problems) {
    JsonPrinter print(out, databaseName, image.size, lines);
    const WalkEnd end = renderWith(print, image, selection);
    if (problems) *problems = print.problems();
    return end;
}

namespace {
bool discard(void*, const char*, size_t) { return true; }

// Small blocks: callers of the string forms render many small images (tests, fuzzing).
constexpr size_t kStringBlock = 16 * 1024;
}  // namespace

WalkEnd explainImage(const NmsImage& image, const SectionSelection& selection,
                     std::span<const uint64_t> offsets, bool json, ReportWriter& out, bool forTerminal) {
    std::vector<uint64_t> sorted(offsets.begin(), offsets.end());
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    // The text is only counted, for the size limit: the walk ends where the report would.
    ReportWriter counting(ReportSink{&discard, nullptr}, 64 * 1024);
    TextMeasure text(counting);
    ExplainPrinter print(sorted, image.size);
    Measured<ExplainPrinter> measured(text, print);
    const WalkEnd end = renderWith(measured, image, selection);
    explainOffsets(print, offsets, json, out, forTerminal);
    return end;
}

Explanation explainImage(const NmsImage& image, const SectionSelection& selection,
                         std::span<const uint64_t> offsets, bool json, bool forTerminal) {
    Explanation result;
    ReportWriter out(stringSink(result.text), kStringBlock);
    result.end = explainImage(image, selection, offsets, json, out, forTerminal);
    out.flush();
    return result;
}

bool renderImageView(const NmsImage& image, const SectionSelection& selection, ReportWriter& out,
                     WalkEnd* end, const ViewOptions* options) {
    if (image.size > 0xFFFFFFFFu) return false;
    // The text report is only counted: the walk ends where it would, and each block's lines
    // are a range of it.
    ReportWriter counting(ReportSink{&discard, nullptr}, 64 * 1024);
    const ViewOptions chosen = options ? *options : ViewOptions{};
    TextMeasure text(counting, chosen.countText);
    ViewPrinter print(out, text, image.size, chosen);
    Measured<ViewPrinter> measured(text, print);
    const WalkEnd how = renderWith(measured, image, selection);
    if (end) *end = how;
    return print.ok();
}

std::string renderViewToString(const NmsImage& image, const SectionSelection& selection,
                               const ViewOptions* options) {
    std::string bytes;
    ReportWriter out(stringSink(bytes), kStringBlock);
    renderImageView(image, selection, out, nullptr, options);
    out.flush();
    return bytes;
}

std::vector<WalkEvent> recordWalk(const NmsImage& image, const SectionSelection& selection) {
    ReportWriter counting(ReportSink{&discard, nullptr}, 64 * 1024);
    TextMeasure text(counting);
    EventRecorder record;
    Measured<EventRecorder> measured(text, record);
    renderWith(measured, image, selection);
    return std::move(record.events());
}

std::string renderToString(const NmsImage& image, const SectionSelection& selection) {
    std::string text;
    ReportWriter out(stringSink(text), kStringBlock);
    renderImage(image, selection, out);
    out.flush();
    return text;
}

std::string renderJsonToString(const NmsImage& image, const SectionSelection& selection,
                               std::string_view databaseName, bool lines) {
    std::string text;
    ReportWriter out(stringSink(text), kStringBlock);
    renderImageJson(image, selection, databaseName, out, lines);
    out.flush();
    return text;
}

}  // namespace symdeck

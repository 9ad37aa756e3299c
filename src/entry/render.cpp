#include "entry/render.h"

#include <algorithm>
#include <vector>

#include "format/walk_database.h"
#include "forms/explain_answers.h"
#include "forms/explain_printer.h"
#include "forms/json_printer.h"
#include "forms/recorder.h"
#include "forms/text_printer.h"
#include "forms/view_printer.h"

namespace symdeck {

WalkEnd renderImage(const NmsImage& image, const SectionSelection& selection, ReportWriter& out,
                    bool forTerminal, FieldProblems* problems) {
    TextPrinter print(out, forTerminal);
    const WalkEnd end = walkDatabase(print, image, selection);
    if (problems) *problems = print.problems();
    return end;
}

WalkEnd renderImageJson(const NmsImage& image, const SectionSelection& selection,
                        std::string_view databaseName, ReportWriter& out, bool lines,
                        FieldProblems* problems) {
    JsonPrinter print(out, databaseName, image.size, lines);
    const WalkEnd end = walkDatabase(print, image, selection);
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
    ExplainPrinter print(sorted, image.size, counting);
    const WalkEnd end = walkDatabase(print, image, selection);
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
    ViewPrinter print(out, counting, image.size, options ? *options : ViewOptions{});
    const WalkEnd how = walkDatabase(print, image, selection);
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
    EventRecorder record(counting);
    walkDatabase(record, image, selection);
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

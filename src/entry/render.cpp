#include "entry/render.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <vector>
#ifndef SYMDECK_NO_THREADS
#include <system_error>
#include <thread>
#endif

#include "format/walk_database.h"
#include "forms/database_map.h"
#include "forms/explain_answers.h"
#include "forms/explain_printer.h"
#include "forms/json_printer.h"
#include "forms/recorder.h"
#include "forms/table_printer.h"
#include "forms/text_measure.h"
#include "forms/text_printer.h"
#include "forms/view_printer.h"

namespace symdeck {

WalkEnd renderImage(const NmsImage& image, const SectionSelection& selection, ReportWriter& out,
                    bool forTerminal, FieldProblems* problems, Stop* stop, Damages* damages) {
    TextPrinter print(out, forTerminal);
    const WalkEnd end = walkDatabase(print, image, selection);
    if (problems) *problems = print.problems();
    if (stop) *stop = print.stopped();
    if (damages) *damages = print.damages();
    return end;
}

WalkEnd renderImageJson(const NmsImage& image, const SectionSelection& selection,
                        std::string_view databaseName, ReportWriter& out, bool lines,
                        FieldProblems* problems, Stop* stop, Damages* damages) {
    JsonPrinter print(out, databaseName, image.size, lines);
    const WalkEnd end = walkDatabase(print, image, selection);
    if (problems) *problems = print.problems();
    if (stop) *stop = print.stopped();
    if (damages) *damages = print.damages();
    return end;
}

WalkEnd renderImageTable(const NmsImage& image, const SectionSelection& selection,
                         std::string_view databaseName, ReportWriter& out, bool lines,
                         FieldProblems* problems, Stop* stop) {
    TablePrinter print(out, databaseName, lines ? TableForm::JsonLines : TableForm::Csv);
    const WalkEnd end = walkDatabase(print, image, selection);
    if (problems) *problems = print.problems();
    if (stop) *stop = print.stopped();
    return end;
}

namespace {
bool discard(void*, const char*, size_t) { return true; }

// Small blocks: callers of the string forms render many small images (tests, fuzzing).
constexpr size_t kStringBlock = 16 * 1024;

// A plan of units as the flags a walk reads (a vector<bool> has no span of its own).
std::unique_ptr<bool[]> flags(const std::vector<bool>& chosen) {
    auto out = std::make_unique<bool[]>(chosen.size());
    for (size_t i = 0; i < chosen.size(); ++i) out[i] = chosen[i];
    return out;
}
}  // namespace

WalkEnd explainImage(const NmsImage& image, const SectionSelection& selection,
                     std::span<const uint64_t> offsets, bool json, ReportWriter& out, bool forTerminal,
                     const DatabaseMap* kept) {
    std::vector<uint64_t> sorted(offsets.begin(), offsets.end());
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    // The text is only counted, for the size limit: the walk ends where the report would.
    // The map first; then only the units that may hold the offsets or their nearest fields
    // are walked, the others passed over with their text counted.
    // The text is measured only when the map's bound reaches the size limit.
    DatabaseMap made;
    if (!kept) made = planningMap(image, selection);
    const DatabaseMap& map = kept ? *kept : made;
    std::vector<bool> chosen = unitsToWalk(map, sorted);
    // The header and the directory are walked whatever the offsets: the directory's entries
    // tell which sections the selection leaves out, and where they lie.
    for (size_t i = 0; i < chosen.size() && map.units[i].depth == 0 && i < 2; ++i) chosen[i] = true;
    const std::unique_ptr<bool[]> walked = flags(chosen);
    ReportWriter counting(ReportSink{&discard, nullptr}, 64 * 1024);
    TextMeasure text(counting, map.textMeasured ? Measure::Exact : Measure::Off);
    ExplainPrinter print(sorted, image.size);
    Skipping<ExplainPrinter> skipping(print, map, std::span<const bool>(walked.get(), chosen.size()));
    Measured<Skipping<ExplainPrinter>> measured(text, skipping);
    const WalkEnd end = walkDatabase(measured, image, selection);
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
                     WalkEnd* end, const ViewOptions* options, const DatabaseMap* map) {
    if (image.size > 0xFFFFFFFFu) return false;
    // The text report is only counted: the walk ends where it would, and each block's lines
    // are a range of it.
    ReportWriter counting(ReportSink{&discard, nullptr}, 64 * 1024);
    ViewOptions chosen = options ? *options : ViewOptions{};
    TextMeasure text(counting, chosen.countText ? Measure::Exact : Measure::Off);
    // Some fields, no tree, no search: only the units that hold them are walked, the others
    // passed over with their fields and blocks counted (and their text, when it is counted:
    // the map must then have measured it). The whole walk's vocabulary numbers the words.
    // A walk that does not count the text goes on past the size limit: a map whose walk
    // stopped there knows neither what lies beyond nor the words it brings.
    const bool planned = map && map->hasVocabulary && !map->units.empty() && chosen.chosen && !chosen.skeleton &&
                         chosen.query.empty() &&
                         (chosen.countText ? map->textMeasured : map->stop.end != WalkEnd::Limit);
    if (planned) {
        chosen.vocabulary = &map->vocabulary;
        const std::unique_ptr<bool[]> walked = flags(unitsForFields(*map, chosen.bytes, chosen.fields));
        ViewPrinter print(out, text, image.size, chosen);
        Skipping<ViewPrinter> skipping(print, *map, std::span<const bool>(walked.get(), map->units.size()));
        Measured<Skipping<ViewPrinter>> measured(text, skipping);
        const WalkEnd how = walkDatabase(measured, image, selection);
        if (end) *end = how;
        return print.ok();
    }
    ViewPrinter print(out, text, image.size, chosen);
    Measured<ViewPrinter> measured(text, print);
    const WalkEnd how = walkDatabase(measured, image, selection);
    if (end) *end = how;
    return print.ok();
}

std::string renderViewToString(const NmsImage& image, const SectionSelection& selection,
                               const ViewOptions* options, const DatabaseMap* map) {
    std::string bytes;
    ReportWriter out(stringSink(bytes), kStringBlock);
    renderImageView(image, selection, out, nullptr, options, map);
    out.flush();
    return bytes;
}

DatabaseMap mapDatabase(const NmsImage& image, const SectionSelection& selection, Measure text,
                        Grouping grouping) {
    DatabaseMap map;
    map.grouping = grouping;
    ReportWriter counting(ReportSink{&discard, nullptr}, 64 * 1024);
    TextMeasure measure(counting, text);
    MapPrinter print(map, measure, image.size);
    Measured<MapPrinter> measured(measure, print);
    walkDatabase(measured, image, selection);
    return map;
}

void addViewVocabulary(DatabaseMap& map, const NmsImage& image, const SectionSelection& selection) {
    // A view walk that records no field (and ends where the map's walk ended) meets every
    // word and kind in the whole walk's order.
    if (image.size > 0xFFFFFFFFu) return;
    ReportWriter out(ReportSink{&discard, nullptr}, 64 * 1024);
    ReportWriter counting(ReportSink{&discard, nullptr}, 64 * 1024);
    TextMeasure text(counting, map.textMeasured ? Measure::Exact : Measure::Off);
    const ViewOptions none{.skeleton = false, .countText = map.textMeasured, .chosen = true};
    ViewPrinter print(out, text, image.size, none);
    Measured<ViewPrinter> measured(text, print);
    walkDatabase(measured, image, selection);
    map.vocabulary = print.vocabulary();
    map.hasVocabulary = true;
}

std::optional<DatabaseMap> mapDatabaseShared(const NmsImage& image, const SectionSelection& selection,
                                             Grouping grouping, bool alternate) {
    UnitShares shares;
    shares.alternate = alternate;
    struct Side {
        DatabaseMap map;
        ShareLog log;
    };
    Side sides[2];
    const auto walk = [&](Side& side) {
        side.map.grouping = grouping;
        ReportWriter counting(ReportSink{&discard, nullptr}, 64 * 1024);
        TextMeasure measure(counting, Measure::Bound);
        MapPrinter print(side.map, measure, image.size);
        print.shareWith(shares, side.log, &side == &sides[1]);
        Measured<MapPrinter> measured(measure, print);
        walkDatabase(measured, image, selection);
    };
    if (alternate) {
        walk(sides[0]);
        walk(sides[1]);
    } else {
#ifdef SYMDECK_NO_THREADS
        return std::nullopt;
#else
        try {
            std::thread second([&] { walk(sides[1]); });
            walk(sides[0]);
            second.join();
        } catch (const std::system_error&) {
            return std::nullopt;  // no second thread
        }
#endif
    }
    return joinSharedMaps(sides[0].map, sides[0].log, sides[1].map, sides[1].log, reportLimit(image.size));
}

DatabaseMap planningMap(const NmsImage& image, const SectionSelection& selection, bool vocabulary,
                        Grouping grouping) {
    // Two threads make the map of a large database (one too small gains nothing from a second).
    constexpr uint64_t kShareFrom = uint64_t{16} << 20;
    std::optional<DatabaseMap> shared;
    if (image.size >= kShareFrom) shared = mapDatabaseShared(image, selection, grouping);
    DatabaseMap map = shared ? std::move(*shared) : mapDatabase(image, selection, Measure::Bound, grouping);
    if (!map.withinLimit && !map.capped) map = mapDatabase(image, selection, Measure::Exact, grouping);
    // A map with too many units to keep is no plan: every unit is walked, the text measured.
    if (map.capped) return DatabaseMap{};
    if (vocabulary) addViewVocabulary(map, image, selection);
    return map;
}

WalkEnd renderImageMap(const NmsImage& image, const SectionSelection& selection, ReportWriter& out) {
    const DatabaseMap map = mapDatabase(image, selection, Measure::Exact);
    writeMapLines(map, out);
    return map.stop.end;
}

std::vector<WalkEvent> recordUnits(const NmsImage& image, const SectionSelection& selection,
                                   const DatabaseMap& map, const std::vector<bool>& walked) {
    const std::unique_ptr<bool[]> chosen = flags(walked);
    ReportWriter counting(ReportSink{&discard, nullptr}, 64 * 1024);
    TextMeasure text(counting);
    EventRecorder record;
    Skipping<EventRecorder> skipping(record, map, std::span<const bool>(chosen.get(), walked.size()));
    Measured<Skipping<EventRecorder>> measured(text, skipping);
    walkDatabase(measured, image, selection);
    return std::move(record.events());
}

std::vector<WalkEvent> recordWalk(const NmsImage& image, const SectionSelection& selection, bool marksUnits,
                                  Grouping grouping) {
    ReportWriter counting(ReportSink{&discard, nullptr}, 64 * 1024);
    TextMeasure text(counting);
    EventRecorder record(marksUnits, grouping);
    Measured<EventRecorder> measured(text, record);
    walkDatabase(measured, image, selection);
    return std::move(record.events());
}

namespace {
// What `render(out)` writes, as one string.
template <class Render>
std::string asString(Render&& render) {
    std::string text;
    ReportWriter out(stringSink(text), kStringBlock);
    render(out);
    out.flush();
    return text;
}
}  // namespace

std::string renderToString(const NmsImage& image, const SectionSelection& selection) {
    return asString([&](ReportWriter& out) { renderImage(image, selection, out); });
}

std::string renderJsonToString(const NmsImage& image, const SectionSelection& selection,
                               std::string_view databaseName, bool lines) {
    return asString([&](ReportWriter& out) { renderImageJson(image, selection, databaseName, out, lines); });
}

std::string renderTableToString(const NmsImage& image, const SectionSelection& selection,
                                std::string_view databaseName, bool lines) {
    return asString([&](ReportWriter& out) { renderImageTable(image, selection, databaseName, out, lines); });
}

}  // namespace symdeck

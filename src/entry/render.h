// The dump driver: the report's start, the NM32 header, the NMDR directory, the string
// table's install, then every directory entry's section in directory order, and the end of
// the walk with its reason. The same walk feeds either form of the report.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format/events.h"
#include "format/printer.h"
#include "format/reader.h"
#include "format/selection.h"
#include "forms/writer.h"

namespace symdeck {

// Renders the text report of `image` through `out`, with the size limit for the image's
// size. Returns how the walk ended: anything but Complete means the report ends with an
// error line (it is complete up to and including that line). Does not flush `out`.
// `forTerminal`: the report is shown on a terminal; the texts of the database are then
// written with the bytes a terminal would act on escaped (forms/terminal_text.h).
// `problems`, when given, receives the counts of fields whose values are damaged or have no
// word (--check).
// `stop`, when given, receives how and where the walk ended.
// With `selection.keepGoing` the walk goes on past damage (docs/keep-going.md): the result
// is then the first damage's kind, if there was one, and `damages`, when given, receives
// how many there were.
WalkEnd renderImage(const NmsImage& image, const SectionSelection& selection, ReportWriter& out,
                    bool forTerminal = false, FieldProblems* problems = nullptr, Stop* stop = nullptr,
                    Damages* damages = nullptr);

// The same walk as one JSON document, or as JSON lines when `lines` is set; `databaseName`
// is the name the document gives the database. The document is whole and valid however
// the walk ended.
WalkEnd renderImageJson(const NmsImage& image, const SectionSelection& selection,
                        std::string_view databaseName, ReportWriter& out, bool lines = false,
                        FieldProblems* problems = nullptr, Stop* stop = nullptr,
                        Damages* damages = nullptr);

// Explains where each of `offsets` lies in the database (see forms/explain_printer.h): one
// walk, as the text report would make it, for all of them. Lines of text, or a JSON array
// when `json` is set, written through `out` (not flushed); returns how the walk ended.
// `forTerminal`: the text answers are shown on a terminal; the texts of the database in them
// are then written with the bytes a terminal would act on escaped, line feeds included
// (forms/explain_answers.h).
// `map`, when given, is `planningMap(image, selection)`, kept from an earlier call; without
// it explain makes one.
struct DatabaseMap;
WalkEnd explainImage(const NmsImage& image, const SectionSelection& selection,
                     std::span<const uint64_t> offsets, bool json, ReportWriter& out,
                     bool forTerminal = false, const DatabaseMap* map = nullptr);
// The same answers as one string, and how the walk ended (forms/explain_answers.h).
struct Explanation;
Explanation explainImage(const NmsImage& image, const SectionSelection& selection,
                         std::span<const uint64_t> offsets, bool json, bool forTerminal = false);

// The same walk in the view form (forms/view_printer.h): the frames a viewer keeps, written
// through `out` (not flushed). A database of 4 GiB or more has no view form: nothing is
// written and the result is false; so it is when the printer's memory could not be had
// (the view is then not whole). `end`, when given, receives how the walk ended. `options`
// choose the fields it records (all by default). `map`, when given, is
// `planningMap(image, selection, true)`: a walk for some fields without the tree and without
// a search then walks only the units that hold them, and writes the same bytes.
struct ViewOptions;
bool renderImageView(const NmsImage& image, const SectionSelection& selection, ReportWriter& out,
                     WalkEnd* end = nullptr, const ViewOptions* options = nullptr,
                     const DatabaseMap* map = nullptr);
std::string renderViewToString(const NmsImage& image, const SectionSelection& selection = {},
                               const ViewOptions* options = nullptr, const DatabaseMap* map = nullptr);

// The map of `image`'s units (forms/database_map.h): one walk, which ends where the text
// report ends; `text` says whether the units' text ranges are measured or bounded.
enum class Measure : uint8_t;
// `grouping` cuts long lists and runs into groups, units of their own.
DatabaseMap mapDatabase(const NmsImage& image, const SectionSelection& selection = {},
                        Measure text = Measure{}, Grouping grouping = {});
// The map mapDatabase makes with the text's bound, made by two walks on two threads that
// share out the units inside the sections (forms/database_map.h); empty where the two maps
// cannot be joined (a walk that stops, a bound that reaches the size limit, too many units)
// or without a second thread. `alternate`: the two walks take every other unit, one after
// the other on this thread.
std::optional<DatabaseMap> mapDatabaseShared(const NmsImage& image, const SectionSelection& selection,
                                             Grouping grouping = {}, bool alternate = false);
// The map that later walks plan by: made with the text's bound, and with the text measured
// when the bound reaches the size limit. A database of more units than a map keeps has an
// empty one (no plan: its walks visit every unit). `vocabulary`: with the view form's words
// and kinds (one walk more), for windows of the view form.
DatabaseMap planningMap(const NmsImage& image, const SectionSelection& selection, bool vocabulary = false,
                        Grouping grouping = {});
// Adds to `map` (of `image` with `selection`) the view form's words and kinds as the whole
// walk numbers them.
void addViewVocabulary(DatabaseMap& map, const NmsImage& image, const SectionSelection& selection);
// The map of `image` with its text measured, as JSON lines (forms/database_map.h) through
// `out` (not flushed); returns how the walk ended.
WalkEnd renderImageMap(const NmsImage& image, const SectionSelection& selection, ReportWriter& out);

// Every event of the walk over `image`, in order (tools and tests: forms/recorder.h). The
// walk ends where the text report would.
struct WalkEvent;
// `marksUnits`: a Unit event stands before each unit of the map, and Group and EndGroup
// events around each group that `grouping` cuts.
std::vector<WalkEvent> recordWalk(const NmsImage& image, const SectionSelection& selection = {},
                                  bool marksUnits = false, Grouping grouping = {});
// The same, with the walk passing over every unit of `map` (the map of `image` with
// `selection`) that `walked` does not mark: the events of the marked units and of what lies
// outside every unit.
std::vector<WalkEvent> recordUnits(const NmsImage& image, const SectionSelection& selection,
                                   const DatabaseMap& map, const std::vector<bool>& walked);

// The table form (forms/table_printer.h): CSV, or with `lines` JSON rows.
WalkEnd renderImageTable(const NmsImage& image, const SectionSelection& selection,
                         std::string_view databaseName, ReportWriter& out, bool lines,
                         FieldProblems* problems = nullptr, Stop* stop = nullptr);
std::string renderTableToString(const NmsImage& image, const SectionSelection& selection = {},
                                std::string_view databaseName = "", bool lines = false);

// The whole text report, or the whole JSON document, of `image` as one string (tests, the
// fuzzer, tools).
std::string renderToString(const NmsImage& image, const SectionSelection& selection = {});
std::string renderJsonToString(const NmsImage& image, const SectionSelection& selection = {},
                               std::string_view databaseName = "", bool lines = false);

}  // namespace symdeck

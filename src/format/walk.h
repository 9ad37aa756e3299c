// The state of one walk over a database, and what every renderer shares: the cursor whose
// check points keep the walk inside the image and the report inside its size limit, and
// the field builders that turn a structure's bytes into field events.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "format/description.h"
#include "format/events.h"
#include "format/printer.h"
#include "format/reader.h"
#include "format/selection.h"

namespace symdeck {

// Type indices from this value on name the records of the type records section: index
// kFirstRecordType + i is record number i.
inline constexpr uint32_t kFirstRecordType = 0x1000;

// The installed string table: `count` names whose offsets are the ULONGs at image offset
// `offsets`, each counted from image offset `stringBase`. Empty (count 0) until installed.
struct StringTableView {
    uint32_t count = 0;
    uint64_t offsets = 0;
    uint64_t stringBase = 0;
};

// The type records that type indices name: those of the directory's first type records entry,
// whose header (signature and fixed part) lies in the file. Record i's offset is the ULONG
// at `table` + 4 * i, counted from `records`. Absent until installed.
struct TypeRecordsView {
    bool present = false;
    uint32_t count = 0;
    uint64_t table = 0;
    uint64_t records = 0;
};

// Everything a renderer needs, passed down the walk instead of living in globals.
template <Printer P>
struct Walk {
    NmsImage image;
    P& print;
    // The walk stops with an error once the report has reached this many bytes.
    uint64_t limit;
    // The kinds of section the walk reports.
    SectionSelection selection{};
    StringTableView strings{};
    TypeRecordsView types{};
    // The NM32 header's verMinor; decides the length of the symbol data's procedure records.
    uint32_t formatMinorVersion = 0;
    // Why the walk stopped, once a check point has failed.
    Stop stop{};
    // A walk that goes on past damage (SectionSelection::keepGoing): what it went on past.
    Damages damages{};
    // Where each section the walk opened lies, in the order it opened them.
    std::vector<SectionReach> sections{};
};

// The sections of `sections` at different offsets whose extents intersect: for each section
// that begins inside the extent of one at a lower offset (or at the same offset, reaching
// further), the overlap (WalkEnd::Overlap), told once per section, in order of offset.
std::vector<Stop> sectionOverlaps(std::vector<SectionReach> sections);

// Where the walk may go on past a failed check point: with `keepGoing`, for a printer that
// shows damages, a stop at damage (not the size limit, which ends the walk for good) is
// recorded as a damage, the printer closes what was opened since it stood at `level`, and
// the walk's stop is cleared. True when the walk goes on; false when it ends as it would
// without the flag.
template <Printer P>
bool goOnPast(Walk<P>& walk, uint32_t level) {
    if constexpr (KeepsGoing<P>) {
        const WalkEnd end = walk.stop.end;
        if (!walk.selection.keepGoing || end == WalkEnd::Complete || end == WalkEnd::Limit) return false;
        walk.damages.add(walk.stop);
        walk.print.damage(walk.stop, level);
        walk.stop = Stop{};
        return true;
    } else {
        (void)walk;
        (void)level;
        return false;
    }
}

// The overlaps among the sections the walk opened: damages the walk does not stop for. With
// `keepGoing` each is shown (a printer's damage event, after the sections); without it a
// printer that shows damages counts them unshown (`unlisted`), for --check; other printers
// see nothing of them.
template <Printer P>
void tellOverlaps(Walk<P>& walk) {
    if constexpr (KeepsGoing<P>) {
        if (walk.sections.size() < 2 || walk.stop.end == WalkEnd::Limit) return;
        for (const Stop& overlap : sectionOverlaps(walk.sections)) {
            walk.damages.add(overlap);
            if (walk.selection.keepGoing) walk.print.damage(overlap, walk.print.level());
            else walk.print.unlisted(overlap);
        }
    } else {
        (void)walk;
    }
}

// How deep the printer stands, for goOnPast (0 for a printer that shows no damages).
template <Printer P>
SYMDECK_INLINE uint32_t levelOf(const P& print) {
    if constexpr (KeepsGoing<P>) return print.level();
    else return 0;
}

// The report size limit for an image of `imageSize` bytes: 64 times its size plus 1 MiB.
// Sound databases report in well under 14 times their size; a damaged one can ask for text
// that grows with the square of its size, and this is where such a report is cut.
constexpr uint64_t reportLimit(uint64_t imageSize) { return 64 * imageSize + (uint64_t{1} << 20); }

// A name from the installed string table, and where its text begins in the file
// (kNotInFile for the texts that stand in for a name that cannot be read).
struct NameText {
    std::string_view text;
    uint64_t offset = kNotInFile;
    Problem problem = Problem::None;  // why there is no name
};

// The name with index `iName` in the installed table. Never fails: an index at or beyond
// the count yields "iName is out of range"; a name whose offset or first byte lies outside
// the image yields "iName points past the end of the file"; a name without a NUL before the
// image's end is cut there.
NameText stringAt(const NmsImage& image, const StringTableView& table, uint32_t iName);

// The text for a type index (types/primitive_types.cpp): the name of one of the primitive
// types the report knows, "unknown primitive type(not all are set in symdeck)" for any
// other index below 0x1000, and "one of NM types" for every record index.
std::string_view primitiveTypeName(uint32_t index);
// Whether the index (below 0x1000) is one of those primitive types.
bool isKnownPrimitiveType(uint32_t index);

// Records why the walk stops (out of line: it happens once per walk).
Stop limitStop(std::string_view header, uint64_t limit);
Stop boundsStop(std::string_view header, uint64_t offset, uint64_t fileSize);

template <Printer P>
struct Fields;

// Where type index `index` leads: the offset of its type record when the record exists
// (its element of the offset table and its first four bytes lie in the file), else why not.
inline Target typeTarget(const NmsImage& image, const TypeRecordsView& types, uint32_t index) {
    if (index < kFirstRecordType) return Target{Leads::Nothing, false, Unresolved::Primitive, 0};
    if (!types.present) return Target{Leads::Nothing, false, Unresolved::NoTypeSection, 0};
    const uint32_t i = index - kFirstRecordType;
    if (i >= types.count) return Target{Leads::Nothing, false, Unresolved::BeyondTypeCount, 0};
    const auto offset = readU32(image, types.table + uint64_t{4} * i);
    if (!offset) return Target{Leads::Nothing, false, Unresolved::OffsetNotInFile, 0};
    const uint64_t at = types.records + *offset;
    if (!fits(image, at, 4)) return Target{Leads::Nothing, false, Unresolved::RecordNotInFile, 0};
    return Target{Leads::Record, true, Unresolved::None, at};
}

// The walk's position in one part of the file: every check point it makes names `header`
// (the header of that part) when it fails. A check point comes before anything of a
// structure (or list element) is reported: first the report's size against the limit, then
// the structure's bytes against the image. On failure the walk's stop is recorded and
// nothing is returned; the renderers then return false up to the walk of the database
// (format/walk_database.h).
template <Printer P>
struct Cursor {
    Walk<P>& walk;
    std::string_view header;

    SYMDECK_INLINE std::optional<Record> at(uint64_t offset, uint64_t width) {
        if (walk.print.length() < walk.limit && fits(walk.image, offset, width))
            return Record{walk.image.data + offset, offset, width};
        walk.stop = walk.print.length() < walk.limit
                        ? boundsStop(header, offset, walk.image.size)
                        : limitStop(header, walk.limit);
        return std::nullopt;
    }

    // Element i of an array of `stride`-byte elements from `base` on.
    SYMDECK_INLINE std::optional<Record> element(uint64_t base, uint64_t stride, uint32_t i) {
        return at(base + stride * i, stride);
    }

    // Runs `visit(record, i)` for each of `count` elements from `base` on, every one checked
    // first. False when a check point failed or `visit` returned false.
    template <class Visit>
    SYMDECK_INLINE bool each(uint64_t base, uint64_t stride, uint32_t count, Visit&& visit) {
        for (uint32_t i = 0; i < count; ++i) {
            auto record = element(base, stride, i);
            if (!record || !visit(*record, i)) return false;
        }
        return true;
    }

    // `each` over a list's elements or a run's blocks: for a printer that passes over groups
    // (format/printer.h), a long sequence is cut into groups, and each group is walked or
    // passed over whole; `subject` names the sequence in a group's title.
    template <class Visit>
    SYMDECK_INLINE bool sequence(const Subject& subject, uint64_t base, uint64_t stride, uint32_t count,
                                 Visit&& visit) {
        const uint32_t size = groupSize(walk.print, count);
        if (size == 0) return each(base, stride, count, visit);
        if constexpr (requires { walk.print.skipGroup(Group{}); }) {
            for (uint64_t first = 0; first < count; first += size) {
                const auto end = static_cast<uint32_t>(std::min<uint64_t>(first + size, count));
                const auto from = static_cast<uint32_t>(first);
                const Title title{subject.word, base + stride * first, stride * (end - first),
                                  Mark::None, 0, from, count};
                if (walk.print.skipGroup(Group{title, end})) continue;
                for (uint32_t i = from; i < end; ++i) {
                    auto record = element(base, stride, i);
                    if (!record || !visit(*record, i)) return false;
                }
                walk.print.endGroup();
            }
        }
        return true;
    }

    // Reports `run`: its `run.count` blocks titled with the word of its subject, one per
    // `run.stride`-byte element from `run.offset` on, each checked first. `visit(fields, i)` reports block i's fields (and what nests in it) and
    // returns false when the walk has stopped inside it, which leaves the block and the run
    // open. False when a check point failed.
    template <class Visit>
    SYMDECK_INLINE bool blocks(const Run& run, Visit&& visit) {
        walk.print.openRun(run);
        const auto visitBlock = [&](const Record& r, uint32_t i) {
            if (run.units && skipsUnit(walk.print)) return true;
            const uint32_t level = levelOf(walk.print);
            walk.print.open(Title{run.subject.word, r.offset, run.stride, Mark::None, 0, i, run.count});
            Fields<P> f{walk, r};
            // Each block stands at its own place in the run: past a damaged one, the next.
            if (!visit(f, i)) return goOnPast(walk, level);
            walk.print.close();
            return true;
        };
        // A run of units is not cut into groups: its blocks are units already.
        bool complete = false;
        if constexpr (SkipsUnits<P>)
            complete = run.units ? each(run.offset, run.stride, run.count, visitBlock)
                                 : sequence(run.subject, run.offset, run.stride, run.count, visitBlock);
        else
            complete = each(run.offset, run.stride, run.count, visitBlock);
        if (complete) walk.print.closeRun(run);
        return complete;
    }

    // Reports `list`: its `list.count` elements of `list.stride` bytes from `list.offset`
    // on, each checked first, with `visit(record, i)` reporting each element's fields. False
    // when a check point failed (the list is then left open).
    template <class Visit>
    SYMDECK_INLINE bool list(const List& list, Visit&& visit) {
        // A copy goes out of line, so that `list` itself never escapes: its subject stays a
        // constant that every element's event folds.
        walk.print.openList(List{list});
        const bool complete = sequence(list.subject, list.offset, list.stride, list.count, [&](const Record& r, uint32_t i) {
            walk.print.element(list, i, r.offset);
            visit(r, i);
            walk.print.endElement();
            return true;
        });
        if (complete) walk.print.closeList(list);
        return complete;
    }

    // A structure that begins with a four-letter signature: the limit, then its first four
    // bytes, then the signature, then its whole fixed part.
    std::optional<Record> signedAt(uint64_t offset, std::string_view signature, uint64_t width) {
        auto head = at(offset, signature.size());
        if (!head) return std::nullopt;
        if (!head->startsWith(signature)) {
            walk.stop = Stop{WalkEnd::Signature, header, offset, 0};
            return std::nullopt;
        }
        auto record = recordAt(walk.image, offset, width);
        if (!record) walk.stop = boundsStop(header, offset, walk.image.size);
        return record;
    }
};

// Field events from the bytes of one structure: each builder reads the field at `at`
// (relative to the structure), gives it its role (and its target, count or name), and
// hands its event to the printer. A set `last` says that it is the last of the block's own
// fields (Field::last).
template <Printer P>
struct Fields {
    Walk<P>& walk;
    const Record& record;
    // The printer itself, one load nearer than through the walk on every field.
    P& print = walk.print;

    SYMDECK_INLINE static Field ulong(const Record& r, uint64_t at, std::string_view name, Role role) {
        return Field{name, "ULONG", r.offset + at, 4, r.u32(at), role};
    }
    // `f` read as a signed number (`Field::isSigned`).
    SYMDECK_INLINE static Field asSigned(Field f) {
        f.isSigned = true;
        return f;
    }
    // A target `base` + `value` bytes into the file.
    SYMDECK_INLINE Target follow(Leads leads, uint64_t base, uint32_t value) const {
        const uint64_t at = base + value;
        return Target{leads, at < walk.image.size, Unresolved::None, at};
    }
    SYMDECK_INLINE uint32_t u32(uint64_t at) const { return record.u32(at); }

    SYMDECK_INLINE void emit(const Field& field) { print.field(field); }

    // An offset the walk does not follow, at `at` in the structure (a list's element).
    SYMDECK_INLINE void offset(uint64_t at, std::string_view name) {
        emit(ulong(record, at, name, Role::Offset));
    }
    // The field `d` of the structure: its name, storage word, place, size and role as its
    // description states them, its value read as wide as the field is.
    SYMDECK_INLINE static Field field(const Record& r, const FieldDescription& d, bool last = false) {
        return Field{d.name,
                     d.storage,
                     r.offset + d.offset,
                     static_cast<uint32_t>(d.size),
                     d.size == 2 ? r.u16(d.offset) : r.u32(d.offset),
                     d.role,
                     Meaning::None,
                     d.id,
                     last};
    }
    // Builders for a described field, whose role its description gives: a number read
    // without sign, an offset the walk follows to `base` + its value, a count of `counts`,
    // a size in bytes.
    SYMDECK_INLINE void hex(const FieldDescription& d, bool last = false) {
        emit(field(record, d, last));
    }
    SYMDECK_INLINE void offsetTo(const FieldDescription& d, Leads leads, uint64_t base,
                                 bool last = false) {
        Field f = field(record, d, last);
        f.target = follow(leads, base, f.value);
        emit(f);
    }
    SYMDECK_INLINE void count(const FieldDescription& d, std::string_view counts,
                              Counting counting = Counting::Run, bool last = false) {
        Field f = asSigned(field(record, d, last));
        f.counts = counts;
        f.counting = counting;
        emit(f);
    }
    SYMDECK_INLINE void size(const FieldDescription& d, bool last = false) {
        emit(asSigned(field(record, d, last)));
    }
    // A structure's unnamed words N1, N2, ... (unnamedWords), read signed or not; the last
    // is the block's last field when `last` is set.
    void unnamed(std::span<const FieldDescription> words, bool isSigned, bool last) {
        for (size_t i = 0; i < words.size(); ++i) {
            Field f = field(record, words[i], last && i + 1 == words.size());
            f.isSigned = isSigned;
            emit(f);
        }
    }
    // The fields of `run` in structure `S`, each read as its role says wherever the
    // structure says nothing else: a number without sign, a type index with its type's
    // name, a name index with its name, a size in bytes; the last is the block's last field
    // when `last` is set. Unrolled at compile time: every field's role is a constant.
    template <const auto& S, FieldRun run>
    SYMDECK_INLINE void byRole(bool last = false) {
        [&]<size_t... I>(std::index_sequence<I...>) {
            (byRole(S.fields[run.first + I], last && I + 1 == run.count), ...);
        }(std::make_index_sequence<run.count>{});
    }
    SYMDECK_INLINE void byRole(const FieldDescription& d, bool last) {
        switch (d.role) {
            case Role::TypeIndex: type(d, last); break;
            case Role::NameIndex: name(d, last); break;
            case Role::Size: size(d, last); break;
            default: hex(d, last); break;
        }
    }
    // The signature that opens a described structure, as name and value.
    SYMDECK_INLINE void signature(const FieldDescription& d) {
        Field f = field(record, d);
        f.text = d.name;
        f.textOffset = record.offset;
        emit(f);
    }
    // A type index with its type's name, and the record it names; a name index with its
    // name, and where its name lies.
    SYMDECK_INLINE void type(const FieldDescription& d, bool last = false) {
        Field f = field(record, d, last);
        typed(f);
    }
    SYMDECK_INLINE void name(const FieldDescription& d, bool last = false) {
        Field f = field(record, d, last);
        named(f);
    }
    // A type index without its type's name, and the record it names.
    SYMDECK_INLINE void typeNumber(const FieldDescription& d, bool last = false) {
        Field f = field(record, d, last);
        if constexpr (showsTargets<P>()) f.target = typeTarget(walk.image, walk.types, f.value);
        emit(f);
    }
    // The signature at the structure's start, as name and value.
    SYMDECK_INLINE void signature(std::string_view text) {
        Field f = ulong(record, 0, text, Role::Signature);
        f.text = text;
        f.textOffset = record.offset;
        emit(f);
    }
    SYMDECK_INLINE void typed(Field& f) {
        f.meaning = Meaning::Word;
        f.text = primitiveTypeName(f.value);
        if constexpr (showsTargets<P>()) f.target = typeTarget(walk.image, walk.types, f.value);
        if (f.value < kFirstRecordType && !isKnownPrimitiveType(f.value))
            f.problem = Problem::UnknownPrimitiveType;
        emit(f);
    }
    SYMDECK_INLINE void named(Field& f) {
        const NameText text = stringAt(walk.image, walk.strings, f.value);
        f.isSigned = true;
        f.meaning = Meaning::Word;
        f.text = text.text;
        f.textOffset = text.offset;
        f.problem = text.problem;
        emit(f);
    }
};

// One {value, name} pair of an enumeration the report spells out.
struct EnumName {
    uint32_t value;
    std::string_view name;
};

// The entry of `table` for `value`, or nullptr. Tables that number their entries from 0
// are read directly.
template <size_t N>
constexpr const EnumName* findName(const EnumName (&table)[N], uint32_t value) {
    if (value < N && table[value].value == value) return &table[value];
    for (const EnumName& e : table)
        if (e.value == value) return &e;
    return nullptr;
}

}  // namespace symdeck

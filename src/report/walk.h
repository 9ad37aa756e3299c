// The state of one walk over a database, and what every renderer shares: the cursor whose
// check points keep the walk inside the image and the report inside its size limit, and
// the field builders that turn a structure's bytes into field events.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "report/events.h"
#include "report/reader.h"

namespace symdeck {

// The installed string table: `count` names whose offsets are the ULONGs at image offset
// `offsets`, each counted from image offset `stringBase`. Empty (count 0) until installed.
struct StringTableView {
    uint32_t count = 0;
    uint64_t offsets = 0;
    uint64_t stringBase = 0;
};

// Everything a renderer needs, passed down the walk instead of living in globals.
template <class Printer>
struct Walk {
    NmsImage image;
    Printer& print;
    // The walk stops with an error once the report has reached this many bytes.
    uint64_t limit;
    StringTableView strings{};
    // The NM32 header's verMinor; decides the length of SYMD procedure records.
    uint32_t formatMinorVersion = 0;
    // Why the walk stopped, once a check point has failed.
    Stop stop{};
};

// The report size limit for an image of `imageSize` bytes: 64 times its size plus 1 MiB.
// Sound databases report in well under 14 times their size; a damaged one can ask for text
// that grows with the square of its size, and this is where such a report is cut.
constexpr uint64_t reportLimit(uint64_t imageSize) { return 64 * imageSize + (uint64_t{1} << 20); }

// A name from the installed string table, and where its text begins in the file
// (kNotInFile for the texts that stand in for a name that cannot be read).
struct NameText {
    std::string_view text;
    uint64_t offset = kNotInFile;
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

// Records why the walk stops (out of line: it happens once per walk).
Stop limitStop(std::string_view header, uint64_t limit);
Stop boundsStop(std::string_view header, uint64_t offset, uint64_t fileSize);

// The walk's position in one part of the file: every check point it makes names `header`
// (the header of that part) when it fails. A check point comes before anything of a
// structure (or list element) is reported: first the report's size against the limit, then
// the structure's bytes against the image. On failure the walk's stop is recorded and
// nothing is returned; the renderers then return false up to the driver.
template <class Printer>
struct Cursor {
    Walk<Printer>& walk;
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
    std::optional<Record> element(uint64_t base, uint64_t stride, uint32_t i) {
        return at(base + stride * i, stride);
    }

    // Runs `visit(record, i)` for each of `count` elements from `base` on, every one checked
    // first. False when a check point failed or `visit` returned false.
    template <class Visit>
    bool each(uint64_t base, uint64_t stride, uint32_t count, Visit&& visit) {
        for (uint32_t i = 0; i < count; ++i) {
            auto record = element(base, stride, i);
            if (!record || !visit(*record, i)) return false;
        }
        return true;
    }

    // Reports `list`: its `list.count` elements of `stride` bytes from `list.offset` on, each
    // checked first, with `visit(record, i)` reporting each element's fields. False when a
    // check point failed (the list is then left open).
    template <class Visit>
    bool list(const List& list, uint64_t stride, Visit&& visit) {
        walk.print.openList(list);
        const bool complete = each(list.offset, stride, list.count, [&](const Record& r, uint32_t i) {
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
// (relative to the structure), and hands its event to the printer. A set `blank` closes
// the field's group in the text form with a blank line.
template <class Printer>
struct Fields {
    Walk<Printer>& walk;
    const Record& record;

    SYMDECK_INLINE static Field ulong(const Record& r, uint64_t at, std::string_view name, Shape shape,
                       bool blank) {
        return Field{name, "ULONG", r.offset + at, 4, r.u32(at), shape, blank};
    }
    SYMDECK_INLINE static Field ushort(const Record& r, uint64_t at, std::string_view name, Shape shape,
                        bool blank) {
        return Field{name, "USHORT", r.offset + at, 2, r.u16(at), shape, blank};
    }

    SYMDECK_INLINE void emit(const Field& field) { walk.print.field(field); }

    SYMDECK_INLINE void hex(uint64_t at, std::string_view name, bool blank = false) {
        emit(ulong(record, at, name, Shape::Hex, blank));
    }
    SYMDECK_INLINE void dec(uint64_t at, std::string_view name, bool blank = false) {
        emit(ulong(record, at, name, Shape::Dec, blank));
    }
    SYMDECK_INLINE void bytes(uint64_t at, std::string_view name, bool blank = false) {
        emit(ulong(record, at, name, Shape::Bytes, blank));
    }
    SYMDECK_INLINE void hex16(uint64_t at, std::string_view name, bool blank = false) {
        emit(ushort(record, at, name, Shape::Hex, blank));
    }
    SYMDECK_INLINE void dec16(uint64_t at, std::string_view name, bool blank = false) {
        emit(ushort(record, at, name, Shape::Dec, blank));
    }
    // N1, N2, ... from field offset `at` on, `count` ULONGs; the last closes the group when
    // `blank` is set.
    void unnamed(uint64_t at, int count, bool decimal, bool blank) {
        static constexpr std::string_view kNames[] = {"N1", "N2", "N3", "N4", "N5",
                                                      "N6", "N7", "N8", "N9", "N10"};
        for (int i = 0; i < count; ++i)
            emit(ulong(record, at + 4 * uint64_t(i), kNames[i], decimal ? Shape::Dec : Shape::Hex,
                       blank && i == count - 1));
    }
    // The signature at the structure's start, as name and value.
    SYMDECK_INLINE void signature(std::string_view text) {
        Field f = ulong(record, 0, text, Shape::Signature, false);
        f.text = text;
        f.textOffset = record.offset;
        emit(f);
    }
    // A type index: 0x%X(type name).
    SYMDECK_INLINE void type(uint64_t at, std::string_view name, bool blank = false) {
        Field f = ulong(record, at, name, Shape::HexNamed, blank);
        f.text = primitiveTypeName(f.value);
        emit(f);
    }
    // A name index: %d("name").
    SYMDECK_INLINE void name(uint64_t at, bool blank = false) {
        Field f = ulong(record, at, "iName", Shape::NameRef, blank);
        const NameText text = stringAt(walk.image, walk.strings, f.value);
        f.text = text.text;
        f.textOffset = text.offset;
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

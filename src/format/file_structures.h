// The structures that hold a database together: the file header, the section directory,
// the string table with the name lookup, and the three sections whose dump is their fixed
// header alone. Their fields are described in the *.structures file beside each decoder.
//
// Each render function checks its structure (size limit, bounds, signature), reports its
// block and returns true, or records why the walk stops and returns false.
#pragma once

#include <cstdint>

#include "format/directory_description.h"
#include "format/header_only_sections_description.h"
#include "format/nm32_header_description.h"
#include "format/string_table_description.h"
#include "format/walk.h"

namespace symdeck {

// Checks the header of the section at `offset` (signature, then its `size`-byte fixed
// part), opens its block, titled with the cursor's header name and marked `mark`
// (Mark::SectionEnd: the title numbers where the section ends; or Mark::None), and reports
// the signature and sectionLength. Nothing when the walk stops there.
template <class P>
std::optional<Record> openSection(Cursor<P>& cursor, uint64_t offset, std::string_view signature,
                                  uint64_t size, Mark mark) {
    auto header = cursor.signedAt(offset, signature, size);
    if (!header) return header;
    // The end is the 32-bit sum the text prints.
    const uint32_t end = static_cast<uint32_t>(offset + header->u32(kSectionLength.offset));
    cursor.walk.sections.push_back(
        SectionReach{cursor.header, offset, mark == Mark::SectionEnd ? uint64_t{end} : offset + size});
    cursor.walk.print.open(Title{cursor.header, offset, size,
                                 mark, mark == Mark::SectionEnd ? end : 0});
    Fields<P> f{cursor.walk, *header};
    f.signature(signature);
    f.size(kSectionLength);
    return header;
}

// A whole section at `offset`: its header checked and opened as openSection does, then
// `body(cursor, fields)` reports the header's other fields and whatever the section holds,
// and returns false when the walk stopped inside it. A section walked to its end closes
// with the separator.
template <class P, class Body>
SYMDECK_INLINE bool renderSection(Walk<P>& walk, uint64_t offset, std::string_view header,
                                  std::string_view signature, uint64_t size, Mark mark,
                                  Body&& body) {
    Cursor<P> cursor{walk, header};
    auto record = openSection(cursor, offset, signature, size, mark);
    if (!record) return false;
    Fields<P> f{walk, *record};
    if (!body(cursor, f)) return false;
    walk.print.close();
    return true;
}

// renderSection for a section whose header is described: its word, signature and size
// from the description.
template <class P, size_t N, class Body>
SYMDECK_INLINE bool renderSection(Walk<P>& walk, uint64_t offset,
                                  const StructureDescription<N>& header, Mark mark,
                                  Body&& body) {
    return renderSection(walk, offset, header.word, header.signature, header.size, mark,
                         static_cast<Body&&>(body));
}

// A section whose header counts and places a run of entries (the type tables, the hash
// table): the header checked and opened as renderSection does, `reportHeader(cursor, fields)`
// reports its other fields and whatever comes before the entries (false when the walk
// stopped there), then the run of `entry` blocks, as many as the header's field `count`
// says, back to back from the image offset in its field `at`, with `reportEntry(fields)`
// reporting each block's fields.
template <class P, size_t H, size_t E, class Header, class Entry>
SYMDECK_INLINE bool renderSectionEntries(Walk<P>& walk, uint64_t offset,
                                         const StructureDescription<H>& header,
                                         const StructureDescription<E>& entry,
                                         const FieldDescription& count, const FieldDescription& at,
                                         Header&& reportHeader, Entry&& reportEntry) {
    return renderSection(walk, offset, header, Mark::None,
                         [&](Cursor<P>& cursor, Fields<P>& f) {
                             if (!reportHeader(cursor, f)) return false;
                             const Run run{blocksTitled(entry.word), f.u32(at.offset),
                                           f.u32(count.offset), static_cast<uint32_t>(entry.size),
                                           offset + count.offset};
                             return cursor.blocks(run, [&](Fields<P>& e, uint32_t) {
                                 reportEntry(e);
                                 return true;
                             });
                         });
}

// The string table's list of names, and what its nNames counts.
inline constexpr Subject kStringList{"strings", "Strings"};

// The NM32 header at image offset 0.
template <class P> bool renderNm32Header(Walk<P>& walk);

// The NMDR directory at `offset` with all its NMDE entries.
template <class P> bool renderDirectory(Walk<P>& walk, uint64_t offset);

// Makes the string table section at `sectionOffset` the table that stringAt() reads. Checks the
// section's signature and header first; false ends the walk.
template <class P> bool installStringTable(Walk<P>& walk, uint64_t sectionOffset);

// The string table, and the sections reported by their header alone.
template <class P> bool renderStringTable(Walk<P>& walk, uint64_t sectionOffset);
template <class P> bool renderGtyp(Walk<P>& walk, uint64_t sectionOffset);
template <class P> bool renderSrcp(Walk<P>& walk, uint64_t sectionOffset);
template <class P> bool renderFpod(Walk<P>& walk, uint64_t sectionOffset);

}  // namespace symdeck

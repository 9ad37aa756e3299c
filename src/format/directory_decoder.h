// The section directory: its header and then nNMDE entries, each naming one section by its
// kind and offset (directory.structures).
#pragma once

#include "format/section_kinds.h"

namespace symdeck {

// The run of the entries.
inline constexpr Subject kDirectoryEntries = blocksTitled(nmdr::kEntry.word);

template <class P>
bool renderDirectory(Walk<P>& walk, uint64_t offset) {
    using nmdr::kHeader, nmdr::kEntry;
    Cursor<P> cursor{walk, kHeader.word};
    auto header = cursor.signedAt(offset, kHeader.signature, kHeader.size);
    if (!header) return false;
    P& print = walk.print;

    print.open(Title{kHeader.word, offset, kHeader.size});
    Fields<P> f{walk, *header};
    f.signature(fieldOf(kHeader, "NMDR"));
    const uint32_t nNMDE = header->u32(fieldOf(kHeader, "nNMDE").offset);
    f.count(fieldOf(kHeader, "nNMDE"), kDirectoryEntries.key);
    // Printed, not followed: sections are found through the entries alone.
    f.hex(fieldOf(kHeader, "offGTYP"));
    f.hex(fieldOf(kHeader, "offSTTB"));
    f.hex(fieldOf(kHeader, "offSYMD"));
    f.hex(fieldOf(kHeader, "offSRCP"));
    f.hex(fieldOf(kHeader, "offFPOD"));
    f.unnamed(unnamedWords(kHeader), true, true);

    const Run entries{kDirectoryEntries, offset + kHeader.size, nNMDE, kEntry.size,
                      offset + fieldOf(kHeader, "nNMDE").offset};
    print.openRun(entries);
    for (uint32_t i = 0; i < nNMDE; ++i) {
        const uint64_t at = offset + kHeader.size + kEntry.size * i;
        const uint32_t level = levelOf(print);
        auto entry = cursor.signedAt(at, kEntry.signature, kEntry.size);
        if (!entry) {
            // The entries stand a fixed stride apart: past one whose signature is wrong, the next.
            // One that runs past the end of the file has every later one past it too.
            const bool pastEnd = walk.stop.end == WalkEnd::Bounds;
            if (!goOnPast(walk, level)) return false;
            if (pastEnd) break;
            continue;
        }
        print.open(Title{kEntry.word, at, kEntry.size, Mark::EntryIndex, i, i, nNMDE});
        Fields<P> e{walk, *entry};
        e.signature(fieldOf(kEntry, "NMDE"));
        Field kind = e.asSigned(e.field(*entry, fieldOf(kEntry, "entryIndex")));
        const SectionKindInfo* known = sectionKind(kind.value);
        if (known != nullptr) {
            kind.meaning = Meaning::Word;
            kind.text = known->name;
        } else {
            markUnknown(kind, Meaning::ErrorDec, Problem::UnknownSectionKind);
        }
        e.emit(kind);
        // The section of a known kind lies offEntry bytes into the file; an unknown kind's
        // entry is not followed.
        Field section = e.field(*entry, fieldOf(kEntry, "offEntry"));
        if (known != nullptr)
            section.target = e.follow(
                walk.selection.*known->skip ? Leads::LeftOut : Leads::Block, 0, section.value);
        e.emit(section);
        e.size(fieldOf(kEntry, "entryLength"));
        e.unnamed(unnamedWords(kEntry), false, true);
        print.close();
    }
    print.closeRun(entries);
    print.close();
    return true;
}

}  // namespace symdeck

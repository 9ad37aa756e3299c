// NMDR: the section directory, its header and then nNMDE entries (NMDE_S), each naming one
// section by its kind and offset.
#pragma once

#include "format/section_kinds.h"

namespace symdeck {

template <class P>
bool renderDirectory(Walk<P>& walk, uint64_t offset) {
    Cursor<P> cursor{walk, "NMDR_HEADER"};
    auto header = cursor.signedAt(offset, "NMDR", nmdr::kSize);
    if (!header) return false;
    P& print = walk.print;

    print.open(Title{"NMDR_HEADER", offset, nmdr::kSize,
                     TitleLayout{0, TitleSpelling::Record, Closing::BlankSeparator}});
    Fields<P> f{walk, *header};
    f.signature("NMDR");
    const uint32_t nNMDE = header->u32(nmdr::kNNmde);
    f.count(nmdr::kNNmde, "nNMDE", "NMDE_S");
    // Printed, not followed: sections are found through the entries alone.
    f.offset(nmdr::kOffGtyp, "offGTYP");
    f.offset(nmdr::kOffSttb, "offSTTB");
    f.offset(nmdr::kOffSymd, "offSYMD");
    f.offset(nmdr::kOffSrcp, "offSRCP");
    f.offset(nmdr::kOffFpod, "offFPOD");
    f.unnamed(nmdr::kN1, 7, true, true);

    const Run entries{"NMDE_S", offset + nmdr::kSize, nNMDE, nmde::kSize, offset + nmdr::kNNmde};
    print.openRun(entries);
    for (uint32_t i = 0; i < nNMDE; ++i) {
        const uint64_t at = offset + nmdr::kSize + nmde::kSize * i;
        auto entry = cursor.signedAt(at, "NMDE", nmde::kSize);
        if (!entry) return false;
        print.open(Title{"NMDE_S", at, nmde::kSize, TitleLayout{2, TitleSpelling::Entry},
                         Mark::EntryIndex, i, i, nNMDE});
        Fields<P> e{walk, *entry};
        e.signature("NMDE");
        Field kind = e.ulong(*entry, nmde::kEntryIndex, "entryIndex", Role::Enum, Spelling::DecNamed);
        const SectionKindInfo* known = sectionKind(kind.value);
        if (known != nullptr) {
            kind.meaning = Meaning::Word;
            kind.text = known->name;
        } else {
            kind.layout.spelling = Spelling::Message;
            kind.meaning = Meaning::ErrorDec;
            kind.tail = "(unknown)";
            kind.problem = Problem::UnknownSectionKind;
        }
        e.emit(kind);
        // The section of a known kind lies offEntry bytes into the file; an unknown kind's
        // entry is not followed.
        Field section = e.ulong(*entry, nmde::kOffEntry, "offEntry", Role::Offset, Spelling::Hex);
        if (known != nullptr)
            section.target = e.follow(walk.selection.*known->skip ? Leads::LeftOut : Leads::Block, 0,
                                      section.value);
        e.emit(section);
        e.size(nmde::kEntryLength, "entryLength");
        e.unnamed(nmde::kN1, 5, false, false);
        print.close();
    }
    print.closeRun(entries);
    print.close();
    return true;
}

}  // namespace symdeck

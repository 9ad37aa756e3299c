#include "app/sections.h"
#include "report/printers.h"

namespace symdeck {

template <class P>
bool renderDirectory(Walk<P>& walk, uint64_t offset) {
    Cursor<P> cursor{walk, "NMDR_HEADER"};
    auto header = cursor.signedAt(offset, "NMDR", nmdr::kSize);
    if (!header) return false;
    P& print = walk.print;

    print.open(Title{"NMDR_HEADER", offset, 0, TitleForm::Record});
    Fields<P> f{walk, *header};
    f.signature("NMDR");
    const uint32_t nNMDE = header->u32(nmdr::kNNmde);
    f.dec(nmdr::kNNmde, "nNMDE");
    f.hex(nmdr::kOffGtyp, "offGTYP");
    f.hex(nmdr::kOffSttb, "offSTTB");
    f.hex(nmdr::kOffSymd, "offSYMD");
    f.hex(nmdr::kOffSrcp, "offSRCP");
    f.hex(nmdr::kOffFpod, "offFPOD");
    f.unnamed(nmdr::kN1, 7, true, true);

    for (uint32_t i = 0; i < nNMDE; ++i) {
        const uint64_t at = offset + nmdr::kSize + nmde::kSize * i;
        auto entry = cursor.signedAt(at, "NMDE", nmde::kSize);
        if (!entry) return false;
        print.open(Title{"NMDE_S", at, 2, TitleForm::Entry, i, i, nNMDE});
        Fields<P> e{walk, *entry};
        e.signature("NMDE");
        Field kind = e.ulong(*entry, nmde::kEntryIndex, "entryIndex", Shape::DecNamed, false);
        if (const SectionKind<P>* known = sectionKind<P>(kind.value)) {
            kind.text = known->name;
        } else {
            kind.shape = Shape::ErrorDec;
            kind.tail = "(unknown)";
        }
        e.emit(kind);
        e.hex(nmde::kOffEntry, "offEntry");
        e.bytes(nmde::kEntryLength, "entryLength");
        e.unnamed(nmde::kN1, 5, false, false);
        print.close(Close::Quiet);
    }
    print.close(Close::BlankSeparator);
    return true;
}

SYMDECK_INSTANTIATE(renderDirectory, uint64_t);

}  // namespace symdeck

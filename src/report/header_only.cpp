// GTYP, SRCP and FPOD are reported by their fixed header alone; the bytes behind the header
// are never read.
#include "report/containers.h"
#include "report/printers.h"

namespace symdeck {

namespace {

// Checks the header of the section `name` and reports its title, signature and
// sectionLength, then `report(fields)` for the fields up to `unnamedAt`, then `unnamed`
// N fields from there, the last closing the block.
template <class P, class Report>
bool renderHeaderOnly(Walk<P>& walk, uint64_t offset, std::string_view name,
                      std::string_view header, uint64_t size, uint64_t unnamedAt, int unnamed,
                      Report&& report) {
    Cursor<P> cursor{walk, header};
    auto record = openSection(cursor, offset, name, size, TitleForm::Section);
    if (!record) return false;
    Fields<P> f{walk, *record};
    report(f);
    f.unnamed(unnamedAt, unnamed, false, true);
    walk.print.close(Close::Separator);
    return true;
}

}  // namespace

template <class P>
bool renderGtyp(Walk<P>& walk, uint64_t sectionOffset) {
    return renderHeaderOnly(walk, sectionOffset, "GTYP", "GTYP_HEADER", gtyp::kSize, gtyp::kN1, 2,
                            [](Fields<P>& f) {
                                f.hex(gtyp::kOffNmtp, "offNMTP");
                                f.hex(gtyp::kOffSttb, "offSTTB");
                                f.hex(gtyp::kOffTytb, "offTYTB");
                                f.hex(gtyp::kOffHsht, "offHSHT");
                            });
}

template <class P>
bool renderSrcp(Walk<P>& walk, uint64_t sectionOffset) {
    return renderHeaderOnly(walk, sectionOffset, "SRCP", "SRCP_HEADER", srcp::kSize, srcp::kN1, 2,
                            [](Fields<P>& f) { f.hex(srcp::kOffSourceFiles, "offSourceFiles"); });
}

template <class P>
bool renderFpod(Walk<P>& walk, uint64_t sectionOffset) {
    return renderHeaderOnly(walk, sectionOffset, "FPOD", "FPOD_HEADER", fpod::kSize, fpod::kN1,
                            10, [](Fields<P>&) {});
}

SYMDECK_INSTANTIATE(renderGtyp, uint64_t);
SYMDECK_INSTANTIATE(renderSrcp, uint64_t);
SYMDECK_INSTANTIATE(renderFpod, uint64_t);

}  // namespace symdeck

#include "app/driver.h"

#include "report/containers.h"
#include "types/types.h"
#include "symbols/symbols.h"

namespace symdeck {

namespace {

using SectionRenderer = bool (*)(DumpContext&, uint64_t);

struct SectionKind {
    SectionRenderer render;  // nothing: the kind is passed over
    bool SectionSelection::*skip;
};

// Directory entry kinds 1 to 8, by entryIndex - 1.
constexpr SectionKind kKinds[8] = {
    {&renderGtyp, &SectionSelection::skipGtyp},
    {&renderStringTable, &SectionSelection::skipSttb},
    {&renderTypeRecords, &SectionSelection::skipNmtp},
    {&renderTypeTables, &SectionSelection::skipTytb},
    {&renderHashTables, &SectionSelection::skipHsht},
    {&renderSymbolData, &SectionSelection::skipSymd},
    {&renderSrcp, &SectionSelection::skipSrcp},
    {&renderFpod, &SectionSelection::skipFpod},
};

struct Entry {
    uint32_t entryIndex;
    uint32_t offEntry;
};

// Entry i of the directory at `directory`. The directory's render has already proven that
// every entry lies inside the image, so these reads cannot fail.
Entry entryAt(const DumpContext& ctx, uint64_t directory, uint32_t i) {
    auto entry = recordAt(ctx.image, directory + kNmdrHeaderSize + kNmdeEntrySize * i,
                          kNmdeEntrySize);
    if (!entry) return {0, 0};
    return {entry->u32(4), entry->u32(8)};
}

void writeBanner(ReportWriter& out) {
    writeSeparator(out);
    out.text("--  NMS symbol database to text converter 1.0 (by Zobrik) ---------------------\n");
    writeSeparator(out);
}

}  // namespace

bool renderReport(DumpContext& ctx, const SectionSelection& selection) {
    writeBanner(ctx.out);
    if (!renderNm32Header(ctx)) return false;
    // The header's fixed part has been checked, so offNMDR can be read.
    const uint64_t directory = recordAt(ctx.image, 0, kNm32HeaderSize)->u32(12);
    if (!renderDirectory(ctx, directory)) return false;
    const uint32_t nNMDE = recordAt(ctx.image, directory, kNmdrHeaderSize)->u32(4);

    // The first STTB entry serves the names of every section, whatever the selection.
    for (uint32_t i = 0; i < nNMDE; ++i) {
        const Entry entry = entryAt(ctx, directory, i);
        if (entry.entryIndex != 2) continue;
        if (!installStringTable(ctx, entry.offEntry)) return false;
        break;
    }

    for (uint32_t i = 0; i < nNMDE; ++i) {
        const Entry entry = entryAt(ctx, directory, i);
        if (entry.entryIndex < 1 || entry.entryIndex > 8) {
            ctx.out.text("UNKNOWN SubSection (value ");
            ctx.out.dec(entry.entryIndex);
            ctx.out.ch(')');
            continue;
        }
        const SectionKind& kind = kKinds[entry.entryIndex - 1];
        if (selection.*kind.skip || kind.render == nullptr) continue;
        if (!kind.render(ctx, entry.offEntry)) return false;
    }
    return true;
}

bool renderImage(const NmsImage& image, const SectionSelection& selection, ReportWriter& out) {
    DumpContext ctx{image, out, reportLimit(image.size)};
    return renderReport(ctx, selection);
}

std::string renderToString(const NmsImage& image, const SectionSelection& selection) {
    std::string text;
    // Small blocks: callers of this function render many small images (tests, fuzzing).
    ReportWriter out(stringSink(text), 16 * 1024);
    renderImage(image, selection, out);
    out.flush();
    return text;
}

}  // namespace symdeck

// The SYMD section frame: the SYMD header, the SEGMENTDATA_HEADER, one 54-byte SEGMENTDATA
// record per segment (each followed by its blocks) and the source-file list.
//
//   SYMD header          44 bytes at the section start
//   SEGMENTDATA_HEADER   12 bytes at image offset offSData_header (the header base)
//   SEGMENTDATA[k]       54 bytes at header base + 12 + 54 * k
//   SEGDATA_SOURCEFILE   20 bytes each, from header base + subSectionLength
//
// SEGMENTDATA begins with a USHORT, so its ULONGs are unaligned; every field is read from
// the bytes through Record.

#include "report/containers.h"
#include "symbols/symbols.h"

namespace symdeck {

namespace {

constexpr std::string_view kUnnamed[] = {"N1", "N2", "N3", "N4", "N5", "N6", "N7", "N8"};

constexpr std::string_view kSegmentDivider =
    "    ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\n";

void writeSegmentFields(DumpContext& ctx, const Record& segment) {
    ReportWriter& out = ctx.out;
    decLine(out, 6, "USHORT", "nSeg", segment.u16(0));
    nameLine(ctx, 6, segment.u32(2));
    hexLine(out, 6, "ULONG", "N1", segment.u32(6));
    bytesLine(out, 6, "physSize", segment.u32(10));
    hexLine(out, 6, "ULONG", "offProcDef", segment.u32(14));
    decLine(out, 6, "ULONG", "nProcedures", segment.u32(18));
    hexLine(out, 6, "ULONG", "offLVarDef", segment.u32(22));
    hexLine(out, 6, "ULONG", "offRegDef", segment.u32(26));
    hexLine(out, 6, "ULONG", "offVLPDef", segment.u32(30));
    decLine(out, 6, "ULONG", "nVLP", segment.u32(34));
    hexLine(out, 6, "ULONG", "offVLPOffsets", segment.u32(38));
    hexLine(out, 6, "ULONG", "offSourceSDef", segment.u32(42));
    decLine(out, 6, "ULONG", "nSourceSec", segment.u32(46));
    hexLine(out, 6, "ULONG", "offSCLineDef", segment.u32(50), true);
}

bool renderSourceFile(DumpContext& ctx, uint64_t offset) {
    auto file = reach(ctx, kSymdHeader, offset, kSourceFileSize);
    if (!file) return false;
    ReportWriter& out = ctx.out;
    writeRecordTitle(out, 4, "SEGDATA_SOURCEFILE", offset);
    nameLine(ctx, 6, file->u32(0));
    hexLine(out, 6, "ULONG", "offSource", file->u32(4));
    bytesLine(out, 6, "sourceLength", file->u32(8));
    hexLine(out, 6, "ULONG", "N1", file->u32(12));
    hexLine(out, 6, "ULONG", "N2", file->u32(16), true);
    return true;
}

}  // namespace

std::optional<Record> segmentRecord(DumpContext& ctx, uint64_t segmentBase) {
    auto segment = recordAt(ctx.image, segmentBase, kSegmentDataSize);
    if (!segment) reach(ctx, kSymdHeader, segmentBase, kSegmentDataSize);
    return segment;
}


bool renderSymbolData(DumpContext& ctx, uint64_t sectionOffset) {
    auto header = reachSigned(ctx, kSymdHeader, sectionOffset, "SYMD", kSymdHeaderSize);
    if (!header) return false;
    ReportWriter& out = ctx.out;
    writeSectionTitle(out, kSymdHeader, sectionOffset, header->u32(4));
    out.text("  ULONG        SYMD             SYMD\n");
    bytesLine(out, 2, "sectionLength", header->u32(4));
    hexLine(out, 2, "ULONG", "offSData_header", header->u32(8));
    for (int i = 0; i < 8; ++i)
        hexLine(out, 2, "ULONG", kUnnamed[i], header->u32(12 + 4 * i), i == 7);

    // offSData_header counts from the image's first byte, not from the section.
    const uint64_t headerBase = header->u32(8);
    auto segmentData = reach(ctx, kSymdHeader, headerBase, kSegmentDataHeaderSize);
    if (!segmentData) return false;
    writeRecordTitle(out, 2, "SEGMENTDATA_HEADER", headerBase);
    const uint32_t subSectionLength = segmentData->u32(0);
    const uint32_t nSourceFiles = segmentData->u32(4);
    const uint32_t nSegments = segmentData->u32(8);
    bytesLine(out, 4, "subSectionLength", subSectionLength);
    decLine(out, 4, "ULONG", "nSourceFiles", nSourceFiles);
    decLine(out, 4, "ULONG", "nSegments", nSegments, true);

    // The records follow each other 54 bytes apart, whatever their blocks' offsets say.
    for (uint32_t k = 0; k < nSegments; ++k) {
        const uint64_t segmentBase = headerBase + kSegmentDataHeaderSize + kSegmentDataSize * k;
        auto segment = reach(ctx, kSymdHeader, segmentBase, kSegmentDataSize);
        if (!segment) return false;
        out.text(kSegmentDivider);
        writeRecordTitle(out, 4, "SEGMENTDATA", segmentBase);
        writeSegmentFields(ctx, *segment);
        if (!renderSegmentProcedures(ctx, segmentBase)) return false;
        if (!renderSegmentSources(ctx, segmentBase)) return false;
        if (!renderSegmentVlpTables(ctx, segmentBase)) return false;
    }

    // The source files are found through subSectionLength alone, wherever the segments'
    // blocks end.
    out.text("\n  Source Files Definitions:\n");
    const uint64_t sourceFiles = headerBase + subSectionLength;
    for (uint32_t i = 0; i < nSourceFiles; ++i)
        if (!renderSourceFile(ctx, sourceFiles + kSourceFileSize * i)) return false;
    writeSeparator(out);
    return true;
}

}  // namespace symdeck

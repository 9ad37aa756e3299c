// The SYMD section frame: the SYMD header, the SEGMENTDATA_HEADER, one 54-byte SEGMENTDATA
// record per segment (each followed by its blocks) and the source-file list.
//
//   SYMD header          44 bytes at the section start
//   SEGMENTDATA_HEADER   12 bytes at image offset offSData_header (the header base)
//   SEGMENTDATA[k]       54 bytes at header base + 12 + 54 * k
//   SEGDATA_SOURCEFILE   20 bytes each, from header base + subSectionLength
#include "report/containers.h"
#include "report/printers.h"
#include "symbols/symbols.h"

namespace symdeck {

namespace {

template <class P>
void reportSegmentFields(Fields<P>& f) {
    f.dec16(segment::kNSeg, "nSeg");
    f.name(segment::kIName);
    f.hex(segment::kN1, "N1");
    f.bytes(segment::kPhysSize, "physSize");
    f.hex(segment::kOffProcDef, "offProcDef");
    f.dec(segment::kNProcedures, "nProcedures");
    f.hex(segment::kOffLVarDef, "offLVarDef");
    f.hex(segment::kOffRegDef, "offRegDef");
    f.hex(segment::kOffVlpDef, "offVLPDef");
    f.dec(segment::kNVlp, "nVLP");
    f.hex(segment::kOffVlpOffsets, "offVLPOffsets");
    f.hex(segment::kOffSourceSDef, "offSourceSDef");
    f.dec(segment::kNSourceSec, "nSourceSec");
    f.hex(segment::kOffScLineDef, "offSCLineDef", true);
}

template <class P>
void reportSourceFile(Walk<P>& walk, const Record& file, uint32_t i, uint32_t count) {
    walk.print.open(Title{"SEGDATA_SOURCEFILE", file.offset, 4, TitleForm::Record, 0, i, count});
    Fields<P> f{walk, file};
    f.name(source_file::kIName);
    f.hex(source_file::kOffSource, "offSource");
    f.bytes(source_file::kSourceLength, "sourceLength");
    f.unnamed(source_file::kN1, 2, false, true);
    walk.print.close(Close::Quiet);
}

}  // namespace

template <class P>
bool renderSymbolData(Walk<P>& walk, uint64_t sectionOffset) {
    Cursor<P> cursor{walk, kSymdHeader};
    auto header = openSection(cursor, sectionOffset, "SYMD", symd::kSize, TitleForm::Section);
    if (!header) return false;
    P& print = walk.print;
    Fields<P> f{walk, *header};
    f.hex(symd::kOffSDataHeader, "offSData_header");
    f.unnamed(symd::kN1, 8, false, true);

    // offSData_header counts from the image's first byte, not from the section.
    const uint64_t headerBase = header->u32(symd::kOffSDataHeader);
    auto segmentData = cursor.at(headerBase, segmentdata_header::kSize);
    if (!segmentData) return false;
    print.open(Title{"SEGMENTDATA_HEADER", headerBase, 2, TitleForm::Record});
    Fields<P> h{walk, *segmentData};
    const uint32_t subSectionLength = segmentData->u32(segmentdata_header::kSubSectionLength);
    const uint32_t nSourceFiles = segmentData->u32(segmentdata_header::kNSourceFiles);
    const uint32_t nSegments = segmentData->u32(segmentdata_header::kNSegments);
    h.bytes(segmentdata_header::kSubSectionLength, "subSectionLength");
    h.dec(segmentdata_header::kNSourceFiles, "nSourceFiles");
    h.dec(segmentdata_header::kNSegments, "nSegments", true);

    // The records follow each other 54 bytes apart, whatever their blocks' offsets say.
    bool complete = cursor.each(
        headerBase + segmentdata_header::kSize, segment::kSize, nSegments,
        [&](const Record& segment, uint32_t k) {
            print.heading(Heading::SegmentDivider);
            print.open(Title{"SEGMENTDATA", segment.offset, 4, TitleForm::Record, 0, k, nSegments});
            Fields<P> s{walk, segment};
            reportSegmentFields(s);
            if (!renderSegmentProcedures(walk, segment) || !renderSegmentSources(walk, segment) ||
                !renderSegmentVlpTables(walk, segment))
                return false;
            print.close(Close::Quiet);
            return true;
        });
    if (!complete) return false;

    // The source files are found through subSectionLength alone, wherever the segments'
    // blocks end.
    print.heading(Heading::SourceFiles);
    complete = cursor.each(headerBase + subSectionLength, source_file::kSize, nSourceFiles,
                           [&](const Record& file, uint32_t i) {
                               reportSourceFile(walk, file, i, nSourceFiles);
                               return true;
                           });
    if (!complete) return false;
    print.close(Close::Quiet);
    print.close(Close::Separator);
    return true;
}

SYMDECK_INSTANTIATE(renderSymbolData, uint64_t);

}  // namespace symdeck

// The SYMD section frame: the SYMD header, the SEGMENTDATA_HEADER, one 54-byte SEGMENTDATA
// record per segment (each followed by its blocks) and the source-file list.
//
//   SYMD header          44 bytes at the section start
//   SEGMENTDATA_HEADER   12 bytes at image offset offSData_header (the header base)
//   SEGMENTDATA[k]       54 bytes at header base + 12 + 54 * k
//   SEGDATA_SOURCEFILE   20 bytes each, from header base + subSectionLength
#pragma once

#include "format/file_structures.h"
#include "format/symbols/symbols.h"

namespace symdeck {

namespace {

template <class P>
void reportSegmentFields(Fields<P>& f) {
    const uint64_t base = f.record.offset;  // every offset of the record counts from it
    f.emit(f.asSigned(f.ushort(f.record, segment::kNSeg, "nSeg", Role::Number, Spelling::Dec)));
    f.name(segment::kIName);
    f.number(segment::kN1, "N1");
    f.size(segment::kPhysSize, "physSize");
    f.offsetTo(segment::kOffProcDef, "offProcDef", Leads::Elements, base);
    f.count(segment::kNProcedures, "nProcedures", kProcedures.key);
    // The areas that the procedures' offsets and the VLP offsets count from.
    f.offsetTo(segment::kOffLVarDef, "offLVarDef", Leads::Area, base);
    f.offsetTo(segment::kOffRegDef, "offRegDef", Leads::Area, base);
    f.offsetTo(segment::kOffVlpDef, "offVLPDef", Leads::Area, base);
    f.count(segment::kNVlp, "nVLP", kVlpEntries.key);
    f.offsetTo(segment::kOffVlpOffsets, "offVLPOffsets", Leads::Array, base);
    f.offsetTo(segment::kOffSourceSDef, "offSourceSDef", Leads::Elements, base);
    f.count(segment::kNSourceSec, "nSourceSec", kSourceSections.key);
    f.offsetTo(segment::kOffScLineDef, "offSCLineDef", Leads::Elements, base, true);
}

template <class P>
bool reportSourceFile(Fields<P>& f, uint32_t) {
    f.name(source_file::kIName);
    // Printed, not followed.
    f.offset(source_file::kOffSource, "offSource");
    f.size(source_file::kSourceLength, "sourceLength");
    f.unnamed(source_file::kN1, 2, false, true);
    return true;
}

// The SEGMENTDATA_HEADER at `headerBase`: its segments with all they hold, then the
// source files.
template <class P>
bool renderSegmentData(Cursor<P>& cursor, uint64_t headerBase) {
    Walk<P>& walk = cursor.walk;
    P& print = walk.print;
    auto segmentData = cursor.at(headerBase, segmentdata_header::kSize);
    if (!segmentData) return false;
    print.open(Title{"SEGMENTDATA_HEADER", headerBase, segmentdata_header::kSize, TitleLayout{2}});
    Fields<P> h{walk, *segmentData};
    const uint32_t subSectionLength = segmentData->u32(segmentdata_header::kSubSectionLength);
    const uint32_t nSourceFiles = segmentData->u32(segmentdata_header::kNSourceFiles);
    const uint32_t nSegments = segmentData->u32(segmentdata_header::kNSegments);
    // A length, and where the source files begin.
    Field length = h.asSigned(h.ulong(*segmentData, segmentdata_header::kSubSectionLength,
                                      "subSectionLength", Role::Size, Spelling::DecHexBytes));
    length.target = h.follow(Leads::Elements, headerBase, subSectionLength);
    h.emit(length);
    h.count(segmentdata_header::kNSourceFiles, "nSourceFiles", kSourceFiles.key);
    h.count(segmentdata_header::kNSegments, "nSegments", kSegments.key, Counting::Run, true);

    // The records follow each other 54 bytes apart, whatever their blocks' offsets say.
    // Each segment is a unit of the map: a walk may pass over it or start at it.
    const Run segments{kSegments, headerBase + segmentdata_header::kSize, nSegments,
                       segment::kSize, headerBase + segmentdata_header::kNSegments, Lead::None,
                       true};
    const bool complete = cursor.blocks(
        segments, TitleLayout{4, TitleSpelling::Divided}, [&](Fields<P>& s, uint32_t) {
            reportSegmentFields(s);
            return renderSegmentProcedures(walk, s.record) && renderSegmentSources(walk, s.record) &&
                   renderSegmentVlpTables(walk, s.record);
        });
    if (!complete) return false;

    // The source files are found through subSectionLength alone, wherever the segments'
    // blocks end.
    const Run files{kSourceFiles, headerBase + subSectionLength, nSourceFiles,
                    source_file::kSize, headerBase + segmentdata_header::kNSourceFiles,
                    Lead::SourceFiles};
    if (!cursor.blocks(files, TitleLayout{4}, reportSourceFile<P>)) return false;
    print.close();
    return true;
}

}  // namespace

template <class P>
bool renderSymbolData(Walk<P>& walk, uint64_t sectionOffset) {
    return renderSection(walk, sectionOffset, kSymdHeader, "SYMD", symd::kSize, TitleSpelling::Section,
                         [](Cursor<P>& cursor, Fields<P>& f) {
                             // offSData_header counts from the image's first byte, not from
                             // the section.
                             f.offsetTo(symd::kOffSDataHeader, "offSData_header", Leads::Block, 0);
                             f.unnamed(symd::kN1, 8, false, true);
                             return renderSegmentData(cursor, f.u32(symd::kOffSDataHeader));
                         });
}

}  // namespace symdeck

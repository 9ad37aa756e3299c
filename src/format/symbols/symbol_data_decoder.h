// The symbol data section's frame (symbol_data.structures): its header, the
// SEGMENTDATA_HEADER, one 54-byte SEGMENTDATA record per segment (each followed by its
// blocks) and the source-file list.
//
//   section header       44 bytes at the section start
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
    using symd::kSegment;
    const uint64_t base = f.record.offset;  // every offset of the record counts from it
    f.emit(f.asSigned(f.field(f.record, fieldOf(kSegment, "nSeg"))));
    f.name(fieldOf(kSegment, "iName"));
    f.hex(fieldOf(kSegment, "N1"));
    f.size(fieldOf(kSegment, "physSize"));
    f.offsetTo(fieldOf(kSegment, "offProcDef"), Leads::Elements, base);
    f.count(fieldOf(kSegment, "nProcedures"), kProcedures.key);
    // The areas that the procedures' offsets and the VLP offsets count from.
    f.offsetTo(fieldOf(kSegment, "offLVarDef"), Leads::Area, base);
    f.offsetTo(fieldOf(kSegment, "offRegDef"), Leads::Area, base);
    f.offsetTo(fieldOf(kSegment, "offVLPDef"), Leads::Area, base);
    f.count(fieldOf(kSegment, "nVLP"), kVlpEntries.key);
    f.offsetTo(fieldOf(kSegment, "offVLPOffsets"), Leads::Array, base);
    f.offsetTo(fieldOf(kSegment, "offSourceSDef"), Leads::Elements, base);
    f.count(fieldOf(kSegment, "nSourceSec"), kSourceSections.key);
    f.offsetTo(fieldOf(kSegment, "offSCLineDef"), Leads::Elements, base, true);
}

template <class P>
bool reportSourceFile(Fields<P>& f, uint32_t) {
    using symd::kSourceFile;
    f.name(fieldOf(kSourceFile, "iName"));
    // Printed, not followed.
    f.hex(fieldOf(kSourceFile, "offSource"));
    f.size(fieldOf(kSourceFile, "sourceLength"));
    f.unnamed(unnamedWords(kSourceFile), false, true);
    return true;
}

// The SEGMENTDATA_HEADER at `headerBase`: its segments with all they hold, then the
// source files.
template <class P>
bool renderSegmentData(Cursor<P>& cursor, uint64_t headerBase) {
    Walk<P>& walk = cursor.walk;
    P& print = walk.print;
    constexpr auto& kHeader = symd::kSegmentDataHeader;
    constexpr FieldDescription kLength = fieldOf(kHeader, "subSectionLength");
    constexpr FieldDescription kFiles = fieldOf(kHeader, "nSourceFiles");
    constexpr FieldDescription kSegments = fieldOf(kHeader, "nSegments");
    auto segmentData = cursor.at(headerBase, kHeader.size);
    if (!segmentData) return false;
    print.open(Title{kHeader.word, headerBase, kHeader.size});
    Fields<P> h{walk, *segmentData};
    const uint32_t subSectionLength = segmentData->u32(kLength.offset);
    const uint32_t nSourceFiles = segmentData->u32(kFiles.offset);
    const uint32_t nSegments = segmentData->u32(kSegments.offset);
    // A length, and where the source files begin.
    Field length = h.asSigned(h.field(*segmentData, kLength));
    length.target = h.follow(Leads::Elements, headerBase, subSectionLength);
    h.emit(length);
    h.count(kFiles, kSourceFiles.key);
    h.count(kSegments, kSegmentBlocks.key, Counting::Run, true);

    // The records follow each other 54 bytes apart, whatever their blocks' offsets say.
    // Each segment is a unit of the map: a walk may pass over it or start at it.
    const Run segments{kSegmentBlocks, headerBase + kHeader.size, nSegments, symd::kSegment.size,
                       headerBase + kSegments.offset, true};
    const bool complete = cursor.blocks(segments, [&](Fields<P>& s, uint32_t) {
            reportSegmentFields(s);
            // The procedures, the source lines and the variable tables each stand where the
            // segment's own fields say: past a damaged one, the next (going on past damage).
            const uint32_t level = levelOf(walk.print);
            return (renderSegmentProcedures(walk, s.record) || goOnPast(walk, level)) &&
                   (renderSegmentSources(walk, s.record) || goOnPast(walk, level)) &&
                   (renderSegmentVlpTables(walk, s.record) || goOnPast(walk, level));
        });
    if (!complete) return false;

    // The source files are found through subSectionLength alone, wherever the segments'
    // blocks end.
    const Run files{kSourceFiles, headerBase + subSectionLength, nSourceFiles,
                    symd::kSourceFile.size, headerBase + kFiles.offset};
    if (!cursor.blocks(files, reportSourceFile<P>)) return false;
    print.close();
    return true;
}

}  // namespace

template <class P>
bool renderSymbolData(Walk<P>& walk, uint64_t sectionOffset) {
    using symd::kHeader;
    return renderSection(walk, sectionOffset, kHeader, Mark::SectionEnd, [](Cursor<P>& cursor, Fields<P>& f) {
        // offSData_header counts from the image's first byte, not from the section.
        constexpr FieldDescription kSegmentData = fieldOf(kHeader, "offSData_header");
        f.offsetTo(kSegmentData, Leads::Block, 0);
        f.unnamed(unnamedWords(kHeader), false, true);
        return renderSegmentData(cursor, f.u32(kSegmentData.offset));
    });
}

}  // namespace symdeck

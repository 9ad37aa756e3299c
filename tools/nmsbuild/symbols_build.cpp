#include "nmsbuild/symbols_build.h"

namespace nmsbuild {

namespace {

constexpr uint32_t kSegmentDataSize = 54;

// Where one segment's areas begin, as image offsets.
struct SegmentLayout {
    uint64_t procedures = 0, locals = 0, registers = 0, sourceSections = 0, lines = 0, vlp = 0,
             vlpOffsets = 0, end = 0;
};

std::vector<uint32_t> vlpOffsetsOf(const Segment& segment) {
    if (segment.vlpOffsets) return *segment.vlpOffsets;
    std::vector<uint32_t> offsets;
    for (size_t i = 0; i < segment.vlpEntries.size(); ++i)
        offsets.push_back(static_cast<uint32_t>(16 * i));
    return offsets;
}

SegmentLayout layOut(const Segment& segment, uint64_t at, uint32_t procedureSize) {
    SegmentLayout l;
    size_t nLocals = 0, nRegisters = 0, nLines = 0;
    for (const SegmentProcedure& p : segment.procedures) {
        nLocals += p.locals.size();
        nRegisters += p.registers.size();
    }
    for (const SourceSection& s : segment.sourceSections) nLines += s.lines.size();
    l.procedures = at;
    l.locals = l.procedures + uint64_t{procedureSize} * segment.procedures.size();
    l.registers = l.locals + 16 * nLocals;
    l.sourceSections = l.registers + 18 * nRegisters;
    l.lines = l.sourceSections + 20 * segment.sourceSections.size();
    l.vlp = l.lines + 8 * nLines;
    l.vlpOffsets = l.vlp + 16 * segment.vlpEntries.size();
    l.end = l.vlpOffsets + 4 * vlpOffsetsOf(segment).size();
    return l;
}

uint32_t count(size_t n, std::optional<uint32_t> override) {
    return override.value_or(static_cast<uint32_t>(n));
}

// An offset from `base` to `at`, unless overridden.
uint32_t from(uint64_t base, uint64_t at, std::optional<uint32_t> override) {
    return override.value_or(static_cast<uint32_t>(at - base));
}

void writeSegmentRecord(Bytes& out, const Segment& s, const SegmentLayout& l) {
    const uint64_t base = out.pos();
    out.u16(s.nSeg);
    out.u32(s.iName);
    out.u32(s.n1);
    out.u32(s.physSize);
    out.u32(from(base, l.procedures, s.offProcDef));
    out.u32(count(s.procedures.size(), s.nProcedures));
    out.u32(from(base, l.locals, s.offLVarDef));
    out.u32(from(base, l.registers, s.offRegDef));
    out.u32(from(base, l.vlp, s.offVLPDef));
    out.u32(count(vlpOffsetsOf(s).size(), s.nVLP));
    out.u32(from(base, l.vlpOffsets, s.offVLPOffsets));
    out.u32(from(base, l.sourceSections, s.offSourceSDef));
    out.u32(count(s.sourceSections.size(), s.nSourceSec));
    out.u32(from(base, l.lines, s.offSCLineDef));
}

void writeVlpEntry(Bytes& out, const VlpEntry& e) {
    out.u16(e.size);
    out.u16(e.tableType);
    out.u32(e.type);
    out.u32(e.iName);
    out.u32(e.offVLP);
}

// Everything segment `s` (whose record begins at `base`) points into, at the current end.
void writeSegmentAreas(Bytes& out, const Segment& s, uint64_t base, uint32_t procedureSize) {
    uint64_t local = 0, reg = 0;
    for (const SegmentProcedure& p : s.procedures) {
        out.u32(p.offStartProc);
        out.u32(p.offEndProc);
        out.u32(p.offLocVariables.value_or(static_cast<uint32_t>(16 * local)));
        out.u32(count(p.locals.size(), p.nLocalVariables));
        out.u32(p.offRegVariables.value_or(static_cast<uint32_t>(18 * reg)));
        out.u32(count(18 * p.registers.size(), p.sizeRegVariables));
        out.u32(p.m1);
        if (procedureSize >= 32) out.u32(p.n1);
        local += p.locals.size();
        reg += p.registers.size();
    }
    for (const SegmentProcedure& p : s.procedures)
        for (const VlpEntry& e : p.locals) writeVlpEntry(out, e);
    for (const SegmentProcedure& p : s.procedures)
        for (const RegisterVariable& r : p.registers) {
            out.u16(r.size);
            out.u16(r.tableType);
            out.u32(r.type);
            out.u32(r.iName);
            out.u32(r.parameterOffset);
            out.u16(r.registerNumber);
        }
    uint64_t lines = out.pos() + 20 * s.sourceSections.size();
    for (const SourceSection& section : s.sourceSections) {
        out.u32(section.offStart);
        out.u32(section.offEnd);
        out.u32(from(base, lines, section.offSourceLines));
        out.u32(count(section.lines.size(), section.nLineTables));
        out.u32(section.offInSFDef);
        lines += 8 * section.lines.size();
    }
    for (const SourceSection& section : s.sourceSections)
        for (const LineRow& row : section.lines) {
            out.u32(row.offInCode);
            out.u32(row.lineNumber);
        }
    for (const VlpEntry& e : s.vlpEntries) writeVlpEntry(out, e);
    for (uint32_t offset : vlpOffsetsOf(s)) out.u32(offset);
}

}  // namespace

SectionEmitter symbolData(SymbolData d) {
    return [d = std::move(d)](Bytes& out) {
        const uint64_t start = out.pos();
        out.fixedText(d.signature, 4);
        out.u32(0);  // sectionLength, patched at the end
        const uint64_t headerBase = start + 44 + d.gapBeforeSegmentData;
        out.u32(d.offSData_header.value_or(static_cast<uint32_t>(headerBase)));
        for (uint32_t v : d.n) out.u32(v);
        out.zeros(d.gapBeforeSegmentData);

        std::vector<SegmentLayout> layouts;
        uint64_t at = headerBase + 12 + uint64_t{kSegmentDataSize} * d.segments.size();
        for (const Segment& s : d.segments) {
            layouts.push_back(layOut(s, at, d.procedureSize));
            at = layouts.back().end;
        }
        const uint64_t sourceFiles = at + d.gapBeforeSourceFiles;

        out.u32(d.subSectionLength.value_or(static_cast<uint32_t>(sourceFiles - headerBase)));
        out.u32(count(d.sourceFiles.size(), d.nSourceFiles));
        out.u32(count(d.segments.size(), d.nSegments));
        for (size_t k = 0; k < d.segments.size(); ++k)
            writeSegmentRecord(out, d.segments[k], layouts[k]);
        for (size_t k = 0; k < d.segments.size(); ++k)
            writeSegmentAreas(out, d.segments[k], headerBase + 12 + kSegmentDataSize * k,
                              d.procedureSize);
        out.zeros(d.gapBeforeSourceFiles);
        for (const SourceFile& f : d.sourceFiles)
            for (uint32_t v : {f.iName, f.offSource, f.sourceLength, f.n1, f.n2}) out.u32(v);
        patchSectionLength(out, start, d.sectionLength);
    };
}

}  // namespace nmsbuild

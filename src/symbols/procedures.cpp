// A segment's procedures. SEGDATA_PROCEDURE records follow each other from segment base +
// offProcDef, 28 or 32 bytes apart depending on the format version:
//
//   0 offStartProc   4 offEndProc   8 offLocVariables   12 nLocalVariables
//   16 offRegVariables   20 sizeRegVariables   24 M1   28 N1 (32-byte form only)
//
// A procedure's local variables are 16-byte SEGDATA_VLPTABLE entries from the segment's
// local-variable area (segment base + offLVarDef) + offLocVariables; its register variables
// are 18-byte SEGDATA_REGISTER entries from the register area (segment base + offRegDef) +
// offRegVariables, sizeRegVariables / 18 of them (a remainder is ignored).
#include "report/containers.h"
#include "symbols/symbols.h"

#include "types/types.h"

namespace symdeck {

namespace {

constexpr uint16_t kTtLocalV = 1;
constexpr uint16_t kTtRegister = 2;
constexpr uint16_t kTtRegisterPointer = 3;

bool renderLocalVariable(DumpContext& ctx, uint64_t offset) {
    auto entry = reach(ctx, kSymdHeader, offset, kVlpEntrySize);
    if (!entry) return false;
    ReportWriter& out = ctx.out;
    writeRecordTitle(out, 10, "SEGDATA_VLPTABLE", offset);
    hexLine(out, 12, "USHORT", "size", entry->u16(0));
    // The error line carries the type word ULONG, unlike the regular one.
    const uint16_t tableType = entry->u16(2);
    if (tableType == kTtLocalV) {
        out.field(12, "USHORT", "tableType");
        out.text("1(TT_LOCALV)\n");
    } else {
        out.field(12, "ULONG", "tableType");
        out.text("TYPE ERROR -> it should be 1(TT_LOCALV) but it's ");
        out.dec(tableType);
        out.newline();
    }
    typeLine(ctx.out, 12, "type", entry->u32(4));
    nameLine(ctx, 12, entry->u32(8));
    hexLine(out, 12, "ULONG", "offVLP", entry->u32(12), true);
    return true;
}

bool renderRegisterVariable(DumpContext& ctx, uint64_t offset) {
    auto entry = reach(ctx, kSymdHeader, offset, kRegisterEntrySize);
    if (!entry) return false;
    ReportWriter& out = ctx.out;
    writeRecordTitle(out, 10, "SEGDATA_REGISTER", offset);
    hexLine(out, 12, "USHORT", "size", entry->u16(0));
    const uint16_t tableType = entry->u16(2);
    out.field(12, "USHORT", "tableType");
    if (tableType == kTtRegister) {
        out.text("2(TT_REGISTER)\n");
    } else if (tableType == kTtRegisterPointer) {
        out.text("3(TT_REGISTER_POINTER)\n");
    } else {
        out.text("TYPE ERROR -> it should be 2(TT_REGISTER) or 3(TT_REGISTER_POINTER) but it's ");
        out.dec(tableType);
        out.newline();
    }
    typeLine(ctx.out, 12, "type", entry->u32(4));
    nameLine(ctx, 12, entry->u32(8));
    hexLine(out, 12, "ULONG", "parameterOffset", entry->u32(12));
    // A 16-bit field, though its line carries the type word ULONG.
    const uint16_t number = entry->u16(16);
    out.field(12, "ULONG", "registerNumber");
    out.dec(number);
    out.ch('(');
    out.text(registerName(number));
    out.text(")\n\n");
    return true;
}

}  // namespace

bool renderSegmentProcedures(DumpContext& ctx, uint64_t segmentBase) {
    auto segment = segmentRecord(ctx, segmentBase);
    if (!segment) return false;
    ReportWriter& out = ctx.out;
    const bool shortForm = ctx.formatMinorVersion == 1;
    const uint64_t stride = procedureSize(ctx.formatMinorVersion);
    const uint64_t first = segmentBase + segment->u32(14);
    const uint32_t nProcedures = segment->u32(18);
    const uint64_t localArea = segmentBase + segment->u32(22);
    const uint64_t registerArea = segmentBase + segment->u32(26);

    for (uint32_t p = 0; p < nProcedures; ++p) {
        const uint64_t offset = first + stride * p;
        auto procedure = reach(ctx, kSymdHeader, offset, stride);
        if (!procedure) return false;
        writeRecordTitle(out, 6, "SEGDATA_PROCEDURE", offset);
        const uint32_t offLocVariables = procedure->u32(8);
        const uint32_t nLocalVariables = procedure->u32(12);
        const uint32_t offRegVariables = procedure->u32(16);
        const uint32_t sizeRegVariables = procedure->u32(20);
        const uint32_t nRegisters = static_cast<uint32_t>(sizeRegVariables / kRegisterEntrySize);
        hexLine(out, 8, "ULONG", "offStartProc", procedure->u32(0));
        hexLine(out, 8, "ULONG", "offEndProc", procedure->u32(4));
        hexLine(out, 8, "ULONG", "offLocVariables", offLocVariables);
        decLine(out, 8, "ULONG", "nLocalVariables", nLocalVariables);
        hexLine(out, 8, "ULONG", "offRegVariables", offRegVariables);
        out.field(8, "ULONG", "sizeRegVariables");
        out.decHexBytes(sizeRegVariables);
        out.text(" (nRegisters: ");
        out.dec(nRegisters);
        out.text(")\n");
        hexLine(out, 8, "ULONG", "M1", procedure->u32(24), shortForm);
        if (!shortForm) hexLine(out, 8, "ULONG", "N1", procedure->u32(28), true);

        const uint64_t locals = localArea + offLocVariables;
        for (uint32_t i = 0; i < nLocalVariables; ++i)
            if (!renderLocalVariable(ctx, locals + kVlpEntrySize * i)) return false;
        const uint64_t registers = registerArea + offRegVariables;
        for (uint32_t i = 0; i < nRegisters; ++i)
            if (!renderRegisterVariable(ctx, registers + kRegisterEntrySize * i)) return false;
    }
    return true;
}

}  // namespace symdeck

// A segment's procedures. SEGDATA_PROCEDURE records follow each other from segment base +
// offProcDef, 28 or 32 bytes apart depending on the format version.
//
// A procedure's local variables are 16-byte SEGDATA_VLPTABLE entries from the segment's
// local-variable area (segment base + offLVarDef) + offLocVariables; its register variables
// are 18-byte SEGDATA_REGISTER entries from the register area (segment base + offRegDef) +
// offRegVariables, sizeRegVariables / 18 of them (a remainder is ignored).
#pragma once

#include "format/file_structures.h"
#include "format/symbols/symbols.h"

namespace symdeck {

namespace {

constexpr EnumName kLocalTableTypes[] = {{1, "TT_LOCALV"}};
constexpr EnumName kRegisterTableTypes[] = {{2, "TT_REGISTER"}, {3, "TT_REGISTER_POINTER"}};

template <class P>
void reportLocalVariable(Walk<P>& walk, const Record& entry, uint32_t i, uint32_t count) {
    // The error line carries the type word ULONG, unlike the regular one.
    openVariable(walk, entry, kVlpEntries.word, i, count,
                 TableTypes<1>{kLocalTableTypes, "TYPE ERROR -> it should be 1(TT_LOCALV) but it's ",
                               "ULONG"});
    // Printed, not followed.
    Fields<P>{walk, entry}.hex(fieldOf(symd::kVlpEntry, "offVLP"), true);
    walk.print.close();
}

template <class P>
void reportRegisterVariable(Walk<P>& walk, const Record& entry, uint32_t i, uint32_t count) {
    openVariable(walk, entry, kRegisters.word, i, count,
                 TableTypes<2>{kRegisterTableTypes,
                               "TYPE ERROR -> it should be 2(TT_REGISTER) or 3(TT_REGISTER_POINTER) "
                               "but it's ",
                               "USHORT"});
    Fields<P> f{walk, entry};
    f.hex(fieldOf(symd::kRegisterEntry, "parameterOffset"));
    // A 16-bit field, though its line carries the type word ULONG.
    Field number = f.field(entry, fieldOf(symd::kRegisterEntry, "registerNumber"), true);
    number.type = "ULONG";
    number.isSigned = true;
    number.meaning = Meaning::Word;
    number.text = registerName(number.value);
    if (!isKnownRegister(number.value)) number.problem = Problem::UnknownRegister;
    f.emit(number);
    walk.print.close();
}

}  // namespace

template <class P>
bool renderSegmentProcedures(Walk<P>& walk, const Record& segment) {
    Cursor<P> cursor{walk, symd::kHeader.word};
    const bool shortForm = walk.formatMinorVersion == 1;
    const uint64_t stride = procedureSize(walk.formatMinorVersion);
    const uint32_t nProcedures = segment.u32(fieldOf(symd::kSegment, "nProcedures").offset);
    const uint64_t localArea = segment.offset + segment.u32(fieldOf(symd::kSegment, "offLVarDef").offset);
    const uint64_t registerArea = segment.offset + segment.u32(fieldOf(symd::kSegment, "offRegDef").offset);

    const Run procedures{kProcedures,
                         segment.offset + segment.u32(fieldOf(symd::kSegment, "offProcDef").offset),
                         nProcedures, static_cast<uint32_t>(stride),
                         segment.offset + fieldOf(symd::kSegment, "nProcedures").offset};
    return cursor.blocks(procedures, [&](Fields<P>& f, uint32_t) {
        const Record& procedure = f.record;
        constexpr auto& d = symd::kProcedure;
        constexpr FieldDescription nLocals = fieldOf(d, "nLocalVariables");
        constexpr FieldDescription sizeRegisters = fieldOf(d, "sizeRegVariables");
        constexpr FieldDescription offLocals = fieldOf(d, "offLocVariables");
        constexpr FieldDescription offRegisters = fieldOf(d, "offRegVariables");
        const uint32_t nLocalVariables = procedure.u32(nLocals.offset);
        const uint32_t sizeRegVariables = procedure.u32(sizeRegisters.offset);
        const auto nRegisters = static_cast<uint32_t>(sizeRegVariables / symd::kRegisterEntry.size);
        // Printed, not followed.
        f.hex(fieldOf(d, "offStartProc"));
        f.hex(fieldOf(d, "offEndProc"));
        f.offsetTo(offLocals, Leads::Elements, localArea);
        f.count(nLocals, kVlpEntries.key);
        f.offsetTo(offRegisters, Leads::Elements, registerArea);
        // A size in bytes that also counts the register entries.
        Field size = f.asSigned(f.field(procedure, sizeRegisters));
        size.entries = nRegisters;
        size.counts = kRegisters.key;
        f.emit(size);
        f.hex(fieldOf(d, "M1"), shortForm);
        if (!shortForm) f.hex(fieldOf(d, "N1"), true);

        constexpr auto kLocalSize = static_cast<uint32_t>(symd::kVlpEntry.size);
        constexpr auto kRegisterSize = static_cast<uint32_t>(symd::kRegisterEntry.size);
        const Run locals{kVlpEntries, localArea + procedure.u32(offLocals.offset), nLocalVariables,
                         kLocalSize, procedure.offset + nLocals.offset};
        const Run registers{kRegisters, registerArea + procedure.u32(offRegisters.offset), nRegisters,
                            kRegisterSize, procedure.offset + sizeRegisters.offset};
        walk.print.openRun(locals);
        if (!cursor.each(locals.offset, symd::kVlpEntry.size, nLocalVariables, [&](const Record& entry, uint32_t i) {
                reportLocalVariable(walk, entry, i, nLocalVariables);
                return true;
            }))
            return false;
        walk.print.closeRun(locals);
        walk.print.openRun(registers);
        if (!cursor.each(registers.offset, symd::kRegisterEntry.size, nRegisters,
                         [&](const Record& entry, uint32_t i) {
                             reportRegisterVariable(walk, entry, i, nRegisters);
                             return true;
                         }))
            return false;
        walk.print.closeRun(registers);
        return true;
    });
}

}  // namespace symdeck

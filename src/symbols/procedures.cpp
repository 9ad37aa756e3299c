// A segment's procedures. SEGDATA_PROCEDURE records follow each other from segment base +
// offProcDef, 28 or 32 bytes apart depending on the format version.
//
// A procedure's local variables are 16-byte SEGDATA_VLPTABLE entries from the segment's
// local-variable area (segment base + offLVarDef) + offLocVariables; its register variables
// are 18-byte SEGDATA_REGISTER entries from the register area (segment base + offRegDef) +
// offRegVariables, sizeRegVariables / 18 of them (a remainder is ignored).
#include "report/containers.h"
#include "report/printers.h"
#include "symbols/symbols.h"

namespace symdeck {

namespace {

constexpr EnumName kLocalTableTypes[] = {{1, "TT_LOCALV"}};
constexpr EnumName kRegisterTableTypes[] = {{2, "TT_REGISTER"}, {3, "TT_REGISTER_POINTER"}};

template <class P>
void reportLocalVariable(Walk<P>& walk, const Record& entry, uint32_t i, uint32_t count) {
    // The error line carries the type word ULONG, unlike the regular one.
    openVariable(walk, entry, "SEGDATA_VLPTABLE", 10, i, count,
                 TableTypes<1>{kLocalTableTypes, "TYPE ERROR -> it should be 1(TT_LOCALV) but it's ",
                               "ULONG"});
    Fields<P>{walk, entry}.hex(vlp::kOffVlp, "offVLP", true);
    walk.print.close(Close::Quiet);
}

template <class P>
void reportRegisterVariable(Walk<P>& walk, const Record& entry, uint32_t i, uint32_t count) {
    openVariable(walk, entry, "SEGDATA_REGISTER", 10, i, count,
                 TableTypes<2>{kRegisterTableTypes,
                               "TYPE ERROR -> it should be 2(TT_REGISTER) or 3(TT_REGISTER_POINTER) "
                               "but it's ",
                               "USHORT"});
    Fields<P> f{walk, entry};
    f.hex(register_entry::kParameterOffset, "parameterOffset");
    // A 16-bit field, though its line carries the type word ULONG.
    Field number = f.ushort(entry, register_entry::kRegisterNumber, "registerNumber",
                            Shape::DecNamed, true);
    number.type = "ULONG";
    number.text = registerName(number.value);
    f.emit(number);
    walk.print.close(Close::Quiet);
}

}  // namespace

template <class P>
bool renderSegmentProcedures(Walk<P>& walk, const Record& segment) {
    Cursor<P> cursor{walk, kSymdHeader};
    P& print = walk.print;
    const bool shortForm = walk.formatMinorVersion == 1;
    const uint64_t stride = procedureSize(walk.formatMinorVersion);
    const uint32_t nProcedures = segment.u32(segment::kNProcedures);
    const uint64_t localArea = segment.offset + segment.u32(segment::kOffLVarDef);
    const uint64_t registerArea = segment.offset + segment.u32(segment::kOffRegDef);

    return cursor.each(
        segment.offset + segment.u32(segment::kOffProcDef), stride, nProcedures,
        [&](const Record& procedure, uint32_t p) {
            print.open(Title{"SEGDATA_PROCEDURE", procedure.offset, 6, TitleForm::Record, 0, p,
                             nProcedures});
            Fields<P> f{walk, procedure};
            const uint32_t nLocalVariables = procedure.u32(procedure::kNLocalVariables);
            const uint32_t sizeRegVariables = procedure.u32(procedure::kSizeRegVariables);
            const auto nRegisters = static_cast<uint32_t>(sizeRegVariables / register_entry::kSize);
            f.hex(procedure::kOffStartProc, "offStartProc");
            f.hex(procedure::kOffEndProc, "offEndProc");
            f.hex(procedure::kOffLocVariables, "offLocVariables");
            f.dec(procedure::kNLocalVariables, "nLocalVariables");
            f.hex(procedure::kOffRegVariables, "offRegVariables");
            Field size = f.ulong(procedure, procedure::kSizeRegVariables, "sizeRegVariables",
                                 Shape::RegisterBytes, false);
            size.aux = nRegisters;
            f.emit(size);
            f.hex(procedure::kM1, "M1", shortForm);
            if (!shortForm) f.hex(procedure::kN1, "N1", true);

            const uint64_t locals = localArea + procedure.u32(procedure::kOffLocVariables);
            const uint64_t registers = registerArea + procedure.u32(procedure::kOffRegVariables);
            const bool complete =
                cursor.each(locals, vlp::kSize, nLocalVariables,
                            [&](const Record& entry, uint32_t i) {
                                reportLocalVariable(walk, entry, i, nLocalVariables);
                                return true;
                            }) &&
                cursor.each(registers, register_entry::kSize, nRegisters,
                            [&](const Record& entry, uint32_t i) {
                                reportRegisterVariable(walk, entry, i, nRegisters);
                                return true;
                            });
            if (!complete) return false;
            print.close(Close::Quiet);
            return true;
        });
}

SYMDECK_INSTANTIATE(renderSegmentProcedures, const Record&);

}  // namespace symdeck

// NMTP: a 20-byte header, a table of nTypes record offsets, then the records. Offset i
// counts from the first byte behind the table, and record i has the type index
// 0x1000 + i. Records are reached only through the table (they carry no length), so they
// may lie in any order and the bytes between them are never read.
#include "types/types.h"

#include <iterator>

#include "report/containers.h"

namespace symdeck {

namespace {

constexpr std::string_view kHeader = "NMTP_HEADER";

// Record kinds by their lf_index.
enum : uint32_t {
    kLfProcedure = 0x8,
    kLfLabel = 0xE,
    kLfArray = 0x1003,
    kLfStruct = 0x1005,
    kLfUnion = 0x1006,
    kLfMember = 0x1406,
    kLfArgList = 0x2201,
    kLfDerived = 0x2204,
};

struct Kind {
    std::string_view title;        // the block title's first word
    std::string_view lfIndexText;  // the lf_index value; empty: printed as a bare number
    uint64_t size;                 // the fixed part in bytes, lf_index included
};

constexpr Kind kUnknownKind{"unknown type", {}, 4};

Kind kindOf(uint32_t lfIndex) {
    switch (lfIndex) {
        case kLfLabel: return {"DATAS_LF_LABEL", "0xE(TYPE_LF_LABEL)", 8};
        case kLfProcedure: return {"DATAS_LF_PROCEDURE", "0x8(TYPE_LF_PROCEDURE)", 20};
        case kLfArray: return {"DATAS_LF_ARRAY", "0x1003(TYPE_LF_ARRAY)", 32};
        case kLfStruct: return {"DATAS_LF_STRUCT", "0x1005(TYPE_LF_STRUCT)", 32};
        case kLfUnion: return {"TYPE_LF_UNION", "0x1006(TYPE_LF_UNION)", 32};
        case kLfMember: return {"DATAS_LF_MEMBER", "0x1406(TYPE_LF_MEMBER)", 20};
        case kLfArgList: return {"DATAS_LF_ARGLIST", "0x2201(TYPE_LF_ARGLIST)", 12};
        case kLfDerived: return {"DATAS_LF_DERIVED", "0x2204(TYPE_LF_DERIVED)", 12};
        default: return kUnknownKind;
    }
}

constexpr std::string_view kCallingConventions[] = {
    "Near C (arguments pushed right to left, caller pops arguments)",
    "Far C",
    "Near pascal  (arguments pushed left to right, callee pops arguments)",
    "Far pascal",
    "Near fastcall",
    "Far fastcall",
    "Pcode",
    "Near stdcall",
    "Far stdcall",
    "Near syscall",
    "Far syscall",
    "This call",
    "MIPS call",
    "Generic",
};

constexpr std::string_view kAccess[] = {"none", "private", "protected", "public"};

void writeLabel(ReportWriter& out, const Record& r) {
    const uint32_t mode = r.u32(4);
    out.field(4, "ULONG", "mode");
    if (mode == 0) out.text("NEAR");
    else if (mode == 4) out.text("FAR");
    else out.hex0x(mode);
    endLine(out, true);
}

void writeProcedure(ReportWriter& out, const Record& r) {
    hexLine(out, 4, "ULONG", "argList", r.u32(4));
    typeLine(out, 4, "rType", r.u32(8));
    const uint32_t call = r.u32(12);
    out.field(4, "ULONG", "call");
    if (call < std::size(kCallingConventions)) {
        out.text(kCallingConventions[call]);
    } else {
        out.text("unknown(");
        out.dec(call);
        out.ch(')');
    }
    endLine(out, false);
    decLine(out, 4, "ULONG", "argCount", r.u32(16), true);
}

void writeArray(ReportWriter& out, const Record& r) {
    typeLine(out, 4, "elemType", r.u32(4));
    hexLine(out, 4, "ULONG", "N1", r.u32(8));
    hexLine(out, 4, "USHORT", "N2", r.u16(12));
    out.field(4, "ULONG", "length");
    out.dec(r.u32(14));
    out.text(" bytes");
    endLine(out, false);
    typeLine(out, 4, "indexType", r.u32(18));
    hexLine(out, 4, "ULONG", "N3", r.u32(22));
    decLine(out, 4, "ULONG", "nElements", r.u32(26));
    hexLine(out, 4, "USHORT", "N4", r.u16(30), true);
}

// Structures and unions share one layout.
void writeAggregate(DumpContext& ctx, const Record& r) {
    ReportWriter& out = ctx.out;
    hexLine(out, 4, "ULONG", "derivedType", r.u32(4));
    nameLine(ctx, 4, r.u32(8));
    hexLine(out, 4, "USHORT", "property", r.u16(12));
    decLine(out, 4, "ULONG", "nFields", r.u32(14));
    bytesLine(out, 4, "length", r.u32(18));
    hexLine(out, 4, "ULONG", "N1", r.u32(22));
    hexLine(out, 4, "ULONG", "N2", r.u32(26));
    hexLine(out, 4, "USHORT", "N3", r.u16(30), true);
}

void writeMember(DumpContext& ctx, const Record& r) {
    ReportWriter& out = ctx.out;
    typeLine(out, 4, "indexType", r.u32(4));
    nameLine(ctx, 4, r.u32(8));
    const uint16_t access = r.u16(12);
    out.field(4, "USHORT", "access");
    if (access < std::size(kAccess)) {
        out.text(kAccess[access]);
    } else {
        // The one field line of the report whose name column is 18 characters wide.
        out.text(" unknown(");
        out.dec(access);
        out.ch(')');
    }
    endLine(out, false);
    decLine(out, 4, "USHORT", "offset", r.u16(14));
    hexLine(out, 4, "ULONG", "N1", r.u32(16), true);
}

// Argument lists and derivation lists: a count, then that many type indices, printed as
// bare numbers. Each entry is checked before its line.
bool writeTypeList(DumpContext& ctx, const Record& r) {
    ReportWriter& out = ctx.out;
    hexLine(out, 4, "ULONG", "N1", r.u32(4));
    const uint32_t count = r.u32(8);
    decLine(out, 4, "ULONG", "argCount", count);
    for (uint32_t k = 0; k < count; ++k) {
        auto entry = reach(ctx, kHeader, r.offset + r.width + uint64_t{4} * k, 4);
        if (!entry) return false;
        hexLine(out, 4, "ULONG", "type", entry->u32(0));
    }
    out.newline();
    return true;
}

bool renderRecord(DumpContext& ctx, uint64_t offset, uint32_t typeIndex) {
    auto head = reach(ctx, kHeader, offset, 4);
    if (!head) return false;
    const uint32_t lfIndex = head->u32(0);
    const Kind kind = kindOf(lfIndex);
    auto record = reach(ctx, kHeader, offset, kind.size);
    if (!record) return false;

    ReportWriter& out = ctx.out;
    out.text("  ");
    out.text(kind.title);
    out.text(" (type: 0x");
    out.hex(typeIndex);
    out.text(") (offset: 0x");
    out.hex(offset);
    out.text(")\n");
    writeColumnHeader(out, 4);
    out.field(4, "ULONG", "lf_index");
    if (kind.lfIndexText.empty()) out.hex0x(lfIndex);
    else out.text(kind.lfIndexText);
    out.newline();

    switch (lfIndex) {
        case kLfLabel: writeLabel(out, *record); break;
        case kLfProcedure: writeProcedure(out, *record); break;
        case kLfArray: writeArray(out, *record); break;
        case kLfStruct:
        case kLfUnion: writeAggregate(ctx, *record); break;
        case kLfMember: writeMember(ctx, *record); break;
        case kLfArgList:
        case kLfDerived: return writeTypeList(ctx, *record);
        default: out.text("    (Read 'Type Strings Explained.txt' in Source\\Readings.)\n\n");
    }
    return true;
}

}  // namespace

bool renderTypeRecords(DumpContext& ctx, uint64_t sectionOffset) {
    auto header = reachSigned(ctx, kHeader, sectionOffset, "NMTP", kNmtpHeaderSize);
    if (!header) return false;
    ReportWriter& out = ctx.out;
    writeSectionTitle(out, kHeader, sectionOffset, header->u32(4));
    out.text("  ULONG        NMTP             NMTP\n");
    bytesLine(out, 2, "sectionLength", header->u32(4));
    const uint32_t nTypes = header->u32(8);
    decLine(out, 2, "ULONG", "nTypes", nTypes);
    hexLine(out, 2, "ULONG", "N1", header->u32(12));
    hexLine(out, 2, "ULONG", "N2", header->u32(16), true);

    const uint64_t table = sectionOffset + kNmtpHeaderSize;
    const uint64_t records = table + uint64_t{4} * nTypes;
    for (uint32_t i = 0; i < nTypes; ++i) {
        auto typeOffset = reach(ctx, kHeader, table + uint64_t{4} * i, 4);
        if (!typeOffset) return false;
        if (!renderRecord(ctx, records + typeOffset->u32(0), kFirstRecordType + i)) return false;
    }
    writeSeparator(out);
    return true;
}

}  // namespace symdeck

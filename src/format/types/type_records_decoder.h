// The type records: a 20-byte header, a table of nTypes record offsets, then the records. Offset i
// counts from the first byte behind the table, and record i has the type index
// 0x1000 + i. Records are reached only through the table (they carry no length), so they
// may lie in any order and the bytes between them are never read.
#pragma once

#include "format/types/types.h"

#include <iterator>

#include "format/file_structures.h"

namespace symdeck {

namespace {

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

// Field offsets of the records; every record begins with its ULONG lf_index.
namespace label {
constexpr uint64_t kMode = 4, kSize = 8;
static_assert(kMode + 4 == kSize);
}  // namespace label
namespace procedureType {
constexpr uint64_t kArgList = 4, kRType = 8, kCall = 12, kArgCount = 16, kSize = 20;
static_assert(kArgCount + 4 == kSize);
}  // namespace procedureType
namespace array {
constexpr uint64_t kElemType = 4, kN1 = 8, kN2 = 12, kLength = 14, kIndexType = 18, kN3 = 22,
                   kNElements = 26, kN4 = 30, kSize = 32;
static_assert(kN4 + 2 == kSize);
}  // namespace array
// Structures and unions share one layout.
namespace aggregate {
constexpr uint64_t kDerivedType = 4, kIName = 8, kProperty = 12, kNFields = 14, kLength = 18,
                   kN1 = 22, kN2 = 26, kN3 = 30, kSize = 32;
static_assert(kN3 + 2 == kSize);
}  // namespace aggregate
namespace member {
constexpr uint64_t kIndexType = 4, kIName = 8, kAccess = 12, kOffset = 14, kN1 = 16, kSize = 20;
static_assert(kN1 + 4 == kSize);
}  // namespace member
// Argument lists and derivation lists: a count, then that many type indices behind the
// fixed part.
namespace typelist {
constexpr uint64_t kN1 = 4, kCount = 8, kSize = 12;
static_assert(kCount + 4 == kSize);
}  // namespace typelist

// An argument or derivation list's type indices, and the run of the section's records
// (whose words are their kinds').
constexpr Subject kTypeList{"types", "type"};
constexpr Subject kTypeRecords{"typeRecords", "type records"};

struct Kind {
    std::string_view title;  // the block title's first word
    std::string_view name;   // the lf_index value's word; empty: printed as a bare number
    uint64_t size;           // the fixed part in bytes, lf_index included
};

constexpr Kind kLabel{"DATAS_LF_LABEL", "TYPE_LF_LABEL", label::kSize};
constexpr Kind kProcedure{"DATAS_LF_PROCEDURE", "TYPE_LF_PROCEDURE", procedureType::kSize};
constexpr Kind kArray{"DATAS_LF_ARRAY", "TYPE_LF_ARRAY", array::kSize};
constexpr Kind kStruct{"DATAS_LF_STRUCT", "TYPE_LF_STRUCT", aggregate::kSize};
constexpr Kind kUnion{"TYPE_LF_UNION", "TYPE_LF_UNION", aggregate::kSize};
constexpr Kind kMember{"DATAS_LF_MEMBER", "TYPE_LF_MEMBER", member::kSize};
constexpr Kind kArgList{"DATAS_LF_ARGLIST", "TYPE_LF_ARGLIST", typelist::kSize};
constexpr Kind kDerived{"DATAS_LF_DERIVED", "TYPE_LF_DERIVED", typelist::kSize};
constexpr Kind kUnknownKind{"unknown type", {}, 4};

// By reference: the walk reads the kind's words in place.
const Kind& kindOf(uint32_t lfIndex) {
    switch (lfIndex) {
        case kLfLabel: return kLabel;
        case kLfProcedure: return kProcedure;
        case kLfArray: return kArray;
        case kLfStruct: return kStruct;
        case kLfUnion: return kUnion;
        case kLfMember: return kMember;
        case kLfArgList: return kArgList;
        case kLfDerived: return kDerived;
        default: return kUnknownKind;
    }
}

constexpr EnumName kModes[] = {{0, "NEAR"}, {4, "FAR"}};

constexpr EnumName kCallingConventions[] = {
    {0, "Near C (arguments pushed right to left, caller pops arguments)"},
    {1, "Far C"},
    {2, "Near pascal  (arguments pushed left to right, callee pops arguments)"},
    {3, "Far pascal"},
    {4, "Near fastcall"},
    {5, "Far fastcall"},
    {6, "Pcode"},
    {7, "Near stdcall"},
    {8, "Far stdcall"},
    {9, "Near syscall"},
    {10, "Far syscall"},
    {11, "This call"},
    {12, "MIPS call"},
    {13, "Generic"},
};

constexpr EnumName kAccess[] = {{0, "none"}, {1, "private"}, {2, "protected"}, {3, "public"}};

// An enumeration's field: its value's word from `table`; a value without a word reads as
// the message `head`, the number (signed) and `tail` (spelled `message`), or as the bare
// hexadecimal number when `head` is empty.
template <size_t N>
Field enumField(Field f, const EnumName (&table)[N], std::string_view head, std::string_view tail,
                Spelling message = Spelling::Message) {
    if (const EnumName* known = findName(table, f.value)) {
        f.layout.spelling = Spelling::AsText;
        f.meaning = Meaning::Word;
        f.text = known->name;
    } else if (head.empty()) {
        f.layout.spelling = Spelling::Hex;
        f.problem = Problem::UnknownEnum;
    } else {
        f.problem = Problem::UnknownEnum;
        f.layout.spelling = message;
        f.isSigned = true;
        f.meaning = Meaning::ErrorDec;
        f.text = head;
        f.tail = tail;
    }
    return f;
}

template <class P>
void reportLabel(Fields<P>& f) {
    f.emit(enumField(f.ulong(f.record, label::kMode, "mode", Role::Enum, Spelling::AsText, true),
                     kModes, {}, {}));
}

template <class P>
void reportProcedure(Fields<P>& f) {
    // The argument list's type index, shown as a bare number.
    f.typeNumber(procedureType::kArgList, "argList");
    f.type(procedureType::kRType, "rType");
    f.emit(enumField(f.ulong(f.record, procedureType::kCall, "call", Role::Enum, Spelling::AsText),
                     kCallingConventions, "unknown(", ")"));
    f.count(procedureType::kArgCount, "argCount", "arguments", Counting::Unreported, true);
}

template <class P>
void reportArray(Fields<P>& f) {
    f.type(array::kElemType, "elemType");
    f.number(array::kN1, "N1");
    f.number16(array::kN2, "N2");
    f.emit(f.asSigned(f.ulong(f.record, array::kLength, "length", Role::Size, Spelling::DecBytes)));
    f.type(array::kIndexType, "indexType");
    f.number(array::kN3, "N3");
    f.count(array::kNElements, "nElements", "elements", Counting::Unreported);
    f.number16(array::kN4, "N4", true);
}

template <class P>
void reportAggregate(Fields<P>& f) {
    // A type index, shown as a bare number.
    f.typeNumber(aggregate::kDerivedType, "derivedType");
    f.name(aggregate::kIName);
    f.number16(aggregate::kProperty, "property");
    f.count(aggregate::kNFields, "nFields", "fields", Counting::Unreported);
    f.size(aggregate::kLength, "length");
    f.number(aggregate::kN1, "N1");
    f.number(aggregate::kN2, "N2");
    f.number16(aggregate::kN3, "N3", true);
}

template <class P>
void reportMember(Fields<P>& f) {
    f.type(member::kIndexType, "indexType");
    f.name(member::kIName);
    // An access without a word is the one field line of the report whose name column is
    // 18 characters wide.
    f.emit(enumField(f.ushort(f.record, member::kAccess, "access", Role::Enum, Spelling::AsText),
                     kAccess, "unknown(", ")", Spelling::WideMessage));
    // The member's place inside its structure, in decimal.
    f.emit(f.asSigned(f.ushort(f.record, member::kOffset, "offset", Role::Offset, Spelling::Dec)));
    f.number(member::kN1, "N1", true);
}

// The count's type indices, printed as bare numbers; each entry is checked before its line.
template <class P>
bool reportTypeList(Cursor<P>& cursor, Fields<P>& f) {
    f.number(typelist::kN1, "N1");
    const uint32_t count = f.u32(typelist::kCount);
    f.count(typelist::kCount, "argCount", kTypeList.key);
    const uint64_t first = f.record.offset + f.record.width;
    const List list{kTypeList, first, count, 4, f.record.offset + typelist::kCount,
                    ListSpelling::TypeList};
    return cursor.list(list, [&](const Record& entry, uint32_t) {
        Field type = Fields<P>::ulong(entry, 0, "type", Role::TypeIndex, Spelling::Hex);
        type.target = typeTarget(cursor.walk.image, cursor.walk.types, type.value);
        f.emit(type);
    });
}

template <class P>
bool renderRecord(Cursor<P>& cursor, uint64_t offset, uint32_t typeIndex, uint32_t i,
                  uint32_t nTypes) {
    auto head = cursor.at(offset, 4);
    if (!head) return false;
    const uint32_t lfIndex = head->u32(0);
    const Kind& kind = kindOf(lfIndex);
    auto record = cursor.at(offset, kind.size);
    if (!record) return false;

    P& print = cursor.walk.print;
    print.open(Title{kind.title, offset, kind.size, TitleLayout{2, TitleSpelling::TypeRecord},
                     Mark::TypeIndex, typeIndex, i, nTypes});
    Fields<P> f{cursor.walk, *record};
    Field index = f.ulong(*record, 0, "lf_index", Role::Enum, Spelling::HexNamed);
    if (kind.name.empty()) {
        // A kind without a word: the bare number, and the pointer to the type strings.
        index.layout = FieldLayout{Spelling::Hex, After::Note};
    } else {
        index.meaning = Meaning::Word;
        index.text = kind.name;
    }
    f.emit(index);

    switch (lfIndex) {
        case kLfLabel: reportLabel(f); break;
        case kLfProcedure: reportProcedure(f); break;
        case kLfArray: reportArray(f); break;
        case kLfStruct:
        case kLfUnion: reportAggregate(f); break;
        case kLfMember: reportMember(f); break;
        case kLfArgList:
        case kLfDerived:
            if (!reportTypeList(cursor, f)) return false;
            break;
        default: break;
    }
    print.close();
    return true;
}

}  // namespace

template <class P>
void installTypeRecords(Walk<P>& walk, uint64_t sectionOffset) {
    constexpr auto& header = nmtp::kHeader;
    auto record = recordAt(walk.image, sectionOffset, header.size);
    if (!record || !record->startsWith(header.signature)) return;
    const uint32_t count = record->u32(fieldOf(header, "nTypes").offset);
    const uint64_t table = sectionOffset + header.size;
    walk.types = TypeRecordsView{true, count, table, table + uint64_t{4} * count};
}

template <class P>
bool renderTypeRecords(Walk<P>& walk, uint64_t sectionOffset) {
    constexpr auto& description = nmtp::kHeader;
    constexpr FieldDescription nTypesField = fieldOf(description, "nTypes");
    Cursor<P> cursor{walk, description.word};
    auto header = openSection(cursor, sectionOffset, description.signature, description.size,
                              TitleSpelling::Section);
    if (!header) return false;
    P& print = walk.print;
    Fields<P> f{walk, *header};
    const uint32_t nTypes = header->u32(nTypesField.offset);
    f.count(nTypesField, kTypeRecords.key);
    f.unnamed(unnamedWords(description), false, true);

    // Record i lies typeOffsets[i] bytes behind the table.
    const uint64_t table = sectionOffset + description.size;
    const uint64_t records = table + uint64_t{4} * nTypes;
    const Run run{kTypeRecords, table, nTypes, 0, sectionOffset + nTypesField.offset};
    print.openRun(run);
    const bool complete = cursor.sequence(kTypeRecords, table, 4, nTypes, [&](const Record& entry, uint32_t i) {
        Field offset = Fields<P>::ulong(entry, 0, "typeOffsets", Role::Offset, Spelling::Hex);
        offset.target = f.follow(Leads::Block, records, offset.value);
        print.reads(offset, i);
        return renderRecord(cursor, records + entry.u32(0), kFirstRecordType + i, i, nTypes);
    });
    if (!complete) return false;
    print.closeRun(run);
    print.close();
    return true;
}

}  // namespace symdeck

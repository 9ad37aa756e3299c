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

// The run of the section's records (whose words are their kinds').
constexpr Subject kTypeRecords{"typeRecords", "type records"};

// A kind of record: its table (type_records.structures) gives the block's title word and
// the fixed part's size, lf_index included.
struct Kind {
    std::string_view title;  // the block title's first word
    std::string_view name;   // the lf_index value's word; empty: printed as a bare number
    uint64_t size;
};

template <size_t N>
constexpr Kind recordKind(const StructureDescription<N>& record, std::string_view name) {
    return Kind{record.word, name, record.size};
}

constexpr Kind kLabel = recordKind(nmtp::kLabel, "TYPE_LF_LABEL");
constexpr Kind kProcedure = recordKind(nmtp::kProcedure, "TYPE_LF_PROCEDURE");
constexpr Kind kArray = recordKind(nmtp::kArray, "TYPE_LF_ARRAY");
constexpr Kind kStruct = recordKind(nmtp::kStruct, "TYPE_LF_STRUCT");
constexpr Kind kUnion = recordKind(nmtp::kUnion, "TYPE_LF_UNION");
constexpr Kind kMember = recordKind(nmtp::kMember, "TYPE_LF_MEMBER");
constexpr Kind kArgList = recordKind(nmtp::kArgList, "TYPE_LF_ARGLIST");
constexpr Kind kDerived = recordKind(nmtp::kDerived, "TYPE_LF_DERIVED");
constexpr Kind kUnknownKind = recordKind(nmtp::kUnknownRecord, {});

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
// the message `head`, the number (signed) and `tail`, or as the bare number (without sign)
// when `head` is empty.
template <size_t N>
Field enumField(Field f, const EnumName (&table)[N], std::string_view head, std::string_view tail) {
    if (const EnumName* known = findName(table, f.value)) {
        f.meaning = Meaning::Word;
        f.text = known->name;
    } else if (head.empty()) {
        f.problem = Problem::UnknownEnum;
    } else {
        f.problem = Problem::UnknownEnum;
        f.isSigned = true;
        f.meaning = Meaning::ErrorDec;
        f.text = head;
        f.tail = tail;
    }
    return f;
}

// An enumeration whose value without a word reads "unknown(" value ")".
template <class P, size_t N>
SYMDECK_INLINE void unknownOr(Fields<P>& f, const FieldDescription& d, const EnumName (&table)[N]) {
    f.emit(enumField(f.field(f.record, d), table, "unknown(", ")"));
}

template <class P>
void reportLabel(Fields<P>& f) {
    f.emit(enumField(f.field(f.record, fieldOf(nmtp::kLabel, "mode"), true),
                     kModes, {}, {}));
}

template <class P>
void reportProcedure(Fields<P>& f) {
    constexpr auto& d = nmtp::kProcedure;
    f.typeNumber(fieldOf(d, "argList"));
    f.type(fieldOf(d, "rType"));
    unknownOr(f, fieldOf(d, "call"), kCallingConventions);
    f.count(fieldOf(d, "argCount"), "arguments", Counting::Unreported, true);
}

template <class P>
void reportArray(Fields<P>& f) {
    constexpr auto& d = nmtp::kArray;
    f.template byRole<d, fieldsFrom(d, "elemType", "N3")>();
    f.count(fieldOf(d, "nElements"), "elements", Counting::Unreported);
    f.hex(fieldOf(d, "N4"), true);
}

// Structures and unions (one layout: either table serves).
template <class P>
void reportAggregate(Fields<P>& f) {
    constexpr auto& d = nmtp::kStruct;
    f.typeNumber(fieldOf(d, "derivedType"));
    f.template byRole<d, fieldsFrom(d, "iName", "property")>();
    f.count(fieldOf(d, "nFields"), "fields", Counting::Unreported);
    f.template byRole<d, fieldsFrom(d, "length", "N3")>(true);
}

template <class P>
void reportMember(Fields<P>& f) {
    constexpr auto& d = nmtp::kMember;
    f.template byRole<d, fieldsFrom(d, "indexType", "iName")>();
    unknownOr(f, fieldOf(d, "access"), kAccess);
    // The member's place inside its structure, read signed.
    f.emit(f.asSigned(f.field(f.record, fieldOf(d, "offset"))));
    f.hex(fieldOf(d, "N1"), true);
}

// Argument lists and derivation lists (one layout): the count's type indices, printed as
// bare numbers; each entry is checked before its line.
template <class P>
bool reportTypeList(Cursor<P>& cursor, Fields<P>& f) {
    constexpr auto& d = nmtp::kArgList;
    constexpr FieldDescription argCount = fieldOf(d, "argCount");
    f.hex(fieldOf(d, "N1"));
    const uint32_t count = f.u32(argCount.offset);
    f.count(argCount, kTypeList.key, Counting::Run, true);
    const uint64_t first = f.record.offset + f.record.width;
    const List list{kTypeList, first, count, 4, f.record.offset + argCount.offset};
    return cursor.list(list, [&](const Record& entry, uint32_t) {
        Field type = Fields<P>::ulong(entry, 0, "type", Role::TypeIndex);
        if constexpr (showsTargets<P>())
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
    print.open(Title{kind.title, offset, kind.size, Mark::TypeIndex, typeIndex, i, nTypes});
    Fields<P> f{cursor.walk, *record};
    // Every kind's table begins with the lf_index, as the unknown kind's does.
    static_assert(fieldOf(nmtp::kUnknownRecord, "lf_index").offset == 0 &&
                  nmtp::kLabel.fields[0].name == "lf_index" &&
                  nmtp::kProcedure.fields[0].name == "lf_index" &&
                  nmtp::kArray.fields[0].name == "lf_index" &&
                  nmtp::kStruct.fields[0].name == "lf_index" &&
                  nmtp::kMember.fields[0].name == "lf_index" &&
                  nmtp::kArgList.fields[0].name == "lf_index");
    // A kind without a word reports nothing more: its lf_index is its last field.
    Field index = f.field(*record, fieldOf(nmtp::kUnknownRecord, "lf_index"), kind.name.empty());
    if (!kind.name.empty()) {
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
                              Mark::SectionEnd);
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
        Field offset = Fields<P>::ulong(entry, 0, "typeOffsets", Role::Offset);
        offset.target = f.follow(Leads::Block, records, offset.value);
        print.reads(offset, i);
        // Each record stands where its own offset says: past a damaged one, the next.
        const uint32_t level = levelOf(print);
        return renderRecord(cursor, records + entry.u32(0), kFirstRecordType + i, i, nTypes) ||
               goOnPast(walk, level);
    });
    if (!complete) return false;
    print.closeRun(run);
    print.close();
    return true;
}

}  // namespace symdeck

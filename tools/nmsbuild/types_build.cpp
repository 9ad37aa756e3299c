#include "nmsbuild/types_build.h"

namespace nmsbuild {

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

template <class Aggregate>
void aggregate(Bytes& out, uint32_t lfIndex, const Aggregate& r) {
    out.u32(lfIndex);
    out.u32(r.derivedType);
    out.u32(r.iName);
    out.u16(r.property);
    out.u32(r.nFields);
    out.u32(r.length);
    out.u32(r.n1);
    out.u32(r.n2);
    out.u16(r.n3);
}

template <class List>
void typeList(Bytes& out, uint32_t lfIndex, const List& r) {
    out.u32(lfIndex);
    out.u32(r.n1);
    out.u32(r.argCount.value_or(static_cast<uint32_t>(r.types.size())));
    for (uint32_t t : r.types) out.u32(t);
}

void emitRecord(Bytes& out, const TypeRecord& record) {
    std::visit(Overloaded{
                   [&](const Label& r) {
                       out.u32(0xE);
                       out.u32(r.mode);
                   },
                   [&](const Procedure& r) {
                       out.u32(0x8);
                       for (uint32_t v : {r.argList, r.rType, r.call, r.argCount}) out.u32(v);
                   },
                   [&](const Array& r) {
                       out.u32(0x1003);
                       out.u32(r.elemType);
                       out.u32(r.n1);
                       out.u16(r.n2);
                       out.u32(r.length);
                       out.u32(r.indexType);
                       out.u32(r.n3);
                       out.u32(r.nElements);
                       out.u16(r.n4);
                   },
                   [&](const Struct& r) { aggregate(out, 0x1005, r); },
                   [&](const Union& r) { aggregate(out, 0x1006, r); },
                   [&](const Member& r) {
                       out.u32(0x1406);
                       out.u32(r.indexType);
                       out.u32(r.iName);
                       out.u16(r.access);
                       out.u16(r.offset);
                       out.u32(r.n1);
                   },
                   [&](const ArgList& r) { typeList(out, 0x2201, r); },
                   [&](const Derived& r) { typeList(out, 0x2204, r); },
                   [&](const RawRecord& r) {
                       out.u32(r.lfIndex);
                       out.raw(r.body);
                   },
               },
               record);
}

}  // namespace

uint64_t recordSize(const TypeRecord& record) {
    Bytes scratch;
    emitRecord(scratch, record);
    return scratch.pos();
}

SectionEmitter typeRecords(TypeRecords s) {
    return [s = std::move(s)](Bytes& out) {
        const uint64_t start = out.pos();
        std::vector<uint32_t> offsets;
        if (s.typeOffsets) {
            offsets = *s.typeOffsets;
        } else {
            uint64_t at = 0;
            for (const TypeRecord& r : s.records) {
                offsets.push_back(static_cast<uint32_t>(at));
                at += recordSize(r);
            }
        }
        out.fixedText(s.signature, 4);
        out.u32(0);
        out.u32(s.nTypes.value_or(static_cast<uint32_t>(offsets.size())));
        out.u32(s.n1);
        out.u32(s.n2);
        for (uint32_t v : offsets) out.u32(v);
        for (const TypeRecord& r : s.records) emitRecord(out, r);
        patchSectionLength(out, start, s.sectionLength);
    };
}

SectionEmitter typeTables(TypeTables s) {
    return [s = std::move(s)](Bytes& out) {
        const uint64_t start = out.pos();
        constexpr uint64_t kHeaderSize = 24;
        out.fixedText(s.signature, 4);
        out.u32(0);
        out.u32(s.nTypeTables.value_or(static_cast<uint32_t>(s.entries.size())));
        out.u32(s.offTypeTables.value_or(static_cast<uint32_t>(start + kHeaderSize)));
        out.u32(s.n1);
        out.u32(s.n2);
        for (const TypeTableEntry& e : s.entries) {
            out.u32(e.type);
            out.u32(e.iName);
        }
        patchSectionLength(out, start, s.sectionLength);
    };
}

SectionEmitter hashTables(HashTables s) {
    return [s = std::move(s)](Bytes& out) {
        const uint64_t start = out.pos();
        constexpr uint64_t kHeaderSize = 32;
        const uint64_t list = start + kHeaderSize;
        const uint64_t entries = list + 4 * s.tableOffsets.size();
        out.fixedText(s.signature, 4);
        out.u32(0);
        out.u32(s.sizeTableOffsets.value_or(static_cast<uint32_t>(s.tableOffsets.size())));
        out.u32(s.nTypes.value_or(static_cast<uint32_t>(s.entries.size())));
        out.u32(s.offTableOffsets.value_or(static_cast<uint32_t>(list)));
        out.u32(s.offTypeTables.value_or(static_cast<uint32_t>(entries)));
        out.u32(s.n1);
        out.u32(s.n2);
        for (uint32_t v : s.tableOffsets) out.u32(v);
        for (const HashEntry& e : s.entries)
            for (uint32_t v : {e.offPreviousTable, e.hashNumber, e.iName, e.type, e.n1}) out.u32(v);
        patchSectionLength(out, start, s.sectionLength);
    };
}

}  // namespace nmsbuild

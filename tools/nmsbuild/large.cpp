#include "nmsbuild/large.h"

#include <algorithm>
#include <string>
#include <variant>

#include "nmsbuild/symbols_build.h"
#include "nmsbuild/types_build.h"

namespace nmsbuild {

namespace {

// A small deterministic generator (64-bit LCG, high bits out).
struct Random {
    uint64_t state;
    uint32_t next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state >> 32);
    }
    uint32_t below(uint32_t n) { return n == 0 ? 0 : next() % n; }
};

constexpr uint32_t kPrimitives[] = {0x0003, 0x0010, 0x0011, 0x0012, 0x0020, 0x0021, 0x0022,
                                    0x0071, 0x0103, 0x0110, 0x0112, 0x0120, 0x0122, 0x0222,
                                    0x0074, 0x0040};

// Name references. In a real module a few hundred common names (i, count, this, ...) are
// used all over, and every other name is used close to where it entered the string table,
// since names are added in the order the records that use them are made. With `random`
// every reference falls anywhere in the table instead: the worst case for the caches.
struct Names {
    uint32_t count;
    bool random;
    uint32_t cursor = 0;

    uint32_t pick(Random& rng) {
        if (random) return rng.below(count);
        const uint32_t common = std::min<uint32_t>(count, 512);
        if (rng.below(2) == 0) return rng.below(common);
        cursor = cursor + 1 < count ? cursor + 1 : 0;
        const uint32_t near = cursor + rng.below(64);
        return near < count ? near : rng.below(count);
    }
};

std::string identifier(Random& rng, uint32_t i) {
    static constexpr const char* kStems[] = {"Buffer", "count", "Window", "handle", "Parse",
                                             "index", "Stream", "flags", "Render", "offset",
                                             "Socket", "length", "Create", "result"};
    std::string name = kStems[rng.below(std::size(kStems))];
    name += '_';
    name += std::to_string(i);
    if (rng.below(3) == 0) name += kStems[rng.below(std::size(kStems))];
    return name;
}

// A type index: a primitive one, or one of the first `nRecords` NMTP records.
uint32_t typeIndex(Random& rng, uint32_t nRecords) {
    if (nRecords == 0 || rng.below(2) == 0) return kPrimitives[rng.below(std::size(kPrimitives))];
    return 0x1000 + rng.below(nRecords);
}

TypeRecord typeRecord(Random& rng, uint32_t nRecords, Names& names) {
    switch (rng.below(10)) {
        case 0: return Label{.mode = rng.below(2) * 4};
        case 1:
            return Procedure{.argList = 0x1000 + rng.below(nRecords), .rType = typeIndex(rng, nRecords),
                             .call = rng.below(14), .argCount = rng.below(6)};
        case 2:
            return Array{.elemType = typeIndex(rng, nRecords), .length = 4 * (1 + rng.below(256)),
                         .indexType = 0x0012, .nElements = 1 + rng.below(256)};
        case 3:
            return Struct{.derivedType = 0, .iName = names.pick(rng), .property = 0,
                          .nFields = 1 + rng.below(12), .length = 4 * (1 + rng.below(64))};
        case 4:
            return Union{.iName = names.pick(rng), .nFields = 1 + rng.below(4),
                         .length = 4 * (1 + rng.below(8))};
        case 5:
        case 6:
            return Member{.indexType = typeIndex(rng, nRecords), .iName = names.pick(rng),
                          .access = static_cast<uint16_t>(rng.below(4)),
                          .offset = static_cast<uint16_t>(4 * rng.below(64))};
        case 7: {
            ArgList list;
            const uint32_t n = rng.below(5);
            for (uint32_t k = 0; k < n; ++k) list.types.push_back(typeIndex(rng, nRecords));
            return list;
        }
        case 8: {
            Derived list;
            const uint32_t n = 1 + rng.below(2);
            for (uint32_t k = 0; k < n; ++k) list.types.push_back(0x1000 + rng.below(nRecords));
            return list;
        }
        default: return RawRecord{.lfIndex = 0x1200 + rng.below(16), .body = std::string(8, '\0')};
    }
}

// One segment holding about `budget` bytes of procedures, variables, lines and VLP entries.
Segment segment(Random& rng, uint16_t number, uint64_t budget, uint32_t nRecords,
                Names& names) {
    Segment s{.nSeg = number, .iName = names.pick(rng), .physSize = 0};
    uint32_t code = 0x10;
    uint32_t line = 1;
    uint64_t used = 0;
    while (used < budget) {
        SegmentProcedure p{.offStartProc = code};
        const uint32_t nLocals = rng.below(6);
        for (uint32_t k = 0; k < nLocals; ++k)
            p.locals.push_back({.type = typeIndex(rng, nRecords), .iName = names.pick(rng),
                                .offVLP = 0xFFFFFFF0 - 4 * k});
        const uint32_t nRegisters = rng.below(4);
        for (uint32_t k = 0; k < nRegisters; ++k)
            p.registers.push_back({.tableType = static_cast<uint16_t>(2 + rng.below(2)),
                                   .type = typeIndex(rng, nRecords), .iName = names.pick(rng),
                                   .registerNumber = static_cast<uint16_t>(17 + rng.below(8))});
        // Dense line tables: a row every few bytes of code.
        SourceSection section{.offStart = code};
        const uint32_t nLines = 8 + rng.below(40);
        for (uint32_t k = 0; k < nLines; ++k) {
            section.lines.push_back({code, line});
            code += 2 + rng.below(12);
            line += 1 + rng.below(3);
        }
        section.offEnd = code;
        p.offEndProc = code;
        s.procedures.push_back(std::move(p));
        s.sourceSections.push_back(std::move(section));
        s.vlpEntries.push_back({.tableType = static_cast<uint16_t>(4 + rng.below(6)),
                                .type = typeIndex(rng, nRecords), .iName = names.pick(rng),
                                .offVLP = code});
        used += 32 + 16 * nLocals + 18 * nRegisters + 20 + 8 * nLines + 16 + 4;
    }
    s.physSize = code;
    return s;
}

}  // namespace

Database largeDescription(uint64_t targetBytes, uint64_t seed, NameOrder nameOrder, LaterBuild later) {
    Random rng{seed * 2654435761u + 1};
    Database db;
    db.header.verMajor = 1;
    db.header.verMinor = 2;
    db.header.creationTime = 0x60000000 + rng.below(0x1000000);
    db.header.fileType = 4;
    db.header.fileLength = static_cast<uint32_t>(targetBytes * 3);
    db.header.filePath = "d:\\build\\release\\bigmodule.dll";
    db.header.copyrightString = "Generated for symdeck's benchmarks";

    // Shares of the file: names 30%, type records 25%, type and hash tables 10%, symbol
    // data the rest. This gives a report of about eight times the file's size.
    const uint64_t nameBytes = targetBytes * 3 / 10;
    StringTable strings;
    uint64_t used = 0;
    for (uint32_t i = 0; used < nameBytes; ++i) {
        strings.names.push_back(identifier(rng, i));
        used += strings.names.back().size() + 1 + 4;
    }
    Names names{static_cast<uint32_t>(strings.names.size()), nameOrder == NameOrder::Random};

    TypeRecords records;
    const uint64_t recordBytes = targetBytes / 4;
    used = 0;
    // Records refer to records at most a little ahead of the ones made so far.
    const auto plannedRecords = static_cast<uint32_t>(std::max<uint64_t>(recordBytes / 28, 1));
    while (used < recordBytes) {
        records.records.push_back(typeRecord(rng, plannedRecords, names));
        used += recordSize(records.records.back()) + 4;
    }
    const auto nRecords = static_cast<uint32_t>(records.records.size());

    TypeTables tables;
    for (uint64_t i = 0; i < targetBytes / 25 / 8; ++i)
        tables.entries.push_back({.type = typeIndex(rng, nRecords), .iName = names.pick(rng)});

    HashTables hashes;
    for (uint64_t i = 0; i < targetBytes / 100 / 4; ++i) hashes.tableOffsets.push_back(20 * rng.below(1u << 20));
    for (uint64_t i = 0; i < targetBytes / 20 / 20; ++i)
        hashes.entries.push_back({.offPreviousTable = i == 0 ? 0 : static_cast<uint32_t>(20 * rng.below(static_cast<uint32_t>(i))),
                                  .hashNumber = rng.next() & 0xFFFF,
                                  .iName = names.pick(rng),
                                  .type = typeIndex(rng, nRecords)});

    SymbolData symbols;
    const uint64_t symbolBytes = targetBytes - nameBytes - recordBytes - targetBytes / 25 - targetBytes / 100 - targetBytes / 20;
    const uint64_t segments = std::clamp<uint64_t>(symbolBytes / (256 * 1024), 2, 4096);
    for (uint64_t k = 0; k < segments; ++k)
        symbols.segments.push_back(segment(rng, static_cast<uint16_t>(k + 1), symbolBytes / segments, nRecords, names));
    for (uint32_t k = 0; k < 64; ++k)
        symbols.sourceFiles.push_back({.iName = names.pick(rng), .offSource = 0x1000 * k,
                                       .sourceLength = 1000 + rng.below(50000)});

    if (later.on) {
        // Made after everything else was drawn, so that the rest is the same database.
        for (size_t k = 0; k < 4; ++k) {
            auto& procedures = symbols.segments[(k * symbols.segments.size()) / 4].procedures;
            if (procedures.empty()) continue;
            SegmentProcedure added = procedures[procedures.size() / 2];
            added.offStartProc += 1;
            procedures.insert(procedures.begin() + static_cast<ptrdiff_t>(procedures.size() / 2), added);
        }
        for (size_t k = 1; k <= 4; ++k) {
            // The first record from k fifths in whose kind has a number to change.
            size_t at = (k * records.records.size()) / 5;
            while (at + 1 < records.records.size() && std::holds_alternative<RawRecord>(records.records[at])) ++at;
            std::visit([](auto& record) {
                if constexpr (requires { record.length; }) record.length += 8;
                else if constexpr (requires { record.call; }) record.call ^= 1;
                else if constexpr (requires { record.mode; }) record.mode ^= 4;
                else if constexpr (requires { record.n1; }) record.n1 += 1;
            }, records.records[at]);
        }
    }

    db.entries.push_back({kGtyp, gtyp({})});
    db.entries.push_back({kSttb, stringTable(std::move(strings))});
    Entry types{kNmtp, typeRecords(std::move(records))};
    Entry typeTablesEntry{kTytb, typeTables(std::move(tables))};
    Entry hashEntry{kHsht, hashTables(std::move(hashes))};
    Entry symbolEntry{kSymd, symbolData(std::move(symbols))};
    if (later.on) {
        db.entries.insert(db.entries.end(), {symbolEntry, hashEntry, typeTablesEntry, types});
    } else {
        db.entries.insert(db.entries.end(), {types, typeTablesEntry, hashEntry, symbolEntry});
    }
    db.entries.push_back({kSrcp, srcp({})});
    db.entries.push_back({kFpod, fpod({})});
    return db;
}

std::vector<uint8_t> largeDatabase(uint64_t targetBytes, uint64_t seed, NameOrder nameOrder, LaterBuild later) {
    return build(largeDescription(targetBytes, seed, nameOrder, later)).bytes;
}

}  // namespace nmsbuild

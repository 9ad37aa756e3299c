// Roles and targets: the whole stream of events for small databases, every field with its
// role, every followed offset with the absolute offset it leads to, every count with what
// it counts. Targets are worked out from where the builder lays each structure out, never
// taken from the program's own output.
#include <gtest/gtest.h>

#include "format/walk.h"
#include "forms/text_printer.h"
#include "nmsbuild/symbols_build.h"
#include "nmsbuild/types_build.h"
#include "test_support.h"

namespace symdeck::test {
namespace {

using namespace nmsbuild;

std::string h(uint64_t value) { return "0x" + hex(value); }

// The lines of N1 ... Nn, all zero.
std::string unnamedLines(int n) {
    std::string lines;
    for (int i = 1; i <= n; ++i) lines.append("N").append(std::to_string(i)).append(" number 0x0\n");
    return lines;
}

TEST(Roles, HeaderAndDirectoryFollowTheirOffsets) {
    Database db;
    db.entries.push_back({kFpod, fpod({})});
    db.entries.push_back({.entryIndex = 9});
    db.entries.push_back({kSttb, stringTable({.names = {"a"}})});
    const auto built = build(db);
    const uint64_t dir = 0x244, fpodAt = built.sectionOffsets[0], sttbAt = built.sectionOffsets[2];
    SectionSelection noSttb;
    noSttb.skipSttb = true;

    // Three entries of 36 bytes behind the directory's 56, then the sections in entry order.
    ASSERT_EQ(fpodAt, dir + 56 + 3 * 36);
    const std::string expected =
        "open NM32_HEADER @0x0 size 580\n"
        "NM32 signature 0x32334D4E \"NM32\"\n"
        "verMajor number 0x1\n"
        "verMinor number 0x0\n"
        "offNMDR offset 0x244 -> block 0x244\n"
        "creationTime number 0x0\n"
        "creationNumber number 0x0\n"
        "fileType enum 0x2 \"PE_EXE\"\n"
        "fileLength size 0x0\n" +
        unnamedLines(8) +
        "filePath text 0x0 \"\"\n"
        "copyrightString text 0x0 \"\"\n"
        "close\n"
        "open NMDR_HEADER @0x244 size 56\n"
        "NMDR signature 0x52444D4E \"NMDR\"\n"
        "nNMDE count 0x3 counts NMDE_S\n"
        "offGTYP offset 0x0\n"
        "offSTTB offset " + h(sttbAt) + "\n"
        "offSYMD offset 0x0\n"
        "offSRCP offset 0x0\n"
        "offFPOD offset " + h(fpodAt) + "\n" +
        unnamedLines(7) +
        "run NMDE_S @0x27C count 3 stride 36 by 0x248\n"
        "open NMDE_S @0x27C size 36 index 0 (1 of 3)\n"
        "NMDE signature 0x45444D4E \"NMDE\"\n"
        "entryIndex enum 0x8 \"FPOD\"\n"
        "offEntry offset " + h(fpodAt) + " -> block " + h(fpodAt) + "\n"
        "entryLength size 0x30\n" +
        unnamedLines(5) +
        "close\n"
        "open NMDE_S @0x2A0 size 36 index 1 (2 of 3)\n"
        "NMDE signature 0x45444D4E \"NMDE\"\n"
        "entryIndex enum 0x9 error\n"
        "offEntry offset 0x0\n"  // an unknown kind's entry is not followed
        "entryLength size 0x0\n" +
        unnamedLines(5) +
        "close\n"
        "open NMDE_S @0x2C4 size 36 index 2 (3 of 3)\n"
        "NMDE signature 0x45444D4E \"NMDE\"\n"
        "entryIndex enum 0x2 \"STTB\"\n"
        "offEntry offset " + h(sttbAt) + " -> leftOut " + h(sttbAt) + "\n"
        "entryLength size 0x1A\n" +  // 20 bytes of header, one offset, "a" and its NUL
        unnamedLines(5) +
        "close\n"
        "end run\n"
        "close\n"
        "open FPOD_HEADER @" + h(fpodAt) + " size 48 end " + h(fpodAt + 48) + "\n"
        "FPOD signature 0x444F5046 \"FPOD\"\n"
        "sectionLength size 0x30\n" +
        unnamedLines(10) +
        "close\n"
        "unknown 9\n"
        "end complete\n";
    EXPECT_EQ(eventLines(built.bytes, noSttb), expected);
}

TEST(Roles, StringListOffsetsLeadToTheNamesOfTheInstalledTable) {
    Database db;
    db.entries.push_back({kSttb, stringTable({.names = {"ab", "c"}})});
    db.entries.push_back({kSttb, stringTable({.names = {"x"}})});
    const auto built = build(db);
    const uint64_t first = built.sectionOffsets[0], second = built.sectionOffsets[1];
    // The names begin behind the 20-byte header and one offset per name.
    const uint64_t names = first + 20 + 2 * 4;
    EXPECT_EQ(eventLines(built.bytes, {}, "STTB_HEADER"),
              "open STTB_HEADER @" + h(first) + " size 20 end " + h(first + 33) + "\n"
              "STTB signature 0x42545453 \"STTB\"\n"
              "sectionLength size 0x21\n"
              "nNames count 0x2 counts strings\n"
              "N1 number 0x0\n"
              "N2 number 0x0\n"
              "list strings @" + h(first + 20) + " count 2 stride 4 by " + h(first + 8) + "\n"
              "element 0 @" + h(first + 20) + "\n"
              "offset offset 0x0 \"ab\" -> text " + h(names) + "\n"
              "element 1 @" + h(first + 24) + "\n"
              "offset offset 0x3 \"c\" -> text " + h(names + 3) + "\n"
              "end list\n"
              "close\n");
    // The second table's rows show the installed table's names: its offsets lead nowhere.
    const std::string all = eventLines(built.bytes);
    EXPECT_NE(all.find("element 0 @" + h(second + 20) + "\noffset offset 0x0 \"ab\"\nend list\n"),
              std::string::npos)
        << all;
}

// A procedure type, its argument list and a structure; a type table that names two types.
Database typesDatabase() {
    Database db;
    db.entries.push_back({kNmtp, typeRecords({.records = {
                                                  Procedure{.argList = 0x1001, .rType = 0x1002, .argCount = 2},
                                                  ArgList{.types = {0x1000, 0x22, 0x1009}},
                                                  Struct{.nFields = 3, .length = 8},
                                              }})});
    db.entries.push_back({kTytb, typeTables({.entries = {{0x1002, 0}, {0x3, 0}}})});
    return db;
}

TEST(Roles, TypeRecordsAndTheTypeIndicesThatNameThem) {
    const auto built = build(typesDatabase());
    const uint64_t nmtp = built.sectionOffsets[0], tytb = built.sectionOffsets[1];
    // Behind the 20-byte header, the table of three offsets, then the records back to back:
    // a procedure (20 bytes), an argument list (12 and 4 per entry), a structure.
    const uint64_t records = nmtp + 20 + 3 * 4;
    const uint64_t procedure = records, argList = records + 20, structure = argList + 12 + 3 * 4;
    EXPECT_EQ(eventLines(built.bytes, {}, "NMTP_HEADER"),
              "open NMTP_HEADER @" + h(nmtp) + " size 20 end " + h(structure + 32) + "\n"
              "NMTP signature 0x50544D4E \"NMTP\"\n"
              "sectionLength size " + h(structure + 32 - nmtp) + "\n"
              "nTypes count 0x3 counts typeRecords\n"
              "N1 number 0x0\n"
              "N2 number 0x0\n"
              "run typeRecords @" + h(nmtp + 20) + " count 3 stride 0 by " + h(nmtp + 8) + "\n"
              "reads typeOffsets offset 0x0 -> block " + h(procedure) + " [0]\n"
              "open DATAS_LF_PROCEDURE @" + h(procedure) + " size 20 type 0x1000 (1 of 3)\n"
              "lf_index enum 0x8 \"TYPE_LF_PROCEDURE\"\n"
              "argList typeIndex 0x1001 -> record " + h(argList) + "\n"
              "rType typeIndex 0x1002 \"one of NM types\" -> record " + h(structure) + "\n"
              "call enum 0x0 \"Near C (arguments pushed right to left, caller pops arguments)\"\n"
              "argCount count 0x2 counts arguments unreported\n"
              "close\n"
              "reads typeOffsets offset 0x14 -> block " + h(argList) + " [1]\n"
              "open DATAS_LF_ARGLIST @" + h(argList) + " size 12 type 0x1001 (2 of 3)\n"
              "lf_index enum 0x2201 \"TYPE_LF_ARGLIST\"\n"
              "N1 number 0x0\n"
              "argCount count 0x3 counts types\n"
              "list types @" + h(argList + 12) + " count 3 stride 4 by " + h(argList + 8) + "\n"
              "element 0 @" + h(argList + 12) + "\n"
              "type typeIndex 0x1000 -> record " + h(procedure) + "\n"
              "element 1 @" + h(argList + 16) + "\n"
              "type typeIndex 0x22 why primitive\n"
              "element 2 @" + h(argList + 20) + "\n"
              "type typeIndex 0x1009 why beyondTypeCount\n"
              "end list\n"
              "close\n"
              "reads typeOffsets offset 0x2C -> block " + h(structure) + " [2]\n"
              "open DATAS_LF_STRUCT @" + h(structure) + " size 32 type 0x1002 (3 of 3)\n"
              "lf_index enum 0x1005 \"TYPE_LF_STRUCT\"\n"
              "derivedType typeIndex 0x0 why primitive\n"
              "iName nameIndex 0x0 \"iName is out of range\"\n"
              "property number 0x0\n"
              "nFields count 0x3 counts fields unreported\n"
              "length size 0x8\n"
              "N1 number 0x0\n"
              "N2 number 0x0\n"
              "N3 number 0x0\n"
              "close\n"
              "end run\n"
              "close\n");
    // offTypeTables counts from the image's first byte; the count is read, not shown.
    const uint64_t entries = tytb + 24;
    EXPECT_EQ(eventLines(built.bytes, {}, "TYTB_HEADER"),
              "open TYTB_HEADER @" + h(tytb) + " size 24\n"
              "TYTB signature 0x42545954 \"TYTB\"\n"
              "sectionLength size 0x28\n"
              "offTypeTables offset " + h(entries) + " -> elements " + h(entries) + "\n"
              "N1 number 0x0\n"
              "N2 number 0x0\n"
              "reads nTypeTables count 0x2 counts TYPETABLE\n"
              "run TYPETABLE @" + h(entries) + " count 2 stride 8 by " + h(tytb + 8) + "\n"
              "open TYPETABLE @" + h(entries) + " size 8 (1 of 2)\n"
              "type typeIndex 0x1002 \"one of NM types\" -> record " + h(structure) + "\n"
              "iName nameIndex 0x0 \"iName is out of range\"\n"
              "close\n"
              "open TYPETABLE @" + h(entries + 8) + " size 8 (2 of 2)\n"
              "type typeIndex 0x3 \"void\" why primitive\n"
              "iName nameIndex 0x0 \"iName is out of range\"\n"
              "close\n"
              "end run\n"
              "close\n");
}

// A procedure's argList and a structure's or union's derivedType are type indices like any
// other: their record is their target, and one that names none says why. The text report
// still shows them as bare numbers.
TEST(Roles, ArgListAndDerivedTypeLeadToTheirRecords) {
    Database db;
    db.entries.push_back({kNmtp, typeRecords({.records = {
                                                  Procedure{.argList = 0x1001},
                                                  ArgList{.types = {}},
                                                  Struct{.derivedType = 0x1003},
                                                  Union{.derivedType = 0x1001},
                                                  Struct{.derivedType = 0x74},
                                                  Union{.derivedType = 0x1009},
                                              }})});
    const auto built = build(db);
    const uint64_t records = built.sectionOffsets[0] + 20 + 6 * 4;
    const uint64_t argList = records + 20, firstStruct = argList + 12, firstUnion = firstStruct + 32;
    const struct {
        const char* block;
        uint64_t offset;
        std::string line;
    } cases[] = {
        {"DATAS_LF_PROCEDURE", records, "argList typeIndex 0x1001 -> record " + h(argList)},
        {"DATAS_LF_STRUCT", firstStruct, "derivedType typeIndex 0x1003 -> record " + h(firstUnion)},
        {"TYPE_LF_UNION", firstUnion, "derivedType typeIndex 0x1001 -> record " + h(argList)},
        {"DATAS_LF_STRUCT", firstUnion + 32, "derivedType typeIndex 0x74 why primitive"},
        {"TYPE_LF_UNION", firstUnion + 64, "derivedType typeIndex 0x1009 why beyondTypeCount"},
    };
    const std::string events = eventLines(built.bytes, {}, "NMTP_HEADER");
    const std::string text = report(built.bytes);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const size_t block = events.find(std::string("open ") + c.block + " @" + h(c.offset) + " ");
        ASSERT_NE(block, std::string::npos) << events;
        EXPECT_EQ(events.find(c.line + "\n", block), events.find('\n', events.find('\n', block) + 1) + 1)
            << events;
        // The report's line: the bare number, as before.
        const std::string value = c.line.substr(c.line.find("0x"), c.line.find(' ', c.line.find("0x")) - c.line.find("0x"));
        const std::string name = c.line.substr(0, c.line.find(' '));
        EXPECT_NE(text.find("ULONG        " + name + std::string(17 - name.size(), ' ') + value + "\n"),
                  std::string::npos);
    }
}

// The type line of the first TYPETABLE entry, which names type 0x1001.
std::string firstTypeLine(const std::vector<uint8_t>& bytes, const SectionSelection& selection = {}) {
    const std::string lines = eventLines(bytes, selection, "TYTB_HEADER");
    const size_t at = lines.find("type typeIndex");
    return at == std::string::npos ? lines : lines.substr(at, lines.find('\n', at) - at);
}

TEST(Roles, ATypeIndexNamesTheFirstTypeSectionsRecordWhereverItStands) {
    struct Case {
        const char* what;
        std::function<void(Database&)> change;
        std::function<void(std::vector<uint8_t>&, const Built&)> damage;
        SectionSelection selection;
        std::function<std::string(const Built&)> expected;
    };
    const auto record1 = [](const Built& b) {  // the second record of the first NMTP entry
        return "type typeIndex 0x1001 \"one of NM types\" -> record " + h(b.sectionOffsets[1] + 20 + 8 + 8);
    };
    const auto why = [](const char* word) {
        return [word](const Built&) { return std::string("type typeIndex 0x1001 \"one of NM types\" why ") + word; };
    };
    SectionSelection noNmtp;
    noNmtp.skipNmtp = true;
    const Case cases[] = {
        {"the type section behind its users", {}, {}, {}, record1},
        {"the type section left out of the report", {}, {}, noNmtp, record1},
        {"a second type section is not looked at",
         [](Database& db) { db.entries.push_back({kNmtp, typeRecords({.records = {Label{}}})}); }, {}, {}, record1},
        {"no type section", [](Database& db) { db.entries.pop_back(); }, {}, {}, why("noTypeSection")},
        {"a type section with a wrong signature", {},
         [](std::vector<uint8_t>& bytes, const Built& b) { bytes[b.sectionOffsets[1]] = 'X'; }, noNmtp,
         why("noTypeSection")},
        {"fewer records than the index", [](Database& db) {
             db.entries[1] = {kNmtp, typeRecords({.records = {Label{}}})};
         }, {}, {}, why("beyondTypeCount")},
        {"the record's offset lies past the end",
         [](Database& db) { db.entries[1] = {kNmtp, typeRecords({.records = {Label{}, Label{}}, .nTypes = 0x100})}; },
         [](std::vector<uint8_t>& bytes, const Built& b) { bytes.resize(b.sectionOffsets[1] + 20 + 4 + 2); }, noNmtp,
         why("offsetNotInFile")},
        {"the record lies past the end",
         [](Database& db) {
             db.entries[1] = {kNmtp, typeRecords({.records = {Label{}, Label{}}, .typeOffsets = std::vector<uint32_t>{0, 0x10000}})};
         }, {}, noNmtp, why("recordNotInFile")},
    };
    for (const Case& c : cases) {
        Database db;
        db.entries.push_back({kTytb, typeTables({.entries = {{0x1001, 0}}})});
        db.entries.push_back({kNmtp, typeRecords({.records = {Label{}, Label{}}})});
        if (c.change) c.change(db);
        const auto built = build(db);
        auto bytes = built.bytes;
        if (c.damage) c.damage(bytes, built);
        EXPECT_EQ(firstTypeLine(bytes, c.selection), c.expected(built)) << c.what;
    }
}

TEST(Roles, SegmentOffsetsLeadToTheBlocksOfTheirBases) {
    SymbolData symd;
    Segment segment;
    SegmentProcedure procedure;
    procedure.locals = {VlpEntry{.tableType = 1, .type = 0x22}};
    procedure.registers = {RegisterVariable{.registerNumber = 17}, RegisterVariable{.tableType = 3}};
    procedure.sizeRegVariables = 40;  // two entries and four bytes left over
    segment.procedures = {procedure};
    segment.sourceSections = {SourceSection{.lines = {{0x10, 1}, {0x20, 2}}}, SourceSection{.lines = {{0x30, 3}}}};
    segment.vlpEntries = {VlpEntry{.tableType = 5}, VlpEntry{.tableType = 6}};
    segment.vlpOffsets = std::vector<uint32_t>{16, 0};
    symd.segments = {segment};
    symd.sourceFiles = {SourceFile{.sourceLength = 9}};
    Database db;
    db.entries.push_back({kSymd, symbolData(symd)});
    const auto built = build(db);

    // The layout the builder gives a segment: header, record, then its areas in order.
    const uint64_t symdAt = built.sectionOffsets[0];
    const uint64_t header = symdAt + 44, seg = header + 12;
    const uint64_t procs = seg + 54, locals = procs + 32, regs = locals + 16, sections = regs + 2 * 18,
                   rows = sections + 2 * 20, vlp = rows + 3 * 8, vlpOffsets = vlp + 2 * 16,
                   files = vlpOffsets + 2 * 4;
    const auto off = [&](const char* name, uint64_t at, const char* leads) {
        return std::string(name) + " offset " + h(at - seg) + " -> " + leads + " " + h(at) + "\n";
    };
    const std::string lines = eventLines(built.bytes, {}, "SYMD_HEADER");
    const std::string expected =
        "open SYMD_HEADER @" + h(symdAt) + " size 44 end " + h(files + 20) + "\n"
        "SYMD signature 0x444D5953 \"SYMD\"\n"
        "sectionLength size " + h(files + 20 - symdAt) + "\n"
        "offSData_header offset " + h(header) + " -> block " + h(header) + "\n" +
        unnamedLines(8) +
        "open SEGMENTDATA_HEADER @" + h(header) + " size 12\n"
        "subSectionLength size " + h(files - header) + " -> elements " + h(files) + "\n"
        "nSourceFiles count 0x1 counts SEGDATA_SOURCEFILE\n"
        "nSegments count 0x1 counts SEGMENTDATA\n"
        "run SEGMENTDATA @" + h(seg) + " count 1 stride 54 by " + h(header + 8) + "\n"
        "open SEGMENTDATA @" + h(seg) + " size 54\n"
        "nSeg number 0x0\n"
        "iName nameIndex 0x0 \"iName is out of range\"\n"
        "N1 number 0x0\n"
        "physSize size 0x0\n" +
        off("offProcDef", procs, "elements") +
        "nProcedures count 0x1 counts SEGDATA_PROCEDURE\n" +
        off("offLVarDef", locals, "area") + off("offRegDef", regs, "area") + off("offVLPDef", vlp, "area") +
        "nVLP count 0x2 counts SEGDATA_VLPTABLE\n" +
        off("offVLPOffsets", vlpOffsets, "array") + off("offSourceSDef", sections, "elements") +
        "nSourceSec count 0x2 counts SEGDATA_SOURCESECTION\n" +
        off("offSCLineDef", rows, "elements") +
        "run SEGDATA_PROCEDURE @" + h(procs) + " count 1 stride 32 by " + h(seg + 18) + "\n"
        "open SEGDATA_PROCEDURE @" + h(procs) + " size 32\n"
        "offStartProc offset 0x0\n"
        "offEndProc offset 0x0\n"
        "offLocVariables offset 0x0 -> elements " + h(locals) + "\n"
        "nLocalVariables count 0x1 counts SEGDATA_VLPTABLE\n"
        "offRegVariables offset 0x0 -> elements " + h(regs) + "\n"
        "sizeRegVariables size 0x28 entries 2 counts SEGDATA_REGISTER\n"
        "M1 number 0x0\n"
        "N1 number 0x0\n"
        "run SEGDATA_VLPTABLE @" + h(locals) + " count 1 stride 16 by " + h(procs + 12) + "\n"
        "open SEGDATA_VLPTABLE @" + h(locals) + " size 16\n"
        "size size 0x10\n"
        "tableType enum 0x1 \"TT_LOCALV\"\n"
        "type typeIndex 0x22 \"unsigned long\" why primitive\n"
        "iName nameIndex 0x0 \"iName is out of range\"\n"
        "offVLP offset 0x0\n"
        "close\n"
        "end run\n"
        "run SEGDATA_REGISTER @" + h(regs) + " count 2 stride 18 by " + h(procs + 20) + "\n"
        "open SEGDATA_REGISTER @" + h(regs) + " size 18 (1 of 2)\n"
        "size size 0x12\n"
        "tableType enum 0x2 \"TT_REGISTER\"\n"
        "type typeIndex 0x0 \"no Type\" why primitive\n"
        "iName nameIndex 0x0 \"iName is out of range\"\n"
        "parameterOffset offset 0x0\n"
        "registerNumber enum 0x11 \"eax\"\n"
        "close\n"
        "open SEGDATA_REGISTER @" + h(regs + 18) + " size 18 (2 of 2)\n"
        "size size 0x12\n"
        "tableType enum 0x3 \"TT_REGISTER_POINTER\"\n"
        "type typeIndex 0x0 \"no Type\" why primitive\n"
        "iName nameIndex 0x0 \"iName is out of range\"\n"
        "parameterOffset offset 0x0\n"
        "registerNumber enum 0x0 \"none\"\n"
        "close\n"
        "end run\n"
        "close\n"
        "end run\n"
        "open SEGDATA_SOURCELINES @" + h(rows) + " size 0\n"
        "list lineRows @" + h(rows) + " count 3 stride 8\n"
        "element 0 @" + h(rows) + "\n"
        "offInCode offset 0x10\n"
        "lineNumber number 0x1\n"
        "element 1 @" + h(rows + 8) + "\n"
        "offInCode offset 0x20\n"
        "lineNumber number 0x2\n"
        "element 2 @" + h(rows + 16) + "\n"
        "offInCode offset 0x30\n"
        "lineNumber number 0x3\n"
        "end list\n"
        "close\n"
        "run SEGDATA_SOURCESECTION @" + h(sections) + " count 2 stride 20 by " + h(seg + 46) + "\n"
        "open SEGDATA_SOURCESECTION @" + h(sections) + " size 20 (1 of 2)\n"
        "offStart offset 0x0\n"
        "offEnd offset 0x0\n"
        "offSourceLines offset " + h(rows - seg) + "\n"
        "nLineTables count 0x2 counts lineRows share\n"
        "offInSFDef offset 0x0\n"
        "close\n"
        "open SEGDATA_SOURCESECTION @" + h(sections + 20) + " size 20 (2 of 2)\n"
        "offStart offset 0x0\n"
        "offEnd offset 0x0\n"
        "offSourceLines offset " + h(rows + 16 - seg) + "\n"
        "nLineTables count 0x1 counts lineRows share\n"
        "offInSFDef offset 0x0\n"
        "close\n"
        "end run\n"
        "run SEGDATA_VLPTABLE @" + h(vlpOffsets) + " count 2 stride 0 by " + h(seg + 34) + "\n"
        "reads VLPOffsets offset 0x10 -> block " + h(vlp + 16) + " [0]\n"
        "open SEGDATA_VLPTABLE @" + h(vlp + 16) + " size 16 (1 of 2)\n"
        "size size 0x10\n"
        "tableType enum 0x6 \"TT_GLOBALV\"\n"
        "type typeIndex 0x0 \"no Type\" why primitive\n"
        "iName nameIndex 0x0 \"iName is out of range\"\n"
        "offVLP offset 0x0\n"
        "close\n"
        "reads VLPOffsets offset 0x0 -> block " + h(vlp) + " [1]\n"
        "open SEGDATA_VLPTABLE @" + h(vlp) + " size 16 (2 of 2)\n"
        "size size 0x10\n"
        "tableType enum 0x5 \"TT_VARIABLE\"\n"
        "type typeIndex 0x0 \"no Type\" why primitive\n"
        "iName nameIndex 0x0 \"iName is out of range\"\n"
        "offVLP offset 0x0\n"
        "close\n"
        "end run\n"
        "close\n"
        "end run\n"
        "run SEGDATA_SOURCEFILE @" + h(files) + " count 1 stride 20 by " + h(header + 4) + "\n"
        "open SEGDATA_SOURCEFILE @" + h(files) + " size 20\n"
        "iName nameIndex 0x0 \"iName is out of range\"\n"
        "offSource offset 0x0\n"
        "sourceLength size 0x9\n"
        "N1 number 0x0\n"
        "N2 number 0x0\n"
        "close\n"
        "end run\n"
        "close\n"
        "close\n";
    EXPECT_EQ(lines, expected);
}

// Offsets that lead past the end of the file still carry their target, flagged.
TEST(Roles, TargetsPastTheEndAreFlagged) {
    SymbolData symd;
    Segment segment;
    segment.offProcDef = 0xFFFFFFF0;
    segment.nProcedures = 0;
    segment.offSCLineDef = 0x7FFFFFFF;
    symd.segments = {segment};
    Database db;
    db.entries.push_back({kSymd, symbolData(symd)});
    const auto built = build(db);
    const uint64_t seg = built.sectionOffsets[0] + 44 + 12;
    const std::string lines = eventLines(built.bytes, {}, "SYMD_HEADER");
    EXPECT_NE(lines.find("offProcDef offset 0xFFFFFFF0 -> elements " + h(seg + 0xFFFFFFF0) + " outside\n"),
              std::string::npos) << lines;
    EXPECT_NE(lines.find("offSCLineDef offset 0x7FFFFFFF -> elements " + h(seg + 0x7FFFFFFF) + " outside\n"),
              std::string::npos) << lines;
    // An empty run stands where no procedure and no row lies.
    EXPECT_NE(lines.find("run SEGDATA_PROCEDURE @" + h(seg + 0xFFFFFFF0) + " count 0"), std::string::npos);
    EXPECT_NE(lines.find("run lineRows @" + h(seg + 0x7FFFFFFF) + " count 0"), std::string::npos);
}

// The one spelling of every value: what the report's value column shows, which explain and
// any other text that shows a value take from the same function.
TEST(Roles, OneSpellingOfEveryValue) {
    struct Case {
        Spelling spelling;
        uint32_t value;
        Meaning meaning;
        std::string_view text;
        std::string_view tail;
        uint32_t entries;
        const char* expected;
    };
    const Case cases[] = {
        {Spelling::Hex, 0x1A, Meaning::None, "", "", 0, "0x1A"},
        {Spelling::Dec, 0xFFFFFFFF, Meaning::None, "", "", 0, "-1"},
        {Spelling::DecHexBytes, 4096, Meaning::None, "", "", 0, "4096(0x1000) bytes"},
        {Spelling::DecBytes, 48, Meaning::None, "", "", 0, "48 bytes"},
        {Spelling::RegisterBytes, 40, Meaning::None, "", "", 2, "40(0x28) bytes (nRegisters: 2)"},
        {Spelling::AsText, 0, Meaning::Word, "FAR", "", 0, "FAR"},
        {Spelling::NameRef, 3, Meaning::Word, "main", "", 0, "3(\"main\")"},
        {Spelling::HexNamed, 0x22, Meaning::Word, "unsigned long", "", 0, "0x22(unsigned long)"},
        {Spelling::DecNamed, 17, Meaning::Word, "eax", "", 0, "17(eax)"},
        {Spelling::FileType, 10, Meaning::None, "", "", 0, "0x0A"},
        {Spelling::FileType, 0x2, Meaning::Word, "PE_EXE", "", 0, "0x02(PE_EXE)"},
        {Spelling::Message, 3, Meaning::ErrorHex, "", "(unknown)", 0, "0x3(unknown)"},
        {Spelling::WideMessage, 4, Meaning::ErrorDec, "unknown(", ")", 0, "unknown(4)"},
        {Spelling::RowHex06, 0x1A, Meaning::None, "", "", 0, "0x00001A"},
        {Spelling::RowHex06, 0x1234567, Meaning::None, "", "", 0, "0x1234567"},
        {Spelling::RowDec, 7, Meaning::None, "", "", 0, "7"},
        {Spelling::ListName, 0, Meaning::Word, "abc", "", 0, "abc"},
    };
    for (const Case& c : cases) {
        Field f{"x", "ULONG", 0, 4, c.value, Role::Number, c.meaning};
        f.text = c.text;
        f.tail = c.tail;
        f.entries = c.entries;
        EXPECT_EQ(valueText(f, c.spelling), c.expected);
    }
}

// What the text writes for a number with its top bit set, for every spelling and meaning:
// a sign exactly where spellsSigned says, the predicate the checks of every walk hold each
// field's `isSigned` to (so the JSON forms' "signed" is where the text shows a minus).
TEST(Roles, SpellsSignedIsWhereTheTextWritesAMinus) {
    constexpr Meaning kMeanings[] = {Meaning::None, Meaning::Word, Meaning::ErrorDec,
                                     Meaning::ErrorHex};
    int signedCases = 0;
    for (unsigned s = 0; s <= static_cast<unsigned>(Spelling::RowDec); ++s) {
        for (const Meaning meaning : kMeanings) {
            const Field f{"x", "ULONG", 0, 4, 0xFFFFFFFE, Role::Number, meaning};
            const auto spelling = static_cast<Spelling>(s);
            const std::string text = valueText(f, spelling);
            EXPECT_EQ(text.starts_with("-2"), spellsSigned(f, spelling)) << "spelling " << s << ": " << text;
            signedCases += spellsSigned(f, spelling);
        }
    }
    // Dec, DecHexBytes, DecBytes, RegisterBytes, NameRef, DecNamed and RowDec whatever the
    // meaning; a message unless its number is in hexadecimal.
    EXPECT_EQ(signedCases, 7 * 4 + 2 * 3);
}

}  // namespace
}  // namespace symdeck::test

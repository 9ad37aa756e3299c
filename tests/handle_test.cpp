// The open database's handle (symdeck.h, version 7): its blocks and their fields are the
// block lines of --json-lines, its identities and sizes the table form's, the block at a
// byte explain's innermost holder, its renders and diffs the program's bytes; walks in
// chunks give what one walk gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "entry/c_interface.h"
#include "entry/render.h"
#include "forms/diff.h"
#include "forms/explain_answers.h"
#include "nmsbuild/corpus.h"
#include "nmsbuild/damage.h"
#include "nmsbuild/sample.h"
#include "symdeck.h"
#include "test_support.h"

namespace symdeck {
namespace {

using Json = nlohmann::json;

struct Closer {
    void operator()(symdeck_db* db) const { symdeck_close(db); }
};
using Handle = std::unique_ptr<symdeck_db, Closer>;

Handle open(const std::vector<uint8_t>& bytes, uint32_t leftOut = 0, std::string_view name = "db.nms") {
    symdeck_db* db = nullptr;
    EXPECT_EQ(symdeck_open(bytes.data(), bytes.size(), leftOut, name.data(), name.size(), &db), 0);
    return Handle(db);
}

std::string str(const char* data, size_t size) { return data ? std::string(data, size) : std::string("<null>"); }

// A block and its fields as JSON, in the members of the block lines (the handle's words).
struct Walked {
    std::vector<Json> blocks;
    std::vector<uint64_t> indices;
};

int walked(void* context, uint64_t index, const symdeck_block* b, const symdeck_field* fields, size_t count) {
    auto* out = static_cast<Walked*>(context);
    Json block{{"block", str(b->title, b->title_size)}, {"offset", b->offset}, {"size", b->size},
               {"parent", b->parent}, {"depth", b->depth}, {"place", b->place},
               {"identity", str(b->identity, b->identity_size)}, {"count", b->field_count}};
    Json rows = Json::array();
    for (size_t i = 0; i < count; ++i) {
        const symdeck_field& f = fields[i];
        Json row{{"name", str(f.name, f.name_size)}, {"type", str(f.type, f.type_size)}, {"offset", f.offset},
                 {"size", f.size}, {"role", str(f.role, f.role_size)}};
        if (f.is_text) {
            row["value"] = str(f.text, f.text_size);
            row["bytes"] = str(reinterpret_cast<const char*>(f.bytes), f.bytes_size);
        } else {
            row["value"] = f.number;
        }
        if (f.word) row["text"] = str(f.word, f.word_size);
        if (f.problem) row["error"] = str(f.problem, f.problem_size);
        if (f.has_target) {
            row["target"] = f.target;
            row["leads"] = str(f.leads, f.leads_size);
            if (f.target_outside) row["targetOutsideFile"] = true;
        }
        if (f.list) {
            row["list"] = str(f.list, f.list_size);
            row["element"] = f.element;
        }
        row["spelling"] = str(f.spelling, f.spelling_size);
        rows.push_back(row);
    }
    block["fields"] = rows;
    out->blocks.push_back(block);
    out->indices.push_back(index);
    return 1;
}

Walked walkAll(const symdeck_db* db, uint64_t chunk) {
    Walked out;
    const uint64_t n = symdeck_block_count(db);
    for (uint64_t first = 0; first < n; first += chunk)
        EXPECT_EQ(symdeck_walk_blocks(db, first, chunk, &walked, &out), 0);
    return out;
}

// The block lines of the JSON lines form with their list lines' rows, each row in the
// handle's words (a list's rows flattened with their list and element).
std::vector<Json> blockLines(const std::string& lines, Json& result) {
    std::vector<Json> blocks;
    const auto field = [](const Json& f, const Json& list, uint64_t element) {
        Json row = f;
        row.erase("counts");
        row.erase("counting");
        row.erase("entries");
        if (row.contains("signed")) row["value"] = row["signed"], row.erase("signed");
        if (!list.is_null()) row["list"] = list, row["element"] = element;
        return row;
    };
    size_t at = 0;
    while (at < lines.size()) {
        const size_t end = lines.find('\n', at);
        const Json line = Json::parse(lines.substr(at, end - at));
        at = end + 1;
        if (line["line"] == "result") result = line["result"];
        if (line["line"] == "block") {
            Json rows = Json::array();
            for (const Json& f : line["fields"]) {
                if (!f.contains("list")) {
                    rows.push_back(field(f, nullptr, 0));
                    continue;
                }
                for (size_t e = 0; e < f["elements"].size(); ++e)
                    for (const Json& r : f["elements"][e]) rows.push_back(field(r, f["list"], e));
            }
            Json block = line;
            block["fields"] = rows;
            blocks.push_back(block);
        } else if (line["line"] == "list") {
            const uint64_t first = line["first"];
            for (size_t e = 0; e < line["elements"].size(); ++e)
                for (const Json& r : line["elements"][e])
                    blocks.back()["fields"].push_back(field(r, line["list"], first + e));
        }
    }
    return blocks;
}

// Checks the handle of `bytes` against the JSON lines and table forms.
void checkAgainstForms(const std::vector<uint8_t>& bytes, uint32_t leftOut) {
    const Handle db = open(bytes, leftOut);
    const NmsImage image{bytes.data(), bytes.size()};
    const SectionSelection selection = selectionOf(leftOut);
    Json result;
    const std::vector<Json> lines =
        blockLines(renderJsonToString(image, selection, "db.nms", true), result);
    const Walked all = walkAll(db.get(), 1u << 30);
    EXPECT_EQ(all.blocks.size(), lines.size());
    EXPECT_EQ(symdeck_block_count(db.get()), lines.size());
    for (size_t i = 0; i < std::min(all.blocks.size(), lines.size()); ++i) {
        const Json& mine = all.blocks[i];
        const Json& line = lines[i];
        SCOPED_TRACE("block " + std::to_string(i) + " " + line.dump().substr(0, 200));
        EXPECT_EQ(all.indices[i], i);
        EXPECT_EQ(mine["block"], line["block"]);
        EXPECT_EQ(mine["offset"], line.value("offset", uint64_t{0}));
        EXPECT_EQ(mine["depth"], line["path"].size());
        EXPECT_EQ(mine["place"], line.value("index", uint64_t{SYMDECK_NO_PLACE}));
        if (line["path"].empty()) {
            EXPECT_EQ(mine["parent"], SYMDECK_NO_BLOCK);
        } else {
            const Json& parent = lines.at(mine["parent"].get<size_t>());
            EXPECT_EQ(parent["block"], line["path"].back()["block"]);
            EXPECT_EQ(parent["offset"], line["path"].back()["offset"]);
        }
        EXPECT_EQ(mine["count"], line["fields"].size());
        EXPECT_EQ(mine["fields"].size(), line["fields"].size());
        for (size_t k = 0; k < std::min(mine["fields"].size(), line["fields"].size()); ++k) {
            Json row = mine["fields"][k];
            Json expected = line["fields"][k];
            // The stored bytes stand where the line has "bytes" (or equal the text).
            if (row.contains("bytes")) {
                const std::string raw = row["bytes"];
                if (expected.contains("bytes")) {
                    std::string hex;
                    for (const char c : raw) {
                        char two[3];
                        std::snprintf(two, sizeof two, "%02x", static_cast<unsigned>(static_cast<uint8_t>(c)));
                        hex += two;
                    }
                    EXPECT_EQ(expected["bytes"], hex);
                } else {
                    EXPECT_EQ(raw, row["value"]);
                }
                row.erase("bytes");
                expected.erase("bytes");
            }
            row.erase("spelling");
            EXPECT_EQ(row, expected);
        }
    }
    // The result is the form's.
    symdeck_result r{};
    symdeck_db_result(db.get(), &r);
    EXPECT_EQ(r.damaged_fields, result["damagedFields"]);
    EXPECT_EQ(r.unknown_values, result["unknownValues"]);
    EXPECT_EQ(r.end == SYMDECK_END_COMPLETE, result["status"] == "complete");
    if (result["status"] != "complete") {
        EXPECT_EQ(str(r.header, r.header_size), result["header"]);
    }
    // Identities and sizes: the table form's rows, block by block.
    const std::string table = renderTableToString(image, selection, "db.nms", true);
    std::vector<std::pair<std::string, uint64_t>> rows;
    size_t at = 0;
    while (at < table.size()) {
        const size_t end = table.find('\n', at);
        const Json row = Json::parse(table.substr(at, end - at));
        at = end + 1;
        if (row["identity"].is_null()) continue;
        const std::pair<std::string, uint64_t> block{row["identity"], row["block_size"]};
        if (rows.empty() || rows.back() != block) rows.push_back(block);
    }
    std::vector<std::pair<std::string, uint64_t>> mine;
    for (const Json& b : all.blocks)
        if (b["block"] != "UNKNOWN") mine.emplace_back(b["identity"], b["size"]);
    EXPECT_EQ(mine, rows);
    // Chunks of any size give the same as one walk.
    for (const uint64_t chunk : {1, 3, 64}) {
        const Walked chunked = walkAll(db.get(), chunk);
        EXPECT_EQ(chunked.blocks, all.blocks) << "chunks of " << chunk;
    }
}

std::vector<uint8_t> cut(const std::vector<uint8_t>& bytes, size_t size) {
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::min(size, bytes.size()));
}

TEST(Handle, BlocksAndFieldsAreTheJsonLinesBlockLines) {
    const auto sample = nmsbuild::sampleDatabase();
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        uint32_t leftOut;
    };
    std::vector<Case> cases{{"sample", sample, 0},
                            {"sample without SYMD", sample, 1u << 6},
                            {"sample without STTB and NMTP", sample, 1u << 2 | 1u << 3},
                            {"awkward", test::smallAwkwardDatabase(), 0},
                            {"cut in the directory", cut(sample, 200), 0},
                            {"cut in the middle", cut(sample, sample.size() / 2), 0}};
    nmsbuild::CorruptionSweep sweep(sample);
    for (int round = 0; round < 12; ++round) cases.push_back({"corruption " + std::to_string(round), sweep.next().bytes, 0});
    for (auto& [name, bytes] : nmsbuild::corpusDatabases()) cases.push_back({"corpus " + name, bytes, 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        checkAgainstForms(c.bytes, c.leftOut);
    }
}

// The innermost block that holds a byte is the innermost holder of explain's answer, at
// every field's first byte, one byte past a list, and past the end of the file.
TEST(Handle, BlockAtIsExplainsInnermostHolder) {
    const auto sample = nmsbuild::sampleDatabase();
    const Handle db = open(sample);
    const Walked all = walkAll(db.get(), 1u << 30);
    std::vector<uint64_t> offsets{0, 7, sample.size() - 1, sample.size(), sample.size() + 100};
    for (const Json& b : all.blocks)
        for (const Json& f : b["fields"]) offsets.push_back(f["offset"].get<uint64_t>() + f["size"].get<uint64_t>() / 2);
    const Json answers = Json::parse(
        explainImage(NmsImage{sample.data(), sample.size()}, {}, offsets, true).text);
    ASSERT_EQ(answers.size(), offsets.size());
    for (size_t k = 0; k < offsets.size(); ++k) {
        SCOPED_TRACE(offsets[k]);
        const Json* holder = nullptr;
        for (const Json& hit : answers[k]["hits"]) {
            if (hit.contains("text") || hit["field"].value("shown", true) == false) continue;
            if (!holder || hit["blocks"].size() > (*holder)["blocks"].size()) holder = &hit;
        }
        const uint64_t at = symdeck_block_at(db.get(), offsets[k]);
        if (!holder) {
            EXPECT_EQ(at, SYMDECK_NO_BLOCK);
            continue;
        }
        ASSERT_NE(at, SYMDECK_NO_BLOCK) << answers[k].dump();
        symdeck_block b{};
        ASSERT_EQ(symdeck_block_get(db.get(), at, &b), 0);
        EXPECT_EQ(str(b.title, b.title_size), (*holder)["blocks"].back()["block"]);
        EXPECT_EQ(b.offset, (*holder)["blocks"].back()["offset"]);
        EXPECT_EQ(b.depth + 1, (*holder)["blocks"].size());
        // The field's spelling is the one explain gives it (the text report's).
        const Json& field = (*holder)["field"];
        const Json& rows = all.blocks.at(at)["fields"];
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const Json& r) {
            return r["name"] == field["name"] && r["offset"] == field["offset"];
        });
        ASSERT_NE(row, rows.end());
        EXPECT_EQ((*row)["spelling"], field["spelled"]);
    }
}

struct Collected {
    std::string text;
    int blocksLeft = -1;
};

int collect(void* context, const uint8_t* data, size_t size) {
    auto* c = static_cast<Collected*>(context);
    if (c->blocksLeft == 0) return 0;
    if (c->blocksLeft > 0) --c->blocksLeft;
    c->text.append(reinterpret_cast<const char*>(data), size);
    return 1;
}

TEST(Handle, RenderAndDiffGiveTheProgramsBytes) {
    const auto sample = nmsbuild::sampleDatabase();
    const auto half = cut(sample, sample.size() / 2);
    const std::vector<uint64_t> offsets{0x0, 0x495, 0x6B0, 0xFFFFFF};
    for (const uint32_t leftOut : {0u, 1u << 6}) {
        const Handle db = open(sample, leftOut);
        for (uint32_t form = SYMDECK_FORM_TEXT; form <= SYMDECK_FORM_TABLE_LINES; ++form) {
            SCOPED_TRACE(form);
            const bool explains = form == SYMDECK_FORM_EXPLAIN_TEXT || form == SYMDECK_FORM_EXPLAIN_JSON;
            const size_t count = explains ? offsets.size() : 0;
            Collected mine, theirs;
            const int32_t end = symdeck_db_render(db.get(), form, offsets.data(), count, &collect, &mine);
            EXPECT_EQ(end, symdeck_render_to(sample.data(), sample.size(), form, leftOut, "db.nms", 6,
                                             offsets.data(), count, &collect, &theirs));
            EXPECT_EQ(mine.text, theirs.text);
        }
    }
    const Handle a = open(sample, 0, "old.nms");
    const Handle b = open(half, 0, "new.nms");
    for (const uint32_t form : {SYMDECK_FORM_TEXT, SYMDECK_FORM_JSON_LINES}) {
        for (const bool same : {true, false}) {
            const symdeck_db* other = same ? a.get() : b.get();
            Collected mine;
            const int32_t result = symdeck_diff_render(a.get(), other, form, &collect, &mine);
            std::string theirs;
            ReportWriter out(stringSink(theirs), 4096);
            const NmsImage before{sample.data(), sample.size()};
            const NmsImage after = same ? before : NmsImage{half.data(), half.size()};
            const DiffResult diff = writeDiff(DiffInput{"old.nms", &before}, DiffInput{same ? "old.nms" : "new.nms", &after},
                                              {}, form == SYMDECK_FORM_TEXT ? DiffForm::Text : DiffForm::JsonLines,
                                              false, out);
            out.flush();
            EXPECT_EQ(mine.text, theirs);
            EXPECT_EQ(result, same ? SYMDECK_DIFF_SAME : SYMDECK_DIFF_CHANGED);
            EXPECT_EQ(diff.same(), same);
        }
    }
}

int stopAt(void* context, uint64_t, const symdeck_block*, const symdeck_field*, size_t) {
    return --*static_cast<int*>(context) > 0;
}

TEST(Handle, FailuresAreCodes) {
    const auto sample = nmsbuild::sampleDatabase();
    const Handle db = open(sample);
    symdeck_db* none = nullptr;
    symdeck_block block{};
    Collected c;
    int left = 2;
    char reason[64] = "x";
    const struct {
        const char* what;
        int32_t got;
        int32_t expected;
    } cases[] = {
        {"open without db", symdeck_open(sample.data(), sample.size(), 0, nullptr, 0, nullptr), SYMDECK_BAD_ARGUMENT},
        {"open of null bytes", symdeck_open(nullptr, 10, 0, nullptr, 0, &none), SYMDECK_BAD_ARGUMENT},
        {"open of a name without bytes", symdeck_open(sample.data(), 1, 0, nullptr, 3, &none), SYMDECK_BAD_ARGUMENT},
        {"block past the count", symdeck_block_get(db.get(), symdeck_block_count(db.get()), &block), SYMDECK_BAD_ARGUMENT},
        {"block of no handle", symdeck_block_get(nullptr, 0, &block), SYMDECK_BAD_ARGUMENT},
        {"walk without fn", symdeck_walk_blocks(db.get(), 0, 10, nullptr, nullptr), SYMDECK_BAD_ARGUMENT},
        {"walk stopped", symdeck_walk_blocks(db.get(), 0, 10, &stopAt, &left), SYMDECK_STOPPED_BY_HOST},
        {"walk past the end", symdeck_walk_blocks(db.get(), UINT64_MAX, UINT64_MAX, &stopAt, &left), 0},
        {"render of a bad form", symdeck_db_render(db.get(), 99, nullptr, 0, &collect, &c), SYMDECK_BAD_FORM},
        {"render without write", symdeck_db_render(db.get(), 0, nullptr, 0, nullptr, nullptr), SYMDECK_BAD_ARGUMENT},
        {"diff of a bad form", symdeck_diff_render(db.get(), db.get(), SYMDECK_FORM_JSON, &collect, &c), SYMDECK_BAD_FORM},
        {"diff of no handle", symdeck_diff_render(nullptr, db.get(), 0, &collect, &c), SYMDECK_BAD_ARGUMENT},
        {"open_path of a missing file",
         symdeck_open_path("/nonexistent/db.nms", 0, &none, reason, sizeof reason), SYMDECK_CANNOT_READ},
    };
    for (const auto& k : cases) EXPECT_EQ(k.got, k.expected) << k.what;
    EXPECT_EQ(left, 0);
    EXPECT_EQ(none, nullptr);
    EXPECT_STREQ(reason, "No such file or directory");
    EXPECT_EQ(symdeck_block_count(nullptr), 0u);
    EXPECT_EQ(symdeck_block_at(nullptr, 0), SYMDECK_NO_BLOCK);
    symdeck_close(nullptr);
    // A file read by open_path is the same database as its bytes.
    const std::string path = ::testing::TempDir() + "handle_test.nms";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(sample.data(), 1, sample.size(), f);
    std::fclose(f);
    ASSERT_EQ(symdeck_open_path(path.c_str(), 0, &none, nullptr, 0), 0);
    const Handle read(none);
    EXPECT_EQ(symdeck_block_count(read.get()), symdeck_block_count(db.get()));
    std::remove(path.c_str());
}

}  // namespace
}  // namespace symdeck

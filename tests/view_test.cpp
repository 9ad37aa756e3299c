// The view form: its frames decoded here as a page would, and held against the other forms
// of the same walk: every field against the walk's own events and the text report's
// spelling of its value, every block against the JSON document's blocks, and each block's
// range of the text report against the report's bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "entry/render.h"
#include "forms/view_printer.h"
#include "nmsbuild/corpus.h"
#include "nmsbuild/sample.h"
#include "test_support.h"

namespace symdeck::test {
namespace {

using Json = nlohmann::ordered_json;

struct ViewField {
    uint32_t index, offset, size;
    uint64_t target;
    std::string name, type, value;
    Role role;
    Leads leads;
    uint8_t flags;
};
struct ViewBlock {
    std::vector<uint32_t> w;  // the record's words
    std::string word;
};
struct View {
    uint32_t version = 0, frameRecords = 0;
    uint64_t imageSize = 0;
    std::vector<ViewField> fields;
    std::vector<ViewBlock> blocks;
    std::vector<std::vector<uint32_t>> lists;
    std::vector<std::pair<uint32_t, uint32_t>> reads;
    std::vector<uint32_t> end;
    std::string errorLine;
    std::vector<std::string> tags;  // the order of the frames' tags, as letters
};

uint32_t u32(const std::string& s, size_t at) {
    uint32_t v;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}

// Decodes the frames as a reader that knows only the documented layout would.
View decode(const std::string& bytes) {
    View v;
    std::string fields, text, blocks, lists, reads, words, kinds, end;
    size_t at = 0;
    uint32_t fieldFrames = 0;
    while (at < bytes.size()) {
        EXPECT_LE(at + 8, bytes.size());
        const uint32_t tag = u32(bytes, at), size = u32(bytes, at + 4);
        const std::string payload = bytes.substr(at + 8, size);
        at += 8 + (size + 3) / 4 * 4;
        v.tags.push_back(std::string(1, static_cast<char>('0' + tag)));
        switch (tag) {
            case view::kHeader:
                v.version = u32(payload, 4 * view::kHeaderVersion);
                v.imageSize = u32(payload, 4 * view::kHeaderImageSizeLow) |
                              uint64_t{u32(payload, 4 * view::kHeaderImageSizeHigh)} << 32;
                v.frameRecords = u32(payload, 4 * view::kHeaderFrameRecords);
                break;
            case view::kFields:
                // Every frame but the last holds the same number of whole records.
                if (fieldFrames++ > 0) {
                    EXPECT_EQ(fields.size() % (view::kFieldBytes * v.frameRecords), 0u);
                }
                EXPECT_EQ(size % view::kFieldBytes, 0u);
                fields += payload;
                break;
            case view::kText: text += payload; break;
            case view::kBlocks: blocks += payload; break;
            case view::kLists: lists += payload; break;
            case view::kReads: reads += payload; break;
            case view::kWords: words += payload; break;
            case view::kKinds: kinds += payload; break;
            case view::kEnd: end += payload; break;
            default: ADD_FAILURE() << "tag " << tag;
        }
    }
    EXPECT_EQ(at, bytes.size());
    std::vector<std::string> word;
    for (size_t i = 0; i < words.size();) {
        const uint32_t n = u32(words, i);
        word.push_back(words.substr(i + 4, n));
        i += 4 + (n + 3) / 4 * 4;
    }
    uint32_t textStart = 0;
    for (size_t i = 0; i < fields.size(); i += view::kFieldBytes) {
        ViewField f{};
        f.index = u32(fields, i + view::kFieldIndex);
        f.offset = u32(fields, i + view::kFieldOffset);
        f.size = u32(fields, i + view::kFieldSize);
        f.target = u32(fields, i + view::kFieldTargetLow) |
                   uint64_t{static_cast<uint8_t>(fields[i + view::kFieldTargetHigh])} << 32;
        const uint32_t textEnd = u32(fields, i + view::kFieldTextEnd);
        f.value = text.substr(textStart, textEnd - textStart);
        textStart = textEnd;
        uint16_t kind;
        std::memcpy(&kind, fields.data() + i + view::kFieldKind, 2);
        uint16_t name, type;
        const size_t k = view::kKindBytes * kind;
        std::memcpy(&name, kinds.data() + k + view::kKindName, 2);
        std::memcpy(&type, kinds.data() + k + view::kKindType, 2);
        f.name = word.at(name);
        f.type = word.at(type);
        f.role = static_cast<Role>(kinds[k + view::kKindRole]);
        f.leads = static_cast<Leads>(kinds[k + view::kKindLeads]);
        f.flags = static_cast<uint8_t>(fields[i + view::kFieldFlags]);
        v.fields.push_back(f);
    }
    EXPECT_EQ(textStart, text.size());
    v.blocks.resize(blocks.size() / 64);
    for (size_t i = 0; i < blocks.size(); i += 64) {
        std::vector<uint32_t> w(view::kBlockWords);
        std::memcpy(w.data(), blocks.data() + i, 64);
        ViewBlock& b = v.blocks.at(w[view::kBlockIndex]);
        EXPECT_TRUE(b.w.empty()) << "block " << w[view::kBlockIndex] << " twice";
        b.word = word.at(w[view::kBlockWord] & view::kBlockWordMask);
        b.w = std::move(w);
    }
    for (size_t i = 0; i < lists.size(); i += 32) {
        std::vector<uint32_t> w(view::kListWords);
        std::memcpy(w.data(), lists.data() + i, 32);
        v.lists.push_back(w);
    }
    for (size_t i = 0; i < reads.size(); i += 8) v.reads.emplace_back(u32(reads, i), u32(reads, i + 4));
    v.end.resize(view::kEndWords);
    std::memcpy(v.end.data(), end.data(), 4 * view::kEndWords);
    v.errorLine = end.substr(4 * view::kEndWords + 4, u32(end, 4 * view::kEndWords));
    return v;
}

// Where the value of the first line from `at` on that shows `type` and `name` in their
// columns begins (npos: no such line).
size_t fieldLine(const std::string& text, size_t at, const std::string& type, const std::string& name) {
    for (size_t p = text.find(" " + type + " ", at); p != std::string::npos; p = text.find(" " + type + " ", p + 1)) {
        const size_t n = text.find_first_not_of(' ', p + type.size() + 1);
        if (n == std::string::npos || text.compare(n, name.size(), name) != 0) continue;
        if (text[n + name.size()] != ' ') continue;
        return text.find_first_not_of(' ', n + name.size());
    }
    return std::string::npos;
}

uint64_t textStart(const ViewBlock& b) {
    return b.w[view::kBlockTextStartLow] | uint64_t{b.w[view::kBlockTextStartHigh]} << 32;
}
uint64_t textEnd(const ViewBlock& b) {
    return b.w[view::kBlockTextEndLow] | uint64_t{b.w[view::kBlockTextEndHigh]} << 32;
}

// Holds the view of `bytes` against its walk, its text report and its JSON document; returns
// the view for what a test checks besides.
View checkView(const std::vector<uint8_t>& bytes, const SectionSelection& selection = {}) {
    const NmsImage image{bytes.data(), bytes.size()};
    const View v = decode(renderViewToString(image, selection));
    const std::string text = renderToString(image, selection);
    const Json doc = Json::parse(renderJsonToString(image, selection, "t.nms"));
    EXPECT_EQ(v.version, 2u);
    EXPECT_EQ(v.imageSize, bytes.size());

    // Fields: the walk's own, in its order, each value as the text report spells it.
    std::vector<const Field*> walked;
    const std::vector<WalkEvent> events = recordWalk(image, selection);
    for (const WalkEvent& e : events)
        if (e.kind == WalkEvent::Kind::Field) walked.push_back(&e.field);
    EXPECT_EQ(v.fields.size(), walked.size());
    for (size_t i = 0; i < std::min(v.fields.size(), walked.size()); ++i) {
        const Field& f = *walked[i];
        const ViewField& g = v.fields[i];
        SCOPED_TRACE("field " + std::to_string(i) + " " + g.name);
        EXPECT_EQ(g.index, i);
        EXPECT_EQ(g.value, valueText(f));
        EXPECT_EQ(g.offset, f.offset);
        EXPECT_EQ(g.size, f.size);
        EXPECT_EQ(g.name, f.name);
        EXPECT_EQ(g.type, f.type);
        EXPECT_EQ(g.role, f.role);
        EXPECT_EQ(g.leads, f.target.leads);
        EXPECT_EQ(g.target, f.target.has() ? f.target.at : 0);
        EXPECT_EQ((g.flags & view::kInFile) != 0, f.target.inFile);
        EXPECT_EQ(g.flags >> view::kUnresolvedShift, static_cast<unsigned>(f.target.why));
    }

    // Blocks: the JSON document's, in its order, with their fields (a list's elements'
    // fields count as the block's), and nested as there.
    size_t next = 0;
    std::function<void(const Json&, uint32_t, uint32_t)> visit = [&](const Json& blocks, uint32_t parent,
                                                                     uint32_t depth) {
        for (const Json& jb : blocks) {
            const size_t index = next++;
            ASSERT_LT(index, v.blocks.size());
            const ViewBlock& b = v.blocks[index];
            ASSERT_FALSE(b.w.empty()) << "block " << index << " never written";
            EXPECT_EQ(b.word, jb["block"].get<std::string>());
            if (jb.contains("offset")) {
                EXPECT_EQ(b.w[view::kBlockOffset], jb["offset"].get<uint64_t>());
            } else {
                EXPECT_EQ(b.w[view::kBlockWord] >> view::kBlockMarkShift, view::kUnknownKind);
                EXPECT_EQ(b.w[view::kBlockNumber], jb["kind"].get<uint32_t>());
            }
            EXPECT_EQ(b.w[view::kBlockParent], parent);
            EXPECT_EQ(b.w[view::kBlockWord] >> view::kBlockDepthShift & 0xFF, depth);
            size_t fieldCount = 0;
            for (const Json& f : jb["fields"]) {
                if (!f.contains("list")) ++fieldCount;
                else
                    for (const Json& element : f["elements"]) fieldCount += element.size();
            }
            EXPECT_EQ(b.w[view::kBlockFieldEnd] - b.w[view::kBlockFirstField], fieldCount) << b.word;
            const Json none = Json::array();
            const Json& children = jb.contains("blocks") ? jb["blocks"] : none;
            EXPECT_EQ(b.w[view::kBlockChildren], children.size());
            visit(children, static_cast<uint32_t>(index), depth + 1);
            EXPECT_EQ(b.w[view::kBlockSubtreeEnd], next) << b.word;
        }
    };
    visit(doc["blocks"], view::kNoBlock, 0);
    EXPECT_EQ(next, v.blocks.size());
    EXPECT_EQ(v.end[view::kEndBlocks], v.blocks.size());

    // Text ranges: the top-level blocks follow one another through the report, each block's
    // range holds its children's, and its own lines (before its first child) show each of its
    // fields' value texts in order, each right after its name where the line has one.
    uint64_t last = 0;
    for (size_t i = 0; i < v.blocks.size(); ++i) {
        const ViewBlock& b = v.blocks[i];
        if (b.w.empty()) continue;
        EXPECT_LE(textStart(b), textEnd(b));
        EXPECT_LE(textEnd(b), text.size());
        if (b.w[view::kBlockParent] == view::kNoBlock) {
            EXPECT_LE(last, textStart(b));
            last = textEnd(b);
        } else {
            const ViewBlock& up = v.blocks[b.w[view::kBlockParent]];
            EXPECT_LE(textStart(up), textStart(b));
            EXPECT_LE(textEnd(b), textEnd(up));
        }
        const uint64_t ownEnd = i + 1 < b.w[view::kBlockSubtreeEnd] ? textStart(v.blocks[i + 1]) : textEnd(b);
        const std::string own = text.substr(textStart(b), ownEnd - textStart(b));
        EXPECT_NE(own.find(b.word), std::string::npos) << own;
        size_t at = 0;
        for (uint32_t k = b.w[view::kBlockFirstField]; k < b.w[view::kBlockFieldEnd]; ++k) {
            const ViewField& f = v.fields[k];
            // A field line: its type, blanks, its name, blanks, the value. A list's row shows
            // its elements' values without their names.
            const size_t line = fieldLine(own, at, f.type, f.name);
            at = line != std::string::npos ? line : own.find(f.value, at);
            if (at == std::string::npos || own.compare(at, f.value.size(), f.value) != 0) {
                ADD_FAILURE() << f.name << ": " << f.value << " at " << at << " in\n" << own;
                break;
            }
            at += f.value.size();
        }
    }
    EXPECT_LE(last, text.size());

    // The end: the report's last line when the walk stopped.
    EXPECT_EQ(v.end[view::kEndReportLow] | uint64_t{v.end[view::kEndReportHigh]} << 32, text.size());
    if (v.end[view::kEndHow] != 0) EXPECT_EQ(v.errorLine, lastLine(text));
    else EXPECT_EQ(v.errorLine, "");
    return v;
}

TEST(View, SampleAgainstWalkReportAndJson) {
    const View v = checkView(nmsbuild::sampleDatabase());
    EXPECT_EQ(v.end[view::kEndHow], 0u);
    EXPECT_GT(v.fields.size(), 300u);
    EXPECT_GT(v.lists.size(), 0u);
    EXPECT_GT(v.reads.size(), 0u);
    EXPECT_EQ(v.end[view::kEndOpenBlock], view::kNoBlock);
}

TEST(View, CorpusAndSelections) {
    for (const auto& [name, bytes] : nmsbuild::corpusDatabases()) {
        SCOPED_TRACE(name);
        checkView(bytes);
    }
    const auto sample = nmsbuild::sampleDatabase();
    SectionSelection noTypes;
    noTypes.skipNmtp = noTypes.skipTytb = noTypes.skipHsht = true;
    const View all = checkView(sample);
    const View some = checkView(sample, noTypes);
    EXPECT_LT(some.blocks.size(), all.blocks.size());
}

// Every truncation of the sample: the walk stops somewhere, and the view says where, with
// the report's own error line and the block open there (whose range runs to the report's end).
TEST(View, EveryTruncationOfTheSample) {
    const auto sample = nmsbuild::sampleDatabase();
    size_t stopped = 0;
    for (size_t size = 0; size < sample.size(); size += 7) {
        SCOPED_TRACE("truncated to " + std::to_string(size));
        const std::vector<uint8_t> bytes(sample.begin(), sample.begin() + static_cast<long>(size));
        const View v = checkView(bytes);
        if (v.end[view::kEndHow] == 0) continue;
        ++stopped;
        EXPECT_TRUE(v.errorLine.starts_with("ERROR in ")) << v.errorLine;
        const uint32_t open = v.end[view::kEndOpenBlock];
        if (open != view::kNoBlock) {
            ASSERT_LT(open, v.blocks.size());
            EXPECT_EQ(textEnd(v.blocks[open]), v.end[view::kEndReportLow]);
        }
    }
    EXPECT_GT(stopped, sample.size() / 7 - 5);
}

// A walk that records some fields: exactly those its options choose, each as the whole
// walk has it (its index, value and kind), and the tree's tables only when asked for.
TEST(View, SomeFieldsAsTheWholeWalkHasThem) {
    const auto sample = nmsbuild::sampleDatabase();
    const NmsImage image{sample.data(), sample.size()};
    const View whole = decode(renderViewToString(image));
    const auto firstOf = [&](uint32_t block) { return whole.blocks.at(block).w[view::kBlockFirstField]; };
    struct Case {
        const char* what;
        ViewOptions options;
        std::function<bool(const ViewField&)> chosen;
    };
    const auto touches = [](uint64_t from, uint64_t to) {
        return [=](const ViewField& f) { return f.offset < to && f.offset + f.size > from; };
    };
    const auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    const auto named = [&](const std::string& query, uint32_t most) {
        return [=, count = uint32_t{0}](const ViewField& f) mutable {
            if (f.role != Role::NameIndex && f.role != Role::Text) return false;
            if (lower(f.value).find(query) == std::string::npos || count == most) return false;
            ++count;
            return true;
        };
    };
    const uint64_t end = sample.size();
    const ViewSpan early[] = {{0x40, 0x300}}, twoPlaces[] = {{0x10, 0x11}, {end - 1, end}};
    const ViewSpan blocks5To8[] = {{firstOf(5), firstOf(9)}}, twoRuns[] = {{0, 3}, {firstOf(7), firstOf(7) + 2}};
    const Case cases[] = {
        {"bytes 0x40 to 0x300", {.skeleton = false, .chosen = true, .bytes = early}, touches(0x40, 0x300)},
        {"a byte at the start and the last", {.chosen = true, .bytes = twoPlaces},
         [&](const ViewField& f) { return touches(0x10, 0x11)(f) || touches(end - 1, end)(f); }},
        {"the fields of blocks 5 to 8", {.countText = false, .chosen = true, .fields = blocks5To8},
         [&](const ViewField& f) { return f.index >= firstOf(5) && f.index < firstOf(9); }},
        {"two runs of fields and some bytes", {.chosen = true, .bytes = early, .fields = twoRuns},
         [&](const ViewField& f) {
             return f.index < 3 || (f.index >= firstOf(7) && f.index < firstOf(7) + 2) || touches(0x40, 0x300)(f);
         }},
        {"names with MAIN", {.skeleton = false, .chosen = true, .query = "MAIN", .maxMatches = 100},
         named("main", 100)},
        {"the first name with an a", {.chosen = true, .query = "a", .maxMatches = 1}, named("a", 1)},
        {"nothing", {.chosen = true}, [](const ViewField&) { return false; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const View some = decode(renderViewToString(image, {}, &c.options));
        std::vector<ViewField> expected;
        auto chosen = c.chosen;
        for (const ViewField& f : whole.fields)
            if (chosen(f)) expected.push_back(f);
        ASSERT_EQ(some.fields.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(some.fields[i].index, expected[i].index);
            EXPECT_EQ(some.fields[i].value, expected[i].value);
            EXPECT_EQ(some.fields[i].name, expected[i].name);
            EXPECT_EQ(some.fields[i].flags, expected[i].flags);
            EXPECT_EQ(some.fields[i].target, expected[i].target);
        }
        EXPECT_EQ(some.blocks.size(), c.options.skeleton ? whole.blocks.size() : 0u);
        EXPECT_EQ(some.reads.size(), c.options.skeleton ? whole.reads.size() : 0u);
        EXPECT_EQ(some.end[view::kEndFields], whole.fields.size());
        EXPECT_EQ(some.end[view::kEndHow], whole.end[view::kEndHow]);
    }
    // The search found something, or its case would prove nothing.
    EXPECT_NE(decode(renderViewToString(image, {}, &cases[4].options)).fields.size(), 0u);
}

// A field's value text is whatever the report shows, bytes of the file included: a name
// with a line feed and bytes past 0x7F goes into the view as it stands in the report.
TEST(View, TextsFromTheFileStayAsTheReportHasThem) {
    nmsbuild::Database db = nmsbuild::sampleDescription();
    db.header.filePath = "c:\\\xE9\n\x01";
    const View v = checkView(nmsbuild::build(db).bytes);
    bool seen = false;
    for (const ViewField& f : v.fields) seen = seen || f.value == "c:\\\xE9\n\x01";
    EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace symdeck::test

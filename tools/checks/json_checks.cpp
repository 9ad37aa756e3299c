#include "checks/json_checks.h"

#include <cstdio>
#include <set>
#include <nlohmann/json.hpp>
#include <string_view>

namespace symdeck::checks {

namespace {

using Json = nlohmann::ordered_json;

std::string hex(uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(value));
    return buffer;
}

bool keysAre(const Json& object, std::initializer_list<std::string_view> keys) {
    if (!object.is_object() || object.size() != keys.size()) return false;
    auto key = keys.begin();
    for (const auto& item : object.items())
        if (item.key() != *key++) return false;
    return true;
}

// The title a block has in the text form, rebuilt from its keys.
std::string titleOf(const Json& block) {
    const std::string word = block.at("block");
    if (word == "UNKNOWN") return "UNKNOWN SubSection (value " + std::to_string(block.at("kind").get<int64_t>()) + ")";
    if (word == "SEGDATA_SOURCELINES") return word;
    const std::string offset = hex(block.at("offset").get<uint64_t>());
    if (block.contains("sectionEnd")) {
        const std::string tail = word == "STTB_HEADER" ? "(end) )" : "(end))";
        return word + " (offset: " + offset + "(start), " + hex(block.at("sectionEnd").get<uint64_t>()) + tail;
    }
    if (block.contains("index"))
        return word + " (" + std::to_string(block.at("index").get<uint64_t>()) + ")(offset: " + offset + ")";
    if (block.contains("typeIndex"))
        return word + " (type: " + hex(block.at("typeIndex").get<uint64_t>()) + ") (offset: " + offset + ")";
    if (word == "NM32_HEADER") return word + " (offset: " + offset + " )";
    return word + " (offset: " + offset + ")";
}

void collectTitles(const Json& blocks, std::vector<std::string>& titles) {
    for (const Json& block : blocks) {
        titles.push_back(titleOf(block));
        if (block.contains("blocks")) collectTitles(block.at("blocks"), titles);
    }
}

struct ShapeCheck {
    uint64_t size;
    bool lineFeedInText = false;
    std::string failure;

    bool fail(const std::string& what) {
        if (failure.empty()) failure = what;
        return false;
    }

    bool field(const Json& f) {
        if (f.contains("list")) {
            if (!keysAre(f, {"list", "offset", "elements"}) || !f.at("elements").is_array())
                return fail("a list is not {list, offset, elements}");
            for (const Json& element : f.at("elements")) {
                if (!element.is_array() || element.empty()) return fail("a list element is not an array of fields");
                for (const Json& inner : element)
                    if (inner.contains("list") || !field(inner)) return fail("a list element holds no plain fields");
            }
            return true;
        }
        // name, type, offset, size, value first, in that order; role always; the rest as
        // they apply, in their order.
        static constexpr std::string_view kOrder[] = {"name",  "type",   "offset",   "size",
                                                      "value", "signed", "text",     "error",
                                                      "bytes", "role",   "target",   "leads",
                                                      "targetOutsideFile", "counts", "counting",
                                                      "entries"};
        size_t next = 0;
        for (const auto& item : f.items()) {
            while (next < std::size(kOrder) && kOrder[next] != item.key()) ++next;
            if (next == std::size(kOrder)) return fail("a field's keys are out of order or unknown: " + f.dump());
        }
        for (const char* key : {"name", "type", "offset", "size", "value", "role"})
            if (!f.contains(key)) return fail(std::string("a field has no ") + key + ": " + f.dump());
        if (f.contains("text") && f.contains("error")) return fail("a field has both text and error: " + f.dump());
        const uint64_t offset = f.at("offset"), width = f.at("size");
        if (offset > size || width > size - offset) return fail("a field lies outside the file: " + f.dump());
        for (const char* key : {"value", "text"})
            if (f.contains(key) && f.at(key).is_string() &&
                f.at(key).get<std::string>().find('\n') != std::string::npos)
                lineFeedInText = true;
        return f.at("value").is_number_unsigned() || f.at("value").is_string() ||
               fail("a field's value is neither a number nor a string");
    }

    bool block(const Json& b) {
        if (b.value("block", "") == "UNKNOWN") {
            return keysAre(b, {"block", "kind", "fields", "values"}) || fail("an unknown kind's block has other keys");
        }
        if (!b.contains("block") || !b.contains("fields") || !b.at("fields").is_array())
            return fail("a block has no block word or no fields");
        for (const Json& f : b.at("fields"))
            if (!field(f)) return false;
        if (b.contains("blocks")) {
            if (b.at("blocks").empty()) return fail("a block has an empty blocks array");
            for (const Json& inner : b.at("blocks"))
                if (!block(inner)) return false;
        }
        return true;
    }
};

// The error line the text form ends with for the document's end, or "" when complete.
std::string errorLineOf(const Json& end) {
    const std::string status = end.at("status");
    if (status == "complete") return {};
    const std::string kind = end.at("kind");
    const std::string head = "ERROR in " + end.at("header").get<std::string>() + " -> ";
    if (kind == "bounds")
        return head + "the data at offset " + hex(end.at("offset")) +
               " runs past the end of the file (size " + hex(end.at("fileSize")) + ").";
    if (kind == "signature") return head + "the signature was not correct.";
    return head + "the report has reached its limit of " + hex(end.at("limit")) + " bytes.";
}

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The number of lines of `text` that read as a block title.
size_t countTitleLines(std::string_view text) {
    size_t count = 0;
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        while (line.substr(0, 26) == "UNKNOWN SubSection (value ") {
            ++count;
            line.remove_prefix(line.find(')') + 1);
        }
        line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
        size_t word = 0;
        while (word < line.size() && ((line[word] >= 'A' && line[word] <= 'Z') ||
                                      (line[word] >= '0' && line[word] <= '9') || line[word] == '_'))
            ++word;
        if (line.substr(0, 13) == "unknown type ") word = 12;
        if (word == 0) continue;
        const std::string_view rest = line.substr(word);
        if (rest.empty() ? line == "SEGDATA_SOURCELINES"
                         : rest.substr(0, 10) == " (offset: " || rest.substr(0, 8) == " (type: " ||
                               (line.substr(0, word) == "NMDE_S" && rest.substr(0, 2) == " ("))
            ++count;
    }
    return count;
}

}  // namespace

std::vector<std::string> blockTitles(const std::string& json) {
    std::vector<std::string> titles;
    collectTitles(Json::parse(json).at("blocks"), titles);
    return titles;
}

std::string checkJsonAgainstText(const std::string& json, const std::string& text, uint64_t size) {
    Json doc;
    try {
        doc = Json::parse(json);
    } catch (const std::exception& e) {
        return std::string("the JSON form does not parse: ") + e.what();
    }
    if (!endsWith(json, "}\n")) return "the JSON form does not end with a line feed";
    if (!keysAre(doc, {"format", "version", "database", "blocks", "result"}) ||
        doc.at("format") != "symdeck-report" || doc.at("version") != 2 ||
        !keysAre(doc.at("database"), {"name", "size"}) || doc.at("database").at("size") != size)
        return "the JSON form's top level is not format, version, database, blocks, result";
    ShapeCheck shape{size, false, {}};
    for (const Json& b : doc.at("blocks"))
        if (!shape.block(b)) return shape.failure;

    // Every title, in order, where the text has it: at a line's start behind its
    // indentation, or right behind an unknown-kind text, which has no line feed.
    std::vector<std::string> titles;
    try {
        collectTitles(doc.at("blocks"), titles);
    } catch (const std::exception& e) {
        return std::string("a block lacks the numbers of its title: ") + e.what();
    }
    size_t at = 0;
    for (const std::string& title : titles) {
        const size_t found = text.find(title, at);
        if (found == std::string::npos) return "the text has no block title \"" + title + "\" where the JSON form has it";
        const size_t lineStart = text.rfind('\n', found == 0 ? 0 : found - 1);
        const size_t from = lineStart == std::string::npos || found == 0 ? 0 : lineStart + 1;
        const std::string_view before(text.data() + from, found - from);
        if (before.find_first_not_of(' ') != std::string_view::npos && !endsWith(before, ")"))
            return "the block title \"" + title + "\" stands inside a line of the text";
        at = found + title.size();
    }
    // Names with line feeds make lines of the text that cannot be told from titles.
    if (!shape.lineFeedInText && countTitleLines(text) != titles.size())
        return "the text has " + std::to_string(countTitleLines(text)) + " block titles, the JSON form " +
               std::to_string(titles.size());

    const std::string errorLine = errorLineOf(doc.at("result"));
    const size_t lastLine = text.size() < 2 ? 0 : text.rfind('\n', text.size() - 2) + 1;
    if (errorLine.empty() ? text.find("ERROR in ", lastLine) != std::string::npos
                          : !endsWith(text, errorLine + "\n"))
        return "the JSON form's result " + doc.at("result").dump() + " is not the text's last line";
    return {};
}

}  // namespace symdeck::checks

namespace symdeck::checks {

// Written apart from the program's own writer, from the table of well-formed byte
// sequences: a sequence is valid when its bytes fit the ranges of its first byte's row.
std::string replaceInvalidUtf8(std::string_view bytes) {
    struct Row {
        unsigned first, last, length, low, high;  // first byte range, length, second byte range
    };
    static constexpr Row kRows[] = {{0x00, 0x7F, 1, 0, 0},       {0xC2, 0xDF, 2, 0x80, 0xBF},
                                    {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
                                    {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF},
                                    {0xF0, 0xF0, 4, 0x90, 0xBF}, {0xF1, 0xF3, 4, 0x80, 0xBF},
                                    {0xF4, 0xF4, 4, 0x80, 0x8F}};
    std::string out;
    size_t i = 0;
    const auto at = [&](size_t k) { return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : 0x100u; };
    while (i < bytes.size()) {
        const unsigned c = at(i);
        const Row* row = nullptr;
        for (const Row& r : kRows)
            if (c >= r.first && c <= r.last) row = &r;
        if (row == nullptr) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        size_t good = 1;  // bytes of the sequence that fit so far
        while (good < row->length) {
            const unsigned b = at(i + good);
            const bool fits = good == 1 ? b >= row->low && b <= row->high : b >= 0x80 && b <= 0xBF;
            if (!fits) break;
            ++good;
        }
        if (good == row->length) out.append(bytes.substr(i, good));
        else out += "\xEF\xBF\xBD";
        i += good;
    }
    return out;
}

namespace {

using Json = nlohmann::ordered_json;

struct Properties {
    WalkTally& tally;
    bool complete = false;
    std::string failure;
    std::set<uint64_t> places;  // offsets of blocks and list elements
    std::vector<const Json*> blocks;      // in pre-order
    std::vector<std::vector<const Json*>> paths;  // each block's enclosing blocks

    bool fail(const std::string& what) {
        if (failure.empty()) failure = what;
        return false;
    }

    void collect(const Json& list, std::vector<const Json*>& path) {
        for (const Json& b : list) {
            blocks.push_back(&b);
            paths.push_back(path);
            if (b.contains("offset")) places.insert(b.at("offset").get<uint64_t>());
            if (b.contains("fields"))
                for (const Json& f : b.at("fields"))
                    if (f.contains("list"))
                        for (const Json& element : f.at("elements"))
                            if (!element.empty()) places.insert(element.at(0).at("offset").get<uint64_t>());
            if (b.contains("blocks")) {
                path.push_back(&b);
                collect(b.at("blocks"), path);
                path.pop_back();
            }
        }
    }

    bool text(const Json& f) {
        if (!f.contains("bytes")) return true;
        std::string raw;
        const std::string hex = f.at("bytes");
        for (size_t i = 0; i + 1 < hex.size(); i += 2) raw += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        const Json& shown = f.contains("text") ? f.at("text") : f.at("value");
        if (replaceInvalidUtf8(raw) != shown.get<std::string>()) return fail("bytes do not decode to the text: " + f.dump());
        if (replaceInvalidUtf8(raw) == raw) return fail("bytes of a valid text: " + f.dump());
        ++tally.invalidTexts;
        return true;
    }

    bool block(const Json& b) {
        if (b.at("block") == "UNKNOWN") return true;
        Json own = Json::object();
        for (const Json& f : b.at("fields")) {
            if (f.contains("list")) {
                for (const Json& element : f.at("elements"))
                    for (const Json& inner : element)
                        if (!text(inner)) return false;
                continue;
            }
            const std::string name = f.at("name");
            if (own.contains(name)) return fail("two fields named " + name + " in a block");
            own[name] = f.at("value");
            if (!text(f)) return false;
        }
        if (own != b.at("values")) return fail("values are not the block's fields: " + b.at("values").dump());
        ++tally.values;
        for (const Json& f : b.at("fields")) {
            if (f.contains("list") || !f.contains("target")) continue;
            const std::string leads = f.at("leads");
            if (leads != "block" && leads != "elements") continue;
            if (places.count(f.at("target").get<uint64_t>())) {
                ++tally.jsonTargets;
                continue;
            }
            // A run or list that is empty has no place; a stopped walk may not have got there.
            if (leads == "elements" || !complete) continue;
            return fail("a target that is no block of the document: " + f.dump());
        }
        if (complete) return counts(b);
        return true;
    }

    bool counts(const Json& b) {
        for (const Json& f : b.at("fields")) {
            if (f.contains("list") || f.value("counting", "") != "run") continue;
            const std::string what = f.at("counts");
            uint64_t found = 0;
            bool known = false;
            for (const Json& g : b.at("fields"))
                if (g.contains("list") && g.at("list") == what) {
                    found += g.at("elements").size();
                    known = true;
                }
            if (b.contains("blocks"))
                for (const Json& inner : b.at("blocks"))
                    if (what == "typeRecords" ? inner.contains("typeIndex") : inner.at("block") == what) {
                        ++found;
                        known = true;
                    }
            const uint64_t announced = f.at("role") == "size" ? f.at("entries").get<uint64_t>() : f.at("value").get<uint64_t>();
            if (!known && announced != 0) return fail("a count of what the block does not hold: " + f.dump());
            if (found != announced) return fail("a count that is not its blocks' or elements' number: " + f.dump());
            ++tally.jsonCounts;
        }
        return true;
    }
};

// The lines of `lines`, parsed, or a failure.
std::vector<Json> parseLines(const std::string& lines, std::string& failure) {
    std::vector<Json> parsed;
    size_t at = 0;
    while (at < lines.size()) {
        const size_t nl = lines.find('\n', at);
        if (nl == std::string::npos) {
            failure = "the lines do not end with a line feed";
            return {};
        }
        parsed.push_back(Json::parse(lines.substr(at, nl - at), nullptr, false));
        if (parsed.back().is_discarded()) {
            failure = "a line is not JSON: " + lines.substr(at, std::min<size_t>(nl - at, 200));
            return {};
        }
        at = nl + 1;
    }
    return parsed;
}

}  // namespace

std::string checkJsonProperties(const std::string& json, const std::string& lines, WalkTally& tally) {
    const Json doc = Json::parse(json, nullptr, false);
    if (doc.is_discarded()) return "the JSON form does not parse";
    Properties p{tally, false, {}, {}, {}, {}};
    p.complete = doc.at("result").at("status") == "complete";
    std::vector<const Json*> path;
    p.collect(doc.at("blocks"), path);
    for (const Json* b : p.blocks)
        if (!p.block(*b)) return p.failure;

    std::string failure;
    const std::vector<Json> parsed = parseLines(lines, failure);
    if (!failure.empty()) return failure;
    if (parsed.size() < 2 || parsed.front().at("line") != "header" || parsed.back().at("line") != "result")
        return "the lines do not begin with a header and end with a result";
    if (parsed.front().at("version") != doc.at("version") || parsed.front().at("database") != doc.at("database"))
        return "the header line is not the document's";
    // The lines' blocks, each with its list lines merged back into its last list.
    std::vector<Json> blocks;
    for (size_t i = 1; i + 1 < parsed.size(); ++i) {
        const Json& line = parsed[i];
        if (line.at("line") == "block") {
            blocks.push_back(line);
        } else if (line.at("line") == "list") {
            if (blocks.empty() || blocks.back().at("fields").empty() ||
                !blocks.back().at("fields").back().contains("list"))
                return "a list line follows no list";
            Json& list = blocks.back().at("fields").back();
            if (line.at("block") != blocks.back().at("block") || line.at("offset") != blocks.back().at("offset") ||
                line.at("list") != list.at("list") || line.at("listOffset") != list.at("offset") ||
                line.at("first") != list.at("elements").size())
                return "a list line does not carry on the list before it: " + line.dump().substr(0, 200);
            for (const Json& element : line.at("elements")) list.at("elements").push_back(element);
        } else {
            return "a line of an unknown kind in the middle";
        }
        ++tally.lines;
    }
    const bool cut = doc.at("result").value("kind", "") == "limit" || parsed.back().at("result").value("kind", "") == "limit";
    if (!cut && (blocks.size() != p.blocks.size() || parsed.back().at("result") != doc.at("result")))
        return "the lines have " + std::to_string(blocks.size()) + " blocks and result " +
               parsed.back().at("result").dump() + ", the document " + std::to_string(p.blocks.size()) +
               " and " + doc.at("result").dump();
    // Where the limit cut a form, its last block may be cut too.
    const size_t whole = cut ? std::min(blocks.size(), p.blocks.size()) : blocks.size();
    for (size_t i = 0; i < whole; ++i) {
        const Json& line = blocks[i];
        Json block = *p.blocks[i];
        block.erase("blocks");
        Json fromLine = line;
        fromLine.erase("line");
        fromLine.erase("path");
        if (cut && i + 1 == whole) continue;
        if (fromLine != block) return "a block line is not the document's block: " + line.dump().substr(0, 300);
        Json path = Json::array();
        for (const Json* outer : p.paths[i]) path.push_back({{"block", outer->at("block")}, {"offset", outer->at("offset")}});
        if (line.at("block") != "UNKNOWN" && line.at("path") != path) return "a block line's path is not its blocks': " + line.at("path").dump();
    }
    return {};
}

}  // namespace symdeck::checks

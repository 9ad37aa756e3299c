#include "checks/json_checks.h"

#include <cstdio>
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

#include "test_support.h"

#include <cstdio>

#include "entry/render.h"
#include "forms/recorder.h"
#include "nmsbuild/types_build.h"

namespace symdeck::test {

std::string report(const std::vector<uint8_t>& bytes, const SectionSelection& selection) {
    return renderToString(NmsImage{bytes.data(), bytes.size()}, selection);
}

std::string afterDirectory(const std::string& text) {
    // The banner holds two separator lines, the NM32 header block ends with one and the
    // directory block with one more.
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t found = text.find(kSep, at);
        if (found == std::string::npos) return {};
        at = found + kSep.size();
    }
    return text.substr(at);
}

std::string lastLine(const std::string& text) {
    std::string body = text;
    if (!body.empty() && body.back() == '\n') body.pop_back();
    const size_t nl = body.rfind('\n');
    return nl == std::string::npos ? body : body.substr(nl + 1);
}

namespace {

std::string field(const Field& f) {
    std::string line = std::string(f.name) + " " + std::string(roleName(f.role)) + " 0x" + hex(f.value);
    if (f.role == Role::Text || f.role == Role::Signature || f.meaning == Meaning::Word)
        line += " \"" + std::string(f.text) + "\"";
    if (f.meaning == Meaning::ErrorDec || f.meaning == Meaning::ErrorHex) line += " error";
    if (f.target.has()) {
        line += " -> " + std::string(leadsWord(f.target.leads)) + " 0x" + hex(f.target.at);
        if (!f.target.inFile) line += " outside";
    }
    if (f.target.why != Unresolved::None) line += " why " + std::string(unresolvedWord(f.target.why));
    if (f.role == Role::Size && !f.counts.empty()) line += " entries " + std::to_string(f.entries);
    if (!f.counts.empty()) {
        line += " counts " + std::string(f.counts);
        if (f.counting == Counting::Share) line += " share";
        if (f.counting == Counting::Unreported) line += " unreported";
    }
    return line;
}

std::string by(uint64_t countedBy) {
    return countedBy == kNotInFile ? "" : " by 0x" + hex(countedBy);
}

}  // namespace

std::string eventLines(const std::vector<WalkEvent>& events) {
    std::string text;
    for (const WalkEvent& e : events) {
        switch (e.kind) {
            case WalkEvent::Kind::Open: {
                const Title& t = e.title;
                text += "open " + std::string(t.word) + " @0x" + hex(t.offset) + " size " + std::to_string(t.size);
                if (t.mark == Mark::SectionEnd) text += " end 0x" + hex(t.number);
                if (t.mark == Mark::EntryIndex) text += " index " + std::to_string(t.number);
                if (t.mark == Mark::TypeIndex) text += " type 0x" + hex(t.number);
                if (t.count != 1 || t.position != 0)
                    text += " (" + std::to_string(t.position + 1) + " of " + std::to_string(t.count) + ")";
                break;
            }
            case WalkEvent::Kind::Field: text += field(e.field); break;
            case WalkEvent::Kind::Reads:
                text += "reads " + field(e.field);
                if (e.index != kNoIndex) text += " [" + std::to_string(e.index) + "]";
                break;
            case WalkEvent::Kind::OpenList:
                text += "list " + std::string(e.list.subject.key) + " @0x" + hex(e.list.offset) +
                        " count " + std::to_string(e.list.count) + " stride " +
                        std::to_string(e.list.stride) + by(e.list.countedBy);
                break;
            case WalkEvent::Kind::Element:
                text += "element " + std::to_string(e.index) + " @0x" + hex(e.offset);
                break;
            case WalkEvent::Kind::EndElement:
            case WalkEvent::Kind::Unit:
            case WalkEvent::Kind::Group:
            case WalkEvent::Kind::EndGroup: continue;
            case WalkEvent::Kind::CloseList: text += "end list"; break;
            case WalkEvent::Kind::OpenRun:
                text += "run " + std::string(e.run.subject.key) + " @0x" + hex(e.run.offset) +
                        " count " + std::to_string(e.run.count) + " stride " +
                        std::to_string(e.run.stride) + by(e.run.countedBy);
                break;
            case WalkEvent::Kind::CloseRun: text += "end run"; break;
            case WalkEvent::Kind::Close: text += "close"; break;
            case WalkEvent::Kind::Unknown: text += "unknown " + std::to_string(e.unknownKind); break;
            case WalkEvent::Kind::End:
                text += e.stop.end == WalkEnd::Complete ? "end complete"
                                                        : "end " + std::string(e.stop.header) + " @0x" + hex(e.stop.offset);
                break;
        }
        text += "\n";
    }
    return text;
}

std::string eventLines(const std::vector<uint8_t>& bytes, const SectionSelection& selection,
                       std::string_view word) {
    std::vector<WalkEvent> events = recordWalk(NmsImage{bytes.data(), bytes.size()}, selection);
    if (word.empty()) return eventLines(events);
    // The section's block: from its title to the close that ends it.
    size_t first = 0;
    while (first < events.size() &&
           !(events[first].kind == WalkEvent::Kind::Open && events[first].title.word == word))
        ++first;
    size_t last = first;
    for (int depth = 0; last < events.size(); ++last) {
        if (events[last].kind == WalkEvent::Kind::Open) ++depth;
        if (events[last].kind == WalkEvent::Kind::Close && --depth == 0) break;
    }
    if (last < events.size()) ++last;
    return eventLines(std::vector<WalkEvent>(events.begin() + static_cast<long>(first),
                                             events.begin() + static_cast<long>(last)));
}

std::vector<uint8_t> smallAwkwardDatabase() {
    nmsbuild::Database db;
    db.header.fileType = 3;
    db.header.filePath = "c:\\a\"b";
    db.header.copyrightString.assign({char{1}, static_cast<char>(0xE9)});
    db.entries.push_back({nmsbuild::kTytb, nmsbuild::typeTables({.entries = {{0x22, 5}}})});
    db.entries.push_back({9, {}});
    return nmsbuild::build(db).bytes;
}

std::string hex(uint64_t value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(value));
    return buffer;
}

}  // namespace symdeck::test

#include "checks/walk_checks.h"

#include <map>
#include <set>
#include <string_view>

#include "format/symbols/symbols.h"
#include "forms/text_printer.h"

namespace symdeck::checks {

WalkTally& WalkTally::operator+=(const WalkTally& other) {
    targets += other.targets;
    followed += other.followed;
    typeRecords += other.typeRecords;
    counts += other.counts;
    runs += other.runs;
    explained += other.explained;
    values += other.values;
    jsonTargets += other.jsonTargets;
    jsonCounts += other.jsonCounts;
    invalidTexts += other.invalidTexts;
    lines += other.lines;
    units += other.units;
    unitsAlone += other.unitsAlone;
    groups += other.groups;
    shared += other.shared;
    windows += other.windows;
    signs += other.signs;
    lastFields += other.lastFields;
    return *this;
}

namespace {

std::string describe(const Field& f) {
    return std::string(f.name) + " at " + std::to_string(f.offset) + " (value " + std::to_string(f.value) +
           ", target " + std::to_string(f.target.at) + ")";
}

// What the walk reported, gathered in one pass.
struct Reported {
    std::set<uint64_t> blocks;         // offsets of block titles
    std::set<uint64_t> typeRecords;    // offsets of type record blocks
    std::set<uint64_t> elements;       // offsets of list elements
    std::set<uint64_t> emptyRuns;      // offsets of runs and lists reported empty
    std::vector<const Field*> fields;  // fields and the fields the walk reads
    Stop stop{};
};

Reported gather(const std::vector<WalkEvent>& events) {
    Reported r;
    for (const WalkEvent& e : events) {
        switch (e.kind) {
            case WalkEvent::Kind::Open:
                r.blocks.insert(e.title.offset);
                if (e.title.mark == Mark::TypeIndex) r.typeRecords.insert(e.title.offset);
                break;
            case WalkEvent::Kind::Element: r.elements.insert(e.offset); break;
            case WalkEvent::Kind::OpenRun:
                if (e.run.count == 0) r.emptyRuns.insert(e.run.offset);
                break;
            case WalkEvent::Kind::OpenList:
                if (e.list.count == 0) r.emptyRuns.insert(e.list.offset);
                break;
            case WalkEvent::Kind::Field:
            case WalkEvent::Kind::Reads: r.fields.push_back(&e.field); break;
            case WalkEvent::Kind::End: r.stop = e.stop; break;
            default: break;
        }
    }
    return r;
}

// The number of blocks (or elements) reported directly in each run (or list), matched with
// the count fields that announce them.
std::string checkCounts(const std::vector<WalkEvent>& events, WalkTally& tally) {
    // Count fields waiting for their run or list, by the count field's offset.
    std::map<uint64_t, std::vector<const Field*>> waiting;
    struct Open {
        bool isList;
        uint32_t announced;
        const Field* count;  // the count field that counts it, or nullptr
        uint32_t reported = 0;
        int depth;  // the block depth at which its blocks open
    };
    std::vector<Open> open;
    int depth = 0;
    // A segment's rows are counted by its source sections' shares together: the number of
    // rows announced, and the sum of the shares reported since.
    bool rowsAnnounced = false;
    uint32_t rows = 0;
    uint32_t shares = 0;
    for (const WalkEvent& e : events) {
        switch (e.kind) {
            case WalkEvent::Kind::Field:
            case WalkEvent::Kind::Reads: {
                const Field& f = e.field;
                const bool counts = (f.role == Role::Count && f.counting == Counting::Run) ||
                                    (f.role == Role::Size && !f.counts.empty());
                if (counts) waiting[f.offset].push_back(&f);
                if (f.role == Role::Count && f.counting == Counting::Share) {
                    if (!rowsAnnounced || f.counts != kLineRows.key)
                        return "the share " + describe(f) + " counts " + std::string(f.counts) +
                               ", not the rows announced before it";
                    shares += f.value;
                }
                break;
            }
            case WalkEvent::Kind::OpenRun:
            case WalkEvent::Kind::OpenList: {
                const bool isList = e.kind == WalkEvent::Kind::OpenList;
                const Subject& subject = isList ? e.list.subject : e.run.subject;
                if (subject.key == kLineRows.key) {
                    rowsAnnounced = true;
                    rows = isList ? e.list.count : e.run.count;
                    shares = 0;
                }
                const uint64_t by = isList ? e.list.countedBy : e.run.countedBy;
                const Field* count = nullptr;
                if (by != kNotInFile) {
                    auto found = waiting.find(by);
                    if (found == waiting.end() || found->second.empty())
                        return "a run or list counted by the field at " + std::to_string(by) +
                               " comes without that count field";
                    count = found->second.front();
                    found->second.erase(found->second.begin());
                    // The JSON forms name what a count counts by that: it must be the key
                    // of the run or list it leads to.
                    if (count->counts != subject.key)
                        return "the count " + describe(*count) + " counts " +
                               std::string(count->counts) + ", but the run or list it counts is " +
                               std::string(subject.key);
                }
                open.push_back(Open{isList, isList ? e.list.count : e.run.count, count, 0, depth});
                break;
            }
            case WalkEvent::Kind::Open:
                if (!open.empty() && !open.back().isList && open.back().depth == depth) ++open.back().reported;
                ++depth;
                break;
            case WalkEvent::Kind::Close: --depth; break;
            case WalkEvent::Kind::Element:
                if (open.empty() || !open.back().isList) return "a list element outside a list";
                ++open.back().reported;
                break;
            case WalkEvent::Kind::CloseRun:
            case WalkEvent::Kind::CloseList: {
                if (open.empty()) return "a run or list closes that never opened";
                const Open run = open.back();
                open.pop_back();
                if (e.kind == WalkEvent::Kind::CloseRun &&
                    e.run.subject.key == kSourceSections.key && rowsAnnounced) {
                    ++tally.counts;
                    if (shares != rows)
                        return "the source sections' shares add up to " + std::to_string(shares) +
                               " rows, but the table announced " + std::to_string(rows);
                    rowsAnnounced = false;
                }
                ++tally.runs;
                if (run.reported != run.announced)
                    return "a run or list announced " + std::to_string(run.announced) + " and holds " +
                           std::to_string(run.reported);
                if (run.count != nullptr) {
                    ++tally.counts;
                    const uint32_t expected =
                        run.count->role == Role::Size ? run.count->entries : run.count->value;
                    if (expected != run.reported)
                        return "the count " + describe(*run.count) + " counts " + std::to_string(expected) +
                               " but " + std::to_string(run.reported) + " are reported";
                }
                break;
            }
            default: break;
        }
    }
    for (const auto& [offset, fields] : waiting)
        if (!fields.empty())
            return "the count " + describe(*fields.front()) + " counts no run or list the walk reports";
    return {};
}

// A block's own fields end with the one field marked last (Field::last): what comes next is
// an inner block, a list, a run or the block's end, never another of its fields; no row of
// a list is marked.
std::string checkLastFields(const std::vector<WalkEvent>& events, WalkTally& tally) {
    struct Block {
        uint64_t offset;
        bool hasFields = false;
        bool ended = false;
    };
    std::vector<Block> blocks;
    int lists = 0;
    // The innermost block's own fields end here.
    const auto endFields = [&]() -> std::string {
        if (blocks.empty()) return {};
        Block& b = blocks.back();
        if (b.hasFields && !b.ended)
            return "the fields of the block at " + std::to_string(b.offset) + " end with none marked last";
        b.ended = true;
        return {};
    };
    for (const WalkEvent& e : events) {
        std::string failure;
        switch (e.kind) {
            case WalkEvent::Kind::Open:
                failure = endFields();
                blocks.push_back(Block{e.title.offset});
                break;
            case WalkEvent::Kind::Field: {
                const Field& f = e.field;
                if (lists > 0) {
                    if (f.last) return "a list's row is marked last: " + describe(f);
                    break;
                }
                if (blocks.empty()) return "a field outside any block: " + describe(f);
                Block& b = blocks.back();
                if (b.ended) return "a field after its block's last: " + describe(f);
                b.hasFields = true;
                if (f.last) {
                    b.ended = true;
                    ++tally.lastFields;
                }
                break;
            }
            case WalkEvent::Kind::OpenList:
                failure = endFields();
                ++lists;
                break;
            case WalkEvent::Kind::CloseList: --lists; break;
            case WalkEvent::Kind::OpenRun: failure = endFields(); break;
            case WalkEvent::Kind::Close:
                failure = endFields();
                if (!blocks.empty()) blocks.pop_back();
                break;
            default: break;
        }
        if (!failure.empty()) return failure;
    }
    return {};
}

}  // namespace

std::string checkWalk(const std::vector<WalkEvent>& events, uint64_t size,
                      const SectionSelection& selection, WalkTally& tally) {
    const Reported r = gather(events);
    const bool complete = r.stop.end == WalkEnd::Complete;
    if (std::string failure = checkLastFields(events, tally); !failure.empty()) return failure;
    for (const Field* f : r.fields) {
        // The other forms say a number is negative where the text shows it so, and only there.
        ++tally.signs;
        if (f->isSigned != spellsSigned(*f))
            return "the field " + describe(*f) +
                   (f->isSigned ? " is read signed but spelled without a sign"
                                : " is spelled signed but not read so");
        const Target& t = f->target;
        if (!t.has()) {
            if (f->role == Role::TypeIndex && f->value >= 0x1000 && t.why == Unresolved::None)
                return "the type index " + describe(*f) + " has neither a target nor a reason";
            continue;
        }
        ++tally.targets;
        if (t.inFile != (t.at < size)) return "the target of " + describe(*f) + " is flagged wrongly";
        if (f->role != Role::Offset && !(f->role == Role::Size && t.leads == Leads::Elements) &&
            t.leads != Leads::Record)
            return "a field that is no offset has a target: " + describe(*f);
        switch (t.leads) {
            case Leads::Block:
            case Leads::Elements: {
                const bool found = r.blocks.count(t.at) || r.elements.count(t.at) ||
                                   (t.leads == Leads::Elements && r.emptyRuns.count(t.at));
                const bool stoppedThere = !complete && r.stop.offset == t.at;
                if (found || stoppedThere) {
                    ++tally.followed;
                } else if (complete) {
                    return "the followed offset " + describe(*f) + " leads to nothing the walk reports";
                }
                break;
            }
            case Leads::Record:
                if (!t.inFile) return "a type index's record lies outside the file: " + describe(*f);
                if (complete && !selection.skipNmtp) {
                    ++tally.typeRecords;
                    if (!r.typeRecords.count(t.at))
                        return "the type index " + describe(*f) + " names no reported type record";
                }
                break;
            default: break;
        }
    }
    if (complete) return checkCounts(events, tally);
    return {};
}

}  // namespace symdeck::checks

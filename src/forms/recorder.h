// The walk's events as they come: every event a printer receives, kept in order, for
// tools and tests that look at what the walk says rather than at one form of it. Paired
// with a TextMeasure, the walk ends where the text report would end.
#pragma once

#include <cstdint>
#include <vector>

#include "format/events.h"
#include "format/printer.h"

namespace symdeck {

struct WalkEvent {
    enum class Kind : uint8_t {
        Open, Field, OpenList, Element, EndElement, CloseList, OpenRun, CloseRun, Reads, Close,
        Unknown, End,
        Unit,  // a unit of the map begins (only when the recorder is asked to mark units)
        Group,     // ... a group of a long sequence begins (`title` is the group's)
        EndGroup,  // ... and ends
    };
    Kind kind;
    Title title{};  // Open
    Field field{};  // Field, Reads
    List list{};    // OpenList, Element, CloseList
    Run run{};      // OpenRun, CloseRun
    uint32_t index = 0;   // Element: the element's index; Reads: the array index; Group: its end
    uint64_t offset = 0;  // Element: where it begins
    int32_t unknownKind = 0;
    Stop stop{};  // End
};

class EventRecorder {
public:
    // `marksUnits`: a Unit event stands before each unit of the map (forms/database_map.h).
    // The groups of long sequences are marked as `grouping` cuts them.
    explicit EventRecorder(bool marksUnits = false, Grouping grouping = {})
        : marksUnits_(marksUnits), grouping_(grouping) {}

    void begin() {}
    bool skipUnit() {
        if (marksUnits_) add(WalkEvent::Kind::Unit);
        return false;
    }
    uint32_t groupSize(uint32_t count) const { return marksUnits_ ? grouping_.size(count) : 0; }
    bool skipGroup(const Group& group) {
        WalkEvent& e = add(WalkEvent::Kind::Group);
        e.title = group.title;
        e.index = group.end;
        return false;
    }
    void endGroup() { add(WalkEvent::Kind::EndGroup); }
    void open(const Title& title) {
        add(WalkEvent::Kind::Open).title = title;
    }
    void field(const Field& field) {
        add(WalkEvent::Kind::Field).field = field;
    }
    void openList(const List& list) {
        add(WalkEvent::Kind::OpenList).list = list;
    }
    void element(const List& list, uint32_t index, uint64_t offset) {
        WalkEvent& e = add(WalkEvent::Kind::Element);
        e.list = list;
        e.index = index;
        e.offset = offset;
    }
    void endElement() {
        add(WalkEvent::Kind::EndElement);
    }
    void closeList(const List& list) {
        add(WalkEvent::Kind::CloseList).list = list;
    }
    void openRun(const Run& run) {
        add(WalkEvent::Kind::OpenRun).run = run;
    }
    void closeRun(const Run& run) {
        add(WalkEvent::Kind::CloseRun).run = run;
    }
    void reads(const Field& field, uint32_t index) {
        WalkEvent& e = add(WalkEvent::Kind::Reads);
        e.field = field;
        e.index = index;
    }
    void close() {
        add(WalkEvent::Kind::Close);
    }
    void unknownSection(int32_t kind) {
        add(WalkEvent::Kind::Unknown).unknownKind = kind;
    }
    void end(const Stop& stop) {
        add(WalkEvent::Kind::End).stop = stop;
    }

    std::vector<WalkEvent>& events() { return events_; }

private:
    WalkEvent& add(WalkEvent::Kind kind) {
        events_.push_back(WalkEvent{kind});
        return events_.back();
    }

    std::vector<WalkEvent> events_;
    bool marksUnits_;
    Grouping grouping_;
};

}  // namespace symdeck

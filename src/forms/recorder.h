// The walk's events as they come: every event a printer receives, kept in order, for
// tools and tests that look at what the walk says rather than at one form of it. The walk
// ends where the text report would end: every event also goes to a text printer whose
// output is only counted, for the size limit.
#pragma once

#include <cstdint>
#include <vector>

#include "format/events.h"
#include "forms/text_printer.h"
#include "forms/writer.h"

namespace symdeck {

struct WalkEvent {
    enum class Kind : uint8_t {
        Open, Field, OpenList, Element, EndElement, CloseList, OpenRun, CloseRun, Reads, Close,
        Unknown, End
    };
    Kind kind;
    Title title{};  // Open
    Field field{};  // Field, Reads
    List list{};    // OpenList, Element, CloseList
    Run run{};      // OpenRun, CloseRun
    uint32_t index = 0;   // Element: the element's index; Reads: the array index
    uint64_t offset = 0;  // Element: where it begins
    int32_t unknownKind = 0;
    Stop stop{};  // End
};

class EventRecorder {
public:
    // `counting` takes the text that the text printer writes and only counts it.
    explicit EventRecorder(ReportWriter& counting) : text_(counting) {}

    uint64_t length() const { return text_.length(); }
    void begin() { text_.begin(); }
    void open(const Title& title) {
        text_.open(title);
        add(WalkEvent::Kind::Open).title = title;
    }
    void field(const Field& field) {
        text_.field(field);
        add(WalkEvent::Kind::Field).field = field;
    }
    void openList(const List& list) {
        text_.openList(list);
        add(WalkEvent::Kind::OpenList).list = list;
    }
    void element(const List& list, uint32_t index, uint64_t offset) {
        text_.element(list, index, offset);
        WalkEvent& e = add(WalkEvent::Kind::Element);
        e.list = list;
        e.index = index;
        e.offset = offset;
    }
    void endElement() {
        text_.endElement();
        add(WalkEvent::Kind::EndElement);
    }
    void closeList(const List& list) {
        text_.closeList(list);
        add(WalkEvent::Kind::CloseList).list = list;
    }
    void openRun(const Run& run) {
        text_.openRun(run);
        add(WalkEvent::Kind::OpenRun).run = run;
    }
    void closeRun(const Run& run) {
        text_.closeRun(run);
        add(WalkEvent::Kind::CloseRun).run = run;
    }
    void reads(const Field& field, uint32_t index) {
        WalkEvent& e = add(WalkEvent::Kind::Reads);
        e.field = field;
        e.index = index;
    }
    void close() {
        text_.close();
        add(WalkEvent::Kind::Close);
    }
    void unknownSection(int32_t kind) {
        text_.unknownSection(kind);
        add(WalkEvent::Kind::Unknown).unknownKind = kind;
    }
    void end(const Stop& stop) {
        text_.end(stop);
        add(WalkEvent::Kind::End).stop = stop;
    }

    std::vector<WalkEvent>& events() { return events_; }

private:
    WalkEvent& add(WalkEvent::Kind kind) {
        events_.push_back(WalkEvent{kind});
        return events_.back();
    }

    TextPrinter text_;
    std::vector<WalkEvent> events_;
};

}  // namespace symdeck

// Where a walk stops at the size limit, for every form that is not the text itself: the
// limit is stated in bytes of the text report, so these forms measure the text report as
// they go. TextMeasure is a text printer whose output is only counted; Measured pairs any
// form with one and hands every event to both, the text first, so that no form forwards
// events by hand and every form stops exactly where the text report stops.
#pragma once

#include <cstdint>

#include "format/events.h"
#include "forms/text_printer.h"
#include "forms/writer.h"

namespace symdeck {

class TextMeasure {
public:
    // `counting` takes the text and only counts it. `on` false: nothing is measured, the
    // length stays 0 and the walk has no limit.
    TextMeasure(ReportWriter& counting, bool on = true) : text_(counting), on_(on) {}
    TextMeasure(const TextMeasure&) = delete;
    TextMeasure& operator=(const TextMeasure&) = delete;

    // Bytes of the text report so far, and before the text of the event being handed on
    // (where a block's lines begin).
    uint64_t length() const { return on_ ? text_.length() : 0; }
    uint64_t lengthBefore() const { return before_; }
    const FieldProblems& problems() const { return text_.problems(); }
    TextPrinter& text() { return text_; }
    bool on() const { return on_; }
    void mark() { before_ = length(); }

private:
    TextPrinter text_;
    bool on_;
    uint64_t before_ = 0;
};

template <class Form>
class Measured {
public:
    Measured(TextMeasure& measure, Form& form) : measure_(measure), form_(form) {}

    uint64_t length() const { return measure_.length(); }
    void begin() {
        if (text()) measure_.text().begin();
        form_.begin();
    }
    void open(const Title& title) {
        measure_.mark();
        if (text()) measure_.text().open(title);
        form_.open(title);
    }
    void close() {
        if (text()) measure_.text().close();
        form_.close();
    }
    SYMDECK_INLINE void field(const Field& f) {
        if (text()) measure_.text().field(f);
        form_.field(f);
    }
    void openList(const List& list) {
        if (text()) measure_.text().openList(list);
        form_.openList(list);
    }
    void element(const List& list, uint32_t index, uint64_t offset) {
        if (text()) measure_.text().element(list, index, offset);
        form_.element(list, index, offset);
    }
    void endElement() {
        if (text()) measure_.text().endElement();
        form_.endElement();
    }
    void closeList(const List& list) {
        if (text()) measure_.text().closeList(list);
        form_.closeList(list);
    }
    void openRun(const Run& run) {
        if (text()) measure_.text().openRun(run);
        form_.openRun(run);
    }
    void closeRun(const Run& run) {
        if (text()) measure_.text().closeRun(run);
        form_.closeRun(run);
    }
    // The text shows nothing of these.
    SYMDECK_INLINE void reads(const Field& f, uint32_t index) { form_.reads(f, index); }
    void unknownSection(int32_t kind) {
        measure_.mark();
        if (text()) measure_.text().unknownSection(kind);
        form_.unknownSection(kind);
    }
    void end(const Stop& stop) {
        if (text()) measure_.text().end(stop);
        form_.end(stop);
    }

    Form& form() { return form_; }

private:
    bool text() const { return measure_.on(); }

    TextMeasure& measure_;
    Form& form_;
};

}  // namespace symdeck

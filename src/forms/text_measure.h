// Where a walk stops at the size limit, for every form that is not the text itself: the
// limit is stated in bytes of the text report, so these forms measure the text report as
// they go. TextMeasure is a text printer whose output is only counted (or an upper bound of
// that count); Measured pairs any form with one and hands every event to both, the text
// first, so that no form forwards events by hand and every form stops exactly where the
// text report stops.
#pragma once

#include <cstdint>

#include "format/events.h"
#include "format/printer.h"
#include "forms/text_printer.h"
#include "forms/writer.h"

namespace symdeck {

// How a TextMeasure measures the text report.
enum class Measure : uint8_t {
    Exact,  // the text's length, byte for byte
    Bound,  // an upper bound of it (kMostTextOfAnEvent and the file's texts per event):
            // a walk that stays below the limit by this bound could not reach it by the text
    Off,    // nothing: the length stays 0 and the walk has no limit
};

class TextMeasure {
public:
    TextMeasure(ReportWriter& counting, Measure how = Measure::Exact)
        : counting_(counting), text_(counting), how_(how) {}
    TextMeasure(const TextMeasure&) = delete;
    TextMeasure& operator=(const TextMeasure&) = delete;

    // Bytes of the text report so far, and before the text of the event being handed on
    // (where a block's lines begin).
    uint64_t length() const {
        return how_ == Measure::Exact ? text_.length() : how_ == Measure::Bound ? bound_ : 0;
    }
    uint64_t lengthBefore() const { return before_; }
    const FieldProblems& problems() const { return text_.problems(); }
    TextPrinter& text() { return text_; }
    bool exact() const { return how_ == Measure::Exact; }
    Measure how() const { return how_; }
    void mark() { before_ = length(); }
    // The bound grows by `bytes` (only ever read in Bound mode).
    SYMDECK_INLINE void bound(uint64_t bytes) { bound_ += bytes; }
    // Counts `bytes` of text that were not written, and the fields with a problem among
    // them: the text of a unit the walk passed over.
    void advance(uint64_t bytes, const FieldProblems& problems) {
        if (how_ == Measure::Exact) {
            counting_.advance(bytes);
            text_.countProblems(problems);
        } else {
            bound_ += bytes;
        }
    }

private:
    ReportWriter& counting_;
    TextPrinter text_;
    Measure how_;
    uint64_t before_ = 0;
    uint64_t bound_ = 0;
};

template <class Form>
class Measured {
public:
    Measured(TextMeasure& measure, Form& form) : measure_(measure), form_(form) {}

    uint64_t length() const { return measure_.length(); }
    void begin() {
        if (text()) measure_.text().begin();
        else measure_.bound(kMostTextOfAnEvent);
        form_.begin();
    }
    // Inline (a walk opens and closes a block for most of its fields), the text's part not.
    SYMDECK_INLINE void open(const Title& title) {
        measure_.mark();
        if (text()) textOpen(title);
        else measure_.bound(mostTextOf(title));
        form_.open(title);
    }
    SYMDECK_INLINE void close() {
        if (text()) textClose();
        else measure_.bound(kMostTextOfAClose);
        form_.close();
    }
    SYMDECK_INLINE void field(const Field& f) {
        if (text()) measure_.text().field(f);
        else measure_.bound(mostTextOf(f));
        form_.field(f);
    }
    void openList(const List& list) {
        if (text()) measure_.text().openList(list);
        else measure_.bound(kMostTextOfAList);
        form_.openList(list);
    }
    void element(const List& list, uint32_t index, uint64_t offset) {
        if (text()) measure_.text().element(list, index, offset);
        else measure_.bound(kMostTextOfAnElement);
        form_.element(list, index, offset);
    }
    void endElement() {
        if (text()) measure_.text().endElement();
        form_.endElement();
    }
    void closeList(const List& list) {
        if (text()) measure_.text().closeList(list);
        else measure_.bound(1);
        form_.closeList(list);
    }
    void openRun(const Run& run) {
        if (text()) measure_.text().openRun(run);
        else measure_.bound(kMostTextOfARun);
        form_.openRun(run);
    }
    void closeRun(const Run& run) {
        if (text()) measure_.text().closeRun(run);
        form_.closeRun(run);
    }
    // A unit of the map begins: a form that walks part of the database may pass over it, and
    // the measure then counts the text the unit would have written.
    bool skipUnit()
        requires SkipsUnits<Form>
    {
        if (!form_.skipUnit()) return false;
        if constexpr (requires { form_.skippedText(); })
            measure_.advance(form_.skippedText(), form_.skippedProblems());
        return true;
    }
    // A group of a long sequence, likewise (format/printer.h).
    uint32_t groupSize(uint32_t count)
        requires SkipsUnits<Form>
    {
        return form_.groupSize(count);
    }
    bool skipGroup(const Group& group)
        requires SkipsUnits<Form>
    {
        measure_.mark();
        if (!form_.skipGroup(group)) return false;
        if constexpr (requires { form_.skippedText(); })
            measure_.advance(form_.skippedText(), form_.skippedProblems());
        return true;
    }
    void endGroup()
        requires SkipsUnits<Form>
    {
        form_.endGroup();
    }
    // The text shows nothing of these.
    SYMDECK_INLINE void reads(const Field& f, uint32_t index) { form_.reads(f, index); }
    void unknownSection(int32_t kind) {
        measure_.mark();
        if (text()) measure_.text().unknownSection(kind);
        else measure_.bound(kMostTextOfAnEvent);
        form_.unknownSection(kind);
    }
    void end(const Stop& stop) {
        if (text()) measure_.text().end(stop);
        else measure_.bound(kMostTextOfAnEvent);  // the error line
        form_.end(stop);
    }

    Form& form() { return form_; }

private:
    bool text() const { return measure_.exact(); }
    [[gnu::noinline]] void textOpen(const Title& title) { measure_.text().open(title); }
    [[gnu::noinline]] void textClose() { measure_.text().close(); }

    TextMeasure& measure_;
    Form& form_;
};

}  // namespace symdeck

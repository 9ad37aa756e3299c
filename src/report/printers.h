// The printers every renderer is built for: renderers are templates defined in their own
// source files and instantiated there, once per printer, for types that satisfy the printer
// contract (report/printer.h).
#pragma once

#include "report/explain_printer.h"
#include "report/json_printer.h"
#include "report/printer.h"
#include "report/recorder.h"
#include "report/text_measure.h"
#include "report/text_printer.h"
#include "report/view_printer.h"
#include "report/walk.h"

namespace symdeck {

static_assert(Printer<TextPrinter> && Printer<JsonPrinter> && Printer<Measured<ExplainPrinter>> &&
              Printer<Measured<EventRecorder>> && Printer<Measured<ViewPrinter>>);

// The contract is the whole list of members: a printer that lacks any one of them (here
// closeRun, then length) is no printer.
namespace printer_contract {
struct NoCloseRun {
    uint64_t length() const { return 0; }
    void begin() {}
    void open(const Title&) {}
    void field(const Field&) {}
    void openList(const List&) {}
    void element(const List&, uint32_t, uint64_t) {}
    void endElement() {}
    void closeList(const List&) {}
    void openRun(const Run&) {}
    void reads(const Field&, uint32_t) {}
    void close() {}
    void unknownSection(int32_t) {}
    void end(const Stop&) {}
};
struct Complete : NoCloseRun {
    void closeRun(const Run&) {}
};
struct NoLength : Complete {
    void length() const = delete;
};
static_assert(!Printer<NoCloseRun>);
static_assert(Printer<Complete>);
static_assert(!Printer<NoLength>);
}  // namespace printer_contract

}  // namespace symdeck

// Instantiates `bool name(Walk<Printer>&, args...)` for every printer.
#define SYMDECK_INSTANTIATE(name, ...)                                        \
    template bool name(Walk<TextPrinter>& __VA_OPT__(, ) __VA_ARGS__);        \
    template bool name(Walk<JsonPrinter>& __VA_OPT__(, ) __VA_ARGS__);       \
    template bool name(Walk<Measured<ExplainPrinter>>& __VA_OPT__(, ) __VA_ARGS__); \
    template bool name(Walk<Measured<EventRecorder>>& __VA_OPT__(, ) __VA_ARGS__);  \
    template bool name(Walk<Measured<ViewPrinter>>& __VA_OPT__(, ) __VA_ARGS__)

// The printer contract: what a walk calls on the form it renders into (format/events.h
// lists the members in the order the walk calls them). The walk is compiled only for types
// that satisfy it, once per form (src/forms/*_walk.cpp).
#pragma once

#include <concepts>
#include <cstdint>

#include "format/events.h"

namespace symdeck {

template <class P>
concept Printer = requires(P& p, const P& constant, const Title& title, const Field& field,
                           const List& list, const Run& run, const Stop& stop, uint32_t index,
                           uint64_t offset, int32_t kind) {
    { constant.length() } -> std::convertible_to<uint64_t>;
    p.begin();
    p.open(title);
    p.field(field);
    p.openList(list);
    p.element(list, index, offset);
    p.endElement();
    p.closeList(list);
    p.openRun(run);
    p.closeRun(run);
    p.reads(field, index);
    p.close();
    p.unknownSection(kind);
    p.end(stop);
};

// A printer that may have the walk pass over whole units of the map (a printer that walks
// part of a database: forms/database_map.h). The walk asks it where each unit begins, after
// the unit's check point and before anything of the unit is reported.
template <class P>
concept SkipsUnits = requires(P& p) {
    { p.skipUnit() } -> std::same_as<bool>;
};

// Where a unit begins: true when the printer has the walk pass over it.
template <class P>
SYMDECK_INLINE bool skipsUnit(P& print) {
    if constexpr (SkipsUnits<P>) return print.skipUnit();
    else return false;
}

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

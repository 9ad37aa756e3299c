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

// A printer that shows damages, so that a walk with `keepGoing` (format/selection.h) may
// go on past a structure that fails its checks. `level()` is how deep the printer stands
// (opaque to the walk); `damage(stop, level)` closes whatever was opened since it stood at
// `level`, as its form closes a block, a list or a run, and then shows the damage: `stop`
// says where and why, in the words of the error line that would have ended the walk.
template <class P>
concept KeepsGoing = requires(P& p, const P& constant, const Stop& stop, uint32_t level) {
    { constant.level() } -> std::convertible_to<uint32_t>;
    p.damage(stop, level);
    // A damage that the walk without the flag does not stop for and does not show (two
    // sections that overlap): counted, for --check, and not shown.
    p.unlisted(stop);
};

// Whether printer P shows where fields lead: every printer does but one that declares
// `static constexpr bool kShowsTargets = false` (the text form, whose lines show no
// targets), for which the walk does not work out the records that type indices name.
template <class P>
constexpr bool showsTargets() {
    if constexpr (requires { P::kShowsTargets; }) return P::kShowsTargets;
    else return true;
}

// Where a long list or run of blocks is cut into groups of the map: a sequence of at least
// `from` elements is cut into groups of ceil(count / most) elements (the last one shorter),
// each of which a walk may pass over or walk alone. A shorter sequence is not cut.
struct Grouping {
    uint32_t from = 1u << 16;
    uint32_t most = 256;

    constexpr uint32_t size(uint32_t count) const {
        if (count < from || most == 0) return 0;
        return static_cast<uint32_t>((uint64_t{count} + most - 1) / most);
    }
};

// A group of a sequence's elements: [first, end) of `count`, the first at `offset`; its
// title is the sequence's word, placed at the first element.
struct Group {
    Title title;
    uint32_t end;
};

// A printer that passes over units may also pass over groups: the walk asks it how a
// sequence of `count` elements is cut (0: not at all), then, before the first element of
// each group, whether it passes over the group; after the last element of a group it
// walked, it says that the group has ended.
template <class P>
SYMDECK_INLINE uint32_t groupSize(P& print, uint32_t count) {
    if constexpr (requires { print.groupSize(count); }) return print.groupSize(count);
    else return 0;
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

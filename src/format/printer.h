// The printer contract: what a walk calls on the form it renders into (format/events.h
// lists the members in the order the walk calls them). Renderers are instantiated only for
// types that satisfy it.
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

}  // namespace symdeck

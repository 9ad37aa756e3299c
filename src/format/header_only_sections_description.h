// The three sections reported by their fixed header alone: the global types' offsets, the
// source files' offset, and a header of ten unnamed words.
#pragma once

#include "format/description.h"

namespace symdeck {

namespace gtyp {
inline constexpr StructureDescription kHeader{
    "GTYP_HEADER", "GTYP", 32,
    std::array{
        ulongField("GTYP", 0, Role::Signature),
        ulongField("sectionLength", 4, Role::Size),
        ulongField("offNMTP", 8, Role::Offset),
        ulongField("offSTTB", 12, Role::Offset),
        ulongField("offTYTB", 16, Role::Offset),
        ulongField("offHSHT", 20, Role::Offset),
        ulongField("N1", 24, Role::Number),
        ulongField("N2", 28, Role::Number),
    }};
static_assert(isSectionHeader(kHeader));
}  // namespace gtyp

namespace srcp {
inline constexpr StructureDescription kHeader{
    "SRCP_HEADER", "SRCP", 20,
    std::array{
        ulongField("SRCP", 0, Role::Signature),
        ulongField("sectionLength", 4, Role::Size),
        ulongField("offSourceFiles", 8, Role::Offset),
        ulongField("N1", 12, Role::Number),
        ulongField("N2", 16, Role::Number),
    }};
static_assert(isSectionHeader(kHeader));
}  // namespace srcp

namespace fpod {
inline constexpr StructureDescription kHeader{
    "FPOD_HEADER", "FPOD", 48,
    std::array{
        ulongField("FPOD", 0, Role::Signature),
        ulongField("sectionLength", 4, Role::Size),
        ulongField("N1", 8, Role::Number),
        ulongField("N2", 12, Role::Number),
        ulongField("N3", 16, Role::Number),
        ulongField("N4", 20, Role::Number),
        ulongField("N5", 24, Role::Number),
        ulongField("N6", 28, Role::Number),
        ulongField("N7", 32, Role::Number),
        ulongField("N8", 36, Role::Number),
        ulongField("N9", 40, Role::Number),
        ulongField("N10", 44, Role::Number),
    }};
static_assert(isSectionHeader(kHeader));
}  // namespace fpod

}  // namespace symdeck

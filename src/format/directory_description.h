// NMDR: the section directory's header, and NMDE, one entry of the directory.
#pragma once

#include "format/description.h"

namespace symdeck {

namespace nmdr {
inline constexpr StructureDescription kHeader{
    "NMDR_HEADER", "NMDR", 56,
    std::array{
        ulongField("NMDR", 0, Role::Signature),
        ulongField("nNMDE", 4, Role::Count),
        ulongField("offGTYP", 8, Role::Offset),
        ulongField("offSTTB", 12, Role::Offset),
        ulongField("offSYMD", 16, Role::Offset),
        ulongField("offSRCP", 20, Role::Offset),
        ulongField("offFPOD", 24, Role::Offset),
        ulongField("N1", 28, Role::Number),
        ulongField("N2", 32, Role::Number),
        ulongField("N3", 36, Role::Number),
        ulongField("N4", 40, Role::Number),
        ulongField("N5", 44, Role::Number),
        ulongField("N6", 48, Role::Number),
        ulongField("N7", 52, Role::Number),
    }};
static_assert(isSound(kHeader));
}  // namespace nmdr

namespace nmde {
inline constexpr StructureDescription kEntry{
    "NMDE_S", "NMDE", 36,
    std::array{
        ulongField("NMDE", 0, Role::Signature),
        ulongField("entryIndex", 4, Role::Enum),
        ulongField("offEntry", 8, Role::Offset),
        ulongField("entryLength", 12, Role::Size),
        ulongField("N1", 16, Role::Number),
        ulongField("N2", 20, Role::Number),
        ulongField("N3", 24, Role::Number),
        ulongField("N4", 28, Role::Number),
        ulongField("N5", 32, Role::Number),
    }};
static_assert(isSound(kEntry));
}  // namespace nmde

}  // namespace symdeck

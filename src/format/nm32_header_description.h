// NM32: the file header at the image's first byte.
#pragma once

#include "format/description.h"

namespace symdeck::nm32 {

inline constexpr StructureDescription kHeader{
    "NM32_HEADER", "NM32", 580,
    std::array{
        ulongField("NM32", 0, Role::Signature),
        ulongField("verMajor", 4, Role::Number),
        ulongField("verMinor", 8, Role::Number),
        ulongField("offNMDR", 12, Role::Offset),
        ulongField("creationTime", 16, Role::Number),
        ulongField("creationNumber", 20, Role::Number),
        ulongField("fileType", 24, Role::Enum),
        ulongField("fileLength", 28, Role::Size),
        ulongField("N1", 32, Role::Number),
        ulongField("N2", 36, Role::Number),
        ulongField("N3", 40, Role::Number),
        ulongField("N4", 44, Role::Number),
        ulongField("N5", 48, Role::Number),
        ulongField("N6", 52, Role::Number),
        ulongField("N7", 56, Role::Number),
        ulongField("N8", 60, Role::Number),
        // The two texts, each read up to its first NUL.
        FieldDescription{"filePath", "CHAR[0x104]", 64, 0x104, Role::Text},
        FieldDescription{"copyrightString", "CHAR[0x100]", 324, 0x100, Role::Text},
    }};
static_assert(isSound(kHeader));

}  // namespace symdeck::nm32

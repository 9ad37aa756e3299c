// Names of the primitive type indices the report spells out. Only exact matches are named:
// the mode and size bits of an index are not decoded, so a neighbour of a named index gets
// the fallback text.
#include "format/types/types.h"

#include <array>
#include <iterator>

namespace symdeck {

namespace {

constexpr std::string_view kUnknownPrimitive = "unknown primitive type(not all are set in symdeck)";

struct Primitive {
    uint32_t index;
    std::string_view name;
};

constexpr Primitive kPrimitives[] = {
    {0x0000, "no Type"},
    {0x0003, "void"},
    {0x0010, "char"},
    {0x0011, "short"},
    {0x0012, "long"},
    {0x0020, "unsigned char"},
    {0x0021, "unsigned short"},
    {0x0022, "unsigned long"},
    {0x0071, "wide char"},
    {0x0103, "near pointer to void"},
    {0x0110, "near pointer to char"},
    {0x0111, "near pointer to short"},
    {0x0112, "near pointer to long"},
    {0x0120, "near pointer to unsigned char"},
    {0x0121, "near pointer to unsigned short"},
    {0x0122, "near pointer to unsigned long"},
    {0x0171, "near pointer to wide char"},
    {0x0203, "far pointer to void"},
    {0x0210, "far pointer to char"},
    {0x0211, "far pointer to short"},
    {0x0212, "far pointer to long"},
    {0x0220, "far pointer to unsigned char"},
    {0x0221, "far pointer to unsigned short"},
    {0x0222, "far pointer to unsigned long"},
    {0x0271, "far pointer to a wide char"},
};

// Every named index is below kSpan: the name of index i is kPrimitives[kSlots[i] - 1], or
// none where kSlots[i] is 0 (one lookup for every type index the walk meets).
constexpr uint32_t kSpan = 0x300;
constexpr auto kSlots = [] {
    std::array<uint8_t, kSpan> slots{};
    for (size_t i = 0; i < std::size(kPrimitives); ++i) slots[kPrimitives[i].index] = static_cast<uint8_t>(i + 1);
    return slots;
}();

}  // namespace

std::string_view primitiveTypeName(uint32_t index) {
    if (index < kSpan && kSlots[index] != 0) return kPrimitives[kSlots[index] - 1].name;
    if (index >= kFirstRecordType) return "one of NM types";
    return kUnknownPrimitive;
}

bool isKnownPrimitiveType(uint32_t index) { return index < kSpan && kSlots[index] != 0; }

}  // namespace symdeck

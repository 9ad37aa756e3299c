// Type indices below 0x1000 are the fixed primitive types; only the common ones have a name
// here. The mode and size bits of an index are not decoded: an index that the table lacks
// gets the fallback text even where its neighbours are named.
#include "types/types.h"

namespace symdeck {

namespace {

struct PrimitiveType {
    uint32_t index;
    std::string_view name;
};

constexpr PrimitiveType kPrimitiveTypes[] = {
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

// Type indices from here on name the records of the NMTP section.
constexpr uint32_t kFirstRecordIndex = 0x1000;

}  // namespace

std::string_view primitiveTypeName(uint32_t index) {
    for (const PrimitiveType& type : kPrimitiveTypes)
        if (type.index == index) return type.name;
    if (index >= kFirstRecordIndex) return "one of NM types";
    return "unknown primitive type(not all are set in symdeck)";
}

}  // namespace symdeck

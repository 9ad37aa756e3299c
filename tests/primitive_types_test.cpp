#include <gtest/gtest.h>

#include "format/types/types.h"

namespace symdeck {
namespace {

struct NameCase {
    uint32_t index;
    const char* expected;
};

constexpr const char* kUnknown = "unknown primitive type(not all are set in symdeck)";
constexpr const char* kRecord = "one of NM types";

TEST(PrimitiveTypeName, NamedIndices) {
    const NameCase cases[] = {
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
    for (const auto& c : cases)
        EXPECT_EQ(primitiveTypeName(c.index), c.expected) << std::hex << c.index;
}

// Only exact matches are named: neighbours of named indices, and indices that would name a
// type if their high bits were masked off, get the fallback texts.
TEST(PrimitiveTypeName, FallbacksAtTheBoundaries) {
    const NameCase cases[] = {
        {0x0001, kUnknown},     {0x0013, kUnknown},     {0x0072, kUnknown},
        {0x0074, kUnknown},     {0x0104, kUnknown},     {0x0270, kUnknown},
        {0x0272, kUnknown},     {0x0FFF, kUnknown},     {0x1000, kRecord},
        {0x1001, kRecord},      {0x1003, kRecord},      {0x10003, kRecord},
        {0x80000012, kRecord},  {0xFFFFFFFF, kRecord},
    };
    for (const auto& c : cases)
        EXPECT_EQ(primitiveTypeName(c.index), c.expected) << std::hex << c.index;
}

}  // namespace
}  // namespace symdeck

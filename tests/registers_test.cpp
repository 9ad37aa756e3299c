#include <gtest/gtest.h>

#include <sstream>

#include "format/symbols/symbols.h"

namespace symdeck {
namespace {

// Every named run of register numbers, name by name.
TEST(RegisterName, NamedRuns) {
    const struct {
        uint32_t first;
        const char* names;
    } runs[] = {
        {0, "none"},
        {1, "al cl dl bl ah ch dh bh"},
        {9, "ax cx dx bx sp bp si di"},
        {17, "eax ecx edx ebx esp ebp esi edi"},
        {25, "es cs ss ds fs gs"},
        {31, "ip flags eip eflags"},
        {40, "temp temph quote"},
        {80, "cr0 cr1 cr2 cr3"},
        {90, "dr0 dr1 dr2 dr3 dr4 dr5 dr6 dr7"},
        {128, "st0 st1 st2 st3 st4 st5 st6 st7"},
        {136, "control status tag fpip fpcs fpdo fpds isem fpeip fpedo"},
    };
    int named = 0;
    for (const auto& run : runs) {
        std::istringstream names(run.names);
        uint32_t number = run.first;
        for (std::string name; names >> name; ++number, ++named)
            EXPECT_EQ(registerName(number), name) << number;
    }
    EXPECT_EQ(named, 68);
}

// Both sides of every gap in the numbering, and numbers far beyond the last name.
TEST(RegisterName, GapBoundaries) {
    const struct {
        uint32_t number;
        const char* name;
    } cases[] = {
        {34, "eflags"},  {35, "unknown register"}, {39, "unknown register"}, {40, "temp"},
        {42, "quote"},   {43, "unknown register"}, {79, "unknown register"}, {80, "cr0"},
        {83, "cr3"},     {84, "unknown register"}, {89, "unknown register"}, {90, "dr0"},
        {97, "dr7"},     {98, "unknown register"}, {127, "unknown register"}, {128, "st0"},
        {145, "fpedo"},  {146, "unknown register"}, {65535, "unknown register"},
        {0x80000000u, "unknown register"}, {0xFFFFFFFFu, "unknown register"},
    };
    for (const auto& c : cases) EXPECT_EQ(registerName(c.number), c.name) << c.number;
}

}  // namespace
}  // namespace symdeck

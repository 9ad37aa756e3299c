// x86 register numbers as the debug information numbers them. Only a subset of the numbers
// has a name here; every other number, assigned or not, is "unknown register".
#include <array>

#include "format/symbols/symbols.h"

namespace symdeck {

namespace {

struct NamedRegister {
    uint32_t number;
    std::string_view name;
};

constexpr NamedRegister kNamedRegisters[] = {
    {0, "none"},
    {1, "al"},      {2, "cl"},      {3, "dl"},      {4, "bl"},
    {5, "ah"},      {6, "ch"},      {7, "dh"},      {8, "bh"},
    {9, "ax"},      {10, "cx"},     {11, "dx"},     {12, "bx"},
    {13, "sp"},     {14, "bp"},     {15, "si"},     {16, "di"},
    {17, "eax"},    {18, "ecx"},    {19, "edx"},    {20, "ebx"},
    {21, "esp"},    {22, "ebp"},    {23, "esi"},    {24, "edi"},
    {25, "es"},     {26, "cs"},     {27, "ss"},     {28, "ds"},     {29, "fs"},  {30, "gs"},
    {31, "ip"},     {32, "flags"},  {33, "eip"},    {34, "eflags"},
    {40, "temp"},   {41, "temph"},  {42, "quote"},
    {80, "cr0"},    {81, "cr1"},    {82, "cr2"},    {83, "cr3"},
    {90, "dr0"},    {91, "dr1"},    {92, "dr2"},    {93, "dr3"},
    {94, "dr4"},    {95, "dr5"},    {96, "dr6"},    {97, "dr7"},
    {128, "st0"},   {129, "st1"},   {130, "st2"},   {131, "st3"},
    {132, "st4"},   {133, "st5"},   {134, "st6"},   {135, "st7"},
    {136, "control"}, {137, "status"}, {138, "tag"},  {139, "fpip"},  {140, "fpcs"},
    {141, "fpdo"},    {142, "fpds"},   {143, "isem"}, {144, "fpeip"}, {145, "fpedo"},
};

constexpr uint32_t kRegisterCount = 146;

// Indexed by register number; empty where the number has no name.
constexpr std::array<std::string_view, kRegisterCount> kRegisterNames = [] {
    std::array<std::string_view, kRegisterCount> names{};
    for (const NamedRegister& r : kNamedRegisters) names[r.number] = r.name;
    return names;
}();

}  // namespace

bool isKnownRegister(uint32_t number) {
    return number < kRegisterCount && !kRegisterNames[number].empty();
}

std::string_view registerName(uint32_t number) {
    if (number < kRegisterCount && !kRegisterNames[number].empty()) return kRegisterNames[number];
    return "unknown register";
}

}  // namespace symdeck

// Names of the primitive type indices the report spells out. Only exact matches are named:
// the mode and size bits of an index are not decoded, so a neighbour of a named index gets
// the fallback text.
#include "format/types/types.h"

namespace symdeck {

namespace {
constexpr std::string_view kUnknownPrimitive = "unknown primitive type(not all are set in symdeck)";
}  // namespace

std::string_view primitiveTypeName(uint32_t index) {
    switch (index) {
        case 0x0000: return "no Type";
        case 0x0003: return "void";
        case 0x0010: return "char";
        case 0x0011: return "short";
        case 0x0012: return "long";
        case 0x0020: return "unsigned char";
        case 0x0021: return "unsigned short";
        case 0x0022: return "unsigned long";
        case 0x0071: return "wide char";
        case 0x0103: return "near pointer to void";
        case 0x0110: return "near pointer to char";
        case 0x0111: return "near pointer to short";
        case 0x0112: return "near pointer to long";
        case 0x0120: return "near pointer to unsigned char";
        case 0x0121: return "near pointer to unsigned short";
        case 0x0122: return "near pointer to unsigned long";
        case 0x0171: return "near pointer to wide char";
        case 0x0203: return "far pointer to void";
        case 0x0210: return "far pointer to char";
        case 0x0211: return "far pointer to short";
        case 0x0212: return "far pointer to long";
        case 0x0220: return "far pointer to unsigned char";
        case 0x0221: return "far pointer to unsigned short";
        case 0x0222: return "far pointer to unsigned long";
        case 0x0271: return "far pointer to a wide char";
        default: break;
    }
    if (index >= kFirstRecordType) return "one of NM types";
    return kUnknownPrimitive;
}

bool isKnownPrimitiveType(uint32_t index) {
    return index < kFirstRecordType && primitiveTypeName(index).data() != kUnknownPrimitive.data();
}

}  // namespace symdeck

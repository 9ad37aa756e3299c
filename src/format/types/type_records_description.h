// The type records section's header, which the table of record offsets follows, and the
// records themselves: one table for each kind of record, titled with its block word. Every
// record begins with its ULONG lf_index, which names its kind; a record of a kind the
// program does not know is reported by its lf_index alone.
#pragma once

#include "format/description.h"

namespace symdeck::nmtp {

inline constexpr auto kHeader = described("NMTP_HEADER", "NMTP", 20, [] {
    return "NMTP=signature sectionLength=size nTypes=count N1..N2";
});

inline constexpr auto kUnknownRecord = described("unknown type", "", 4, [] {
    return "lf_index=enum";
});

inline constexpr auto kLabel = described("DATAS_LF_LABEL", "", 8, [] {
    return "lf_index=enum mode=enum";
});

inline constexpr auto kProcedure = described("DATAS_LF_PROCEDURE", "", 20, [] {
    return "lf_index=enum argList=typeIndex rType=typeIndex call=enum argCount=count";
});

inline constexpr auto kArray = described("DATAS_LF_ARRAY", "", 32, [] {
    return "lf_index=enum elemType=typeIndex N1 N2=number/USHORT length=size indexType=typeIndex "
           "N3 nElements=count N4=number/USHORT";
});

// Structures and unions share one layout.
inline constexpr auto kAggregateFields = [] {
    return "lf_index=enum derivedType=typeIndex iName=nameIndex property=number/USHORT "
           "nFields=count length=size N1..N2 N3=number/USHORT";
};
inline constexpr auto kStruct = described("DATAS_LF_STRUCT", "", 32, kAggregateFields);
inline constexpr auto kUnion = described("TYPE_LF_UNION", "", 32, kAggregateFields);

inline constexpr auto kMember = described("DATAS_LF_MEMBER", "", 20, [] {
    return "lf_index=enum indexType=typeIndex iName=nameIndex access=enum/USHORT "
           "offset=offset/USHORT N1";
});

// Argument lists and derivation lists share one layout too: argCount type indices follow
// the fixed part.
inline constexpr auto kTypeListFields = [] { return "lf_index=enum N1 argCount=count"; };
inline constexpr auto kArgList = described("DATAS_LF_ARGLIST", "", 12, kTypeListFields);
inline constexpr auto kDerived = described("DATAS_LF_DERIVED", "", 12, kTypeListFields);

}  // namespace symdeck::nmtp

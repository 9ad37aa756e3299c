// Every structure described by a table (format/description.h), in one tuple: for the tools
// that print the tables and the tests that hold the walk to them. The order is the JSON
// schemas' order of block words.
#pragma once

#include <tuple>

#include "format/file_structures.h"
#include "format/symbols/symbol_data_description.h"
#include "format/types/types.h"

namespace symdeck {

inline constexpr auto kDescribedStructures =
    std::tie(nm32::kHeader, nmdr::kHeader, nmdr::kEntry, kGtypHeader, sttb::kHeader,
             nmtp::kHeader, nmtp::kProcedure, nmtp::kArgList, nmtp::kArray, nmtp::kStruct,
             nmtp::kMember, nmtp::kUnion, nmtp::kDerived, nmtp::kLabel, nmtp::kUnknownRecord,
             tytb::kHeader, tytb::kEntry, hsht::kHeader, hsht::kEntry,
             symd::kHeader, symd::kSegmentDataHeader, symd::kSegment, symd::kProcedure,
             symd::kVlpEntry, symd::kRegisterEntry, symd::kSourceSection, symd::kSourceFile,
             kSrcpHeader, kFpodHeader);

}  // namespace symdeck

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
    std::tie(nm32::kHeader, nmdr::kHeader, nmde::kEntry, gtyp::kHeader, sttb::kHeader,
             nmtp::kHeader, nmtp::kProcedure, nmtp::kArgList, nmtp::kArray, nmtp::kStruct,
             nmtp::kMember, nmtp::kUnion, nmtp::kDerived, nmtp::kLabel, nmtp::kUnknownRecord,
             tytb::kHeader, tytb::kEntry, hsht::kHeader, hsht::kEntry,
             symd::kHeader, segmentdata_header::kHeader, segment::kRecord, procedure::kRecord,
             vlp::kEntry, register_entry::kEntry, source_section::kRecord, source_file::kRecord,
             srcp::kHeader, fpod::kHeader);

}  // namespace symdeck

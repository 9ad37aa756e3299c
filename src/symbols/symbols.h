// Symbol data: the SYMD section with its segments, and under each segment its procedures
// (with local and register variables), its source-line rows and source sections, and its
// VLP entries; after the segments comes the list of source files.
//
// Offsets inside the section have three bases: offSData_header counts from the image's
// first byte, subSectionLength from the SEGMENTDATA_HEADER, and every offset field of a
// SEGMENTDATA record from that record's first byte (the segment base). All of them are
// added in 64-bit arithmetic, so no sum wraps. Every bounds or size-limit error in the
// section names SYMD_HEADER and ends the walk: the render functions then return false.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "report/walk.h"

namespace symdeck {

// Fixed sizes of the section's records, in bytes.
inline constexpr uint64_t kSymdHeaderSize = 44;
inline constexpr uint64_t kSegmentDataHeaderSize = 12;
inline constexpr uint64_t kSegmentDataSize = 54;
inline constexpr uint64_t kVlpEntrySize = 16;
inline constexpr uint64_t kRegisterEntrySize = 18;
inline constexpr uint64_t kSourceSectionSize = 20;
inline constexpr uint64_t kLineRowSize = 8;
inline constexpr uint64_t kSourceFileSize = 20;

// The header that every error line of the section names.
inline constexpr std::string_view kSymdHeader = "SYMD_HEADER";

// The length of a SEGDATA_PROCEDURE record: 28 bytes in format minor version 1, which
// lacks the trailing N1 field, and 32 bytes in every other version.
constexpr uint64_t procedureSize(uint32_t formatMinorVersion) {
    return formatMinorVersion == 1 ? 28 : 32;
}

// The name of an x86 register number, or "unknown register".
std::string_view registerName(uint32_t number);

// The whole SYMD section at `sectionOffset`.
bool renderSymbolData(DumpContext& ctx, uint64_t sectionOffset);

// The blocks under the SEGMENTDATA record at `segmentBase`, in the order they are written:
// the procedures with their variables, the line table and source sections, the VLP
// entries. Each returns false only after an error line.
bool renderSegmentProcedures(DumpContext& ctx, uint64_t segmentBase);
bool renderSegmentSources(DumpContext& ctx, uint64_t segmentBase);
bool renderSegmentVlpTables(DumpContext& ctx, uint64_t segmentBase);

// Shared by the segment renderers.
//
// The SEGMENTDATA record at `segmentBase`. renderSymbolData has proven it to lie inside
// the image before the segment renderers run; should it not, the bounds error line is
// written and nothing is returned.
std::optional<Record> segmentRecord(DumpContext& ctx, uint64_t segmentBase);

}  // namespace symdeck

// The structures that hold a database together: the NM32 file header, the NMDR section
// directory, the STTB string table with the name lookup, and the three sections whose dump
// is their fixed header alone (GTYP, SRCP, FPOD).
//
// Each render function checks its structure (size limit, bounds, signature), writes its
// block and returns true, or writes one error line and returns false, which ends the walk.
#pragma once

#include <cstdint>
#include <string_view>

#include "report/walk.h"

namespace symdeck {

// Fixed sizes of the structures, in bytes.
inline constexpr uint64_t kNm32HeaderSize = 580;
inline constexpr uint64_t kNmdrHeaderSize = 56;
inline constexpr uint64_t kNmdeEntrySize = 36;
inline constexpr uint64_t kSttbHeaderSize = 20;
inline constexpr uint64_t kGtypHeaderSize = 32;
inline constexpr uint64_t kSrcpHeaderSize = 20;
inline constexpr uint64_t kFpodHeaderSize = 48;

// The NM32 header at image offset 0; records verMinor as ctx.formatMinorVersion.
bool renderNm32Header(DumpContext& ctx);

// The NMDR directory at `offset` with all its NMDE entries.
bool renderDirectory(DumpContext& ctx, uint64_t offset);

// Makes the STTB section at `sectionOffset` the table that stringAt() reads. Checks the
// section's signature and header first; false (with its error line) ends the walk.
bool installStringTable(DumpContext& ctx, uint64_t sectionOffset);

// The name with index `iName` in the installed table. Never fails: an index at or beyond
// the count yields "iName is out of range"; a name whose offset or first byte lies outside
// the image yields "iName points past the end of the file"; a name without a NUL before the
// image's end is cut there.
std::string_view stringAt(const DumpContext& ctx, uint32_t iName);

// A name reference in the form %d("%s"): the index, then the name from stringAt().
void writeNameRef(DumpContext& ctx, uint32_t iName);
// A whole iName field line: `type` column "ULONG", name "iName", value %d("%s").
void nameLine(DumpContext& ctx, unsigned indent, uint32_t iName, bool blank = false);

bool renderStringTable(DumpContext& ctx, uint64_t sectionOffset);
bool renderGtyp(DumpContext& ctx, uint64_t sectionOffset);
bool renderSrcp(DumpContext& ctx, uint64_t sectionOffset);
bool renderFpod(DumpContext& ctx, uint64_t sectionOffset);

}  // namespace symdeck

// The structures that hold a database together: the NM32 file header, the NMDR section
// directory, the STTB string table with the name lookup, and the three sections whose dump
// is their fixed header alone (GTYP, SRCP, FPOD).
//
// Each render function checks its structure (size limit, bounds, signature), reports its
// block and returns true, or records why the walk stops and returns false.
#pragma once

#include <cstdint>

#include "format/walk.h"

namespace symdeck {

// Field offsets of each structure, in bytes from its first byte, and its fixed size.
namespace nm32 {
inline constexpr uint64_t kVerMajor = 4, kVerMinor = 8, kOffNmdr = 12, kCreationTime = 16,
                          kCreationNumber = 20, kFileType = 24, kFileLength = 28, kN1 = 32,
                          kFilePath = 64, kCopyright = 324, kSize = 580;
inline constexpr uint64_t kFilePathSize = 0x104, kCopyrightSize = 0x100;
static_assert(kN1 + 8 * 4 == kFilePath && kFilePath + kFilePathSize == kCopyright);
static_assert(kCopyright + kCopyrightSize == kSize);
}  // namespace nm32

namespace nmdr {
inline constexpr uint64_t kNNmde = 4, kOffGtyp = 8, kOffSttb = 12, kOffSymd = 16, kOffSrcp = 20,
                          kOffFpod = 24, kN1 = 28, kSize = 56;
static_assert(kN1 + 7 * 4 == kSize);
}  // namespace nmdr

namespace nmde {
inline constexpr uint64_t kEntryIndex = 4, kOffEntry = 8, kEntryLength = 12, kN1 = 16,
                          kSize = 36;
static_assert(kN1 + 5 * 4 == kSize);
}  // namespace nmde

// Every section header begins with its signature and its sectionLength.
inline constexpr uint64_t kSectionLength = 4;

// Checks the header of the section at `offset` (signature, then its `size`-byte fixed
// part), opens its block, titled with the cursor's header name spelled `spelling` (a
// section's title numbers its end unless it is spelled as a plain record), and reports the
// signature and sectionLength. Nothing when the walk stops there.
template <class P>
std::optional<Record> openSection(Cursor<P>& cursor, uint64_t offset, std::string_view signature,
                                  uint64_t size, TitleSpelling spelling) {
    auto header = cursor.signedAt(offset, signature, size);
    if (!header) return header;
    // The end is the 32-bit sum the text prints.
    const uint32_t end = static_cast<uint32_t>(offset + header->u32(kSectionLength));
    const bool withEnd = spelling != TitleSpelling::Record;
    cursor.walk.print.open(Title{cursor.header, offset, size,
                                 TitleLayout{0, spelling, Closing::Separator},
                                 withEnd ? Mark::SectionEnd : Mark::None, withEnd ? end : 0});
    Fields<P> f{cursor.walk, *header};
    f.signature(signature);
    f.size(kSectionLength, "sectionLength");
    return header;
}

// A whole section at `offset`: its header checked and opened as openSection does, then
// `body(cursor, fields)` reports the header's other fields and whatever the section holds,
// and returns false when the walk stopped inside it. A section walked to its end closes
// with the separator.
template <class P, class Body>
SYMDECK_INLINE bool renderSection(Walk<P>& walk, uint64_t offset, std::string_view header,
                                  std::string_view signature, uint64_t size, TitleSpelling spelling,
                                  Body&& body) {
    Cursor<P> cursor{walk, header};
    auto record = openSection(cursor, offset, signature, size, spelling);
    if (!record) return false;
    Fields<P> f{walk, *record};
    if (!body(cursor, f)) return false;
    walk.print.close();
    return true;
}

namespace sttb {
inline constexpr uint64_t kNNames = 8, kN1 = 12, kSize = 20;
static_assert(kN1 + 2 * 4 == kSize);
}  // namespace sttb

namespace gtyp {
inline constexpr uint64_t kOffNmtp = 8, kOffSttb = 12, kOffTytb = 16, kOffHsht = 20, kN1 = 24,
                          kSize = 32;
static_assert(kN1 + 2 * 4 == kSize);
}  // namespace gtyp

namespace srcp {
inline constexpr uint64_t kOffSourceFiles = 8, kN1 = 12, kSize = 20;
static_assert(kN1 + 2 * 4 == kSize);
}  // namespace srcp

namespace fpod {
inline constexpr uint64_t kN1 = 8, kSize = 48;
static_assert(kN1 + 10 * 4 == kSize);
}  // namespace fpod

// The NM32 header at image offset 0.
template <class P>
bool renderNm32Header(Walk<P>& walk);

// The NMDR directory at `offset` with all its NMDE entries.
template <class P>
bool renderDirectory(Walk<P>& walk, uint64_t offset);

// Makes the STTB section at `sectionOffset` the table that stringAt() reads. Checks the
// section's signature and header first; false ends the walk.
template <class P>
bool installStringTable(Walk<P>& walk, uint64_t sectionOffset);

template <class P>
bool renderStringTable(Walk<P>& walk, uint64_t sectionOffset);
template <class P>
bool renderGtyp(Walk<P>& walk, uint64_t sectionOffset);
template <class P>
bool renderSrcp(Walk<P>& walk, uint64_t sectionOffset);
template <class P>
bool renderFpod(Walk<P>& walk, uint64_t sectionOffset);

}  // namespace symdeck

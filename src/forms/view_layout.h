// The view form's layout: its frame tags and the place of every part of its records. The
// view printer writes by these names, and tools/make_viewer_layout prints them as the
// viewer's viewer/model/layout.mjs, so that the page reads the records the way they are
// written. forms/view_printer.h describes the form as a whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "format/events.h"

namespace symdeck::view {

inline constexpr uint32_t kVersion = 2;

enum Tag : uint32_t {
    kHeader = 1, kFields = 2, kText = 3, kBlocks = 4, kLists = 5, kReads = 6,
    kWords = 8, kKinds = 9, kEnd = 10,
};

// Records per full frame of each fixed-size table.
inline constexpr uint32_t kFrameRecords = 4096;

// The header: 4 u32.
enum HeaderWord : unsigned {
    kHeaderVersion, kHeaderImageSizeLow, kHeaderImageSizeHigh, kHeaderFrameRecords,
    kHeaderWords
};

// A field: u32 offset, u32 size, u32 target's low 32 bits, u32 textEnd, u16 kind, u8 flags,
// u8 target's bits 32-39, u32 the field's index in the walk. Each part's first byte:
enum FieldByte : size_t {
    kFieldOffset = 0, kFieldSize = 4, kFieldTargetLow = 8, kFieldTextEnd = 12, kFieldKind = 16,
    kFieldFlags = 18, kFieldTargetHigh = 19, kFieldIndex = 20,
};
inline constexpr size_t kFieldBytes = 24;
// A reader may take the kind as the low half of the word it begins (a little-endian u32).
static_assert(kFieldKind % 4 == 0 && kFieldFlags == kFieldKind + 2 && kFieldTargetHigh == kFieldFlags + 1);
static_assert(kFieldIndex + 4 == kFieldBytes);

enum FieldFlag : uint8_t {
    kInFile = 1,         // the target lies inside the file
    kElementStart = 2,   // the first field of a list element
    kInElement = 4,      // a field of a list element
    kProblem = 8,        // the value breaks a rule or has no word
    // bits 4-6: why a type index has no target (Unresolved)
};
inline constexpr unsigned kUnresolvedShift = 4;
inline constexpr unsigned kUnresolvedMask = 7;
static_assert(std::size(kUnresolvedWords) <= kUnresolvedMask + 1);
static_assert((kUnresolvedMask << kUnresolvedShift) <= 0xFF && (kProblem >> kUnresolvedShift) == 0);

// A block: 16 u32.
enum BlockWord : unsigned {
    kBlockIndex, kBlockParent, kBlockOffset, kBlockSize, kBlockFirstField, kBlockFieldEnd,
    kBlockSubtreeEnd, kBlockPosition, kBlockCount,
    kBlockWord,  // u16 word, u8 depth (top level 0), u8 mark (Mark, or kUnknownKind)
    kBlockNumber, kBlockTextStartLow, kBlockTextStartHigh, kBlockTextEndLow, kBlockTextEndHigh,
    kBlockChildren,
    kBlockWords
};
// The parts of kBlockWord.
inline constexpr uint32_t kBlockWordMask = 0xFFFF;
inline constexpr unsigned kBlockDepthShift = 16;
inline constexpr unsigned kBlockMarkShift = 24;
inline constexpr uint32_t kNoBlock = ~uint32_t{0};
// The offset of a block that has no place in the file.
inline constexpr uint32_t kNoPlace = ~uint32_t{0};
// The mark of a block that stands for a directory entry of a kind the walk does not know:
// its number is the kind (the other marks are Mark's).
inline constexpr uint8_t kUnknownKind = 0xFF;

// A list: 8 u32: block, u16 name word | u16 spelling, first field, field end, count,
// stride, offset, counted-by offset (kNoBlock: none or not in 32 bits).
inline constexpr size_t kListWords = 8;

// A read: u32 offset, u32 size.
inline constexpr size_t kReadBytes = 8;

// A kind of field: u16 name word, u16 type word, u8 role, u8 leads, u16 zero. Each part's
// first byte:
enum KindByte : size_t { kKindName = 0, kKindType = 2, kKindRole = 4, kKindLeads = 5 };
inline constexpr size_t kKindBytes = 8;
// A field's kind is a u16.
inline constexpr uint32_t kKindMask = 0xFFFF;

// The end: 16 u32, then the error line: u32 length, its bytes.
enum EndWord : unsigned {
    kEndHow,  // WalkEnd
    kEndHeader, kEndOffsetLow, kEndOffsetHigh, kEndNumberLow, kEndNumberHigh,
    kEndOpenBlock,  // the innermost block open where the walk stopped (kNoBlock: none)
    kEndBlocks, kEndFields, kEndLists, kEndReads,
    kEndReportLow, kEndReportHigh,  // the bytes of the text report
    kEndDamaged, kEndUnknown, kEndWordCount,
    kEndWords
};

// The view form's choice of fields as the C interface takes it: the bits of its first
// option word.
enum Choice : uint64_t {
    kChoiceNoTree = 1,   // leave out the tree's tables (ViewOptions::skeleton false)
    kChoiceNoCount = 2,  // do not count the text report (ViewOptions::countText false)
};

}  // namespace symdeck::view

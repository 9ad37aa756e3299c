// How a block's title spells the number its mark names, between the block's word and the
// rest of the title: "DIR_ENTRY (3)", "TYPE_RECORD (type: 0x1003)", "UNKNOWN SubSection
// (value 9)". The text report writes these words, and the viewer's block labels take them
// from viewer/model/layout.mjs, which tools/make_viewer_layout prints from here.
#pragma once

#include <string_view>

namespace symdeck {

struct TitleNumber {
    std::string_view before, after;
    unsigned radix;  // 10: a signed 32-bit decimal (ReportWriter::dec); 16: hexadecimal digits
};

// A directory entry's index.
inline constexpr TitleNumber kEntryNumber{" (", ")", 10};
// A type record's type index.
inline constexpr TitleNumber kTypeNumber{" (type: 0x", ")", 16};
// The kind of a directory entry of a kind the walk does not know.
inline constexpr TitleNumber kUnknownKindNumber{" (value ", ")", 10};

}  // namespace symdeck

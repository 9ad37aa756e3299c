// NM32: the file header at the image's first byte, with the directory's offset, the
// format version and the two texts.
#pragma once

#include "format/file_structures.h"

namespace symdeck {

namespace {

// The fileType codes the report knows; 10 is known but has no name.
constexpr EnumName kFileTypes[] = {{2, "PE_EXE"}, {4, "PE_DLL"}, {6, "LE_VXD"}, {7, "NE"},
                                   {10, ""},      {11, "MAP"},   {13, "TDS"},   {14, "LX"}};

// One of the two texts of the header: read up to its first NUL, so a filePath that fills
// its 260 bytes runs on into copyrightString, and either may run on to the image's end.
Field textField(const NmsImage& image, const Record& header, uint64_t at, uint64_t size,
                std::string_view type, std::string_view name, bool blank) {
    Field f{name, type, header.offset + at, static_cast<uint32_t>(size), 0, Role::Text,
            Meaning::None, FieldLayout{Spelling::AsText, blank ? After::Blank : After::Line}};
    f.text = textAt(image, header.offset + at);
    f.textOffset = header.offset + at;
    return f;
}

}  // namespace

template <class P>
bool renderNm32Header(Walk<P>& walk) {
    auto header = Cursor<P>{walk, "NM32_HEADER"}.signedAt(0, "NM32", nm32::kSize);
    if (!header) return false;

    walk.print.open(Title{"NM32_HEADER", header->offset, nm32::kSize,
                          TitleLayout{0, TitleSpelling::Header, Closing::Separator}});
    Fields<P> f{walk, *header};
    f.signature("NM32");
    f.number(nm32::kVerMajor, "verMajor");
    f.number(nm32::kVerMinor, "verMinor");
    // The directory counts from the image's first byte.
    f.offsetTo(nm32::kOffNmdr, "offNMDR", Leads::Block, 0);
    f.number(nm32::kCreationTime, "creationTime");
    f.number(nm32::kCreationNumber, "creationNumber");

    Field fileType = f.ulong(*header, nm32::kFileType, "fileType", Role::Enum, Spelling::FileType);
    if (const EnumName* known = findName(kFileTypes, fileType.value)) {
        // 10 is known but has no word.
        fileType.text = known->name;
        if (!known->name.empty()) fileType.meaning = Meaning::Word;
    } else {
        fileType.layout.spelling = Spelling::Message;
        fileType.meaning = Meaning::ErrorHex;
        fileType.tail = "(unknown)";
        fileType.problem = Problem::UnknownEnum;
    }
    f.emit(fileType);
    f.emit(f.ulong(*header, nm32::kFileLength, "fileLength", Role::Size, Spelling::DecBytes));
    f.unnamed(nm32::kN1, 8, false, false);

    f.emit(textField(walk.image, *header, nm32::kFilePath, nm32::kFilePathSize, "CHAR[0x104]",
                     "filePath", false));
    f.emit(textField(walk.image, *header, nm32::kCopyright, nm32::kCopyrightSize, "CHAR[0x100]",
                     "copyrightString", true));
    walk.print.close();
    return true;
}

}  // namespace symdeck

// The file header at the image's first byte, with the directory's offset, the format
// version and the two texts (nm32_header.structures).
#pragma once

#include "format/file_structures.h"

namespace symdeck {

namespace {

// The fileType codes the report knows; 10 is known but has no name.
constexpr EnumName kFileTypes[] = {{2, "PE_EXE"}, {4, "PE_DLL"}, {6, "LE_VXD"}, {7, "NE"},
                                   {10, ""},      {11, "MAP"},   {13, "TDS"},   {14, "LX"}};

// One of the two texts of the header: read up to its first NUL, so a filePath that fills
// its 260 bytes runs on into copyrightString, and either may run on to the image's end.
Field textField(const NmsImage& image, const Record& header, const FieldDescription& d,
                bool last) {
    Field f{d.name, d.storage, header.offset + d.offset, static_cast<uint32_t>(d.size), 0, d.role,
            Meaning::None, d.id, last};
    f.text = textAt(image, header.offset + d.offset);
    f.textOffset = header.offset + d.offset;
    return f;
}

}  // namespace

template <class P>
bool renderNm32Header(Walk<P>& walk) {
    using nm32::kHeader;
    auto header = Cursor<P>{walk, kHeader.word}.signedAt(0, kHeader.signature, kHeader.size);
    if (!header) return false;

    walk.print.open(Title{kHeader.word, header->offset, kHeader.size});
    Fields<P> f{walk, *header};
    f.signature(fieldOf(kHeader, "NM32"));
    f.hex(fieldOf(kHeader, "verMajor"));
    f.hex(fieldOf(kHeader, "verMinor"));
    // The directory counts from the image's first byte.
    f.offsetTo(fieldOf(kHeader, "offNMDR"), Leads::Block, 0);
    f.hex(fieldOf(kHeader, "creationTime"));
    f.hex(fieldOf(kHeader, "creationNumber"));

    Field fileType = f.field(*header, fieldOf(kHeader, "fileType"));
    if (const EnumName* known = findName(kFileTypes, fileType.value)) {
        // 10 is known but has no word.
        fileType.text = known->name;
        if (!known->name.empty()) fileType.meaning = Meaning::Word;
    } else {
        markUnknown(fileType, Meaning::ErrorHex, Problem::UnknownEnum);
    }
    f.emit(fileType);
    f.emit(f.asSigned(f.field(*header, fieldOf(kHeader, "fileLength"))));
    f.unnamed(unnamedWords(kHeader), false, false);

    f.emit(textField(walk.image, *header, fieldOf(kHeader, "filePath"), false));
    f.emit(textField(walk.image, *header, fieldOf(kHeader, "copyrightString"), true));
    walk.print.close();
    return true;
}

}  // namespace symdeck

#include "nmsbuild/nmsbuild.h"

namespace nmsbuild {

void Bytes::fixedText(std::string_view s, uint64_t width) {
    const uint64_t n = s.size() < width ? s.size() : width;
    raw(s.substr(0, n));
    zeros(width - n);
}

void Bytes::patch16(uint64_t at, uint16_t v) {
    data.at(at) = static_cast<uint8_t>(v);
    data.at(at + 1) = static_cast<uint8_t>(v >> 8);
}

void Bytes::patch32(uint64_t at, uint32_t v) {
    patch16(at, static_cast<uint16_t>(v));
    patch16(at + 2, static_cast<uint16_t>(v >> 16));
}

void patchSectionLength(Bytes& out, uint64_t start, std::optional<uint32_t> value) {
    out.patch32(start + 4, value.value_or(static_cast<uint32_t>(out.pos() - start)));
}

Built build(const Database& db) {
    Bytes out;
    const Nm32Header& h = db.header;
    constexpr uint64_t kDirectory = 580;
    out.fixedText(h.signature, 4);
    out.u32(h.verMajor);
    out.u32(h.verMinor);
    out.u32(h.offNMDR.value_or(kDirectory));
    out.u32(h.creationTime);
    out.u32(h.creationNumber);
    out.u32(h.fileType);
    out.u32(h.fileLength);
    for (uint32_t v : h.n) out.u32(v);
    // filePath may be longer than its field: it then runs on into copyrightString.
    if (h.filePath.size() >= 260) {
        out.raw(h.filePath);
        out.padTo(324);
    } else {
        out.fixedText(h.filePath, 260);
    }
    if (out.pos() == 324) out.fixedText(h.copyrightString, 256);
    else out.raw(h.copyrightString);
    out.padTo(kDirectory);

    const DirectoryHeader& d = db.directory;
    const uint64_t dir = out.pos();
    out.fixedText(d.signature, 4);
    out.u32(d.nNMDE.value_or(static_cast<uint32_t>(db.entries.size())));
    const uint64_t offsetsSlot = out.pos();
    out.zeros(20);
    for (uint32_t v : d.n) out.u32(v);

    std::vector<uint64_t> entrySlots;
    for (const Entry& e : db.entries) {
        entrySlots.push_back(out.pos());
        out.fixedText(e.signature, 4);
        out.u32(e.entryIndex);
        out.u32(0);  // offEntry, patched below
        out.u32(0);  // entryLength, patched below
        for (uint32_t v : e.n) out.u32(v);
    }

    Built built;
    built.directoryOffset = dir;
    std::array<uint32_t, 9> firstOfKind{};
    for (size_t i = 0; i < db.entries.size(); ++i) {
        const Entry& e = db.entries[i];
        uint64_t start = 0, size = 0;
        if (e.section) {
            start = out.pos();
            e.section(out);
            size = out.pos() - start;
            if (e.entryIndex < 9 && firstOfKind[e.entryIndex] == 0)
                firstOfKind[e.entryIndex] = static_cast<uint32_t>(start);
        }
        built.sectionOffsets.push_back(start);
        out.patch32(entrySlots[i] + 8, e.offEntry.value_or(static_cast<uint32_t>(start)));
        out.patch32(entrySlots[i] + 12, e.entryLength.value_or(static_cast<uint32_t>(size)));
    }
    out.patch32(offsetsSlot, d.offGTYP.value_or(firstOfKind[kGtyp]));
    out.patch32(offsetsSlot + 4, d.offSTTB.value_or(firstOfKind[kSttb]));
    out.patch32(offsetsSlot + 8, d.offSYMD.value_or(firstOfKind[kSymd]));
    out.patch32(offsetsSlot + 12, d.offSRCP.value_or(firstOfKind[kSrcp]));
    out.patch32(offsetsSlot + 16, d.offFPOD.value_or(firstOfKind[kFpod]));
    built.bytes = std::move(out.data);
    return built;
}

SectionEmitter stringTable(StringTable table) {
    return [table = std::move(table)](Bytes& out) {
        const uint64_t start = out.pos();
        out.fixedText(table.signature, 4);
        out.u32(0);
        out.u32(table.nNames.value_or(static_cast<uint32_t>(table.names.size())));
        out.u32(table.n1);
        out.u32(table.n2);
        uint32_t offset = 0;
        for (const auto& name : table.names) {
            out.u32(offset);
            offset += static_cast<uint32_t>(name.size() + 1);
        }
        for (const auto& name : table.names) {
            out.raw(name);
            out.u8(0);
        }
        patchSectionLength(out, start, table.sectionLength);
    };
}

SectionEmitter gtyp(Gtyp s) {
    return [s = std::move(s)](Bytes& out) {
        const uint64_t start = out.pos();
        out.fixedText(s.signature, 4);
        out.u32(0);
        for (uint32_t v : {s.offNMTP, s.offSTTB, s.offTYTB, s.offHSHT, s.n1, s.n2}) out.u32(v);
        out.raw(s.body);
        patchSectionLength(out, start, s.sectionLength);
    };
}

SectionEmitter srcp(Srcp s) {
    return [s = std::move(s)](Bytes& out) {
        const uint64_t start = out.pos();
        out.fixedText(s.signature, 4);
        out.u32(0);
        for (uint32_t v : {s.offSourceFiles, s.n1, s.n2}) out.u32(v);
        out.raw(s.body);
        patchSectionLength(out, start, s.sectionLength);
    };
}

SectionEmitter fpod(Fpod s) {
    return [s = std::move(s)](Bytes& out) {
        const uint64_t start = out.pos();
        out.fixedText(s.signature, 4);
        out.u32(0);
        for (uint32_t v : s.n) out.u32(v);
        out.raw(s.body);
        patchSectionLength(out, start, s.sectionLength);
    };
}

}  // namespace nmsbuild

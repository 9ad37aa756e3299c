// nmsbuild: NMS symbol databases built in memory from a readable description.
//
// A Database names its NM32 header fields, its directory and, per directory entry, the
// section that entry points at. build() lays it out: the header at offset 0, the directory
// right behind it (0x244), then every entry's section in entry order, filling in offsets,
// counts and lengths that the description leaves unset. Fields that a test wants wrong are
// set explicitly; anything else damaged (truncations, stray bytes) is done on the result.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nmsbuild {

// A growing little-endian byte image with patchable slots.
struct Bytes {
    std::vector<uint8_t> data;

    uint64_t pos() const { return data.size(); }
    void u8(uint8_t v) { data.push_back(v); }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void raw(std::string_view s) { data.insert(data.end(), s.begin(), s.end()); }
    void zeros(uint64_t n) { data.insert(data.end(), n, 0); }
    // `s` in a field of `width` bytes, NUL-padded (cut when longer).
    void fixedText(std::string_view s, uint64_t width);
    // Pads with zeros up to absolute position `at` (no-op when already there or past it).
    void padTo(uint64_t at) {
        if (at > pos()) zeros(at - pos());
    }
    void patch16(uint64_t at, uint16_t v);
    void patch32(uint64_t at, uint32_t v);
};

// Writes one section at the current end of `out` (its absolute image offset is out.pos()).
using SectionEmitter = std::function<void(Bytes& out)>;

struct Nm32Header {
    std::string signature = "NM32";
    uint32_t verMajor = 1;
    uint32_t verMinor = 0;
    std::optional<uint32_t> offNMDR;  // unset: where build() puts the directory
    uint32_t creationTime = 0;
    uint32_t creationNumber = 0;
    uint32_t fileType = 2;
    uint32_t fileLength = 0;
    std::array<uint32_t, 8> n{};  // N1..N8
    std::string filePath;
    std::string copyrightString;
};

struct DirectoryHeader {
    std::string signature = "NMDR";
    std::optional<uint32_t> nNMDE;  // unset: the number of entries
    // unset: the offset of the first section of that kind, or 0
    std::optional<uint32_t> offGTYP, offSTTB, offSYMD, offSRCP, offFPOD;
    std::array<uint32_t, 7> n{};  // N1..N7
};

struct Entry {
    uint32_t entryIndex = 0;
    SectionEmitter section;           // empty: no section is written for this entry
    std::optional<uint32_t> offEntry;  // unset: where build() put the section (0 without one)
    std::optional<uint32_t> entryLength;  // unset: the section's size in bytes
    std::array<uint32_t, 5> n{};       // N1..N5
    std::string signature = "NMDE";
};

struct Database {
    Nm32Header header;
    DirectoryHeader directory;
    std::vector<Entry> entries;
};

struct Built {
    std::vector<uint8_t> bytes;
    uint64_t directoryOffset = 0;
    // Per entry: the image offset of its section (0 when the entry has none).
    std::vector<uint64_t> sectionOffsets;
};

Built build(const Database& db);

// Directory entry kinds.
enum Kind : uint32_t {
    kGtyp = 1, kSttb = 2, kNmtp = 3, kTytb = 4, kHsht = 5, kSymd = 6, kSrcp = 7, kFpod = 8
};

// ---- STTB ----
struct StringTable {
    std::string signature = "STTB";
    std::vector<std::string> names;
    std::optional<uint32_t> sectionLength;  // unset: the section's size
    std::optional<uint32_t> nNames;         // unset: names.size()
    uint32_t n1 = 0, n2 = 0;
};
SectionEmitter stringTable(StringTable table);

// ---- GTYP, SRCP, FPOD: a fixed header, optionally followed by further bytes ----
struct Gtyp {
    std::string signature = "GTYP";
    std::optional<uint32_t> sectionLength;
    uint32_t offNMTP = 0, offSTTB = 0, offTYTB = 0, offHSHT = 0, n1 = 0, n2 = 0;
    std::string body;  // bytes behind the header
};
struct Srcp {
    std::string signature = "SRCP";
    std::optional<uint32_t> sectionLength;
    uint32_t offSourceFiles = 0, n1 = 0, n2 = 0;
    std::string body;
};
struct Fpod {
    std::string signature = "FPOD";
    std::optional<uint32_t> sectionLength;
    std::array<uint32_t, 10> n{};  // N1..N10
    std::string body;
};
SectionEmitter gtyp(Gtyp section);
SectionEmitter srcp(Srcp section);
SectionEmitter fpod(Fpod section);

// Writes a section's sectionLength at section offset 4 once the section is complete:
// `value` when set, else the bytes written since `start`.
void patchSectionLength(Bytes& out, uint64_t start, std::optional<uint32_t> value);

}  // namespace nmsbuild

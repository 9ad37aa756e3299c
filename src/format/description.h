// A structure's description: its block word, the signature that opens it, its fixed size,
// and for each field its name, storage word, offset, size and role. Each structure of the
// format is stated once, in such a table beside its decoder; the decoder reads its fields'
// names, offsets, sizes and roles from there, and tools/make_structures prints the tables
// for the JSON schemas. Everything here is constexpr: a field taken from a table folds to
// constants where the walk builds its event.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "format/events.h"

namespace symdeck {

struct FieldDescription {
    std::string_view name;
    std::string_view storage;  // ULONG, USHORT, CHAR[0x104], ...
    uint64_t offset;           // from the structure's first byte
    uint64_t size;
    Role role;
    // Read to find the way but shown in no form (a count whose blocks the walk reports).
    bool unreported = false;
};

// Whether field `f` is the n-th of the words the format leaves unnamed: N1, N2, ...
constexpr bool isUnnamed(const FieldDescription& f, size_t n) {
    const bool numbered = n < 10 ? f.name.size() == 2 && f.name[1] == char('0' + n)
                                 : f.name.size() == 3 && f.name[1] == char('0' + n / 10) &&
                                       f.name[2] == char('0' + n % 10);
    return numbered && f.name[0] == 'N' && f.storage == "ULONG" && f.role == Role::Number;
}

template <size_t N>
struct StructureDescription {
    std::string_view word;       // the block's word: titles, runs, JSON blocks
    std::string_view signature;  // the four letters it opens with; empty when none
    uint64_t size;               // the fixed part, in bytes
    std::array<FieldDescription, N> fields;
};

template <size_t N>
StructureDescription(std::string_view, std::string_view, uint64_t,
                     std::array<FieldDescription, N>) -> StructureDescription<N>;

// Never defined: called only where a table is asked for a field it does not have, which no
// constant evaluation can get past.
void noFieldOfThatName();

// The index of the field called `name` in `s`; a name the structure does not have does not
// compile.
template <size_t N>
constexpr size_t indexOf(const StructureDescription<N>& s, std::string_view name) {
    for (size_t i = 0; i < N; ++i)
        if (s.fields[i].name == name) return i;
    noFieldOfThatName();
    return N;
}

// The field called `name`, as constants.
template <size_t N>
consteval FieldDescription fieldOf(const StructureDescription<N>& s, std::string_view name) {
    return s.fields[indexOf(s, name)];
}

// The unnamed words N1, N2, ...: the fields from N1 to the last of them, back to back.
template <size_t N>
consteval std::span<const FieldDescription> unnamedWords(const StructureDescription<N>& s) {
    const size_t first = indexOf(s, "N1");
    size_t end = first;
    while (end < N && isUnnamed(s.fields[end], end - first + 1)) ++end;
    return std::span<const FieldDescription>(s.fields.data() + first, end - first);
}

// The bytes a storage word stands for; 0 for a word the program does not know.
constexpr uint64_t storageSize(std::string_view storage) {
    if (storage == "ULONG") return 4;
    if (storage == "USHORT") return 2;
    if (storage == "CHAR[0x104]") return 0x104;
    if (storage == "CHAR[0x100]") return 0x100;
    return 0;
}

// A table the walk can trust: its fields lie back to back from the first byte, each as
// large as its storage word, the last ending at the structure's size; no name twice; a
// signature, when there is one, is the first field, a ULONG named after it.
template <size_t N>
constexpr bool isSound(const StructureDescription<N>& s) {
    uint64_t at = 0;
    for (size_t i = 0; i < N; ++i) {
        const FieldDescription& f = s.fields[i];
        if (f.offset != at || f.size == 0 || f.size != storageSize(f.storage)) return false;
        for (size_t j = 0; j < i; ++j)
            if (s.fields[j].name == f.name) return false;
        at += f.size;
    }
    if (at != s.size) return false;
    if (s.signature.empty()) return true;
    return N > 0 && s.signature.size() == 4 && s.fields[0].name == s.signature &&
           s.fields[0].storage == "ULONG" && s.fields[0].role == Role::Signature;
}

// The shorthand for a table's ULONG fields.
constexpr FieldDescription ulongField(std::string_view name, uint64_t offset, Role role,
                                      bool unreported = false) {
    return FieldDescription{name, "ULONG", offset, 4, role, unreported};
}

// A section's header: its signature, then its ULONG sectionLength, which the walk reads to
// number the section's end.
inline constexpr FieldDescription kSectionLength = ulongField("sectionLength", 4, Role::Size);

template <size_t N>
constexpr bool isSectionHeader(const StructureDescription<N>& s) {
    const FieldDescription& length = s.fields[1];
    return isSound(s) && !s.signature.empty() && N > 1 && length.name == kSectionLength.name &&
           length.offset == kSectionLength.offset && length.storage == kSectionLength.storage &&
           length.role == kSectionLength.role;
}

}  // namespace symdeck

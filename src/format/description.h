// A structure's description: its block word, the signature that opens it, its fixed size,
// and for each field its name, storage word, offset, size and role. Each structure of the
// format is stated once, in such a table beside its decoder; the decoder reads its fields'
// names, offsets, sizes and roles from there, and tools/make_structures prints the tables
// for the JSON schemas. Everything here is constexpr: a field taken from a table folds to
// constants where the walk builds its event.
#pragma once

#include <algorithm>
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
    // Which field of which table this is, the same in every copy (a Field carries it as
    // `described`): table number * kMostTableFields + the field's place. The configuration
    // numbers every table of the program from 1 (cmake/structures.cmake), so 0 is no table's
    // field. A number for the program's own use while it runs: no output shows it.
    uint16_t id = 0;
};

// The most fields a table may have, and the most field ids there are.
inline constexpr uint16_t kMostTableFields = 32;
inline constexpr uint16_t kFieldIds = 2048;

// Whether field `f` is the n-th of the words the format leaves unnamed: N1, N2, ... (a
// ULONG or, in a few records, a USHORT).
constexpr bool isUnnamed(const FieldDescription& f, size_t n) {
    const bool numbered = n < 10 ? f.name.size() == 2 && f.name[1] == char('0' + n)
                                 : f.name.size() == 3 && f.name[1] == char('0' + n / 10) &&
                                       f.name[2] == char('0' + n % 10);
    return numbered && f.name[0] == 'N' && (f.storage == "ULONG" || f.storage == "USHORT") &&
           f.role == Role::Number;
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

// A run of a table's fields: the `count` fields from the `first`-th on.
struct FieldRun {
    size_t first;
    size_t count;
};

// The fields from `first` to `last`, both included.
template <size_t N>
consteval FieldRun fieldsFrom(const StructureDescription<N>& s, std::string_view first,
                              std::string_view last) {
    const size_t from = indexOf(s, first);
    const size_t to = indexOf(s, last);
    if (to < from) noFieldOfThatName();
    return FieldRun{from, to - from + 1};
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

// Never defined: called only where a table's text (laidOut) says what no field can be.
void notAFieldText();

// The names of the unnamed words, for `N1..Nk` in a table's text.
inline constexpr std::string_view kUnnamedNames[] = {"N1", "N2", "N3", "N4", "N5", "N6",
                                                     "N7", "N8", "N9", "N10", "N11", "N12"};

namespace description_text {

// The words of a table's text, one after another.
struct Words {
    std::string_view rest;
    constexpr bool next(std::string_view& word) {
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        if (rest.empty()) return false;
        const size_t end = std::min(rest.find(' '), rest.size());
        word = rest.substr(0, end);
        rest.remove_prefix(end);
        return true;
    }
};

// `N1..Nk`: k; 0 for any other word.
constexpr size_t unnamedRun(std::string_view word) {
    if (word.substr(0, 5) != "N1..N" || word.size() < 6) return 0;
    size_t k = 0;
    for (const char c : word.substr(5)) {
        if (c < '0' || c > '9') notAFieldText();
        k = 10 * k + static_cast<size_t>(c - '0');
    }
    if (k == 0 || k > std::size(kUnnamedNames)) notAFieldText();
    return k;
}

constexpr Role roleNamed(std::string_view name) {
    for (size_t i = 0; i < std::size(kRoleNames); ++i)
        if (kRoleNames[i] == name) return static_cast<Role>(i);
    notAFieldText();
    return Role::Number;
}

}  // namespace description_text

// How many fields a table's text (laidOut) states.
constexpr size_t fieldCount(std::string_view text) {
    description_text::Words words{text};
    std::string_view word;
    size_t n = 0;
    while (words.next(word)) n += std::max<size_t>(description_text::unnamedRun(word), 1);
    return n;
}

// A structure's fields from one text, laid back to back from its first byte, so that no
// offset is typed: words separated by spaces, each `name`, `name=role` or
// `name=role/STORAGE`. The storage is ULONG unless given (USHORT, CHAR[0x104], ...); the
// role is one of kRoleNames, `number` unless given, and a `!` after it marks a field read
// to find the way but shown in no form. `N1..Nk` stands for the unnamed words N1 to Nk.
// N is the text's fieldCount. The names and storage words point into the text, so the
// text is a string literal: a table is made by `described` below.
template <size_t N>
constexpr std::array<FieldDescription, N> laidOut(std::string_view text, uint16_t table = 0) {
    using namespace description_text;
    if (fieldCount(text) != N || N > kMostTableFields ||
        (table + 1u) * kMostTableFields > kFieldIds)
        notAFieldText();
    std::array<FieldDescription, N> fields{};
    Words words{text};
    std::string_view word;
    uint64_t at = 0;
    size_t i = 0;
    const auto add = [&](std::string_view name, std::string_view storage, Role role,
                         bool unreported) {
        const uint64_t size = storageSize(storage);
        if (size == 0) notAFieldText();
        const auto id = static_cast<uint16_t>(table == 0 ? 0 : table * kMostTableFields + i);
        fields[i++] = FieldDescription{name, storage, at, size, role, unreported, id};
        at += size;
    };
    while (words.next(word)) {
        if (const size_t k = unnamedRun(word)) {
            for (size_t n = 0; n < k; ++n) add(kUnnamedNames[n], "ULONG", Role::Number, false);
            continue;
        }
        const size_t equals = std::min(word.find('='), word.size());
        const std::string_view name = word.substr(0, equals);
        std::string_view role = equals < word.size() ? word.substr(equals + 1) : "number";
        std::string_view storage = "ULONG";
        if (const size_t slash = role.find('/'); slash != std::string_view::npos) {
            storage = role.substr(slash + 1);
            role = role.substr(0, slash);
        }
        const bool unreported = !role.empty() && role.back() == '!';
        if (unreported) role.remove_suffix(1);
        add(name, storage, roleNamed(role), unreported);
    }
    return fields;
}

// Never defined: called only where a table is not sound (isSound), or a section's header
// not a section header (sectionSignature).
void notASoundTable();

// A structure's table: its number among the program's tables (FieldDescription::id; 0 for
// a table that gives its fields no id), its block word, its signature (empty when none) and
// fixed size, and its fields laid out (laidOut) from the string literal that the lambda
// `fields` returns, e.g.
// `described(7, "TYPETABLE", "", 8, [] { return "type=typeIndex iName=nameIndex"; })`.
// The lambda's type carries the text, so its field count is a constant while the text stays
// an ordinary string literal (a text held in a template argument object is no constant to
// g++ 12's -fsanitize=undefined). A table that is not sound does not compile.
template <class Text>
consteval auto described(uint16_t table, std::string_view word, std::string_view signature,
                         uint64_t size, Text /*fields*/) {
    constexpr std::string_view text = Text{}();
    const StructureDescription s{word, signature, size, laidOut<fieldCount(text)>(text, table)};
    if (!isSound(s)) notASoundTable();
    return s;
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

// The signature of a section's header, which must be a section header (isSectionHeader):
// the walk reads every section's length from the same place.
template <size_t N>
constexpr std::string_view sectionSignature(const StructureDescription<N>& header) {
    if (!isSectionHeader(header)) notASoundTable();
    return header.signature;
}

}  // namespace symdeck

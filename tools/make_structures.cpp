// Prints every described structure (format/described_structures.h) as one JSON object: for
// each block word, its fields in order with their storage word, offset, size and role, and
// `reported: false` for a field that no form shows. tools/make_schemas.py reads it for
// those blocks' field lists, so that the schemas take them from the tables the walk reads.
//   make_structures [FILE]   (standard output without FILE)
#include <cstdio>
#include <string>
#include <tuple>

#include "format/described_structures.h"

namespace {

using namespace symdeck;

// Names, words and roles are identifiers and bracketed words: nothing to escape.
void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    out += text;
    out += '"';
}

template <size_t N>
void appendStructure(std::string& out, const StructureDescription<N>& s, bool first) {
    out += first ? "{\n " : ",\n ";
    appendQuoted(out, s.word);
    out += ": {\"size\": " + std::to_string(s.size) + ", \"fields\": [";
    for (size_t i = 0; i < N; ++i) {
        const FieldDescription& f = s.fields[i];
        out += i == 0 ? "\n  {\"name\": " : ",\n  {\"name\": ";
        appendQuoted(out, f.name);
        out += ", \"type\": ";
        appendQuoted(out, f.storage);
        out += ", \"offset\": " + std::to_string(f.offset);
        out += ", \"size\": " + std::to_string(f.size);
        out += ", \"role\": ";
        appendQuoted(out, roleName(f.role));
        if (f.unreported) out += ", \"reported\": false";
        out += "}";
    }
    out += "]}";
}

}  // namespace

int main(int argc, char** argv) {
    std::string out;
    bool first = true;
    std::apply([&](const auto&... s) { ((appendStructure(out, s, first), first = false), ...); },
               kDescribedStructures);
    out += "\n}\n";
    FILE* file = argc > 1 ? std::fopen(argv[1], "wb") : stdout;
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    if ((file != stdout ? std::fclose(file) : std::fflush(file)) != 0 || !written) {
        std::fprintf(stderr, "make_structures: could not write the structures\n");
        return 1;
    }
    return 0;
}

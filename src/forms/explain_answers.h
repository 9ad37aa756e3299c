// Explain's answers: what the explain printer found for each asked offset, written after the
// walk as lines of text or as one JSON array. Both forms go through the same calls, so they
// hold the same facts; the text spells each value as the report does (spellValue), the JSON
// gives each field as the report's JSON document does (its value a number, or a string for a
// signature or a text), with its role and target besides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "format/events.h"
#include "forms/explain_printer.h"
#include "forms/writer.h"

namespace symdeck {

// The answers for every asked offset, as one text (tests, tools); `end` tells how the
// walk ended.
struct Explanation {
    std::string text;
    WalkEnd end = WalkEnd::Complete;
};

// Writes the explanation of every offset in `offsets` (in the order given) after the walk,
// as lines of text, or as a JSON array when `json` is set. `forTerminal`: the text answers
// are shown on a terminal, so the texts of the database in them are written with the bytes
// a terminal would act on escaped, line feeds included (ReportWriter::terminalText).
void explainOffsets(const ExplainPrinter& printer, std::span<const uint64_t> offsets, bool json,
                    ReportWriter& out, bool forTerminal = false);

// The longest text from the file that an answer shows: a name or value beyond it is cut,
// and the answer gives its full length.
inline constexpr size_t kMaxShownText = 256;

}  // namespace symdeck

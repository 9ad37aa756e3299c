#include "forms/table_printer.h"

#include "forms/utf8.h"

namespace symdeck {

namespace {

char* put(char* p, std::string_view s) {
    std::memcpy(p, s.data(), s.size());
    return p + s.size();
}

}  // namespace

// A CSV text is always quoted (so that a reader that guesses the quoting from the first rows
// sees quotes at once: the database's name is on every row), its quotes doubled, and valid
// UTF-8: each maximal invalid subsequence becomes one U+FFFD, as in the JSON forms.
void TablePrinter::textColumn(ValuesBuffer& to, std::string_view text) const {
    if (json_) {
        writeJsonString(to, text);
        return;
    }
    to.ch('"');
    size_t run = 0;
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80 && c != '"') {
            ++i;
            continue;
        }
        const Utf8Sequence sequence = c == '"' ? Utf8Sequence{1, true} : utf8SequenceAt(text.substr(i));
        if (sequence.valid && c != '"') {
            i += sequence.length;
            continue;
        }
        to.text(text.substr(run, i - run));
        to.text(c == '"' ? std::string_view("\"\"") : std::string_view("\xEF\xBF\xBD"));
        i += sequence.length;
        run = i;
    }
    to.text(text.substr(run));
    to.ch('"');
}

// One of the program's own words (no quote, comma or line break in it): a JSON string, or as
// it stands in CSV.
char* TablePrinter::word(char* p, std::string_view text) const {
    if (json_) *p++ = '"';
    p = put(p, text);
    if (json_) *p++ = '"';
    return p;
}

char* TablePrinter::before(char* p, size_t column) const {
    if (!json_) {
        if (column != 0) *p++ = ',';
        return p;
    }
    p = put(p, column == 0 ? std::string_view("{\"") : std::string_view(",\""));
    p = put(p, kTableColumns[column]);
    return put(p, "\":");
}

void TablePrinter::begin() {
    if (!json_) {
        // The header line: the column names, which need no quotes.
        for (size_t c = 0; c < std::size(kTableColumns); ++c) {
            if (c != 0) out_.ch(',');
            out_.text(kTableColumns[c]);
        }
        out_.newline();
    }
    ValuesBuffer name;
    textColumn(name, name_);
    char opening[16];
    database_.assign(opening, before(opening, 0));
    database_ += name.view();
    rowEnds_.reserve(1024);
}

void TablePrinter::open(const Title& title) {
    if (depth_ > 0) finish();
    assert(depth_ < kMaxDepth);
    Open& block = blocks_[depth_];
    const size_t above = depth_ == 0 ? 0 : blocks_[depth_ - 1].pathEnd;
    path_.resize(above);
    if (above != 0) path_ += '/';
    path_ += title.word;
    path_ += '@';
    char digits[20];
    path_.append(digits, putDecimal(digits, title.offset));
    block = Open{IdentityStep{title.word, title.mark, 0, title.position, 0}, title.offset,
                 title.offset + title.size, path_.size(), 0, false, false};
    if (title.mark == Mark::TypeIndex) block.step.key = static_cast<uint32_t>(title.number);
    ++depth_;
    siblings_[depth_].clear();
    inList_ = false;
}

void TablePrinter::close() {
    assert(depth_ > 0);
    finish();
    --depth_;
    inList_ = false;
}

// The field columns of one row, into the block's pending rows.
void TablePrinter::row(const Field& f) {
    constexpr size_t kList = kTableBlockColumns;
    char* p = pending_.reserve(ReportWriter::kMaxReserve);
    p = before(p, kList);
    if (inList_) {
        p = word(p, list_);
        p = putDecimal(before(p, kList + 1), element_);
    } else {
        if (json_) p = put(p, "null");
        p = before(p, kList + 1);
        if (json_) p = put(p, "null");
    }
    // Names and storage words are the program's own short ASCII words.
    p = word(before(p, kList + 2), f.name);
    p = word(before(p, kList + 3), storageWord(f));
    p = putDecimal(before(p, kList + 4), f.offset);
    p = putDecimal(before(p, kList + 5), f.size);
    p = word(before(p, kList + 6), roleName(f.role));
    const bool textIsValue = f.role == Role::Signature || f.role == Role::Text;
    p = before(p, kList + 7);
    if (!textIsValue) p = putDecimal(p, f.value);
    else if (json_) p = put(p, "null");
    p = before(p, kList + 8);
    pending_.commit(p);
    if (textIsValue || (f.meaning == Meaning::Word && f.problem == Problem::None)) textColumn(pending_, f.text);
    else if (json_) pending_.text("null");
    p = before(pending_.reserve(ReportWriter::kMaxReserve), kList + 9);
    if (f.target.has()) p = putDecimal(p, f.target.at);
    else if (json_) p = put(p, "null");
    p = before(p, kList + 10);
    if (f.target.has()) p = put(p, f.target.inFile ? "false" : "true");
    else if (json_) p = put(p, "null");
    p = before(p, kList + 11);
    if (f.problem != Problem::None) p = word(p, problemCode(f.problem));
    else if (json_) p = put(p, "null");
    p = put(p, json_ ? "}\n" : "\n");
    pending_.commit(p);
    rowEnds_.push_back(pending_.view().size());
}

void TablePrinter::settle() {
    Open& block = blocks_[depth_ - 1];
    block.settled = true;
    // The identity: the parent's, then this block's step, counted among its siblings now that
    // its key (read from its fields) is known.
    IdentityStep& step = block.step;
    if (countsAmongSiblings(step.word, step.mark)) step.among = siblings_[depth_ - 1].next(step.word, step.key);
    identity_.resize(depth_ == 1 ? 0 : blocks_[depth_ - 2].identityEnd);
    if (depth_ > 1) identity_ += '/';
    char text[256 + kMostStepTail];
    identity_.append(text, putIdentityStep(text, step));
    block.identityEnd = identity_.size();

    prefix_ = database_;
    char buffer[ReportWriter::kMaxReserve];
    char* p = before(buffer, 1);
    p = word(p, step.word);
    p = putDecimal(before(p, 2), block.offset);
    p = putDecimal(before(p, 3), block.end >= block.offset ? block.end - block.offset : 0);
    p = before(p, 4);
    prefix_.append(buffer, p);
    const size_t above = depth_ == 1 ? 0 : blocks_[depth_ - 2].pathEnd;
    const std::string_view quote = json_ ? "\"" : "";
    if (above != 0) {
        prefix_ += quote;
        prefix_.append(path_, 0, above);
        prefix_ += quote;
    } else if (json_) {
        prefix_ += "null";
    }
    p = before(buffer, 5);
    prefix_.append(buffer, p);
    prefix_ += quote;
    prefix_ += identity_;
    prefix_ += quote;

    writePending();
}

void TablePrinter::writePending() {
    const std::string_view rows = pending_.view();
    size_t from = 0;
    for (const size_t end : rowEnds_) {
        out_.text(prefix_);
        out_.text(rows.substr(from, end - from));
        from = end;
    }
    if (!rowEnds_.empty()) blocks_[depth_ - 1].anyRow = true;
    pending_.clear();
    rowEnds_.clear();
}

void TablePrinter::finish() {
    Open& block = blocks_[depth_ - 1];
    if (!block.settled) settle();
    if (block.anyRow) return;
    // A block without fields: one row, its field columns null.
    block.anyRow = true;
    out_.text(prefix_);
    char* p = out_.reserve(ReportWriter::kMaxReserve);
    for (size_t c = kTableBlockColumns; c < std::size(kTableColumns); ++c) {
        p = before(p, c);
        if (json_) p = put(p, "null");
    }
    out_.commit(put(p, json_ ? "}\n" : "\n"));
}

// A directory entry of a kind the walk does not know: one row, the block "UNKNOWN" with the
// kind as its number, at no offset.
void TablePrinter::unknownSection(int32_t kind) {
    out_.text(database_);
    char* p = before(out_.reserve(ReportWriter::kMaxReserve), 1);
    p = word(p, "UNKNOWN");
    for (size_t c = 2; c < std::size(kTableColumns); ++c) {
        p = before(p, c);
        if (kTableColumns[c] == "value_number") p = putSignedDecimal(p, kind);
        else if (kTableColumns[c] == "problem") p = word(p, problemCode(Problem::UnknownSectionKind));
        else if (json_) p = put(p, "null");
    }
    out_.commit(put(p, json_ ? "}\n" : "\n"));
}

// However the walk ended, the rows of the block it was in are written; the end itself
// leaves no row (the exit status and --check tell it).
void TablePrinter::end(const Stop& stop) {
    stop_ = stop;
    if (depth_ > 0) finish();
    depth_ = 0;
}

}  // namespace symdeck

#include "forms/view_printer.h"

#include <algorithm>

namespace symdeck {

namespace {

// Value texts leave in frames of about this size.
constexpr size_t kValueBlock = 64 * 1024;

}  // namespace

ViewPrinter::Table::Table(uint32_t tag, size_t recordBytes)
    : tag_(tag), record_(recordBytes), data_(recordBytes * view::kFrameRecords) {}

void ViewPrinter::Table::flush(ReportWriter& out) {
    if (used_ == 0) return;
    const uint32_t head[2] = {tag_, static_cast<uint32_t>(used_)};
    out.text(std::string_view(reinterpret_cast<const char*>(head), sizeof head));
    // Records are multiples of 4 bytes: no padding.
    out.text(std::string_view(data_.data(), used_));
    used_ = 0;
}

ViewPrinter::ViewPrinter(ReportWriter& out, const TextMeasure& text, uint64_t imageSize, const ViewOptions& options)
    : out_(out),
      options_(options),
      spelling_(stringSink(spelled_), 4096),
      text_(text),
      values_(ReportSink{&toFrames, &out}, kValueBlock),
      imageSize_(imageSize),
      vocabulary_(options.vocabulary ? *options.vocabulary : ViewVocabulary{}) {}

bool ViewPrinter::toFrames(void* context, const char* data, size_t size) {
    auto& out = *static_cast<ReportWriter*>(context);
    const uint32_t head[2] = {view::kText, static_cast<uint32_t>(size)};
    out.text(std::string_view(reinterpret_cast<const char*>(head), sizeof head));
    if (size != 0) out.text(std::string_view(data, size));
    static constexpr char kZeros[4] = {};
    if (size % 4 != 0) out.text(std::string_view(kZeros, 4 - size % 4));
    return true;
}

void ViewPrinter::frame(uint32_t tag, const void* data, size_t size) {
    const uint32_t head[2] = {tag, static_cast<uint32_t>(size)};
    out_.text(std::string_view(reinterpret_cast<const char*>(head), sizeof head));
    // An empty table's data may be a null pointer, which memcpy must not be given.
    if (size != 0) out_.text(std::string_view(static_cast<const char*>(data), size));
    static constexpr char kZeros[4] = {};
    if (size % 4 != 0) out_.text(std::string_view(kZeros, 4 - size % 4));
}

bool ViewPrinter::matches(const Field& f) {
    if (options_.query.empty() || matched_ >= options_.maxMatches) return false;
    if (f.role != Role::NameIndex && f.role != Role::Text) return false;
    spelled_.clear();
    spellValue(spelling_, f);
    spelling_.flush();
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const auto found = std::search(spelled_.begin(), spelled_.end(), options_.query.begin(), options_.query.end(),
                                   [&](char a, char b) { return lower(a) == lower(b); });
    if (found == spelled_.end()) return false;
    ++matched_;
    return true;
}

void ViewPrinter::begin() {
    uint32_t head[view::kHeaderWords] = {};
    head[view::kHeaderVersion] = view::kVersion;
    head[view::kHeaderImageSizeLow] = static_cast<uint32_t>(imageSize_);
    head[view::kHeaderImageSizeHigh] = static_cast<uint32_t>(imageSize_ >> 32);
    head[view::kHeaderFrameRecords] = view::kFrameRecords;
    frame(view::kHeader, head, sizeof head);
}

void ViewPrinter::open(const Title& title) {
    const uint64_t textStart = text_.lengthBefore();
    uint32_t parent = view::kNoBlock;
    if (!open_.empty()) {
        Open& up = open_.back();
        if (!up.hasChild) {
            up.hasChild = true;
            up.fieldEnd = fieldCount_;
        }
        ++up.children;
        parent = up.index;
    }
    open_.push_back(Open{blockCount_++, parent, fieldCount_, fieldCount_, 0, false, textStart, title});
}

void ViewPrinter::writeBlock(const Open& block, uint32_t subtreeEnd, uint64_t textEnd, uint8_t mark) {
    const Title& t = block.title;
    // Interned in every walk, so that the words' numbers are the same in each.
    const uint16_t word = vocabulary_.blockWord(t.word);
    if (!options_.skeleton) return;
    char* p = blocks_.add();
    uint32_t w[view::kBlockWords] = {};
    w[view::kBlockIndex] = block.index;
    w[view::kBlockParent] = block.parent;
    w[view::kBlockOffset] = static_cast<uint32_t>(t.offset);
    w[view::kBlockSize] = static_cast<uint32_t>(std::min<uint64_t>(t.size, 0xFFFFFFFFu));
    w[view::kBlockFirstField] = block.firstField;
    w[view::kBlockFieldEnd] = block.hasChild ? block.fieldEnd : fieldCount_;
    w[view::kBlockSubtreeEnd] = subtreeEnd;
    w[view::kBlockPosition] = t.position;
    w[view::kBlockCount] = t.count;
    const auto depth = static_cast<uint32_t>(open_.size() - 1);
    w[view::kBlockWord] = uint32_t{word} | depth << view::kBlockDepthShift | uint32_t{mark} << view::kBlockMarkShift;
    w[view::kBlockNumber] = static_cast<uint32_t>(t.number);
    w[view::kBlockTextStartLow] = static_cast<uint32_t>(block.textStart);
    w[view::kBlockTextStartHigh] = static_cast<uint32_t>(block.textStart >> 32);
    w[view::kBlockTextEndLow] = static_cast<uint32_t>(textEnd);
    w[view::kBlockTextEndHigh] = static_cast<uint32_t>(textEnd >> 32);
    w[view::kBlockChildren] = block.children;
    std::memcpy(p, w, sizeof w);
    blocks_.commit(out_);
}

void ViewPrinter::close() {
    if (open_.empty()) return;
    writeBlock(open_.back(), blockCount_, text_.length(), static_cast<uint8_t>(open_.back().title.mark));
    open_.pop_back();
}

void ViewPrinter::openList(const List& list) {
    list_ = list;
    listFirstField_ = fieldCount_;
    listBlock_ = open_.empty() ? view::kNoBlock : open_.back().index;
}

void ViewPrinter::closeList(const List& list) {
    inElement_ = false;
    elementStart_ = false;
    const uint16_t name = vocabulary_.word(list.subject.word);
    if (!options_.skeleton) return;
    const uint32_t w[view::kListWords] = {
        listBlock_,
        uint32_t{name} | uint32_t{static_cast<uint8_t>(listSpelling(list))} << 16,
        listFirstField_,
        fieldCount_,
        list.count,
        list.stride,
        static_cast<uint32_t>(list.offset),
        list.countedBy > 0xFFFFFFFFu ? view::kNoBlock : static_cast<uint32_t>(list.countedBy)};
    std::memcpy(lists_.add(), w, sizeof w);
    lists_.commit(out_);
    ++listCount_;
}

void ViewPrinter::unknownSection(int32_t kind) {
    // A block of its own at the top, as the other forms have it: no place, no fields, its
    // kind as its number, and the text's few words as its lines.
    const uint64_t textStart = text_.lengthBefore();
    Title title{.word = "UNKNOWN", .offset = view::kNoPlace, .size = 0};
    title.number = static_cast<uint32_t>(kind);
    open_.push_back(Open{blockCount_++, view::kNoBlock, fieldCount_, fieldCount_, 0, false, textStart, title});
    writeBlock(open_.back(), blockCount_, text_.length(), view::kUnknownKind);
    open_.pop_back();
}

void ViewPrinter::end(const Stop& stop) {
    const uint32_t openBlock = open_.empty() ? view::kNoBlock : open_.back().index;
    // Blocks the walk left open end with the walk: their text is the report's rest.
    while (!open_.empty()) {
        writeBlock(open_.back(), blockCount_, text_.length(), static_cast<uint8_t>(open_.back().title.mark));
        open_.pop_back();
    }
    values_.flush();
    fields_.flush(out_);
    blocks_.flush(out_);
    lists_.flush(out_);
    reads_.flush(out_);

    // The error line, made by the text form's own words.
    std::string line;
    if (stop.end != WalkEnd::Complete) {
        ReportWriter spelled(stringSink(line), 0);
        spellStop(spelled, stop);
        spelled.flush();
    }
    const uint16_t header = vocabulary_.word(stop.header);

    std::vector<char> words;
    for (std::string_view w : vocabulary_.words()) {
        const auto size = static_cast<uint32_t>(w.size());
        words.insert(words.end(), reinterpret_cast<const char*>(&size), reinterpret_cast<const char*>(&size) + 4);
        words.insert(words.end(), w.begin(), w.end());
        words.resize((words.size() + 3) / 4 * 4, '\0');
    }
    frame(view::kWords, words.data(), words.size());
    const auto& known = vocabulary_.kinds();
    std::vector<char> kinds(known.size() * view::kKindBytes, '\0');
    for (size_t i = 0; i < known.size(); ++i) {
        char* p = kinds.data() + view::kKindBytes * i;
        std::memcpy(p + view::kKindName, &known[i].name, 2);
        std::memcpy(p + view::kKindType, &known[i].type, 2);
        p[view::kKindRole] = static_cast<char>(known[i].role);
        p[view::kKindLeads] = static_cast<char>(known[i].leads);
    }
    frame(view::kKinds, kinds.data(), kinds.size());

    uint32_t w[view::kEndWords] = {};
    w[view::kEndHow] = static_cast<uint32_t>(stop.end);
    w[view::kEndHeader] = header;
    w[view::kEndOffsetLow] = static_cast<uint32_t>(stop.offset);
    w[view::kEndOffsetHigh] = static_cast<uint32_t>(stop.offset >> 32);
    w[view::kEndNumberLow] = static_cast<uint32_t>(stop.number);
    w[view::kEndNumberHigh] = static_cast<uint32_t>(stop.number >> 32);
    w[view::kEndOpenBlock] = openBlock;
    w[view::kEndBlocks] = blockCount_;
    w[view::kEndFields] = fieldCount_;
    w[view::kEndLists] = listCount_;
    w[view::kEndReads] = readCount_;
    w[view::kEndReportLow] = static_cast<uint32_t>(text_.length());
    w[view::kEndReportHigh] = static_cast<uint32_t>(text_.length() >> 32);
    w[view::kEndDamaged] = static_cast<uint32_t>(std::min<uint64_t>(text_.problems().damaged, 0xFFFFFFFFu));
    w[view::kEndUnknown] = static_cast<uint32_t>(std::min<uint64_t>(text_.problems().unknown, 0xFFFFFFFFu));
    w[view::kEndWordCount] = static_cast<uint32_t>(vocabulary_.words().size());
    std::vector<char> end(sizeof w + 4 + line.size());
    std::memcpy(end.data(), w, sizeof w);
    const auto lineSize = static_cast<uint32_t>(line.size());
    std::memcpy(end.data() + sizeof w, &lineSize, 4);
    std::memcpy(end.data() + sizeof w + 4, line.data(), line.size());
    frame(view::kEnd, end.data(), end.size());
}

}  // namespace symdeck

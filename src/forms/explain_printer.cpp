#include <algorithm>
#include <queue>

#include "forms/explain_printer.h"

namespace symdeck {

ExplainPrinter::ExplainPrinter(std::span<const uint64_t> sorted, uint64_t imageSize)
    : sorted_(sorted),
      imageSize_(imageSize),
      kept_(sorted.size()),
      open_(sorted.size() + 1),
      more_(sorted.size() + 1),
      before_(sorted.size()),
      after_(sorted.size()) {
    stack_.reserve(16);
    for (size_t i = 0; i < open_.size(); ++i) open_[i] = i;
}

size_t ExplainPrinter::slowLowerBound(uint64_t offset) const {
    return static_cast<size_t>(std::lower_bound(sorted_.begin(), sorted_.end(), offset) - sorted_.begin());
}

size_t ExplainPrinter::endOfRange(size_t first, uint64_t end) const {
    const size_t n = sorted_.size();
    // sorted_[low] < end; look at low + 1, low + 2, low + 4, ... until one is not.
    size_t low = first;
    size_t step = 1;
    while (step < n - low && sorted_[low + step] < end) {
        low += step;
        step *= 2;
    }
    const size_t high = step < n - low ? low + step : n;
    return static_cast<size_t>(std::lower_bound(sorted_.begin() + static_cast<std::ptrdiff_t>(low) + 1,
                                                sorted_.begin() + static_cast<std::ptrdiff_t>(high), end) -
                               sorted_.begin());
}

size_t ExplainPrinter::nextOpen(size_t i) {
    size_t root = i;
    while (open_[root] != root) root = open_[root];
    // Every slot passed on the way links straight to the open one from now on.
    while (open_[i] != root) {
        const size_t next = open_[i];
        open_[i] = root;
        i = next;
    }
    return root;
}

void ExplainPrinter::lookText(const Field& f) {
    // A name's text and the NUL that ends it, as far as the file goes.
    if (f.textOffset >= imageSize_) return;
    const uint64_t width = std::min<uint64_t>(f.text.size() + 1, imageSize_ - f.textOffset);
    look(f, f.textOffset, width, true);
}

void ExplainPrinter::record(const Field& f, size_t first, size_t last, bool inText) {
    ++more_[first];
    --more_[last];
    size_t placeIndex = places_.size();
    for (size_t i = nextOpen(first); i < last; i = nextOpen(i + 1)) {
        if (placeIndex == places_.size()) {
            if (chainStale_) {
                chain_ = chains_.size();
                chains_.insert(chains_.end(), stack_.begin(), stack_.end());
                chainStale_ = false;
            }
            places_.push_back(ExplainPlace{f, chain_, static_cast<uint32_t>(stack_.size()), inElement_,
                                           inText, element_, list_, readIndex_});
        }
        found_.push_back(Found{i, placeIndex});
        if (++kept_[i] == kMaxHits) open_[i] = i + 1;
    }
}

void ExplainPrinter::noteEntry(const Field& f) {
    switch (f.role) {
        case Role::Enum:
            entryKind_ = f.value;
            entryName_ = f.meaning == Meaning::Word ? f.text : std::string_view{};
            noting_ = false;
            break;
        case Role::Offset:
            // Only the offset of a known kind is followed; the selection leaves it out or not.
            noting_ = f.target.leads == Leads::LeftOut || f.target.leads == Leads::Block;
            if (noting_)
                sections_.push_back(SectionExtent{entryKind_, entryName_, f.target.at, 0,
                                                  f.target.leads == Leads::LeftOut});
            break;
        case Role::Size:
            if (noting_) sections_.back().length = f.value;
            break;
        default: break;
    }
}

void ExplainPrinter::end(const Stop& stop) {
    settle();
    stop_ = stop;
    const size_t n = sorted_.size();
    // The nearest field before offset i is the best of slots 0 to i (the first of equals),
    // the nearest after it the best of slots i to the end (the first of equals).
    for (size_t i = 1; i < n; ++i) {
        const Neighbour& previous = before_[i - 1];
        if (previous.found && (!before_[i].found || before_[i].end <= previous.end)) before_[i] = previous;
    }
    for (size_t i = n; i-- > 1;) {
        const Neighbour& next = after_[i];
        if (next.found && (!after_[i - 1].found || next.start < after_[i - 1].start)) after_[i - 1] = next;
    }
    // How many places hold each offset, less those kept.
    uint64_t holding = 0;
    for (size_t i = 0; i < n; ++i) {
        holding += more_[i];
        more_[i] = holding - kept_[i];
    }
    // The kept places, slot by slot, each slot's in walk order: firstHit_[i + 1] starts as
    // where slot i begins and is moved along as its places are laid down.
    firstHit_.assign(n + 1, 0);
    for (size_t i = 1; i < n; ++i) firstHit_[i + 1] = firstHit_[i] + kept_[i - 1];
    bySlot_.resize(found_.size());
    for (const Found& found : found_) bySlot_[firstHit_[found.slot + 1]++] = found.place;
    std::vector<Found>().swap(found_);
    std::vector<uint8_t>().swap(kept_);
    std::vector<size_t>().swap(open_);
}

}  // namespace symdeck

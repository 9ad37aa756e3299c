// A block's identity: where it stands by what it is, not by its offset. The steps from the
// top, each the block's word and what tells it from its siblings, joined by '/', e.g.
// SYMD_HEADER[0]/SEGMENTDATA_HEADER[0]/SEGMENTDATA[1]/SEGDATA_PROCEDURE[3]:
//
//   - a type record:                    its type index in hexadecimal, [0x1003];
//   - a block of a run without identity of its own (procedures, variables, VLP entries,
//     source sections and files), and an entry of a type table or of the hash table: its
//     place in its run, [3];
//   - a directory entry and a segment:  its key (the entry's kind, the segment's number)
//     and, from the second block of that word and key on, its count among them: [0], [0#1];
//   - any other block:                  its count among its earlier siblings of its word.
//
// The diff names its changes by these identities, and the table form gives each row its
// block's. Both count siblings as they meet them (SiblingCounts), never by going back over
// the blocks before.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

#include "format/events.h"
#include "format/file_structures.h"
#include "format/symbols/symbols.h"
#include "format/types/types.h"
#include "forms/digits.h"

namespace symdeck {

// Blocks without an identity of their own: the blocks of these runs are known by their place
// (and the diff aligns them by their content, as it does the elements of every list).
inline constexpr std::string_view kAlignedWords[] = {kProcedures.word, kVlpEntries.word, kRegisters.word,
                                                     kSourceSections.word, kSourceFiles.word};
// Blocks known by their place in their run: the entries of the type tables and of the hash
// table.
inline constexpr std::string_view kPlacedWords[] = {tytb::kEntry.word, hsht::kEntry.word};

inline bool alignedWord(std::string_view word) {
    return std::find(std::begin(kAlignedWords), std::end(kAlignedWords), word) != std::end(kAlignedWords);
}
inline bool placedWord(std::string_view word) {
    return std::find(std::begin(kPlacedWords), std::end(kPlacedWords), word) != std::end(kPlacedWords);
}

// The fields whose value is their block's key: a directory entry's kind, a segment's number.
inline constexpr uint16_t kEntryKindField = fieldOf(nmdr::kEntry, "entryIndex").id;
inline constexpr uint16_t kSegmentNumberField = fieldOf(symd::kSegment, "nSeg").id;
constexpr bool keysItsBlock(const Field& f) {
    return f.described == kEntryKindField || f.described == kSegmentNumberField;
}

// What one step of an identity says about its block.
struct IdentityStep {
    std::string_view word;
    Mark mark = Mark::None;
    uint32_t key = 0;       // a type record's index, an entry's kind, a segment's number; else 0
    uint32_t position = 0;  // its place in its run
    uint32_t among = 0;     // how many earlier siblings have its word and key
};

// Whether the step needs its count among its siblings (the others say their key or place).
inline bool countsAmongSiblings(std::string_view word, Mark mark) {
    return mark != Mark::TypeIndex && !alignedWord(word) && !placedWord(word);
}

// The most characters one step takes besides its word.
inline constexpr size_t kMostStepTail = 2 + 2 + 10 + 1 + 10;

// Writes `step` (word[...]) at `p`, which has room for the word and kMostStepTail; returns the end.
inline char* putIdentityStep(char* p, const IdentityStep& step) {
    std::memcpy(p, step.word.data(), step.word.size());
    p += step.word.size();
    *p++ = '[';
    if (step.mark == Mark::TypeIndex) {
        *p++ = '0';
        *p++ = 'x';
        const int digits = step.key == 0 ? 1 : (32 - std::countl_zero(step.key) + 3) / 4;
        for (int i = digits - 1; i >= 0; --i) *p++ = kHexDigits[(step.key >> (4 * i)) & 0xF];
    } else if (alignedWord(step.word) || placedWord(step.word)) {
        p = putDecimal(p, step.position);
    } else if (step.word == nmdr::kEntry.word || step.word == symd::kSegment.word) {
        // Kinds and numbers may repeat: the second of kind 0 is 0#1.
        p = putDecimal(p, step.key);
        if (step.among > 0) {
            *p++ = '#';
            p = putDecimal(p, step.among);
        }
    } else {
        p = putDecimal(p, step.among);
    }
    *p++ = ']';
    return p;
}

// The count of the blocks met so far under one parent, by word and key: next() gives how
// many came before with the same word and key, and counts the one asked for. A small table
// of open addressing that grows with the distinct words and keys and is cleared in one step
// for the next parent, so counting a parent's children takes time in proportion to them.
class SiblingCounts {
public:
    uint32_t next(std::string_view word, uint32_t key) {
        if (2 * (used_ + 1) > slots_.size()) grow();
        Slot& slot = find(slots_, word, key);
        if (slot.generation != generation_) {
            slot = Slot{word.data(), static_cast<uint32_t>(word.size()), key, 0, generation_};
            ++used_;
        }
        return slot.count++;
    }
    void clear() {
        ++generation_;
        used_ = 0;
    }

private:
    struct Slot {
        const char* word = nullptr;
        uint32_t size = 0;
        uint32_t key = 0;
        uint32_t count = 0;
        uint32_t generation = 0;  // the slot holds a count of this generation, else nothing
    };

    Slot& find(std::vector<Slot>& slots, std::string_view word, uint32_t key) const {
        uint64_t h = key * 0x9E3779B97F4A7C15u;
        for (const char c : word) h = (h ^ static_cast<uint8_t>(c)) * 0x100000001B3u;
        const size_t mask = slots.size() - 1;
        for (size_t i = (h >> 17) & mask;; i = (i + 1) & mask) {
            Slot& s = slots[i];
            if (s.generation != generation_ ||
                (s.key == key && std::string_view(s.word, s.size) == word))
                return s;
        }
    }
    void grow() {
        std::vector<Slot> bigger(slots_.empty() ? 16 : 2 * slots_.size());
        for (const Slot& s : slots_)
            if (s.generation == generation_) find(bigger, std::string_view(s.word, s.size), s.key) = s;
        slots_.swap(bigger);
    }

    std::vector<Slot> slots_;
    size_t used_ = 0;
    uint32_t generation_ = 1;
};

}  // namespace symdeck

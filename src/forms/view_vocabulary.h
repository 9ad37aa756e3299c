// The view form's interned words and kinds of field. A word (a field's name or storage
// type, a block's or a list's word, the error line's header) is numbered in the order the
// walk first meets it, and a kind of field (name, type, role, what it leads to) likewise;
// the view's records name them by number.
//
// A walk of part of a database meets only some of them, and would number them otherwise:
// it starts instead from the vocabulary of the whole walk (recorded by the map's walk, which
// meets every word at the same events as the view's walk), so that its numbers and its
// tables are those of the whole walk.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "format/events.h"

namespace symdeck {

class ViewVocabulary {
public:
    struct Kind {
        uint16_t name, type;
        Role role;
        Leads leads;
    };

    ViewVocabulary() {
        words_.reserve(256);
        kinds_.reserve(256);
    }

    uint16_t word(std::string_view text);
    // The kind of field `f`. Field names and types are the program's own words: the same
    // kind of field comes with the same pointers, so a small table keyed by them finds it.
    SYMDECK_INLINE uint16_t kindOf(const Field& f) {
        KindCache& slot = kindCache_[cacheSlot(f.name.data(), f.type.data(), f.role, f.target.leads)];
        if (slot.name == f.name.data() && slot.type == f.type.data() && slot.nameSize == f.name.size() &&
            slot.typeSize == f.type.size() && slot.role == f.role && slot.leads == f.target.leads)
            return slot.kind;
        const uint16_t kind = slowKind(f);
        slot = KindCache{f.name.data(), f.type.data(), static_cast<uint32_t>(f.name.size()),
                         static_cast<uint32_t>(f.type.size()), f.role, f.target.leads, kind};
        return kind;
    }
    // The same for the words of blocks, keyed by their pointers.
    SYMDECK_INLINE uint16_t blockWord(std::string_view text) {
        WordCache& slot = wordCache_[cacheSlot(text.data(), nullptr, Role::Number, Leads::Nothing)];
        if (slot.data == text.data() && slot.size == text.size()) return slot.id;
        slot = WordCache{text.data(), text.size(), word(text)};
        return slot.id;
    }

    const std::vector<std::string_view>& words() const { return words_; }
    const std::vector<Kind>& kinds() const { return kinds_; }

private:
    static size_t cacheSlot(const char* name, const char* type, Role role, Leads leads) {
        const auto a = reinterpret_cast<uintptr_t>(name), b = reinterpret_cast<uintptr_t>(type);
        const uint64_t h = (uint64_t{a} * 0x9E3779B97F4A7C15ull) ^ (uint64_t{b} * 0xC2B2AE3D27D4EB4Full) ^
                           (static_cast<uint64_t>(role) << 7) ^ (static_cast<uint64_t>(leads) << 11);
        return static_cast<size_t>(h >> 32) & (kCache - 1);
    }
    uint16_t slowKind(const Field& f);

    std::vector<std::string_view> words_;
    std::unordered_map<std::string_view, uint16_t> wordIds_;
    std::vector<Kind> kinds_;
    struct KindCache {
        const char* name = nullptr;
        const char* type = nullptr;
        uint32_t nameSize = 0, typeSize = 0;
        Role role = Role::Number;
        Leads leads = Leads::Nothing;
        uint16_t kind = 0;
    };
    static constexpr size_t kCache = 1024;
    std::vector<KindCache> kindCache_ = std::vector<KindCache>(kCache);
    struct WordCache {
        const char* data = nullptr;
        size_t size = 0;
        uint16_t id = 0;
    };
    std::vector<WordCache> wordCache_ = std::vector<WordCache>(kCache);
};

}  // namespace symdeck

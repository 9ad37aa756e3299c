#include "forms/view_vocabulary.h"

#include <algorithm>

namespace symdeck {

uint16_t ViewVocabulary::word(std::string_view text) {
    const auto found = wordIds_.find(text);
    if (found != wordIds_.end()) return found->second;
    // The program has a few hundred words; a table that filled its 16 bits would say so by
    // its last word standing for all the rest.
    if (words_.size() == 0xFFFF) return 0xFFFE;
    const auto id = static_cast<uint16_t>(words_.size());
    words_.push_back(text);
    wordIds_.emplace(text, id);
    return id;
}

uint16_t ViewVocabulary::slowKind(const Field& f) {
    const uint16_t name = word(f.name);
    const uint16_t type = word(f.type);
    const auto same = [&](const Kind& k) {
        return k.name == name && k.type == type && k.role == f.role && k.leads == f.target.leads;
    };
    const auto found = std::find_if(kinds_.begin(), kinds_.end(), same);
    if (found != kinds_.end()) return static_cast<uint16_t>(found - kinds_.begin());
    if (kinds_.size() >= 0xFFFF) return 0xFFFE;
    kinds_.push_back(Kind{name, type, f.role, f.target.leads});
    return static_cast<uint16_t>(kinds_.size() - 1);
}

}  // namespace symdeck

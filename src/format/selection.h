// Which kinds of section a walk reports: one skip flag per kind the walk dispatches (the
// table of kinds, format/section_kinds.h, names each kind's flag). The header and the directory
// are always reported.
#pragma once

namespace symdeck {

struct SectionSelection {
    bool skipNmtp = false;
    bool skipSttb = false;
    bool skipSymd = false;
    bool skipTytb = false;
    bool skipHsht = false;
    bool skipFpod = false;
    bool skipSrcp = false;
    bool skipGtyp = false;
};

}  // namespace symdeck

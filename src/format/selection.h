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
    // Not a kind: where a structure fails its checks, the walk records a damage and goes on
    // with what does not depend on it (--keep-going, docs/keep-going.md). Only a printer
    // that shows damages (KeepsGoing, format/printer.h) is walked so; any other stops at
    // the first failed check as always.
    bool keepGoing = false;
};

}  // namespace symdeck

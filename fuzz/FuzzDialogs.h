// Dialogs answered without a display, for harnesses whose readers open the metadata viewer:
// every viewer is answered with its "変換開始" button (IDOK), and the block it was given is
// kept so that the harness can check what the user was shown.
#pragma once

#include "Types.h"

#include <cstddef>
#include <vector>

namespace fuzz {

struct ViewerRecord {
    size_t shown = 0;           // viewers opened since the last Reset
    size_t length = 0;          // the length of the block the last one was given
    // That block, when no longer than the harnesses' claim bound. A longer one (the full caps
    // allow 64 MiB) has only its first and last bytes read, which shows a block shorter than
    // its stated length as well as reading it all would, at no cost.
    std::vector<BYTE> block;
};

// Installs the presenter once; Reset before each run.
ViewerRecord& AnswerViewers();
void ResetViewers();

} // namespace fuzz

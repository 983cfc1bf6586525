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
    std::vector<BYTE> block;    // the block the last one was given, every byte of it read
};

// Installs the presenter once; Reset before each run.
ViewerRecord& AnswerViewers();
void ResetViewers();

} // namespace fuzz

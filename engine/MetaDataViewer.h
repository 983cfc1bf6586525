// The metadata viewer that the decoders open on a decompressed block before they go on. The
// engine stands on the platform alone: the program installs its viewer at start, as it installs
// the message-box presenter, and tests and fuzzers install their own.
#pragma once

#include "Types.h"

#include <functional>

// Shows length bytes at data and returns how the user ended it; only IDOK lets a decoding go on.
using MetaDataViewer = std::function<int(const BYTE* data, UINT length)>;

// Installs viewer and returns the one it replaces; an empty viewer removes it.
MetaDataViewer SetMetaDataViewer(MetaDataViewer viewer);

// Runs the installed viewer. With none installed nobody can see the block or choose to go on,
// so the answer is IDCANCEL: a decoding then stops quietly, as when the user cancels.
int RunMetaDataViewer(const BYTE* data, UINT length);

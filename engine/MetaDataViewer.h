// The engine's one call into the application: the metadata viewer, opened on a decompressed
// block. Returns the viewer's result; only IDOK lets a decoding go on.
#pragma once

#include "Types.h"

int RunMetaDataViewer(const BYTE* data, UINT length);

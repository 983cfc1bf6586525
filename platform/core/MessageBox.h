// AfxMessageBox and the one seam through which every box is shown. The window layer installs
// a presenter that opens a real box; tests install one that records the box and answers it.
#pragma once

#include "String.h"
#include "Types.h"

#include <functional>

using MessageBoxPresenter = std::function<int(const CString& text, UINT style, UINT helpId)>;

// Installs presenter and returns the one it replaces; an empty presenter restores the default,
// which writes the text to standard error and answers OK (or No to a question).
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);

int AfxMessageBox(LPCTSTR text, UINT style = MB_OK, UINT helpId = 0);

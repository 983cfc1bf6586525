#include "DropFileEdit.h"

#include <vector>

IMPLEMENT_DYNAMIC(CDropFileEdit, CEdit)

BEGIN_MESSAGE_MAP(CDropFileEdit, CEdit)
    ON_WM_DROPFILES()
END_MESSAGE_MAP()

// Only the first item counts, whatever it is: whether it suits the field is for the
// conversion to say.
void CDropFileEdit::OnDropFiles(HDROP hDropInfo)
{
    const UINT length = DragQueryFileW(hDropInfo, 0, nullptr, 0);
    std::vector<WCHAR> path(static_cast<size_t>(length) + 1, 0);
    DragQueryFileW(hDropInfo, 0, path.data(), length + 1);
    SetWindowText(path.data());
    DragFinish(hDropInfo);
}

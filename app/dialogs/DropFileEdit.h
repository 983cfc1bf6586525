// An edit field that takes the path of a file dropped on it from the desktop's file manager.
#pragma once

#include "Controls.h"
#include "Shell.h"

class CDropFileEdit : public CEdit {
    DECLARE_DYNAMIC(CDropFileEdit)

public:
    afx_msg void OnDropFiles(HDROP hDropInfo);

    DECLARE_MESSAGE_MAP()
};

// The control classes the program binds its members to.
#pragma once

#include "Window.h"

class CStatic : public CWnd {
public:
    static const CRuntimeClass classCStatic;
    const CRuntimeClass* GetRuntimeClass() const override;
};

class CButton : public CWnd {
public:
    static const CRuntimeClass classCButton;
    const CRuntimeClass* GetRuntimeClass() const override;
    int GetCheck() const;
    void SetCheck(int check);
};

class CEdit : public CWnd {
public:
    static const CRuntimeClass classCEdit;
    const CRuntimeClass* GetRuntimeClass() const override;
    // Tab stops in dialog template units; one value sets equal stops every that many units.
    BOOL SetTabStops(int count, const int* tabStops);
};

class CListBox : public CWnd {
public:
    static const CRuntimeClass classCListBox;
    const CRuntimeClass* GetRuntimeClass() const override;
    int AddString(LPCTSTR text);
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int index);
    void GetText(int index, CString& text) const;
};

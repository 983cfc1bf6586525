// The collection font picker: lists every font of a collection under its full name and hands
// back the index of the one the user chose.
#pragma once

#include "Dialog.h"
#include "WOFF.h"
#include "resource.h"

class CFontNumberDlg : public CDialog {
    DECLARE_DYNAMIC(CFontNumberDlg)

public:
    explicit CFontNumberDlg(CWnd* pParent = nullptr);
    ~CFontNumberDlg() override;

    enum { IDD = IDD_FONTNUMBER };

    // The entry chosen with OK, which is the font's index in the collection. -1 until then,
    // and after OK on an empty list: -1 names no font.
    int m_nFontIndex = -1;
    // The engine open on the collection, its collection header already read; not owned. The
    // listing steps its m_nFontNumber through the members and leaves it naming none of them.
    CWOFF* m_pWOFF = nullptr;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnLbnDblclkFontList();

    DECLARE_MESSAGE_MAP()
};

#include "DialogResponder.h"
#include "MetaDataDlg.h"
#include "Responder.h"

#include <gtest/gtest.h>

TEST(MetaDataDlgSmoke, AnsweredWithoutDisplay)
{
    ScriptedResponder boxes;
    ScriptedDialogResponder dialogs;
    const BYTE block[] = {'<', '?', 'x', 'm', 'l'};
    CMetaDataDlg dlg(nullptr);
    dlg.m_pMetaData = block;
    dlg.m_nMetaDataLength = sizeof block;
    CString shown;
    dialogs.OnEachDialog([&](CDialog& d) { d.GetDlgItemText(IDC_EDIT_METADATA, shown); });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    ASSERT_EQ(dialogs.Dialogs().size(), 1u);
    EXPECT_EQ(dialogs.Dialogs()[0].templateId, 131u);
    EXPECT_EQ(dialogs.Dialogs()[0].className, "CMetaDataDlg");
    EXPECT_EQ(shown.ToUtf8(), "<?xml");
    dialogs.Answer(IDCANCEL);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

#include "FuzzDialogs.h"

#include "Dialog.h"
#include "FuzzSupport.h"
#include "MetaDataDlg.h"

namespace fuzz {

namespace {

ViewerRecord g_record;

} // namespace

ViewerRecord& AnswerViewers()
{
    static const bool installed = [] {
        // The readers reach the viewer through the seam the program fills at start.
        InstallMetaDataViewer();
        SetDialogPresenter([](CDialog& dialog) -> INT_PTR {
            auto* viewer = dynamic_cast<CMetaDataDlg*>(&dialog);
            Check(viewer != nullptr, "a dialog other than the metadata viewer was opened");
            ++g_record.shown;
            // Copying reads every byte the viewer was promised, so a block shorter than its
            // stated length is caught here.
            const BYTE* data = viewer->m_pMetaData;
            Check(data != nullptr || viewer->m_nMetaDataLength == 0, "viewer given a length without a block");
            g_record.block.assign(data, data + viewer->m_nMetaDataLength);
            dialog.ClickButton(IDOK);
            return IDOK;
        });
        return true;
    }();
    (void)installed;
    return g_record;
}

void ResetViewers()
{
    g_record.shown = 0;
    g_record.block.clear();
}

} // namespace fuzz

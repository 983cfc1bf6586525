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
            const BYTE* data = viewer->m_pMetaData;
            const size_t length = viewer->m_nMetaDataLength;
            Check(data != nullptr || length == 0, "viewer given a length without a block");
            g_record.length = length;
            if (length <= kClaimBound) {
                g_record.block.assign(data, data + length);
            } else {
                volatile BYTE ends = static_cast<BYTE>(data[0] ^ data[length - 1]);
                (void)ends;
                g_record.block.clear();
            }
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
    g_record.length = 0;
    g_record.block.clear();
}

} // namespace fuzz

#include "MetaDataViewer.h"

#include "MetaDataDlg.h"

int RunMetaDataViewer(const BYTE* data, UINT length)
{
    CMetaDataDlg viewer(nullptr);
    viewer.m_pMetaData = data;
    viewer.m_nMetaDataLength = length;
    return static_cast<int>(viewer.DoModal());
}

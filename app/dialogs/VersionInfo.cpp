#include "VersionInfo.h"

#include "Window.h"

CVersionInfo::~CVersionInfo()
{
    delete[] m_pVersionData;
}

void CVersionInfo::Load(LPCWSTR path)
{
    delete[] m_pVersionData;
    m_pVersionData = nullptr;
    m_pTranslation = nullptr;
    m_pFixedFileInfo = nullptr;

    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) return;
    m_pVersionData = new BYTE[size];
    if (!GetFileVersionInfoW(path, 0, size, m_pVersionData)) {
        delete[] m_pVersionData;
        m_pVersionData = nullptr;
        return;
    }
    LPVOID value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(m_pVersionData, u"\\", &value, &length)) m_pFixedFileInfo = static_cast<VS_FIXEDFILEINFO*>(value);
    if (VerQueryValueW(m_pVersionData, u"\\VarFileInfo\\Translation", &value, &length))
        m_pTranslation = static_cast<DWORD*>(value);
}

CString CVersionInfo::GetFileVersionString()
{
    CString text;
    if (!m_pVersionData || !m_pFixedFileInfo) return text;
    text.Format(u"%d.%d.%d", HIWORD(m_pFixedFileInfo->dwFileVersionMS), LOWORD(m_pFixedFileInfo->dwFileVersionMS),
                HIWORD(m_pFixedFileInfo->dwFileVersionLS));
    return text;
}

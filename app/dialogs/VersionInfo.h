// Reads the version resource of a file, in practice the program's own executable, and gives
// its file version as the short text the main dialog appends to its caption.
#pragma once

#include "Exceptions.h"
#include "FileVersion.h"
#include "String.h"

class CVersionInfo : public CObject {
public:
    CVersionInfo() = default;
    ~CVersionInfo() override;
    CVersionInfo(const CVersionInfo&) = delete;
    CVersionInfo& operator=(const CVersionInfo&) = delete;

    void Load(LPCWSTR path);
    // The first three parts of the file version ("3.2.0"), or an empty text.
    CString GetFileVersionString();

    BYTE* m_pVersionData = nullptr;
    DWORD* m_pTranslation = nullptr;
    VS_FIXEDFILEINFO* m_pFixedFileInfo = nullptr;
};

#include "FileErrors.h"

#include "MessageBox.h"
#include "StringTable.h"
#include "resource.h"

namespace {

UINT CauseStringId(int cause)
{
    static constexpr UINT ids[] = {
        IDS_FILE_NOERROR, IDS_FILE_GENERIC, IDS_FILE_NOTFOUND, IDS_FILE_BADPATH, IDS_FILE_TOOMANYOPEN,
        IDS_FILE_ACCESSDENIED, IDS_FILE_INVALIDFILE, IDS_FILE_REMOVECURRENTDIR, IDS_FILE_DIRECTORYFULL,
        IDS_FILE_BADSEEK, IDS_FILE_HARDIO, IDS_FILE_SHARINGVIOLATION, IDS_FILE_LOCKVIOLATION,
        IDS_FILE_DISKFULL, IDS_FILE_ENDOFFILE,
    };
    if (cause < 0 || cause >= static_cast<int>(std::size(ids))) return IDS_FILE_GENERIC;
    return ids[cause];
}

void ReportFileError(UINT templateId, const CFileException* e)
{
    CString message;
    CString cause;
    GetFileExceptionCauseText(e->m_cause, cause);
    AfxFormatString2(message, templateId, e->m_strFileName, cause);
    AfxMessageBox(message, MB_ICONERROR, 0);
}

CString UncaughtFileExceptionText(const CFileException& e)
{
    CString cause;
    GetFileExceptionCauseText(e.m_cause, cause);
    return FormatTemplate2(CString(u"ファイル%1でエラーが発生しました。\n原因：%2"), e.m_strFileName, cause);
}

} // namespace

void GetFileExceptionCauseText(int cause, CString& text)
{
    text.LoadString(CauseStringId(cause));
}

void ReportFileOpenError(CFileException* e)
{
    if (e) ReportFileError(IDS_FILE_OPEN_FAILED, e);
}

void ReportFileWriteError(CFileException* e)
{
    if (e) ReportFileError(IDS_FILE_WRITE_FAILED, e);
}

void InstallFileExceptionTexts()
{
    SetFileExceptionTextProvider(UncaughtFileExceptionText);
}

// One press of "変換開始": the request is settled from the window (direction, source, output
// names, questions before replacing files), then the outputs are made in their order. Every
// step reports its own failure and says whether the run goes on; nothing is rolled back.
#include "FenwrapDlg.h"

#include "FenwrapApp.h"
#include "FileAlias.h"
#include "FileErrors.h"
#include "FontNumberDlg.h"
#include "MessageBox.h"
#include "Path.h"
#include "WOFF.h"
#include "Woff2Step.h"
#include "Writers.h"
#include "resource.h"

#include <optional>

namespace {

constexpr const char16_t* kMsgNoSource = u"変換前ファイルを指定してください。";
constexpr const char16_t* kMsgNotFont = u"変換前ファイルはフォントファイルではありません。";
constexpr const char16_t* kMsgWOFF2Collection = u"コレクション形式のWOFF2には対応していません。";
constexpr const char16_t* kMsgNotWOFF2 = u"変換前ファイルの拡張子は\".woff2\"ですが、ファイルはWOFF2ではありません。";
constexpr const char16_t* kMsgNotWOFF = u"変換前ファイルの拡張子は\".woff\"ですが、ファイルはWOFFではありません。";
constexpr const char16_t* kMsgWrongExtension = u"変換後ファイルの拡張子が不適当なため修正します。";
constexpr const char16_t* kAskReplace = u"%s は既に存在します。\n上書きしますか?";
constexpr const char16_t* kAskReplaceMember = u"%s が既に存在します。\n上書きされますがよろしいでしょうか?";
constexpr const char16_t* kMsgNoEOT = u"このOSではEOTファイルを作成することはできません。";
constexpr const char16_t* kMsgNoMetaData = u"メタデータファイルを指定してください。";
constexpr const char16_t* kMsgCffNoEOT = u"ポストスクリプト形式のOpenTypeフォントのため、EOTファイルは作成されません。";
constexpr const char16_t* kMsgOutputIsSource = u"%s は変換前ファイルです。\n変換後ファイルの名前を変えてください。";
constexpr const char16_t* kMsgDone = u"正常に変換しました。";

struct PathParts {
    CString drive, dir, name, ext;
};

// Cuts path into its parts. A path whose parts do not fit cannot name a file that can be
// opened here: it is reported as a bad path.
BOOL SplitPath(const CString& path, PathParts& parts)
{
    WCHAR drive[_MAX_DRIVE], dir[_MAX_DIR], name[_MAX_FNAME], ext[_MAX_EXT];
    if (_wsplitpath_s(path, drive, _MAX_DRIVE, dir, _MAX_DIR, name, _MAX_FNAME, ext, _MAX_EXT) != 0) {
        CFileException error(CFileException::badPath, 0, path);
        ReportFileOpenError(&error);
        return FALSE;
    }
    parts = {drive, dir, name, ext};
    return TRUE;
}

// Extensions a target must not keep: a web font is no font file, and the other way round.
constexpr const char16_t* kFontExtensions[] = {u".ttf", u".otf", u".tte", u".ote"};
constexpr const char16_t* kWebFontExtensions[] = {u".woff", u".woff2"};

template <class List>
BOOL IsExtensionIn(const CString& ext, const List& list)
{
    for (const char16_t* candidate : list)
        if (_wcsicmp(ext, candidate) == 0) return TRUE;
    return FALSE;
}

// Yes or no when path exists; TRUE (go on) when it does not.
BOOL AskToReplace(const CString& path, const char16_t* question)
{
    CFileStatus status;
    if (!CFile::GetStatus(path, status)) return TRUE;
    CString text;
    text.Format(question, static_cast<LPCTSTR>(path));
    return AfxMessageBox(text, MB_YESNO) == IDYES;
}

} // namespace

// The working values of one conversion; they live for the one press of the button.
struct ConversionRequest {
    BOOL bWOFF2 = FALSE;
    BOOL bEncode = TRUE;
    CString strSrcPath;
    PathParts src;
    CFile srcFile;
    std::optional<CWOFF> woff;  // on srcFile, so released before it
    CString strOutExt;
    CString strTargetPath;
    CString strOutName;
    CString strOutBase;

    void CloseSource() { srcFile.Close(); }
};

struct EncodingRun {
    BOOL bEOT = FALSE;
    CString strMetaPath;
    CString strEOTPath;
    CString strSrcFontName;    // how the page names the font file the outputs came from
    BOOL bOpenType = FALSE;
};

namespace {

// The EOT of the source file (member index of a collection); none for CFF outlines, which is
// no failure. The library opens the source by a name once our handle on it is closed; the name
// it gets is an alias of that handle, so the EOT is made of the file the run opened and checked,
// whatever has been put at the source's path since (while a question or the picker was open).
BOOL MakeEOT(ConversionRequest& request, const EncodingRun& run, const CWOFF& font, int index)
{
    if (font.m_bCFF) {
        AfxMessageBox(kMsgCffNoEOT);
        return TRUE;
    }
    const CFileAlias source(request.srcFile);
    request.CloseSource();
    return MakeEOTByT2embed(CString::FromUtf8(source.GetPath()), run.strEOTPath, index);
}

// TRUE (reported) when output names the source file itself, which writing it would destroy.
BOOL IsTheSource(const CString& output, const ConversionRequest& request)
{
    if (!AfxComparePath(output, request.strSrcPath)) return FALSE;
    CString text;
    text.Format(kMsgOutputIsSource, static_cast<LPCTSTR>(output));
    AfxMessageBox(text);
    return TRUE;
}

} // namespace

void CFenwrapDlg::OnBnClickedOk()
{
    ConversionRequest request;
    if (!SettleSource(request) || !NameTarget(request) || !AskBeforeReplacing(request)) return;
    CWaitCursor wait;
    if (request.bEncode)
        RunEncoding(request);
    else
        RunDecoding(request);
}

BOOL CFenwrapDlg::IsChecked(int id)
{
    return SendDlgItemMessage(id, BM_GETCHECK) == BST_CHECKED;
}

BOOL CFenwrapDlg::SettleSource(ConversionRequest& request)
{
    request.bWOFF2 = IsChecked(IDC_CHECK_WOFF2);
    GetDlgItemText(IDC_EDIT_SRC, request.strSrcPath);
    if (request.strSrcPath.IsEmpty()) {
        AfxMessageBox(kMsgNoSource);
        GotoDlgCtrl(GetDlgItem(IDC_EDIT_SRC));
        return FALSE;
    }
    if (!SplitPath(request.strSrcPath, request.src)) return FALSE;
    // The extension alone chooses the direction; the content is judged by the type check.
    request.bEncode = !IsExtensionIn(request.src.ext, kWebFontExtensions);

    CFileException error;
    if (!request.srcFile.Open(request.strSrcPath, CFile::modeRead | CFile::shareDenyNone, &error)) {
        ReportFileOpenError(&error);
        return FALSE;
    }
    CWOFF& woff = request.woff.emplace(&request.srcFile, request.bEncode);
    if (!woff.CheckFileType()) {
        if (request.bEncode)
            AfxMessageBox(kMsgNotFont);
        else if (woff.m_bWOFF2 && woff.m_bTTC)
            AfxMessageBox(kMsgWOFF2Collection);
        else
            AfxMessageBox(_wcsicmp(request.src.ext, u".woff2") == 0 ? kMsgNotWOFF2 : kMsgNotWOFF);
        return FALSE;
    }
    request.strOutExt = request.bEncode ? u".woff" : (woff.m_bTrueType ? u".ttf" : u".otf");
    return TRUE;
}

BOOL CFenwrapDlg::NameTarget(ConversionRequest& request)
{
    CString dst;
    GetDlgItemText(IDC_EDIT_DST, dst);
    dst.TrimRight();
    dst.TrimLeft();

    CString target;
    if (dst.IsEmpty()) {
        target = request.src.drive + request.src.dir + request.src.name + request.strOutExt;
    } else {
        PathParts d;
        if (!SplitPath(dst, d)) return FALSE;
        // A bare name goes into the source's folder; a path with a folder is taken as it is.
        target = (d.drive.IsEmpty() && d.dir.IsEmpty()) ? request.src.drive + request.src.dir + d.name + d.ext : dst;
        if (d.name.IsEmpty() && d.ext.IsEmpty()) target += request.src.name;
        const BOOL wrong = request.bEncode ? IsExtensionIn(d.ext, kFontExtensions) : IsExtensionIn(d.ext, kWebFontExtensions);
        if (d.ext.IsEmpty()) {
            target += request.strOutExt;
        } else if (wrong) {
            AfxMessageBox(kMsgWrongExtension);
            PathParts t;
            if (!SplitPath(target, t)) return FALSE;
            target = t.drive + t.dir + t.name + request.strOutExt;
        }
    }
    PathParts out;
    if (!SplitPath(target, out)) return FALSE;
    request.strTargetPath = target;
    request.strOutName = out.name;
    request.strOutBase = out.drive + out.dir + out.name;
    return TRUE;
}

BOOL CFenwrapDlg::AskBeforeReplacing(const ConversionRequest& request)
{
    if (!request.bEncode) return AskToReplace(request.strTargetPath, kAskReplace);
    return AskToReplace(request.strOutBase + u".woff", kAskReplace) &&
           (!request.bWOFF2 || AskToReplace(request.strOutBase + u".woff2", kAskReplace));
}

void CFenwrapDlg::RunEncoding(ConversionRequest& request)
{
    EncodingRun run;
    if (!SettleEncodingOptions(request, run)) return;
    const BOOL ok = request.woff->m_bTTC ? EncodeCollectionMember(request, run) : EncodeFont(request, run);
    if (!ok) return;
    if (IsChecked(IDC_CHECK_SAMPLE_HTML) && !WritePageOfRun(request, run)) return;
    if (request.bWOFF2)
        StartWOFF2Conversion(CString::FromUtf8(m_woff2Source->GetPath()), request.strOutBase + u".woff2", run.strMetaPath);
    else
        AfxMessageBox(kMsgDone);
}

BOOL CFenwrapDlg::SettleEncodingOptions(const ConversionRequest& request, EncodingRun& run)
{
    run.bEOT = IsChecked(IDC_CHECK_EOT);
    if (run.bEOT && !g_pfnTTEmbedFontFromFileA) {
        AfxMessageBox(kMsgNoEOT);
        return FALSE;
    }
    if (IsChecked(IDC_CHECK_METADATA)) {
        GetDlgItemText(IDC_EDIT_METADATA_FILE, run.strMetaPath);
        if (run.strMetaPath.IsEmpty()) {
            AfxMessageBox(kMsgNoMetaData);
            GotoDlgCtrl(GetDlgItem(IDC_EDIT_METADATA_FILE));
            return FALSE;
        }
    }
    run.strEOTPath = request.strOutBase + u".eot";

    // The EOT and the page replace what is there without a question; one of them naming the
    // source itself would destroy the font being converted. A font with CFF outlines gets no EOT,
    // so its EOT name replaces nothing.
    const CString pagePath = request.strOutBase + u".html";
    const BOOL makesEOT = run.bEOT && !request.woff->m_bCFF;
    const CString* replaced[] = {makesEOT ? &run.strEOTPath : nullptr, IsChecked(IDC_CHECK_SAMPLE_HTML) ? &pagePath : nullptr};
    for (const CString* output : replaced)
        if (output && IsTheSource(*output, request)) return FALSE;
    return TRUE;
}

BOOL CFenwrapDlg::EncodeFont(ConversionRequest& request, EncodingRun& run)
{
    CWOFF& woff = *request.woff;
    // The worker reads the font after the run has closed it: it gets the file that was checked,
    // whatever has been put at its name since.
    m_woff2Source.reset();
    if (request.bWOFF2) m_woff2Source.emplace(request.srcFile);
    BOOL ok = WriteWOFFFile(&woff, request.strOutBase + u".woff", run.strMetaPath);
    if (ok && run.bEOT) ok = MakeEOT(request, run, woff, 0);
    request.CloseSource();
    run.strSrcFontName = request.src.name + request.src.ext;
    run.bOpenType = woff.m_bCFF;
    return ok;
}

BOOL CFenwrapDlg::EncodeCollectionMember(ConversionRequest& request, EncodingRun& run)
{
    CWOFF& woff = *request.woff;
    woff.ReadTTCHeader(&request.srcFile);
    CFontNumberDlg picker(nullptr);
    picker.m_pWOFF = &woff;
    // OK with nothing selected names no font; only a listed member may be read.
    if (picker.DoModal() != IDOK || picker.m_nFontIndex < 0 ||
        static_cast<DWORD>(picker.m_nFontIndex) >= woff.m_ttcHeader.numFonts)
        return FALSE;
    const WORD fontNumber = static_cast<WORD>(picker.m_nFontIndex & 0xFFFF);
    woff.m_nFontNumber = fontNumber;
    woff.ReadFontHeader();

    const CString memberExt = woff.m_bCFF ? u".otf" : (woff.m_bTrueType ? u".ttf" : u"");
    const CString memberPath = request.strOutBase + memberExt;
    // A collection named as a font file would have its member written over it.
    if (IsTheSource(memberPath, request) || !AskToReplace(memberPath, kAskReplaceMember)) return FALSE;

    CMemFile memory(kMemFileGrowth);
    if (!woff.ExtractFont(&memory)) return FALSE;
    BOOL ok = FALSE;
    {
        CWOFF member(&memory, TRUE);
        member.CheckFileType();
        ok = WriteWOFFFile(&member, request.strOutBase + u".woff", run.strMetaPath);
        if (ok && run.bEOT) ok = MakeEOT(request, run, member, fontNumber);
    }
    request.CloseSource();

    // The worker encodes the member as it was written here, not whatever its file holds by the
    // time the worker reads it (the file may be another user's, in that user's folder).
    m_woff2Source.reset();
    if (request.bWOFF2) m_woff2Source.emplace(memory.Data(), static_cast<size_t>(memory.GetLength()));
    // The picked font's own file is written whatever became of the WOFF and the EOT.
    try {
        if (!SaveMemFile(memory, memberPath)) return FALSE;
    } catch (CFileException* e) {
        ReportFileWriteError(e);
        e->Delete();
        return FALSE;
    }
    run.strSrcFontName = request.strOutName + memberExt;
    run.bOpenType = woff.m_bCFF;
    return ok;
}

BOOL CFenwrapDlg::WritePageOfRun(const ConversionRequest& request, const EncodingRun& run)
{
    // The page lies beside the outputs and names them without a folder. The EOT entry stands
    // whenever an EOT was asked for, also when CFF outlines made none.
    const CString woff2 = request.bWOFF2 ? request.strOutName + u".woff2" : CString();
    const CString eot = run.bEOT ? request.strOutName + u".eot" : CString();
    const CString src = IsChecked(IDC_CHECK_ADD_SRC_FONT) ? run.strSrcFontName : CString();
    return WriteSampleHtml(request.strOutBase + u".html", request.strOutName + u".woff", woff2, eot, src,
                           run.bOpenType);
}

void CFenwrapDlg::RunDecoding(ConversionRequest& request)
{
    CWOFF& woff = *request.woff;
    const BOOL ok = woff.m_bWOFF2 ? ConvertWOFF2ToFont(&woff, request.strSrcPath, request.strTargetPath)
                                  : WriteFontFromWOFF(&woff, request.strTargetPath);
    if (ok) AfxMessageBox(kMsgDone);
}

#include "FontNumberDlg.h"

#include "CodePage.h"
#include "Limits.h"
#include "MessageBox.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CFontNumberDlg, CDialog)

BEGIN_MESSAGE_MAP(CFontNumberDlg, CDialog)
    ON_LBN_DBLCLK(IDC_LIST_FONTS, &CFontNumberDlg::OnLbnDblclkFontList)
END_MESSAGE_MAP()

namespace {

constexpr const char16_t* kMsgFileMayBeBroken = u"ファイルが壊れている可能性があります。";
// A member without a usable full name is listed under this.
constexpr const char kNoName[] = "????";

constexpr WORD kPlatformWindows = 3;
constexpr WORD kLanguageJapanese = 0x411;
constexpr WORD kNameIdFullName = 4;

// The engine keeps at most this much of a string; a name is at most one byte less, so that it
// and its terminator fit the same size.
constexpr int kStringBytes = kMaxNameStringBytes;
constexpr int kNameBytes = kStringBytes - 1;

// The record a font is listed under: its Japanese Windows full name, else its first Windows
// full name in any language; -1 when it has neither.
int ChooseNameRecord(const NameTable& table)
{
    int anyLanguage = -1;
    for (int i = 0; i < table.count; ++i) {
        const NameRecord& record = table.pNameRecords[i];
        if (record.platformID != kPlatformWindows || record.nameID != kNameIdFullName) continue;
        if (record.languageID == kLanguageJapanese) return i;
        if (anyLanguage < 0) anyLanguage = i;
    }
    return anyLanguage;
}

// The record's big-endian UTF-16 string in Shift-JIS, into name (kNameBytes and a terminator).
// Characters go one at a time, so the name ends before the first one that would not fit
// rather than with half of a double-byte character.
void ConvertName(const NameRecord& record, const BYTE* string, char* name)
{
    BYTE units[kStringBytes];
    const int length = std::min<int>(record.length, kStringBytes);
    std::copy_n(string, length, units);
    int written = 0;
    for (int i = 0; i < length / 2; ++i) {
        BYTE character[2];
        const int n = ConvertUTF16BEToShiftJIS(units + 2 * i, character, 1);
        if (written + n > kNameBytes) break;
        std::copy_n(character, n, name + written);
        written += n;
    }
    name[written] = '\0';
}

// The list text of the member whose directory and name table the engine has just read.
CString MemberName(const CWOFF& woff)
{
    char name[kNameBytes + 1];
    std::copy_n(kNoName, sizeof kNoName, name);
    // Without a 'name' table of its own the member must not take the table read before it.
    if (woff.m_nNameIndex != -1) {
        const int chosen = ChooseNameRecord(woff.m_nameTable);
        if (chosen >= 0) ConvertName(woff.m_nameTable.pNameRecords[chosen], woff.m_nameTable.ppStrings[chosen], name);
    }
    WCHAR text[kNameBytes + 1];
    const int units = MultiByteToWideChar(CP_THREAD_ACP, 0, name, -1, text, kNameBytes + 1);
    return units > 0 ? CString(text) : CString();
}

} // namespace

CFontNumberDlg::CFontNumberDlg(CWnd*) : CDialog(IDD, nullptr) {}

CFontNumberDlg::~CFontNumberDlg() = default;

void CFontNumberDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_LBIndex(pDX, IDC_LIST_FONTS, m_nFontIndex);
}

BOOL CFontNumberDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    CWnd* list = GetDlgItem(IDC_LIST_FONTS);
    if (!m_pWOFF || !list) return TRUE;
    CWOFF& woff = *m_pWOFF;
    CFile* file = woff.m_pFile;

    for (woff.m_nFontNumber = 0; static_cast<DWORD>(woff.m_nFontNumber) < woff.m_ttcHeader.numFonts; ++woff.m_nFontNumber) {
        woff.ReadOffsetTable(file);
        woff.ReadTableDirectory(file);
        if (!woff.CheckTableBounds(file)) {
            AfxMessageBox(kMsgFileMayBeBroken);
            // The dialog closes as if cancelled before the user can choose from a damaged file.
            PostMessage(WM_CLOSE);
            return FALSE;
        }
        woff.ReadNameTable(file);
        list->SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(MemberName(woff).GetString()));
    }
    list->SendMessage(LB_SETCURSEL, 0);
    return TRUE;
}

void CFontNumberDlg::OnLbnDblclkFontList()
{
    CDialog::OnOK();
}

// Dialog 102: the main window, and the settings of its link to the maker's web site.
#include "DialogTemplate.h"
#include "MakerSite.h"
#include "Shell.h"
#include "Types.h"
#include "resource.h"

namespace {

constexpr DWORD kLabel = SS_LEFT | WS_GROUP;
constexpr DWORD kField = ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
constexpr DWORD kButton = WS_TABSTOP;

const DialogTemplateEntry kMain(IDD_FENWRAP_DIALOG, {
    .caption = u"Fenwrap",
    .cx = 267,
    .cy = 335,
    .font = {u"MS UI Gothic", 9, 400, 1},
    .style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT,
    .exStyle = WS_EX_APPWINDOW | WS_EX_ACCEPTFILES,
    .controls = {
        {-1, ControlKind::Label, u"変換前ファイル(&S)：", 10, 9, 61, 8, kLabel},
        {IDC_EDIT_SRC, ControlKind::Edit, u"", 14, 22, 207, 14, kField, WS_EX_ACCEPTFILES},
        {IDC_BUTTON_BROWSE_SRC, ControlKind::PushButton, u"参照(&R)...", 221, 22, 32, 14, kButton},
        {-1, ControlKind::Label, u"変換前ファイルがフォントの場合WOFFに変換、WOFFの場合フォントに変換します。", 14, 40, 222, 8, kLabel},
        {-1, ControlKind::GroupBox, u"", 7, 2, 253, 50, WS_GROUP},
        {-1, ControlKind::Label, u"変換後ファイル(&D)：", 10, 61, 64, 8, kLabel},
        {IDC_EDIT_DST, ControlKind::Edit, u"", 14, 71, 207, 14, kField, WS_EX_ACCEPTFILES},
        {IDC_BUTTON_BROWSE_DST, ControlKind::PushButton, u"参照(&F)...", 221, 70, 32, 14, kButton},
        {-1, ControlKind::Label, u"設定されていない場合、変換前ファイルと同じ名前で拡張子だけ変えて自動作成します。", 14, 90, 239, 8, kLabel},
        {-1, ControlKind::GroupBox, u"", 7, 53, 253, 50, WS_GROUP},
        {IDC_CHECK_WOFF2, ControlKind::CheckBox, u"WOFF2を作成する(&W)", 14, 116, 94, 10, kButton},
        {IDC_CHECK_EOT, ControlKind::CheckBox, u"EOTファイルを作成する(&E)", 14, 130, 94, 10, kButton},
        {IDC_CHECK_METADATA, ControlKind::CheckBox, u"メタデータを付加する(&M)", 14, 144, 104, 10, kButton},
        {-1, ControlKind::Label, u"メタデータファイル(&I)：", 25, 158, 55, 8, kLabel},
        {IDC_EDIT_METADATA_FILE, ControlKind::Edit, u"", 81, 155, 140, 14, kField, WS_EX_ACCEPTFILES},
        {IDC_BUTTON_BROWSE_META, ControlKind::PushButton, u"参照(&N)...", 221, 154, 32, 14, kButton},
        {IDC_CHECK_SAMPLE_HTML, ControlKind::CheckBox, u"サンプルHTMLファイルを作成する(&H)", 14, 172, 128, 10, kButton},
        {-1, ControlKind::Label, u"サンプル文字列(&T)：", 25, 186, 55, 8, kLabel},
        {IDC_EDIT_SAMPLE_STRING, ControlKind::Edit, u"", 81, 184, 172, 14, kField},
        {IDC_CHECK_ADD_SRC_FONT, ControlKind::CheckBox, u"変換前フォントを src に追加する(&A)", 25, 200, 128, 10, kButton},
        {-1, ControlKind::GroupBox, u"フォントをWOFFに変換する時", 7, 106, 253, 109, WS_GROUP},
        {-1, ControlKind::HorizontalLine, u"", 7, 219, 253, 1},
        {IDC_LINK_MAKER, ControlKind::Link, u"Orvisto", 7, 225, 55, 14, WS_TABSTOP},
        {IDOK, ControlKind::DefPushButton, u"変換開始", 107, 223, 50, 16, kButton},
        {IDCANCEL, ControlKind::PushButton, u"終了", 159, 223, 50, 16, kButton},
        {ID_HELP, ControlKind::PushButton, u"ヘルプ(&H)", 210, 223, 50, 16, kButton},
        {-1, ControlKind::HorizontalLine, u"", 8, 243, 253, 1},
        {-1, ControlKind::Label, u"[広告]", 7, 248, 27, 8, kLabel},
        {IDC_STATIC_STATUS, ControlKind::Label, u"スタティック", 40, 248, 220, 9, SS_RIGHT | WS_GROUP},
        {IDC_STATIC_AD_AREA, ControlKind::Placeholder, u"スタティック", 7, 259, 253, 69, kLabel},
    }});

const LinkSettingsEntry kMainLink(IDD_FENWRAP_DIALOG, IDC_LINK_MAKER,
                                  {kMakerSiteUrl, u"", u"Orvisto ホームページ", false});

} // namespace

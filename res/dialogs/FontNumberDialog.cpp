// Dialog 130: the collection font picker.
#include "DialogTemplate.h"
#include "Types.h"
#include "resource.h"

namespace {

const DialogTemplateEntry kFontNumber(IDD_FONTNUMBER, {
    .caption = u"フォントの指定",
    .cx = 195,
    .cy = 109,
    .font = {u"MS UI Gothic", 9, 400, 128},
    .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    .controls = {
        {-1, ControlKind::Label, u"選択されたファイルには、複数のフォントが含まれています。\nフォントを指定してください。", 7, 15, 179, 30,
         SS_LEFT | WS_GROUP},
        // Not sorted: entry i is font i of the collection.
        {IDC_LIST_FONTS, ControlKind::ListBox, u"", 11, 38, 173, 45,
         LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_DISABLENOSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
        {IDOK, ControlKind::DefPushButton, u"OK", 11, 88, 50, 14, WS_TABSTOP},
        {IDCANCEL, ControlKind::PushButton, u"キャンセル", 72, 88, 50, 14, WS_TABSTOP},
        {ID_HELP, ControlKind::PushButton, u"ヘルプ(&H)", 133, 86, 50, 16, WS_TABSTOP},
    }});

} // namespace

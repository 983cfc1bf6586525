// Dialog 131: the metadata viewer.
#include "DialogTemplate.h"
#include "Types.h"
#include "resource.h"

namespace {

const DialogTemplateEntry kMetaData(IDD_METADATA, {
    .caption = u"メタデータ",
    .cx = 506,
    .cy = 247,
    .font = {u"MS UI Gothic", 9, 400, 128},
    .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    .controls = {
        {IDOK, ControlKind::DefPushButton, u"変換開始", 79, 226, 59, 14, WS_TABSTOP},
        {IDCANCEL, ControlKind::PushButton, u"キャンセル", 154, 226, 59, 14, WS_TABSTOP},
        {IDC_BUTTON_SAVE_METADATA, ControlKind::PushButton, u"メタデータをファイルに保存(&M)...", 229, 226, 122, 14, WS_TABSTOP},
        {ID_HELP, ControlKind::PushButton, u"ヘルプ(&H)", 367, 225, 59, 15, WS_TABSTOP},
        {IDC_EDIT_METADATA, ControlKind::Edit, u"", 7, 7, 492, 214,
         ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | WS_HSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
    }});

} // namespace

// Dialog templates as data. A template gives the caption, the size in dialog units, the font
// and, in tab order, every control with its id, kind, text, position in dialog units and style.
//
// To add a dialog, write one file in res/dialogs/ that builds a DialogTemplate and registers it
// under its id with a static DialogTemplateEntry:
//
//     namespace {
//     const DialogTemplateEntry kAbout(IDD_ABOUTBOX, {
//         .caption = u"...", .cx = 235, .cy = 66, .font = {u"MS UI Gothic", 9},
//         .controls = {
//             {IDOK, ControlKind::DefPushButton, u"OK", 178, 7, 50, 16, WS_TABSTOP | WS_GROUP},
//         }});
//     }
#pragma once

#include "String.h"
#include "Types.h"

#include <vector>

// Window styles the templates use. Only their meaning here matters.
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD DS_MODALFRAME = 0x00000080;
inline constexpr DWORD DS_SETFONT = 0x00000040;
inline constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;
inline constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

// Edit fields.
inline constexpr DWORD ES_LEFT = 0x0000;
inline constexpr DWORD ES_MULTILINE = 0x0004;
inline constexpr DWORD ES_AUTOVSCROLL = 0x0040;
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080;
inline constexpr DWORD ES_READONLY = 0x0800;
inline constexpr DWORD ES_WANTRETURN = 0x1000;
// Labels.
inline constexpr DWORD SS_LEFT = 0x0000;
inline constexpr DWORD SS_CENTER = 0x0001;
inline constexpr DWORD SS_RIGHT = 0x0002;
inline constexpr DWORD SS_NOPREFIX = 0x0080;
// List boxes.
inline constexpr DWORD LBS_NOTIFY = 0x0001;
inline constexpr DWORD LBS_SORT = 0x0002;
inline constexpr DWORD LBS_NOINTEGRALHEIGHT = 0x0100;
inline constexpr DWORD LBS_DISABLENOSCROLL = 0x1000;

enum class ControlKind {
    PushButton,
    DefPushButton,
    CheckBox,      // automatic check box: a click toggles it
    GroupBox,
    Label,         // static text
    Icon,          // static picture of an icon resource
    Edit,
    ListBox,
    HorizontalLine,  // sunken etched line
    Link,          // a link to a web address; the text is what is shown
    Placeholder,   // an empty area another window is put over
};

struct ControlTemplate {
    int id;             // -1 for an unnamed control
    ControlKind kind;
    const char16_t* text;
    int x, y, cx, cy;   // dialog units
    DWORD style = 0;
    DWORD exStyle = 0;
};

struct DialogFont {
    const char16_t* face = u"MS UI Gothic";
    int pointSize = 9;
    int weight = 400;
    BYTE charSet = 128;
};

struct DialogTemplate {
    const char16_t* caption = u"";
    int cx = 0, cy = 0;  // client area in dialog units
    DialogFont font;
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    DWORD exStyle = 0;
    std::vector<ControlTemplate> controls;  // in tab order
};

// Registers a template under its id when the program starts; a later entry for the same id
// replaces the earlier one (tests use this for templates of their own).
struct DialogTemplateEntry {
    DialogTemplateEntry(UINT id, DialogTemplate dialogTemplate);
};

void RegisterDialogTemplate(UINT id, DialogTemplate dialogTemplate);
const DialogTemplate* FindDialogTemplate(UINT id);

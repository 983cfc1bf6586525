// Colours, brushes, fonts and device contexts, reduced to what the program's dialogs draw
// with: a solid background brush, a created font, text colour and background mode of one
// control, and the device's vertical resolution.
#pragma once

#include "String.h"
#include "Types.h"

#include <memory>

using COLORREF = DWORD;
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b)
{
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

// What a created font asks for; the window layer maps the face to an installed one.
struct FontHandle {
    int height = 0;  // negative: character height in pixels; positive: cell height
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    BYTE charSet = 0;
    BYTE pitchAndFamily = 0;
    CString faceName;
};
struct BrushHandle {
    COLORREF color = 0;
};
using HFONT = const FontHandle*;
using HBRUSH = const BrushHandle*;
using HGDIOBJ = const void*;

inline constexpr int FW_NORMAL = 400;
inline constexpr int FW_BOLD = 700;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE SHIFTJIS_CHARSET = 128;
inline constexpr BYTE OUT_DEFAULT_PRECIS = 0;
inline constexpr BYTE OUT_STRING_PRECIS = 1;
inline constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
inline constexpr BYTE CLIP_CHARACTER_PRECIS = 1;
inline constexpr BYTE DEFAULT_QUALITY = 0;
inline constexpr BYTE DEFAULT_PITCH = 0;
inline constexpr BYTE FIXED_PITCH = 1;
inline constexpr BYTE VARIABLE_PITCH = 2;
inline constexpr BYTE FF_DONTCARE = 0x00;

inline constexpr int TRANSPARENT = 1;
inline constexpr int OPAQUE = 2;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;

// Which kind of control asks for its colours.
inline constexpr UINT CTLCOLOR_MSGBOX = 0;
inline constexpr UINT CTLCOLOR_EDIT = 1;
inline constexpr UINT CTLCOLOR_LISTBOX = 2;
inline constexpr UINT CTLCOLOR_BTN = 3;
inline constexpr UINT CTLCOLOR_DLG = 4;
inline constexpr UINT CTLCOLOR_SCROLLBAR = 5;
inline constexpr UINT CTLCOLOR_STATIC = 6;

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    BOOL DeleteObject();
    HGDIOBJ GetSafeHandle() const { return m_handle; }

protected:
    std::shared_ptr<const void> m_object;
    HGDIOBJ m_handle = nullptr;
};

class CBrush : public CGdiObject {
public:
    BOOL CreateSolidBrush(COLORREF color);
    operator HBRUSH() const { return static_cast<HBRUSH>(m_handle); }
};

class CFont : public CGdiObject {
public:
    BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                    BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                    BYTE quality, BYTE pitchAndFamily, LPCTSTR faceName);
    operator HFONT() const { return static_cast<HFONT>(m_handle); }
};

class CWnd;

// A drawing context as the colour callback and the font set-up see it: it records the
// colours a handler chooses, which the window layer then applies to the control.
class CDC {
public:
    CDC() = default;
    virtual ~CDC() = default;
    COLORREF SetTextColor(COLORREF color);
    COLORREF SetBkColor(COLORREF color);
    int SetBkMode(int mode);
    int GetDeviceCaps(int index) const;

    bool m_bTextColorSet = false;
    COLORREF m_textColor = 0;
    bool m_bBkColorSet = false;
    COLORREF m_bkColor = RGB(255, 255, 255);
    int m_bkMode = OPAQUE;
    int m_logPixelsY = 96;
};

class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* window);
};

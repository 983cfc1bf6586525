#include "Gdi.h"

#include "Window.h"
#include "WindowHandle.h"

BOOL CGdiObject::DeleteObject()
{
    if (!m_handle) return FALSE;
    m_object.reset();
    m_handle = nullptr;
    return TRUE;
}

BOOL CBrush::CreateSolidBrush(COLORREF color)
{
    if (m_handle) return FALSE;
    auto brush = std::make_shared<BrushHandle>(BrushHandle{color});
    m_handle = brush.get();
    m_object = std::move(brush);
    return TRUE;
}

BOOL CFont::CreateFont(int height, int, int, int, int weight, BYTE italic, BYTE underline, BYTE strikeOut,
                       BYTE charSet, BYTE, BYTE, BYTE, BYTE pitchAndFamily, LPCTSTR faceName)
{
    if (m_handle) return FALSE;
    auto font = std::make_shared<FontHandle>();
    font->height = height;
    font->weight = weight == 0 ? FW_NORMAL : weight;
    font->italic = italic != 0;
    font->underline = underline != 0;
    font->strikeOut = strikeOut != 0;
    font->charSet = charSet;
    font->pitchAndFamily = pitchAndFamily;
    font->faceName = CString(faceName);
    m_handle = font.get();
    m_object = std::move(font);
    return TRUE;
}

COLORREF CDC::SetTextColor(COLORREF color)
{
    const COLORREF previous = m_textColor;
    m_textColor = color;
    m_bTextColorSet = true;
    return previous;
}

COLORREF CDC::SetBkColor(COLORREF color)
{
    const COLORREF previous = m_bkColor;
    m_bkColor = color;
    m_bBkColorSet = true;
    return previous;
}

int CDC::SetBkMode(int mode)
{
    const int previous = m_bkMode;
    m_bkMode = mode;
    return previous;
}

int CDC::GetDeviceCaps(int index) const
{
    // Square pixels: the horizontal resolution is the vertical one.
    return index == LOGPIXELSY || index == LOGPIXELSX ? m_logPixelsY : 0;
}

CClientDC::CClientDC(CWnd* window)
{
    if (window && window->m_hWnd) m_logPixelsY = window->m_hWnd->Dialog()->logPixelsY;
}

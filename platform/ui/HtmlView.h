// The web-browser view of the advertisement panel: a web engine view put over a rectangle of
// a dialog while the dialog is on screen, shown only once a page has loaded (until then, and
// when no page can be loaded, the placeholder under it shows). It loads https pages only: the
// first and every one its pages lead to. Without a screen, without the web engine's sandbox
// (as root), or when the view cannot be made, the view has no window and its calls do nothing
// but say where it was sent.
#pragma once

#include "Window.h"

#include <functional>

inline constexpr UINT WM_INITIALUPDATE = 0x0364;
inline constexpr DWORD WS_CHILD = 0x40000000;

struct CCreateContext;

class CHtmlView : public CWnd {
public:
    static const CRuntimeClass classCHtmlView;
    const CRuntimeClass* GetRuntimeClass() const override;
    // Dynamic creation through the run-time class.
    static CObject* CreateObject();
    ~CHtmlView() override;

    // With a parent window, the view belongs to that window from here on, created or not,
    // and is deleted with it; without one it stays the caller's.
    virtual BOOL Create(LPCTSTR className, LPCTSTR windowName, DWORD style, const CRect& rect, CWnd* parent, UINT id,
                        CCreateContext* context = nullptr);
    void Refresh();
    void Navigate(LPCTSTR url, DWORD flags = 0, LPCTSTR targetFrame = nullptr, LPCTSTR headers = nullptr,
                  LPVOID postData = nullptr, DWORD postDataLength = 0);
    BOOL HasBrowser() const;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct Browser;
    std::shared_ptr<Browser> m_browser;
};

// The address a view loads when sent to address: always https (an address without a scheme,
// or with http, gets it); empty for anything else, which is not loaded.
CString BrowserAddress(const CString& address);

// Called with every address a view is sent to (tests record them here).
using NavigateObserver = std::function<void(const CString& url)>;
NavigateObserver SetNavigateObserver(NavigateObserver observer);
// Whether views make a browser on screen; tests turn it off so that nothing is fetched.
void EnableBrowserViews(bool enable);

// The layer's record of one window: the dialog or one of its controls. The record holds the
// state; a peer, present only while the dialog is on screen, mirrors it into a widget.
#pragma once

#include "DialogTemplate.h"
#include "Window.h"

#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class CDialog;
class QWidget;
struct WindowHandle;
struct WindowExtras;

// What changed in a record, for the peer to show.
enum class Aspect { Text, Enabled, Visible, Check, Items, Selection, Font, TabStops, Colors, Focus };

class WindowPeer {
public:
    virtual ~WindowPeer() = default;
    virtual void Update(WindowHandle& window, Aspect aspect) = 0;
};

struct PostedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct WindowHandle {
    WindowHandle* parent = nullptr;
    std::vector<std::unique_ptr<WindowHandle>> children;  // controls in template order

    bool isDialog = false;
    int id = -1;
    ControlKind kind = ControlKind::Label;
    DWORD style = 0;
    DWORD exStyle = 0;
    CRect rect;  // pixels, in the dialog's client area

    CString text;
    bool enabled = true;
    bool visible = true;
    int check = BST_UNCHECKED;
    std::vector<CString> items;
    int curSel = LB_ERR;
    std::vector<int> tabStops;  // dialog template units
    HFONT font = nullptr;

    // Chosen by the dialog's WM_CTLCOLOR handler.
    std::optional<COLORREF> textColor;
    std::optional<COLORREF> background;

    CWnd* permanent = nullptr;             // the program's object bound to this window
    std::unique_ptr<CWnd> temporary;       // stands in when none is bound
    std::unique_ptr<WindowPeer> peer;
    // System menu, icons, drop and link settings (Shell.cpp); shared so it may stay incomplete here.
    std::shared_ptr<WindowExtras> extras;

    // Dialog only.
    CDialog* dialog = nullptr;
    WindowHandle* focus = nullptr;
    int baseUnitX = 6, baseUnitY = 12;
    int logPixelsY = 96;
    std::mutex postedMutex;
    std::deque<PostedMessage> posted;

    WindowHandle* Child(int childId) const;
    WindowHandle* Dialog();
    void Changed(Aspect aspect)
    {
        if (peer) peer->Update(*this, aspect);
    }
    bool IsPushButton() const { return kind == ControlKind::PushButton || kind == ControlKind::DefPushButton; }
};

// The window glue: built only while a dialog is on screen.
namespace ui_detail {

// Creates the widgets of dialog (already built as records) and returns false when there is no
// toolkit application to show them in.
bool CreateOnScreen(WindowHandle& dialog, const DialogTemplate& dialogTemplate);
// Runs the on-screen dialog until EndDialog; returns its result.
INT_PTR RunOnScreen(WindowHandle& dialog);
void EndOnScreen(WindowHandle& dialog, INT_PTR result);
// Wakes the on-screen loop to deliver a posted message.
void NotifyPosted(WindowHandle& dialog);
bool HaveToolkit();
// Gives the widgets of a dialog just put on screen what Shell.cpp adds: the system menu,
// icons, dropped files and links.
void DecorateOnScreen(WindowHandle& dialog, QWidget* dialogWidget, const std::vector<QWidget*>& controls);
// Base units of the template's stand-in font.
void MeasureDialogFont(WindowHandle& dialog, const DialogTemplate& dialogTemplate);

// Calls into the program guarded as the class library does: a file or memory exception that
// leaves a handler is shown in a message box and goes no further. Any other exception is
// stopped there too and shown in an error box, so that no handler's failure ends the program
// (and with it the chance to save the user's options) in std::terminate.
template <class F> void Guarded(F&& call);
void ReportException(CException* e);
// what: the exception's own description, or null when it has none.
void ReportUnexpectedException(const char* what);

} // namespace ui_detail

template <class F> void ui_detail::Guarded(F&& call)
{
    try {
        call();
    } catch (CException* e) {
        ReportException(e);
        e->Delete();
    } catch (const std::bad_alloc&) {
        CMemoryException e;
        ReportException(&e);
    } catch (const std::exception& e) {
        ReportUnexpectedException(e.what());
    } catch (...) {
        ReportUnexpectedException(nullptr);
    }
}

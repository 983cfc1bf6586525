#include "MessageBox.h"

#include <cstdio>
#include <mutex>

namespace {

int ConsolePresenter(const CString& text, UINT style, UINT)
{
    std::fprintf(stderr, "Fenwrap: %s\n", text.ToUtf8().c_str());
    switch (style & MB_TYPEMASK) {
    case MB_YESNO: case MB_YESNOCANCEL: return IDNO;
    case MB_OKCANCEL: return IDCANCEL;
    default: return IDOK;
    }
}

std::mutex g_mutex;
MessageBoxPresenter g_presenter = ConsolePresenter;

} // namespace

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter)
{
    std::lock_guard lock(g_mutex);
    MessageBoxPresenter previous = std::move(g_presenter);
    g_presenter = presenter ? std::move(presenter) : MessageBoxPresenter(ConsolePresenter);
    return previous;
}

int AfxMessageBox(LPCTSTR text, UINT style, UINT helpId)
{
    MessageBoxPresenter presenter;
    {
        std::lock_guard lock(g_mutex);
        presenter = g_presenter;
    }
    return presenter(CString(text), style, helpId);
}

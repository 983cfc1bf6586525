// A program on the window layer's entry point that reports what it was started with.
#include "MessageBox.h"
#include "WinApp.h"

#include <QApplication>
#include <QStyle>

#include <cstdio>
#include <stdexcept>

namespace {

class CProbeApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        std::string arguments;
        for (const CString& argument : m_arguments) {
            if (!arguments.empty()) arguments += '|';
            arguments += argument.ToUtf8();
        }
        std::printf("arguments: %s\n", arguments.c_str());
        std::printf("mirrored: %s\n", QApplication::layoutDirection() == Qt::RightToLeft ? "yes" : "no");
        std::printf("style: %s\n", QApplication::style()->name().toUtf8().constData());
        if (!m_arguments.empty() && m_arguments.back() == CString(u"--fail")) {
            SetMessageBoxPresenter([](const CString& text, UINT style, UINT) {
                std::printf("box %#x: %s\n", style, text.ToUtf8().c_str());
                return IDOK;
            });
            throw std::runtime_error("start-up failed");
        }
        return FALSE;
    }
    int ExitInstance() override
    {
        std::printf("exit instance\n");
        return CWinApp::ExitInstance();
    }
};

CProbeApp theApp;

} // namespace

int main(int argc, char** argv) { return AfxWinMain(argc, argv); }

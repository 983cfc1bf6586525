// A program on the window layer's entry point that reports what it was started with.
#include "WinApp.h"

#include <QApplication>
#include <QStyle>

#include <cstdio>

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
        return FALSE;
    }
};

CProbeApp theApp;

} // namespace

int main(int argc, char** argv) { return AfxWinMain(argc, argv); }

// The program's entry: the one application object, and the toolkit set up for it.
#include "FenwrapApp.h"

#include <QCoreApplication>

#include <cstdlib>
#include <unistd.h>

CFenwrapApp theApp;

int main(int argc, char** argv)
{
    // The web engine of the advertisement panel shares its drawing contexts with the window,
    // and refuses to run as root inside its own sandbox.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    return AfxWinMain(argc, argv);
}

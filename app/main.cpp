// The program's entry: the one application object, and the toolkit set up for it.
#include "FenwrapApp.h"

#include <QCoreApplication>

CFenwrapApp theApp;

int main(int argc, char** argv)
{
    // The web engine of the advertisement panel shares its drawing contexts with the window.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return AfxWinMain(argc, argv);
}

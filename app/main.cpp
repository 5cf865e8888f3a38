#include <QApplication>

#include "EngineSettings.h"
#include "PageResources.h"
#include "ResScheme.h"
#include "TessoraApp.h"

int main(int argc, char* argv[]) {
    // First of all: Qt and the browser engine read their set-up once, at start.
    ApplyEngineSettings();
    InitPageResources();
    RegisterResScheme();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessora"));
    QApplication::setOrganizationName(QStringLiteral("Halvercrest"));
    QApplication::setQuitOnLastWindowClosed(false);
    CTessoraApp theApp;
    theApp.InitInstance();
    return 0;
}

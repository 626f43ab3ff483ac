// Pulmetra, the spirometry test viewer.
#include <QApplication>

#include "pulmetra/pulmetraapp.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::vector<CString> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    // Before any window: a SIGTERM during start-up ends the program as Exit does.
    CPulmetraApp::InstallQuitSignals();
    CPulmetraApp theApp;
    if (!theApp.InitInstance(args))
        return theApp.IsSecondInstance() ? 0 : 1;
    const int nResult = CPulmetraApp::QuitRequested() ? 0 : app.exec();
    theApp.ExitInstance();
    return nResult;
}

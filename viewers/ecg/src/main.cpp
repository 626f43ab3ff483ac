// Lindar, the ECG record viewer.
#include <QApplication>

#include "lindar/lindarapp.h"
#include "platform/qtmsgpump.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    platform::InstallQtMessagePump();  // long waits keep the window answering
    std::vector<CString> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    // Before any window: a SIGTERM during start-up ends the program as Exit does.
    CLindarApp::InstallQuitSignals();
    CLindarApp theApp;
    if (!theApp.InitInstance(args))
        return theApp.IsSecondInstance() ? 0 : 1;
    // A quit signal during start-up (the splash runs its own loop) ends the program here.
    const int nResult = CLindarApp::QuitRequested() ? 0 : app.exec();
    theApp.ExitInstance();
    return nResult;
}

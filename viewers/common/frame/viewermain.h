#pragma once
// The body of both viewers' main: the application object, the first set-up, the quit
// signals, boxes on the screen where there is one, and the application's start and end.
#include <QApplication>
#include <vector>

#include "platform/screennotifier.h"
#include "viewerapp.h"

namespace viewerapp {

template <class TApp>
int RunViewer(int argc, char** argv, const char* pszProgram) {
    QApplication app(argc, argv);
    StartApplication();  // long waits keep the window answering
    std::vector<CString> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    // Before any window: a SIGTERM during start-up ends the program as Exit does.
    TApp::InstallQuitSignals();
    platform::CScreenNotifier screen(pszProgram);
    if (platform::CScreenNotifier::ScreenAvailable())
        platform::SetNotifier(&screen);
    int nResult = 0;
    {
        TApp theApp;
        if (!theApp.InitInstance(args)) {
            nResult = theApp.IsSecondInstance() ? 0 : 1;
        } else {
            // A quit signal during start-up (the splash runs its own loop) ends the program here.
            nResult = TApp::QuitRequested() ? 0 : app.exec();
            theApp.ExitInstance();
        }
    }
    platform::SetNotifier(nullptr);
    return nResult;
}

}  // namespace viewerapp

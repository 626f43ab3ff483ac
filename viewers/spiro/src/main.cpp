// Pulmetra, the spirometry test viewer.
#include <QApplication>

#include "pulmetra/pulmetraapp.h"
#include "viewerapp.h"
#include "viewers/common/screennotifier.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    viewerapp::StartApplication();  // long waits keep the window answering
    std::vector<CString> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    // Before any window: a SIGTERM during start-up ends the program as Exit does.
    CPulmetraApp::InstallQuitSignals();
    // Messages and questions as boxes on the screen (where there is one to see them).
    CScreenNotifier screen("Pulmetra");
    if (CScreenNotifier::ScreenAvailable())
        platform::SetNotifier(&screen);
    int nResult = 0;
    {
        CPulmetraApp theApp;
        if (!theApp.InitInstance(args)) {
            nResult = theApp.IsSecondInstance() ? 0 : 1;
        } else {
            nResult = CPulmetraApp::QuitRequested() ? 0 : app.exec();
            theApp.ExitInstance();
        }
    }
    platform::SetNotifier(nullptr);
    return nResult;
}

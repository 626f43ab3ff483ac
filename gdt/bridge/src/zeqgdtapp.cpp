#include "zeqgdt/zeqgdtapp.h"

#include "platform/process.h"
#include "platform/singleinstance.h"
#include "zeqgdt/gdtconfig.h"
#include "zeqgdt/gdtutils.h"

CZeqGDTApp::CZeqGDTApp() = default;
CZeqGDTApp::~CZeqGDTApp() = default;

BOOL CZeqGDTApp::InitInstance() {
    // Makes "ZeqGDT.ini" with its defaults when missing, and "GDTTmp".
    CGDTConfig config;
    config.Load();
    // Started as the shell would: no arguments, no waiting; a missing program is not shown.
    platform::StartDetached({CGDTUtils::MakePath(CGDTUtils::GetModulePath(nullptr), "Mostrel")});
    return FALSE;
}

int CZeqGDTApp::ExitInstance() {
    // Whoever watches the observer lock sees it taken and given back as the bridge ends.
    platform::CSingleInstance observer("ZeqGDT Observer");
    observer.Acquire();
    observer.Release();
    return 0;
}

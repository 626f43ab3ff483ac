// ZeqGDT: prepares the GDT settings and the temp folder in its home folder, starts the
// measuring program "Mostrel" from its own folder and ends at once, without a window.
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/singleinstance.h"
#include "zeqgdt/gdtconfig.h"

int main() {
    // Makes "ZeqGDT.ini" with its defaults when missing, and "GDTTmp".
    CGDTConfig config;
    config.Load();
    // Started as the shell would: no arguments, no waiting; a missing program is not shown.
    platform::StartDetached({platform::ProgramDir() + "Mostrel"});
    // Whoever watches the observer lock sees it taken and given back as the bridge ends.
    platform::CSingleInstance observer("ZeqGDT Observer");
    observer.Acquire();
    observer.Release();
    return 0;
}

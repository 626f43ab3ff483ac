#pragma once
// The bridge program's application object. InitInstance prepares the GDT settings and the
// temp folder, starts the measuring program "Mostrel" from the bridge's own folder and
// answers FALSE, so that the program ends without a message loop; ExitInstance runs as it
// ends and gives the exit code.
#include "platform/wintypes.h"

class CZeqGDTApp {
public:
    CZeqGDTApp();
    virtual ~CZeqGDTApp();
    CZeqGDTApp(const CZeqGDTApp&) = delete;
    CZeqGDTApp& operator=(const CZeqGDTApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
};

// ZeqGDT: prepares the GDT settings and the temp folder, starts the measuring program
// "Mostrel" from its own folder and ends at once, without a window.
#include "zeqgdt/zeqgdtapp.h"

int main() {
    CZeqGDTApp theApp;
    // A start-up that answers FALSE ends the program without a message loop.
    theApp.InitInstance();
    return theApp.ExitInstance();
}

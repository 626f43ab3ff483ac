// Lindar, the ECG record viewer.
#include "lindar/lindarapp.h"
#include "viewermain.h"

int main(int argc, char** argv) {
    return viewerapp::RunViewer<CLindarApp>(argc, argv, "Lindar");
}

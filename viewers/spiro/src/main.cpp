// Pulmetra, the spirometry test viewer.
#include "pulmetra/pulmetraapp.h"
#include "viewermain.h"

int main(int argc, char** argv) {
    return viewerapp::RunViewer<CPulmetraApp>(argc, argv, "Pulmetra");
}

// regctl: registers or unregisters a control library through its own self-registration
// entry points, as an installer does.
//   regctl <library.so>        register
//   regctl -u <library.so>     unregister
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/dispatch.h"

int main(int argc, char** argv) {
    bool bUnregister = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0)
            bUnregister = true;
        else if (!path)
            path = argv[i];
    }
    if (!path) {
        std::fprintf(stderr, "usage: regctl [-u] <library.so>\n");
        return 2;
    }
    char real[PATH_MAX];
    if (!realpath(path, real)) {
        std::fprintf(stderr, "regctl: %s: not found\n", path);
        return 1;
    }
    void* lib = dlopen(real, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::fprintf(stderr, "regctl: cannot load %s: %s\n", real, dlerror());
        return 1;
    }
    const char* entry = bUnregister ? platform::kUnregisterEntry : platform::kRegisterEntry;
    auto fn = reinterpret_cast<platform::RegisterFn>(dlsym(lib, entry));
    if (!fn) {
        std::fprintf(stderr, "regctl: %s has no %s\n", real, entry);
        return 1;
    }
    platform::HRESULT hr = fn();
    std::printf("%s %s: 0x%08X\n", entry, real, static_cast<unsigned>(hr));
    return hr == platform::S_OK ? 0 : 1;
}

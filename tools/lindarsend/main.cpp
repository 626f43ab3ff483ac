// lindarsend: sends one raw forwarding frame to the running viewer that holds a lock.
//   lindarsend [-n LockName] <code> <text>
//   lindarsend [-n LockName] <code> -b <count>     (a text of count 'a' bytes)
// The frame is code and length (32 bits each, little-endian) and the text's bytes, as a
// second start sends it. Exit 0 when the whole frame was written, 1 otherwise.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "oxuutil/singleinstancelock.h"

int main(int argc, char** argv) {
    std::string strName = "LindarFrame";
    int i = 1;
    if (i + 1 < argc && std::strcmp(argv[i], "-n") == 0) {
        strName = argv[i + 1];
        i += 2;
    }
    if (argc - i < 2) {
        std::fprintf(stderr, "usage: lindarsend [-n LockName] <code> <text> | <code> -b <count>\n");
        return 2;
    }
    const unsigned long nCode = std::strtoul(argv[i], nullptr, 10);
    std::string strText = argv[i + 1];
    if (strText == "-b" && i + 2 < argc)
        strText.assign(std::strtoul(argv[i + 2], nullptr, 10), 'a');
    CSingleInstanceLock lock;
    lock.SetApp(nullptr, strName.c_str(), "");
    return lock.ProcessCommandLine(strText.c_str(), static_cast<DWORD>(nCode)) ? 0 : 1;
}

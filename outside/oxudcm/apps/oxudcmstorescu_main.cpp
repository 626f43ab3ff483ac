// OxuDcmStoreSCU: sends DICOM files to a store peer.
//
//   OxuDcmStoreSCU [-h host] [-p port] [-aet calling] [-aec called] [-t seconds] file...
//
// The destination comes from the options, else from "OxuDcmStoreSCU.ini" in the program's
// home folder, section "DESTINATION": HOST, PORT, CALLING_AE, CALLED_AE, TIMEOUT.
// Exit 0 only when every file was stored; 1 bad arguments or no destination, 2 a file that
// is no DICOM file, 3 no association, 4 some files not stored. Files are never removed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/oflog/oflog.h"
#include "oxudcm/dcmtkstorescu.h"
#include "platform/folders.h"
#include "platform/profile.h"

namespace {
constexpr const char* kProgram = "OxuDcmStoreSCU";

class CPrintCallback : public CDcmTkStoreSCUCallback {
public:
    void SetMessage(const char* pszMessage) override { std::fprintf(stderr, "%s\n", pszMessage); }
};

int Usage() {
    std::fprintf(stderr,
                 "usage: %s [-h host] [-p port] [-aet calling AE] [-aec called AE] "
                 "[-t seconds] file...\n",
                 kProgram);
    return 1;
}
}  // namespace

int main(int argc, char** argv) {
    // DCMTK reports every request at its default level; our own lines say what matters.
    OFLog::configure(OFLogger::WARN_LOG_LEVEL);
    const std::string strIni = platform::HomeDir(kProgram) + "OxuDcmStoreSCU.ini";
    std::string strHost = platform::GetProfileString(strIni, "DESTINATION", "HOST", "");
    int nPort = platform::GetProfileInt(strIni, "DESTINATION", "PORT", 0);
    std::string strCalling = platform::GetProfileString(strIni, "DESTINATION", "CALLING_AE", "OXUDCMSCU");
    std::string strCalled = platform::GetProfileString(strIni, "DESTINATION", "CALLED_AE", "ANY-SCP");
    int nTimeout = platform::GetProfileInt(strIni, "DESTINATION", "TIMEOUT", 30);
    std::vector<std::string> astrFiles;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool bHasValue = i + 1 < argc;
        if (a == "--") {
            for (++i; i < argc; ++i) {
                astrFiles.emplace_back(argv[i]);
            }
            break;
        }
        if ((a == "-h" || a == "-p" || a == "-aet" || a == "-aec" || a == "-t") && !bHasValue) {
            return Usage();
        }
        if (a == "-h") {
            strHost = argv[++i];
        } else if (a == "-p") {
            char* pEnd = nullptr;
            nPort = static_cast<int>(std::strtol(argv[++i], &pEnd, 10));
            if (*pEnd) {
                return Usage();
            }
        } else if (a == "-aet") {
            strCalling = argv[++i];
        } else if (a == "-aec") {
            strCalled = argv[++i];
        } else if (a == "-t") {
            nTimeout = std::atoi(argv[++i]);
        } else if (!a.empty() && a[0] == '-') {
            return Usage();
        } else {
            astrFiles.push_back(a);
        }
    }
    if (astrFiles.empty()) {
        return Usage();
    }
    if (strHost.empty() || nPort <= 0 || nPort > 65535) {
        std::fprintf(stderr, "%s: no destination: give -h and -p, or HOST and PORT in %s\n",
                     kProgram, strIni.c_str());
        return 1;
    }
    CDcmTkStoreSCU scu;
    scu.SetFileList(astrFiles);
    scu.SetConnectTimeout(nTimeout);
    scu.SetAcseTimeout(nTimeout);
    scu.SetDimseTimeout(nTimeout);
    CPrintCallback callback;
    const CDcmTkStoreSCU::EResult e =
        scu.Send(strHost.c_str(), nPort, strCalling.c_str(), strCalled.c_str(), &callback);
    switch (e) {
        case CDcmTkStoreSCU::kAllStored: return 0;
        case CDcmTkStoreSCU::kNoFiles: return 2;
        case CDcmTkStoreSCU::kNoAssociation: return 3;
        default: return 4;
    }
}

// Benchmark (not a test): instances per second of the store sender, N small files over one
// association, to storescp and to Orthanc, beside DCMTK's storescu on the same peer, and
// once with Nagle's algorithm left on. Every peer runs in a namespace of its own
// (dcmpeer.sh); this program re-runs itself inside to time only the sending.
//
//   oxudcm_storescu_bench [files]      (default 1000)
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/oflog/oflog.h"
#include "oxudcm/dcmtkstorescu.h"
#include "peerobjects.h"
#include "platform/folders.h"
#include "testsupport/testsupport.h"

namespace {
double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Inside the namespace: argv = --inner MODE PORT AET DIR N
int Inner(char** argv) {
    // DCMTK reports every request at its default level; our own lines say what matters.
    OFLog::configure(OFLogger::WARN_LOG_LEVEL);
    const std::string strMode = argv[2];
    const int nPort = std::atoi(argv[3]);
    const std::string strAet = argv[4], strDir = argv[5];
    const int n = std::atoi(argv[6]);
    const auto t0 = std::chrono::steady_clock::now();
    bool bOk = false;
    if (strMode == "storescu") {
        const std::string strCmd = "storescu -xy +sd -aec " + strAet + " 127.0.0.1 " +
                                   std::to_string(nPort) + " " + strDir + "files >/dev/null 2>&1";
        bOk = std::system(strCmd.c_str()) == 0;
    } else {
        CDcmTkStoreSCU scu;
        for (int i = 0; i < n; ++i) {
            scu.AddFile((strDir + "files/s" + std::to_string(i) + ".dcm").c_str());
        }
        scu.SetNoDelay(strMode != "nagle");
        bOk = scu.Send("127.0.0.1", nPort, "BENCH", strAet.c_str()) == CDcmTkStoreSCU::kAllStored;
        if (!bOk) {
            std::fprintf(stderr, "%s\n", scu.GetLastError().c_str());
        }
    }
    const double d = Seconds(t0);
    std::printf("  %-28s %5d files in %7.3f s = %8.1f instances/s%s\n", strMode.c_str(), n, d, n / d,
                bOk ? "" : "  (FAILED)");
    return bOk ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 7 && std::strcmp(argv[1], "--inner") == 0) {
        return Inner(argv);
    }
    const int n = argc > 1 ? std::atoi(argv[1]) : 1000;
    testsupport::CTempDir dir;
    platform::MakeDirs(dir / "files");
    for (int i = 0; i < n; ++i) {
        const std::string strFile = peerobjects::MakeSmall(dir / "files/", i);
        if (strFile.empty() || std::rename(strFile.c_str(), (dir / ("files/s" + std::to_string(i) + ".dcm")).c_str()) != 0) {
            std::fprintf(stderr, "cannot make the files\n");
            return 1;
        }
    }
    std::remove((dir / "files/small.jpg").c_str());
    const std::string strSelf = platform::ProgramPath();
    struct Run {
        const char* peer;
        const char* mode;
        const char* nodelay;
    } runs[] = {
        {"storescp", "OxuDcmStoreSCU", "1"}, {"storescp", "storescu", "1"},
        {"storescp", "nagle", "0"},         {"orthanc", "OxuDcmStoreSCU", "1"},
        {"orthanc", "storescu", "1"},
    };
    std::printf("%d files of %zu bytes, one association each run\n", n,
                testsupport::ReadFile(dir / "files/s0.dcm").size());
    int nStatus = 0;
    for (const Run& r : runs) {
        const bool bOrthanc = std::strcmp(r.peer, "orthanc") == 0;
        const std::string strPeerDir = dir / (std::string("peer_") + r.peer + r.mode);
        const std::string strCmd =
            std::string("PEER_TCP_NODELAY=") + r.nodelay + " " + DCMPEER_SH + " " + r.peer + " " +
            strPeerDir + (bOrthanc ? " 11120 18050 ORTHANC" : " 11120") + " -- " + strSelf + " --inner " +
            r.mode + " 11120 " + (bOrthanc ? "ORTHANC" : "STORESCP") + " " + dir.Path() + " " +
            std::to_string(n);
        std::printf("%s:\n", r.peer);
        std::fflush(stdout);
        if (std::system(strCmd.c_str()) != 0) {
            nStatus = 1;
        }
    }
    return nStatus;
}

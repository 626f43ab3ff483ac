// acqd: development harness of the acquisition server. Runs the listening socket and the
// record assembly (legacy, frame and packet devices) headless on a loopback address, port
// and working folder until SIGINT or SIGTERM, so that any client on this machine (the device
// simulator, a cart behind a local relay) can be tried against it. Stored records and files
// and, with --log, every protocol step go to standard output.
#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "acq_server/listensocket.h"
#include "acq_server/packetfilehandler.h"
#include "acq_server/stalefiles.h"

namespace {
int g_signalPipe[2] = {-1, -1};
void OnSignal(int) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}
// A whole decimal number within [nMin, nMax]; false for anything else.
bool Number(const char* psz, long nMin, long nMax, long& nValue) {
    char* pEnd = nullptr;
    errno = 0;
    nValue = std::strtol(psz, &pEnd, 10);
    return *psz != '\0' && *pEnd == '\0' && errno == 0 && nValue >= nMin && nValue <= nMax;
}
void Usage() {
    std::fprintf(stderr,
                 "usage: acqd --folder DIR [--port N] [--address LOOPBACK] [--folder-type 0|1|2]\n"
                 "            [--idle-ms N] [--log]\n");
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    CAcqContext context;
    quint16 nPort = CListenSocket::kDefaultPort;
    QString strAddress = "127.0.0.1";
    int nIdleMs = CListenSocket::kDefaultIdleMs;
    bool bLog = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool bHasValue = i + 1 < argc;
        long n = 0;
        if (a == "--folder" && bHasValue) {
            context.m_settings.m_strWorkingFolder = argv[++i];
        } else if (a == "--port" && bHasValue && Number(argv[i + 1], 0, 65535, n)) {
            nPort = static_cast<quint16>(n);
            ++i;
        } else if (a == "--address" && bHasValue) {
            strAddress = argv[++i];
        } else if (a == "--folder-type" && bHasValue && Number(argv[i + 1], 0, 2, n)) {
            context.m_settings.m_nFolderType = static_cast<int>(n);
            ++i;
        } else if (a == "--idle-ms" && bHasValue && Number(argv[i + 1], 1, INT_MAX, n)) {
            nIdleMs = static_cast<int>(n);
            ++i;
        } else if (a == "--log") {
            bLog = true;
        } else {
            Usage();
            return 2;
        }
    }
    // A development tool: it never listens beyond this machine.
    if (!QHostAddress(strAddress).isLoopback()) {
        std::fprintf(stderr, "acqd: only a loopback address may be given\n");
        return 2;
    }
    if (context.m_settings.m_strWorkingFolder.empty()) {
        Usage();
        return 2;
    }
    if (bLog)
        context.m_log = [](const CString& s) {
            std::printf("%s\n", s.c_str());
            std::fflush(stdout);
        };
    InstallPacketFileHandler(context);
    // What a killed run left half written.
    const std::size_t nStale = acq::RemoveStaleTempFiles(context.m_settings.m_strWorkingFolder,
                                                         context.m_log);
    if (nStale)
        std::printf("REMOVED %zu stale temporary files\n", nStale);
    context.m_onStored = [](const CStoredRecord& r) {
        std::printf("STORED kind=%d id=%s path=%s\n", r.m_nKind, r.m_strPatientID.c_str(),
                    r.m_strPath.c_str());
        std::fflush(stdout);
    };

    if (::pipe(g_signalPipe) != 0)
        return 1;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    CListenSocket listen(context);
    listen.SetIdlePeriod(nIdleMs);
    if (!listen.Listen(QHostAddress(strAddress), nPort)) {
        std::fprintf(stderr, "acqd: cannot listen on %s:%u\n", strAddress.toUtf8().constData(),
                     static_cast<unsigned>(nPort));
        return 1;
    }
    std::printf("LISTENING %s %u\n", strAddress.toUtf8().constData(),
                static_cast<unsigned>(listen.Port()));
    std::fflush(stdout);
    const int nResult = app.exec();
    listen.Close();
    return nResult;
}

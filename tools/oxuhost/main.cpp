// A minimal host of the server library: starts both servers and connects the database as
// "Oxu.ini" says, prints every callback as one line, connects the database (again) on
// SIGUSR1, and ends on SIGTERM or SIGINT (within seconds; records not yet in the database
// stay owed for the next start).
//   oxuhost [--no-db] [--send-flag N]
// Lines: "READY ecg=<port> file=<port> db=<0|1>", "ACCEPT <peer>", "CLOSE <peer>",
// "RECEIVE <peer> <type> <path>", "MESSAGE <text>", "DB <0|1>", "STOPPED".
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "server_lib/oxuservercom.h"

namespace {

std::mutex g_out;

void Say(const char* pszFormat, const char* a = "", const char* b = "", const char* c = "") {
    std::lock_guard<std::mutex> lock(g_out);
    std::printf(pszFormat, a, b, c);
    std::printf("\n");
    std::fflush(stdout);
}

class CPrinter : public COxuSocketCallback {
public:
    void OnAccept(LPCSTR peer) override { Say("ACCEPT %s", peer); }
    void OnClose(LPCSTR peer) override { Say("CLOSE %s", peer); }
    void OnReceive(LPCSTR peer, LPCSTR type, LPCSTR path) override {
        Say("RECEIVE %s %s %s", peer, type, path);
    }
    void MessageOut(LPCSTR text) override { Say("MESSAGE %s", text); }
};

}  // namespace

int main(int argc, char** argv) {
    bool bDb = true;
    int nSendFlag = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-db") == 0) {
            bDb = false;
        } else if (std::strcmp(argv[i], "--send-flag") == 0 && i + 1 < argc) {
            nSendFlag = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--no-db] [--send-flag N]\n", argv[0]);
            return 2;
        }
    }
    // The signals are taken by sigwait below, on this thread only.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    CPrinter printer;
    auto* pServer = new COxuServerCom;
    pServer->SetEcgServerCallback(&printer);
    pServer->SetFileServerCallback(&printer);
    pServer->EnableSendEkgToCorvaneServer(nSendFlag);
    int nDb = 0;
    if (bDb) {
        nDb = pServer->DbConnect();
        Say("MESSAGE %s", pServer->GetLastError());
    }
    if (!pServer->StartEcgServer() || !pServer->StartFileServer()) {
        Say("FAILED %s", pServer->GetLastError());
        delete pServer;
        return 1;
    }
    {
        std::lock_guard<std::mutex> lock(g_out);
        std::printf("READY ecg=%d file=%d db=%d\n", pServer->GetEcgPort(), pServer->GetFilePort(),
                    nDb);
        std::fflush(stdout);
    }
    for (int nSignal = 0; sigwait(&set, &nSignal) == 0 && nSignal == SIGUSR1;) {
        const int nConnected = pServer->DbConnect();
        Say("MESSAGE %s", pServer->GetLastError());
        Say(nConnected ? "DB 1" : "DB 0");
    }
    delete pServer;  // stops both servers; what is not yet worked stays owed on disk
    Say("STOPPED");
    return 0;
}

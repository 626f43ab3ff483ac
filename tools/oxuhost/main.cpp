// A minimal host of the server library: starts both servers and connects the database as
// "Oxu.ini" says, prints every callback as one line, and ends on SIGTERM or SIGINT (after
// the records received so far were worked).
//   oxuhost [--no-db] [--send-flag N]
// Lines: "READY ecg=<port> file=<port> db=<0|1>", "ACCEPT <peer>", "CLOSE <peer>",
// "RECEIVE <peer> <type> <path>", "MESSAGE <text>", "STOPPED".
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
    int nSignal = 0;
    sigwait(&set, &nSignal);
    delete pServer;  // stops both servers; the ECG server works what it received
    Say("STOPPED");
    return 0;
}

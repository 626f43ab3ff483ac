#include "acq_server/listensocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "acq_server/secretarysocket.h"
#include "platform/sockerr.h"

CListenSocket::CListenSocket(CAcqContext& context, QObject* pParent)
    : QObject(pParent), m_context(context) {
    connect(&m_server, &QTcpServer::newConnection, this, &CListenSocket::OnAccept);
    connect(&m_idleTimer, &QTimer::timeout, this, &CListenSocket::IdleSweep);
}

CListenSocket::~CListenSocket() {
    m_idleTimer.stop();
    RemoveAllClients();
}

bool CListenSocket::Listen(const QHostAddress& address, quint16 nPort) {
    bool bOk = false;
    const quint32 nAddress = address.toIPv4Address(&bOk);
    m_nLastError = 0;
    if (!bOk) {
        m_nLastError = platform::kWsaEaddrnotavail;
        return false;
    }
    // Our own socket, so that the backlog is the server's 5.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        m_nLastError = platform::WsaFromErrno(errno);
        return false;
    }
    const int nOn = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(nPort);
    sa.sin_addr.s_addr = htonl(nAddress);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(fd, kBacklog) != 0 || !m_server.setSocketDescriptor(fd)) {
        m_nLastError = errno != 0 ? platform::WsaFromErrno(errno) : platform::kWsaEinval;
        ::close(fd);
        return false;
    }
    m_idleTimer.start(m_nIdleMs);
    return true;
}

void CListenSocket::Close() {
    m_idleTimer.stop();
    m_server.close();
    RemoveAllClients();
}

void CListenSocket::SetIdlePeriod(int nMs) {
    m_nIdleMs = nMs > 0 ? nMs : kDefaultIdleMs;
    if (m_idleTimer.isActive())
        m_idleTimer.start(m_nIdleMs);
}

void CListenSocket::OnAccept() {
    while (QTcpSocket* pSocket = m_server.nextPendingConnection()) {
        auto pClient = std::make_unique<CSecretarySocket>(pSocket, *this, m_context);
        CSecretarySocket* pKey = pClient.get();
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_clients.emplace(pKey, std::move(pClient));
        }
        emit ClientAccepted();
    }
}

void CListenSocket::IdleSweep() {
    std::vector<CSecretarySocket*> aIdle;
    for (auto& [pKey, pClient] : m_clients) {
        if (pClient->IsIdle())
            aIdle.push_back(pKey);
        else
            pClient->SetIdle();
    }
    for (CSecretarySocket* p : aIdle)
        RemoveClient(p);
}

void CListenSocket::RemoveClient(CSecretarySocket* pClient) {
    std::unique_ptr<CSecretarySocket> pGone;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        auto it = m_clients.find(pClient);
        if (it == m_clients.end())
            return;
        pGone = std::move(it->second);
        m_clients.erase(it);
    }
    pGone->Shutdown();
    // The caller may be the connection's own notification: free it afterwards.
    pGone.release()->deleteLater();
    emit ClientRemoved();
}

void CListenSocket::RemoveAllClients() {
    std::map<CSecretarySocket*, std::unique_ptr<CSecretarySocket>> clients;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        clients.swap(m_clients);
    }
    for (auto& [pKey, pClient] : clients)
        pClient->Shutdown();
    // Destroyed here: no notification of theirs is running when the server stops.
}

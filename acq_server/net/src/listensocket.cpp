#include "acq_server/listensocket.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "acq_server/secretarysocket.h"
#include "platform/sockerr.h"

CListenSocket::CListenSocket(CAcqContext& context, QObject* pParent)
    : QObject(pParent), m_context(context) {
    m_commitPool.setMaxThreadCount(kCommitThreads);
    m_context.m_commit = CCommitRunner{this};
    connect(&m_idleTimer, &QTimer::timeout, this, &CListenSocket::IdleSweep);
    m_acceptRetry.setSingleShot(true);
    connect(&m_acceptRetry, &QTimer::timeout, this, &CListenSocket::ResumeAccept);
    // A descriptor freed by a connection that went may be the one a paused accept needs.
    connect(this, &CListenSocket::ClientRemoved, this, [this] {
        if (m_bAcceptPaused)
            QTimer::singleShot(0, this, &CListenSocket::ResumeAccept);
    });
}

void CListenSocket::CCommitRunner::operator()(std::function<bool()> work,
                                              std::function<void(bool)> done) const {
    CListenSocket* pOwner = m_pOwner;
    ++pOwner->m_nCommits;
    pOwner->m_commitPool.start([pOwner, work = std::move(work), done = std::move(done)]() mutable {
        const bool bOk = work();
        QMetaObject::invokeMethod(
            pOwner,
            [pOwner, done = std::move(done), bOk] {
                --pOwner->m_nCommits;
                done(bOk);
            },
            Qt::QueuedConnection);
    });
}

void CListenSocket::FinishCommits() {
    // Their ends run here and now: each record is kept and answered while its connection
    // is still open. What a connection held meanwhile may end another record: that one too.
    while (m_nCommits > 0) {
        m_commitPool.waitForDone();
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
}

CListenSocket::~CListenSocket() {
    Close();
    // A listener made to replace this one keeps its own runner.
    const auto* pRunner = m_context.m_commit.target<CCommitRunner>();
    if (pRunner && pRunner->m_pOwner == this)
        m_context.m_commit = nullptr;
}

bool CListenSocket::Listen(const QHostAddress& address, quint16 nPort) {
    Close();
    bool bOk = false;
    const quint32 nAddress = address.toIPv4Address(&bOk);
    if (!bOk) {
        m_nLastError = platform::kWsaEaddrnotavail;
        return false;
    }
    // Our own socket, so that the backlog is ours to choose: the largest the system has.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
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
    socklen_t nLength = sizeof sa;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(fd, SOMAXCONN) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &nLength) != 0) {
        m_nLastError = platform::WsaFromErrno(errno);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_nPort = ntohs(sa.sin_port);
    m_nLastError = 0;
    m_pNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_pNotifier.get(), &QSocketNotifier::activated, this, &CListenSocket::OnAccept);
    m_pNotifier->setEnabled(true);
    TakeReserve();
    m_idleTimer.start(m_nIdleMs);
    return true;
}

void CListenSocket::Close() {
    m_idleTimer.stop();
    m_acceptRetry.stop();
    m_bAcceptPaused = false;
    m_pNotifier.reset();
    ReleaseReserve();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_nPort = 0;
    // Nothing new is read from here on (no event is handled): what was received is finished
    // before the connections go.
    FinishCommits();
    RemoveAllClients();
}

void CListenSocket::SetIdlePeriod(int nMs) {
    m_nIdleMs = nMs > 0 ? nMs : kDefaultIdleMs;
    if (m_idleTimer.isActive())
        m_idleTimer.start(m_nIdleMs);
}

void CListenSocket::OnAccept() {
    // Every connection waiting in the queue is taken now: a queue left to overflow makes
    // carts wait on retries or be reset once the kernel falls back to SYN cookies.
    while (m_fd >= 0 && !m_bAcceptPaused) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            const int nErrno = errno;
            if (nErrno == EAGAIN || nErrno == EWOULDBLOCK)
                return;
            if (nErrno == EINTR || nErrno == ECONNABORTED || nErrno == EPROTO || nErrno == EPERM)
                continue;  // that one connection is gone; the next may be there
            // Out of descriptors or memory: the socket stays readable, so accepting on
            // would spin. Devices wait in the queue until a descriptor is free.
            PauseAccept(nErrno);
            return;
        }
        auto pSocket = std::make_unique<QTcpSocket>();
        if (!pSocket->setSocketDescriptor(fd)) {
            ::close(fd);
            continue;
        }
        auto pClient = std::make_unique<CSecretarySocket>(pSocket.release(), *this, m_context);
        CSecretarySocket* pKey = pClient.get();
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_clients.emplace(pKey, std::move(pClient));
        }
        emit ClientAccepted();
    }
}

bool CListenSocket::TakeReserve() {
    while (m_anReserve.size() < kReserveFds) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        m_anReserve.push_back(fd);
    }
    return true;
}

void CListenSocket::ReleaseReserve() {
    for (int fd : m_anReserve)
        ::close(fd);
    m_anReserve.clear();
}

void CListenSocket::PauseAccept(int nErrno) {
    // The reserve goes to the connections already here: a record that ends now still
    // finds the descriptors its file needs.
    ReleaseReserve();
    const bool bFirst = !m_bPauseLogged;
    m_bAcceptPaused = true;
    m_bPauseLogged = true;
    if (m_pNotifier)
        m_pNotifier->setEnabled(false);
    if (bFirst)
        m_context.Log(acq::Format("Accept paused: %s (%d), %zu connections", std::strerror(nErrno),
                                  platform::WsaFromErrno(nErrno), m_clients.size()));
    m_acceptRetry.start(kAcceptRetryMs);
}

void CListenSocket::ResumeAccept() {
    if (!m_bAcceptPaused || m_fd < 0)
        return;
    // Accepting resumes only when the reserve can be had again and one more descriptor is
    // free beyond it.
    const int fdProbe = TakeReserve() ? ::open("/dev/null", O_RDONLY | O_CLOEXEC) : -1;
    if (fdProbe < 0) {
        ReleaseReserve();
        m_acceptRetry.start(kAcceptRetryMs);
        return;
    }
    ::close(fdProbe);
    m_bAcceptPaused = false;
    m_acceptRetry.stop();
    OnAccept();
    if (m_bAcceptPaused)
        return;  // still no descriptor: paused again, without another log line
    m_bPauseLogged = false;
    m_context.Log("Accept resumed");
    if (m_pNotifier)
        m_pNotifier->setEnabled(true);
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

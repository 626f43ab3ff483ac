#include "acq_server/secretarysocket.h"

#include <set>

#include <QTimer>
#include <sys/socket.h>

#include "acq_server/listensocket.h"

CSecretarySocket::CSecretarySocket(QTcpSocket* pSocket, CListenSocket& owner, CAcqContext& context)
    : m_pSocket(pSocket),
      m_owner(owner),
      m_link(context, [this](const BYTE* p, std::size_t n) { return Send(p, n); }) {
    m_pSocket->setParent(this);
    // Bytes held while a record was put in place may refuse the connection later.
    m_link.SetCloseRequest([this] {
        if (m_bClosing)
            return;
        m_bClosing = true;
        if (m_pSocket)
            m_pSocket->flush();
        m_owner.RemoveClient(this);
    });
    connect(m_pSocket, &QTcpSocket::readyRead, this, &CSecretarySocket::OnReceive);
    connect(m_pSocket, &QTcpSocket::disconnected, this, &CSecretarySocket::OnClose);
    connect(m_pSocket, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError e) {
                if (e == QAbstractSocket::RemoteHostClosedError)
                    return;  // disconnected follows
                OnClose();
            });
}

CSecretarySocket::~CSecretarySocket() {
    Shutdown();
}

namespace {
std::set<QTcpSocket*>& LingeringSockets() {
    static std::set<QTcpSocket*> sockets;
    return sockets;
}
}  // namespace

void CSecretarySocket::CloseLingering() {
    std::set<QTcpSocket*> sockets;
    sockets.swap(LingeringSockets());
    for (QTcpSocket* p : sockets) {
        p->abort();
        delete p;
    }
}

std::size_t CSecretarySocket::LingeringCount() {
    return LingeringSockets().size();
}

void CSecretarySocket::Shutdown() {
    if (!m_pSocket)
        return;
    QTcpSocket* pSocket = m_pSocket;
    m_pSocket = nullptr;
    m_bClosing = true;
    pSocket->disconnect(this);
    pSocket->setParent(nullptr);
    if (pSocket->state() != QAbstractSocket::ConnectedState) {
        pSocket->abort();
        pSocket->deleteLater();
        return;
    }
    // Lingering close: the replies already queued (a refusal) are sent, then our side is
    // shut, and whatever the device still sends is read and dropped until it closes too.
    // Closing at once with its bytes unread would reset the connection, and a reset can
    // destroy the refusal before the device reads it.
    LingeringSockets().insert(pSocket);
    QObject::connect(pSocket, &QObject::destroyed,
                     [pSocket] { LingeringSockets().erase(pSocket); });
    QObject::connect(pSocket, &QTcpSocket::readyRead, pSocket, [pSocket] { pSocket->readAll(); });
    QObject::connect(pSocket, &QTcpSocket::disconnected, pSocket, &QObject::deleteLater);
    QObject::connect(pSocket, &QAbstractSocket::errorOccurred, pSocket, [pSocket] {
        pSocket->abort();
        pSocket->deleteLater();
    });
    auto shutWrite = [pSocket] {
        if (pSocket->bytesToWrite() == 0 && pSocket->socketDescriptor() >= 0)
            ::shutdown(static_cast<int>(pSocket->socketDescriptor()), SHUT_WR);
    };
    QObject::connect(pSocket, &QTcpSocket::bytesWritten, pSocket, shutWrite);
    pSocket->flush();
    shutWrite();
    pSocket->readAll();
    QTimer::singleShot(kLingerMs, pSocket, [pSocket] {
        pSocket->abort();
        pSocket->deleteLater();
    });
}

BOOL CSecretarySocket::Send(const BYTE* p, std::size_t n) {
    if (!m_pSocket || n == 0)
        return FALSE;
    if (m_pSocket->write(reinterpret_cast<const char*>(p), static_cast<qint64>(n)) !=
        static_cast<qint64>(n))
        return FALSE;
    // On the wire now, not after every other ready connection's record was handled.
    m_pSocket->flush();
    return TRUE;
}

void CSecretarySocket::OnReceive() {
    char buffer[acq::kReceiveBuffer];
    while (m_pSocket && !m_bClosing) {
        const qint64 nRead = m_pSocket->read(buffer, sizeof buffer);
        if (nRead <= 0)
            break;
        if (!m_link.OnReceive(reinterpret_cast<const BYTE*>(buffer),
                              static_cast<std::size_t>(nRead))) {
            // Refused frame: the refusal is queued; the connection goes.
            m_bClosing = true;
            m_pSocket->flush();
            m_owner.RemoveClient(this);
            return;
        }
    }
}

void CSecretarySocket::OnClose() {
    if (m_bClosing)
        return;
    m_bClosing = true;
    // Take whatever arrived with the close before the connection goes.
    if (m_pSocket && m_pSocket->bytesAvailable() > 0) {
        m_bClosing = false;
        OnReceive();
        m_bClosing = true;
    }
    m_owner.RemoveClient(this);
}

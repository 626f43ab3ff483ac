#include "acq_server/secretarysocket.h"

#include <QTimer>

#include "acq_server/listensocket.h"

CSecretarySocket::CSecretarySocket(QTcpSocket* pSocket, CListenSocket& owner, CAcqContext& context)
    : m_pSocket(pSocket),
      m_owner(owner),
      m_link(context, [this](const BYTE* p, std::size_t n) { return Send(p, n); }) {
    m_pSocket->setParent(this);
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

void CSecretarySocket::Shutdown() {
    if (!m_pSocket)
        return;
    QTcpSocket* pSocket = m_pSocket;
    m_pSocket = nullptr;
    m_bClosing = true;
    pSocket->disconnect(this);
    pSocket->setParent(nullptr);
    // Replies already queued (a refusal before the close) still reach the device.
    QObject::connect(pSocket, &QTcpSocket::disconnected, pSocket, &QObject::deleteLater);
    QTimer::singleShot(5000, pSocket, [pSocket] {
        pSocket->abort();
        pSocket->deleteLater();
    });
    pSocket->disconnectFromHost();
    if (pSocket->state() == QAbstractSocket::UnconnectedState)
        pSocket->deleteLater();
}

BOOL CSecretarySocket::Send(const BYTE* p, std::size_t n) {
    if (!m_pSocket || n == 0)
        return FALSE;
    return m_pSocket->write(reinterpret_cast<const char*>(p), static_cast<qint64>(n)) ==
           static_cast<qint64>(n);
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

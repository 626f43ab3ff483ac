#include "oxuutil/singleinstanceserver.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QVariant>
#include <sys/stat.h>

#include "oxuutil/singleinstancelock.h"

namespace {
DWORD ReadLE32(const QByteArray& buf, int nAt) {
    DWORD v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(buf[nAt + i]);
    return v;
}
// Frames longer than this are a misbehaving peer: the connection is dropped.
constexpr DWORD kMaxFrame = 64 * 1024;
}  // namespace

CSingleInstanceServer::CSingleInstanceServer(QObject* pParent) : QObject(pParent) {}

CSingleInstanceServer::~CSingleInstanceServer() {
    Close();
}

bool CSingleInstanceServer::Listen(LPCSTR lpszLockName, Handler handler) {
    Close();
    m_handler = std::move(handler);
    const QString strPath = QString::fromLocal8Bit(CSingleInstanceLock::ChannelPath(lpszLockName));
    QLocalServer::removeServer(strPath);
    m_pServer = new QLocalServer(this);
    m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_pServer->listen(strPath)) {
        delete m_pServer;
        m_pServer = nullptr;
        return false;
    }
    chmod(strPath.toLocal8Bit().constData(), 0600);
    connect(m_pServer, &QLocalServer::newConnection, this, [this] { OnConnection(); });
    return true;
}

void CSingleInstanceServer::Close() {
    if (m_pServer) {
        const QString strPath = m_pServer->fullServerName();
        m_pServer->close();
        delete m_pServer;
        m_pServer = nullptr;
        QLocalServer::removeServer(strPath);
    }
}

void CSingleInstanceServer::OnConnection() {
    // A frame read here may reach a callback that ends the server.
    const QPointer<CSingleInstanceServer> pSelf(this);
    while (QLocalSocket* pSocket =
               pSelf && m_pServer ? m_pServer->nextPendingConnection() : nullptr) {
        connect(pSocket, &QLocalSocket::readyRead, this, [this, pSocket] { OnReadable(pSocket); });
        connect(pSocket, &QLocalSocket::disconnected, pSocket, &QObject::deleteLater);
        if (pSocket->bytesAvailable() > 0)
            OnReadable(pSocket);
    }
}

void CSingleInstanceServer::OnReadable(QLocalSocket* pSocket) {
    QByteArray buf = pSocket->property("corvane_buf").toByteArray();
    buf += pSocket->readAll();
    bool bBad = false;
    while (buf.size() >= 8) {
        const DWORD dwCode = ReadLE32(buf, 0);
        const DWORD dwLen = ReadLE32(buf, 4);
        if (dwLen > kMaxFrame) {
            bBad = true;
            break;
        }
        if (static_cast<DWORD>(buf.size()) < 8 + dwLen)
            break;
        QByteArray text = buf.mid(8, static_cast<int>(dwLen));
        buf.remove(0, static_cast<int>(8 + dwLen));
        if (text.size() <= static_cast<int>(kMaxText))
            m_pending.emplace_back(dwCode, std::move(text));
    }
    // The socket is done with before anyone is called: the callback's event loop may see the
    // peer hang up and the socket deleted.
    if (bBad) {
        pSocket->setProperty("corvane_buf", QByteArray());
        pSocket->abort();
    } else {
        pSocket->setProperty("corvane_buf", buf);
    }
    Deliver();
}

void CSingleInstanceServer::Deliver() {
    // A frame read inside a callback's event loop joins the queue behind those not yet
    // handed over, and that loop's own call hands them over in order.
    const QPointer<CSingleInstanceServer> pSelf(this);
    while (pSelf && !m_pending.empty()) {
        const auto [dwCode, text] = std::move(m_pending.front());
        m_pending.pop_front();
        // A copy: the callback may listen anew or end the server.
        const Handler handler = m_handler;
        if (handler)
            handler(dwCode, CString(text.constData(), static_cast<std::size_t>(text.size())));
    }
}

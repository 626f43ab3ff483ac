#pragma once
// The first instance's end of the forwarding channel: a local socket server beside the
// lock. Each connection carries frames of code, length (32 bits each, little-endian) and
// that many bytes; every complete frame is handed to the callback. A text longer than
// the receiver's 1,023 bytes is dropped whole (a cut path would name another file).
// The callback may run an event loop of its own (a message box): frames are taken off
// their connection before it is called, so a peer that hangs up meanwhile loses none, and
// frames that arrive meanwhile are handed over in the order they came.
#include <QByteArray>
#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <utility>

#include "platform/wintypes.h"

class QLocalServer;
class QLocalSocket;

class CSingleInstanceServer : public QObject {
public:
    static constexpr std::size_t kMaxText = 1023;
    using Handler = std::function<void(DWORD dwCode, const CString& strText)>;

    explicit CSingleInstanceServer(QObject* pParent = nullptr);
    ~CSingleInstanceServer() override;

    // Listens on the channel of the lock with this name; call only while holding the lock
    // (a socket file left by a killed holder is removed first).
    bool Listen(LPCSTR lpszLockName, Handler handler);
    void Close();

private:
    void OnConnection();
    void OnReadable(QLocalSocket* pSocket);
    void Deliver();

    QLocalServer* m_pServer = nullptr;
    Handler m_handler;
    std::deque<std::pair<DWORD, QByteArray>> m_pending;
};

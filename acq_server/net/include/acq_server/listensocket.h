#pragma once
// The server's listening socket and its connections, on the user-interface thread: one
// CSecretarySocket per accepted device, kept in the client map that this object owns,
// and the idle timer that drops a device after a whole idle period.
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <map>
#include <memory>
#include <mutex>

#include "acq_server/acqcontext.h"

class CSecretarySocket;

class CListenSocket : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 2003;
    static constexpr int kBacklog = 5;
    static constexpr int kDefaultIdleMs = 60000;

    explicit CListenSocket(CAcqContext& context, QObject* pParent = nullptr);
    ~CListenSocket() override;

    // Listens on the IPv4 address and port (0 = any free port) with a backlog of 5 and
    // starts the idle timer; false when the socket cannot be had.
    bool Listen(const QHostAddress& address, quint16 nPort = kDefaultPort);
    quint16 Port() const { return m_server.serverPort(); }
    bool IsListening() const { return m_server.isListening(); }
    // Windows Sockets number of the last failed Listen (10048: address in use); 0 after
    // a successful one.
    int LastError() const { return m_nLastError; }
    // For a host that runs the idle sweep from a timer of its own.
    void StopIdleTimer() { m_idleTimer.stop(); }
    // Stops listening and removes every connection.
    void Close();

    void SetIdlePeriod(int nMs);
    int IdlePeriod() const { return m_nIdleMs; }
    // One visit of the idle timer: drops connections that received nothing since the
    // last visit and marks the others.
    void IdleSweep();

    // Removes, closes and deletes a connection that is in the map; others are left alone.
    void RemoveClient(CSecretarySocket* pClient);
    // Deletes every connection at once: not to be called from a connection's own
    // notification.
    void RemoveAllClients();
    std::size_t ClientCount() const { return m_clients.size(); }
    bool HasClient(CSecretarySocket* pClient) const { return m_clients.count(pClient) != 0; }

signals:
    void ClientAccepted();
    void ClientRemoved();

private slots:
    void OnAccept();

private:
    CAcqContext& m_context;
    QTcpServer m_server;
    std::mutex m_lock;  // guards the client map
    std::map<CSecretarySocket*, std::unique_ptr<CSecretarySocket>> m_clients;
    QTimer m_idleTimer;
    int m_nIdleMs = kDefaultIdleMs;
    int m_nLastError = 0;
};

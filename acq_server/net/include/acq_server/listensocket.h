#pragma once
// The server's listening socket and its connections, on the user-interface thread: one
// CSecretarySocket per accepted device, kept in the client map that this object owns,
// and the idle timer that drops a device after a whole idle period.
//
// Carts connect together: the socket listens with the system's largest backlog and each
// notification accepts until the queue is empty. At the open-file limit accepting pauses
// (logged once; the waiting devices stay queued in the kernel) and resumes when a
// connection goes or a short retry finds a descriptor free, so the listener never spins.
// The last step of each record file (sync and rename) runs on a few threads of its own,
// so that the records of many carts are synced together; its end comes back to this
// thread, where the record is kept and its device answered. Closing finishes those first.
#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "acq_server/acqcontext.h"

class CSecretarySocket;

class CListenSocket : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 2003;
    static constexpr int kDefaultIdleMs = 60000;
    // Retry of a paused accept while no connection has gone.
    static constexpr int kAcceptRetryMs = 250;
    // Descriptors held back while accepting, freed for the connections at the limit.
    static constexpr std::size_t kReserveFds = 4;
    // Record files synced at the same time.
    static constexpr int kCommitThreads = 8;

    explicit CListenSocket(CAcqContext& context, QObject* pParent = nullptr);
    ~CListenSocket() override;

    // Listens on the IPv4 address and port (0 = any free port) and starts the idle timer;
    // false when the socket cannot be had (LastError() then gives its Windows Sockets
    // number, 10048 for a port in use).
    bool Listen(const QHostAddress& address, quint16 nPort = kDefaultPort);
    quint16 Port() const { return m_nPort; }
    bool IsListening() const { return m_fd >= 0; }
    int LastError() const { return m_nLastError; }
    // Accepting is paused at the open-file limit.
    bool IsAcceptPaused() const { return m_bAcceptPaused; }
    // For a host that runs the idle sweep from a timer of its own.
    void StopIdleTimer() { m_idleTimer.stop(); }
    // Stops listening and removes every connection, once the records already received are
    // finished: their files put in place, kept and answered.
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
    // The context's commit runner: the work on the pool, its end back on this thread.
    struct CCommitRunner {
        CListenSocket* m_pOwner;
        void operator()(std::function<bool()> work, std::function<void(bool)> done) const;
    };

    void FinishCommits();
    void PauseAccept(int nErrno);
    void ResumeAccept();
    bool TakeReserve();
    void ReleaseReserve();

    CAcqContext& m_context;
    int m_fd = -1;
    quint16 m_nPort = 0;
    int m_nLastError = 0;
    std::unique_ptr<QSocketNotifier> m_pNotifier;
    bool m_bAcceptPaused = false;
    bool m_bPauseLogged = false;
    std::vector<int> m_anReserve;
    QThreadPool m_commitPool;
    int m_nCommits = 0;  // record files being put in place
    QTimer m_acceptRetry;
    std::mutex m_lock;  // guards the client map
    std::map<CSecretarySocket*, std::unique_ptr<CSecretarySocket>> m_clients;
    QTimer m_idleTimer;
    int m_nIdleMs = kDefaultIdleMs;
};

#pragma once
// One device connection: reads the device's bytes in chunks of at most 8192, hands them
// to the connection's protocol core and sends what the core answers.
#include <QObject>
#include <QTcpSocket>

#include "acq_server/devicelink.h"

class CListenSocket;

class CSecretarySocket : public QObject {
    Q_OBJECT
public:
    // Longest wait for a closed device to close its side too.
    static constexpr int kLingerMs = 5000;

    CSecretarySocket(QTcpSocket* pSocket, CListenSocket& owner, CAcqContext& context);
    ~CSecretarySocket() override;

    CDeviceLink& Link() { return m_link; }
    BOOL IsIdle() const { return m_link.m_bIdle; }
    void SetIdle() { m_link.m_bIdle = TRUE; }
    // Lets the socket finish sending what is queued, then closes and frees it (at the
    // latest after kLingerMs); the connection object itself no longer owns it.
    void Shutdown();
    // Closes and frees the sockets still lingering after Shutdown: for a host that ends
    // while devices are connected (nothing is left behind at exit).
    static void CloseLingering();
    static std::size_t LingeringCount();

private slots:
    void OnReceive();
    void OnClose();

private:
    BOOL Send(const BYTE* p, std::size_t n);

    QTcpSocket* m_pSocket;
    CListenSocket& m_owner;
    CDeviceLink m_link;
    bool m_bClosing = false;
};

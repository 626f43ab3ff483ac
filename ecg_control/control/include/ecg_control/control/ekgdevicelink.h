#pragma once
// The link to a networked cart: the TCP stream socket (commands, record stream) and the
// UDP monitor socket (live datagrams), the connect time-out and the stall check.
//
// The view window owns the link and the view mode; the link reaches the view only through
// IEkgLinkOwner. Everything runs on the UI thread. Sockets are closed at once and deleted
// by deleteLater, so a notification handler never loses its socket under it.
#include <QObject>
#include <QTimer>
#include <array>

#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "ecg_control/link/ekgstream.h"
#include "platform/wintypes.h"

class QTcpSocket;
class QUdpSocket;

class IEkgLinkOwner {
public:
    virtual ~IEkgLinkOwner() = default;
    virtual short LinkMode() const = 0;
    virtual void SetLinkMode(short nMode) = 0;
    virtual void LinkInnerGrid(BOOL bOn) = 0;
    virtual void LinkSweep(int nItem) = 0;
    virtual void LinkStatusText(const CString& strText) = 0;
    // The cart closed the stream (or the end of the record arrived); the view ends the
    // monitoring or the recording. Called from inside a socket handler: act later.
    virtual void LinkMonitorDropped() = 0;
    virtual void LinkRecordDropped() = 0;
    virtual void LinkRecordEnded() = 0;
    virtual void LinkSignalNotGood() = 0;  // monitoring flagged the signal bad
    virtual void FireConnected(short nError, short nMode) = 0;
    virtual void FireReceiving(float fPercent) = 0;
    virtual void FireLeadFault(short nLead) = 0;
};

class CEkgDeviceLink : public QObject {
public:
    enum : int { kClosed = 0, kConnecting = 1, kConnected = 2 };
    // Sample buffers of the two kinds of link.
    static constexpr UINT kMonitorSamples = 1000;
    static constexpr UINT kRecordSamples = 5000;
    static constexpr int kSweepItems = 200;
    static constexpr int kStallLimit = 999;

    CEkgDeviceLink(IEkgLinkOwner& owner, CWaveBuffer& wave, CEkgRecordInfo& info);
    ~CEkgDeviceLink() override;

    // Closes any link and starts connecting to the cart; FALSE when no socket can be had.
    BOOL ConnectDevice(const CString& strIp, int nTimeoutMs);
    // Both sockets closed (deleted later), link state 0, the connect timer stopped.
    void CloseLink();
    // Three bytes [kind][action][0]; FALSE on a socket error or without a connected link.
    BOOL SendDeviceCommand(int nKind, int nAction);

    // A new attempt: counts to 0, stall history 1, 2, 3, no carry-over.
    void ResetCounts();
    // The attempt has had its one outcome: the stall check stays quiet until the next.
    void EndAttempt() { m_bAttempt = FALSE; }
    // One tick of the window's timers: the stall check.
    void OnTimerTick();

    int LinkState() const { return m_nLinkState; }
    int ItemCount() const { return m_parser.ItemCount(); }   // recording items
    int SweepPosition() const { return m_nSweep; }         // monitoring 0..199
    int ReceivedItems() const { return m_nReceived; }      // what the stall check counts
    BOOL InAttempt() const { return m_bAttempt; }

    // Test entry points: what the socket notifications do.
    void OnLinkConnected(int nError);
    void OnStreamData(const BYTE* pData, std::size_t nLength);
    void OnStreamClosed();
    void OnMonitorDatagram(const BYTE* pData, std::size_t nLength);

private:
    void StartMonitoringLink();
    void StartRecordingLink();
    void ReadStream();
    void ReadDatagrams();
    void OnConnectTimeout();
    void FailAttempt(short nError);

    IEkgLinkOwner& m_owner;
    CWaveBuffer& m_wave;
    CEkgRecordInfo& m_info;
    ekglink::CEkgStreamParser m_parser;
    QTcpSocket* m_pStream = nullptr;
    QUdpSocket* m_pMonitor = nullptr;
    QTimer m_connectTimer;
    int m_nLinkState = kClosed;
    int m_nSweep = 0;
    int m_nReceived = 0;
    std::array<int, 3> m_anStall{1, 2, 3};
    BOOL m_bAttempt = FALSE;
};

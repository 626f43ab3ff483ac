#include "ecg_control/control/ekgdevicelink.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QUdpSocket>

#include "ecg_control/control/ekggraphwnd.h"
#include "ecg_control/link/linksettings.h"
#include "ecg_control/link/monitordatagram.h"
#include "platform/sockerr.h"

namespace {
constexpr std::size_t kStreamWindow = 4096;
constexpr BYTE kTagSamples = 0x03;
}  // namespace

CEkgDeviceLink::CEkgDeviceLink(IEkgLinkOwner& owner, CWaveBuffer& wave, CEkgRecordInfo& info)
    : m_owner(owner),
      m_wave(wave),
      m_info(info),
      m_parser(wave, info,
               {[this](float fPercent) { m_owner.FireReceiving(fPercent); },
                [this](BYTE byTag) {
                    // The end of the record: the values go into the information block,
                    // and completion runs once this handler has returned.
                    m_connectTimer.stop();
                    m_owner.SetLinkMode(CEkgGraphWnd::kModeRecordEnded);
                    if (byTag == kTagSamples) {
                        m_info.Serialize(TRUE);
                    } else {
                        m_info.AllocBlock(FALSE);
                        m_info.Serialize(FALSE);
                    }
                    EndAttempt();
                    m_owner.LinkRecordEnded();
                }}) {
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        OnConnectTimeout();
        OnTimerTick();
    });
}

CEkgDeviceLink::~CEkgDeviceLink() {
    CloseLink();
}

void CEkgDeviceLink::ResetCounts() {
    m_parser.Reset();
    m_nSweep = 0;
    m_nReceived = 0;
    m_anStall = {1, 2, 3};
}

BOOL CEkgDeviceLink::ConnectDevice(const CString& strIp, int nTimeoutMs) {
    CloseLink();
    m_pStream = new QTcpSocket(this);
    QTcpSocket* pSocket = m_pStream;
    connect(pSocket, &QTcpSocket::connected, this, [this] { OnLinkConnected(0); });
    connect(pSocket, &QTcpSocket::errorOccurred, this, [this, pSocket](QAbstractSocket::SocketError e) {
        if (m_nLinkState == kConnecting && pSocket == m_pStream) {
            OnLinkConnected(platform::WsaFromQtSocketError(static_cast<int>(e)));
        }
    });
    connect(pSocket, &QTcpSocket::readyRead, this, [this] { ReadStream(); });
    connect(pSocket, &QTcpSocket::disconnected, this, [this] { OnStreamClosed(); });
    m_nLinkState = kConnecting;
    m_bAttempt = TRUE;
    const QHostAddress address(QString::fromStdString(strIp));
    if (address.isNull() || address.protocol() != QAbstractSocket::IPv4Protocol) {
        // Only address texts: a name would be looked up on the network.
        QTimer::singleShot(0, this, [this, pSocket] {
            if (pSocket == m_pStream && m_nLinkState == kConnecting) {
                OnLinkConnected(platform::kWsaHostNotFound);
            }
        });
    } else {
        pSocket->connectToHost(address, static_cast<quint16>(ekglink::CLinkSettings::Current().nDevicePort));
    }
    if (nTimeoutMs >= 1000) {
        m_connectTimer.start(nTimeoutMs);
    }
    return TRUE;
}

void CEkgDeviceLink::CloseLink() {
    m_connectTimer.stop();
    if (m_pStream) {
        m_pStream->disconnect(this);
        // What the cart sent and nobody read would turn the close into a reset, and a reset
        // drops a last command (stop, cancel) that has not reached the cart yet.
        m_pStream->flush();
        while (m_pStream->bytesAvailable() > 0 || m_pStream->waitForReadyRead(0)) {
            m_pStream->readAll();
        }
        m_pStream->close();
        m_pStream->deleteLater();
        m_pStream = nullptr;
    }
    if (m_pMonitor) {
        m_pMonitor->disconnect(this);
        m_pMonitor->abort();
        m_pMonitor->deleteLater();
        m_pMonitor = nullptr;
    }
    m_nLinkState = kClosed;
}

BOOL CEkgDeviceLink::SendDeviceCommand(int nKind, int nAction) {
    if (nKind == 0xFF || !m_pStream || m_pStream->state() != QAbstractSocket::ConnectedState) {
        return FALSE;
    }
    const char command[3] = {static_cast<char>(nKind), static_cast<char>(nAction), 0};
    qint64 nSent = 0;
    while (nSent < 3) {
        const qint64 n = m_pStream->write(command + nSent, 3 - nSent);
        if (n < 0) return FALSE;
        nSent += n;
    }
    m_pStream->flush();
    return TRUE;
}

void CEkgDeviceLink::OnLinkConnected(int nError) {
    m_anStall = {1, 2, 3};
    const short nMode = m_owner.LinkMode();
    if (nError != 0) {
        m_connectTimer.stop();
        m_nLinkState = kClosed;
        if (nMode == CEkgGraphWnd::kModeMonitorConnect) m_owner.LinkInnerGrid(TRUE);
        EndAttempt();
        m_owner.FireConnected(static_cast<short>(nError), -1);
        return;
    }
    m_nLinkState = kConnected;
    if (nMode == CEkgGraphWnd::kModeMonitorConnect) {
        StartMonitoringLink();
        if (m_nLinkState == kConnected) m_owner.FireConnected(0, 1);
    } else if (nMode == CEkgGraphWnd::kModeRecordConnect) {
        StartRecordingLink();
        if (m_nLinkState == kConnected) m_owner.FireConnected(0, 2);
    } else if (nMode == CEkgGraphWnd::kModeAnalysisConnect) {
        m_owner.FireConnected(0, 3);
    }
}

void CEkgDeviceLink::StartMonitoringLink() {
    m_wave.CreateLeads(kMonitorSamples, 2);
    m_pMonitor = new QUdpSocket(this);
    connect(m_pMonitor, &QUdpSocket::readyRead, this, [this] { ReadDatagrams(); });
    const bool bBound = m_pMonitor->bind(QHostAddress::AnyIPv4,
                                         static_cast<quint16>(ekglink::CLinkSettings::Current().nMonitorPort));
    // Unbound, nothing more happens: the stall check ends the attempt.
    if (bBound && !SendDeviceCommand(0, 0)) {
        m_owner.LinkMonitorDropped();
    }
}

void CEkgDeviceLink::StartRecordingLink() {
    m_wave.CreateLeads(kRecordSamples, 2);
    m_info.AllocBlock(FALSE);
    if (!SendDeviceCommand(1, 0)) {
        m_owner.LinkRecordDropped();
    }
}

void CEkgDeviceLink::ReadStream() {
    if (!m_pStream || m_nLinkState != kConnected) return;
    std::array<BYTE, kStreamWindow> window;
    while (m_pStream && m_nLinkState == kConnected && !m_parser.Ended() && m_pStream->bytesAvailable() > 0) {
        const std::size_t nRoom = kStreamWindow - std::min(m_parser.CarryOver(), kStreamWindow - 1);
        const qint64 n = m_pStream->read(reinterpret_cast<char*>(window.data()), static_cast<qint64>(nRoom));
        if (n <= 0) return;
        OnStreamData(window.data(), static_cast<std::size_t>(n));
    }
}

void CEkgDeviceLink::OnStreamData(const BYTE* pData, std::size_t nLength) {
    m_parser.Feed(pData, nLength);
    m_nReceived = m_parser.ItemCount();
    if (m_owner.LinkMode() == CEkgGraphWnd::kModeRecordConnect && m_parser.ItemCount() > 0) {
        m_owner.SetLinkMode(CEkgGraphWnd::kModeRecordData);
    }
}

void CEkgDeviceLink::OnStreamClosed() {
    ReadStream();  // what arrived before the close
    const BOOL bWasConnected = m_nLinkState == kConnected;
    m_nLinkState = kClosed;
    if (!bWasConnected) return;
    const short nMode = m_owner.LinkMode();
    // Also once data flows (mode 3): a monitoring link the cart dropped must not go unnoticed.
    if (nMode == CEkgGraphWnd::kModeMonitorConnect || nMode == CEkgGraphWnd::kModeMonitorData) {
        m_owner.LinkMonitorDropped();
    } else if (nMode == CEkgGraphWnd::kModeRecordConnect || nMode == CEkgGraphWnd::kModeRecordData) {
        m_owner.LinkRecordDropped();
    }
}

void CEkgDeviceLink::ReadDatagrams() {
    std::array<BYTE, ekglink::kMaxDatagram> buffer;
    while (m_pMonitor && m_pMonitor->hasPendingDatagrams()) {
        const qint64 n = m_pMonitor->readDatagram(reinterpret_cast<char*>(buffer.data()),
                                                  static_cast<qint64>(buffer.size()));
        if (n < 0) continue;
        if (m_nLinkState != kConnected) continue;
        if (n == 0) {
            m_owner.LinkMonitorDropped();
            return;
        }
        OnMonitorDatagram(buffer.data(), static_cast<std::size_t>(n));
    }
}

void CEkgDeviceLink::OnMonitorDatagram(const BYTE* pData, std::size_t nLength) {
    if (m_owner.LinkMode() == CEkgGraphWnd::kModeMonitorConnect) {
        m_owner.SetLinkMode(CEkgGraphWnd::kModeMonitorData);
    }
    const ekglink::CMonitorDatagram dg = ekglink::ParseMonitorDatagram(pData, nLength);
    if (dg.kind == ekglink::CMonitorDatagram::kIgnored) return;
    ++m_nReceived;
    if (dg.SignalNotGood()) {
        m_owner.LinkSignalNotGood();
        return;
    }
    ekglink::StoreSampleSets(m_wave, m_nSweep, dg.aSets);
    if (dg.kind == ekglink::CMonitorDatagram::kSamplesAndFlags) {
        const ekglink::CLeadFault fault = ekglink::CheckLeadFault(dg.byFlags1, dg.byFlags2);
        m_owner.LinkStatusText(fault.strText);
        for (short nLead : fault.events) m_owner.FireLeadFault(nLead);
        if (!fault.bFault) {
            const DWORD c = static_cast<DWORD>(m_nSweep) * ekglink::kSetsPerItem;
            m_wave.RemoveMarks(c, c + 30);
            for (int i = 0; i < ekglink::kSetsPerItem; ++i) {
                if (dg.byFlags2 & (1 << i)) m_wave.AddMark(c + static_cast<DWORD>(i));
            }
        }
    }
    m_owner.LinkSweep(m_nSweep);
    if (++m_nSweep >= kSweepItems) m_nSweep = 0;
}

void CEkgDeviceLink::OnConnectTimeout() {
    m_connectTimer.stop();
    const short nMode = m_owner.LinkMode();
    if (nMode == CEkgGraphWnd::kModeMonitorConnect || nMode == CEkgGraphWnd::kModeRecordConnect ||
        nMode == CEkgGraphWnd::kModeAnalysisConnect) {
        FailAttempt(platform::kWsaEtimedout);
    }
}

// The stall check counts what arrived (not the sweep position, which repeats every 200
// datagrams), and only while an attempt waits for its outcome.
void CEkgDeviceLink::OnTimerTick() {
    m_anStall[0] = m_anStall[1];
    m_anStall[1] = m_anStall[2];
    m_anStall[2] = m_nReceived;
    if (m_bAttempt && m_anStall[2] == m_anStall[0]) {
        FailAttempt(platform::kWsaEtimedout);
    }
}

void CEkgDeviceLink::FailAttempt(short nError) {
    const short nMode = m_owner.LinkMode();
    CloseLink();
    if (nMode == CEkgGraphWnd::kModeMonitorConnect || nMode == CEkgGraphWnd::kModeMonitorData) {
        m_owner.LinkInnerGrid(TRUE);
    }
    m_owner.SetLinkMode(CEkgGraphWnd::kModeNone);
    EndAttempt();
    m_owner.FireConnected(nError, -1);
}

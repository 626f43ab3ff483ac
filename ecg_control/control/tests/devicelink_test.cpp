// The device link inside the control, against a cart played by the test on 127.0.0.1 with
// Qt sockets; the window's timer ticks are driven by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ecg_control/control/wavelinctrl.h"
#include "ecg_control/link/ekgfinder.h"
#include "ecg_control/link/linksettings.h"
#include "ecg_control/wavelin_dispids.h"
#include "platform/msgpump.h"
#include "platform/qtmsgpump.h"

using platform::Variant;

namespace {

class CEventLog : public platform::IEventSink {
public:
    void OnEvent(platform::DISPID id, const std::vector<Variant>& args) override {
        std::string line = std::to_string(id);
        for (const Variant& v : args) line += "," + v.Display();
        events.push_back(line);
    }
    int Count(const std::string& prefix) const {
        int n = 0;
        for (const std::string& e : events) n += e.rfind(prefix, 0) == 0;
        return n;
    }
    std::vector<std::string> events;
};

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

template <typename Pred>
bool PumpUntil(Pred pred, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return pred();
}

class DeviceLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = ekglink::CLinkSettings::Current();
        ASSERT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        QUdpSocket probe;
        ASSERT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
        auto& s = ekglink::CLinkSettings::Current();
        s.nDevicePort = m_server.serverPort();
        s.nMonitorPort = probe.localPort();
        s.nStatusMs = 1000000;  // ticks come from the test
        probe.close();
        m_host.resize(700, 500);
        m_pCtrl = std::make_unique<CWavelinCtrl>(&m_host);
        m_pCtrl->Widget()->resize(700, 500);
        m_pCtrl->SetEventSink(&m_log);
        m_host.show();
    }
    void TearDown() override {
        m_pCtrl->SetEventSink(nullptr);
        m_pCtrl.reset();
        ekglink::CLinkSettings::Current() = m_saved;
    }
    CEkgGraphWnd& View() { return m_pCtrl->View(); }

    // Starts monitoring and accepts the link; the cart's end of it.
    QTcpSocket* StartMonitoring() {
        EXPECT_TRUE(View().EKGStartMonitoring("127.0.0.1", 1000));
        EXPECT_TRUE(PumpUntil([&] { return m_server.hasPendingConnections(); }));
        QTcpSocket* cart = m_server.nextPendingConnection();
        EXPECT_TRUE(PumpUntil([&] { return cart && cart->bytesAvailable() >= 3; }));
        EXPECT_EQ(cart->read(3), QByteArray("\0\0\0", 3));
        return cart;
    }
    void Datagram(int f1 = -1, int f2 = 0, int n = 1) {
        for (int i = 0; i < n; ++i) {
            QByteArray d(82, '\0');
            d[0] = 3;
            d[1] = 80;
            for (int k = 2; k < 82; k += 2) d[k + 1] = static_cast<char>(20 + (m_nSent % 50));
            if (f1 >= 0) {
                d[1] = 82;
                d.append(static_cast<char>(f1));
                d.append(static_cast<char>(f2));
            }
            m_udp.writeDatagram(d, QHostAddress::LocalHost,
                                static_cast<quint16>(ekglink::CLinkSettings::Current().nMonitorPort));
            ++m_nSent;
        }
    }

    ekglink::CLinkSettings m_saved;
    QTcpServer m_server;
    QUdpSocket m_udp;
    QWidget m_host;
    std::unique_ptr<CWavelinCtrl> m_pCtrl;
    CEventLog m_log;
    int m_nSent = 0;
};

const std::string kConnected = std::to_string(wavelin::EVENTID_EKGConnected) + ",";

}  // namespace

TEST_F(DeviceLinkTest, MonitoringSweepsShowsFaultsAndNeverStallsWhileDataFlows) {
    QTcpSocket* cart = StartMonitoring();
    ASSERT_TRUE(cart);
    EXPECT_EQ(m_log.events.front(), kConnected + "0,1");
    View().EKGSetMonitoringBarColor(0x00FF00);
    // 100 datagrams a second for longer than a sweep: the stall check sees them all.
    for (int tick = 0; tick < 8; ++tick) {
        Datagram(-1, 0, 50);
        ASSERT_TRUE(PumpUntil([&] { return View().Link().ReceivedItems() == m_nSent; })) << tick;
        View().Link().OnTimerTick();
    }
    EXPECT_EQ(View().EKGGetMode(), CEkgGraphWnd::kModeMonitorData);
    EXPECT_EQ(View().Link().SweepPosition(), 400 % 200);
    EXPECT_EQ(m_log.Count(kConnected), 1);

    // The sweep bar stands just after the newest samples.
    Datagram(-1, 0, 30);
    ASSERT_TRUE(PumpUntil([&] { return View().Link().ReceivedItems() == m_nSent; }));
    const QImage image = View().RenderView();
    int nBar = 0;
    for (int x = 0; x < image.width(); ++x) nBar += (image.pixel(x, image.height() / 2) & 0xFFFFFF) == 0x00FF00;
    EXPECT_GE(nBar, 2);

    // A lead fault: events in order and the status label's text.
    Datagram(0x01, 0x20);
    ASSERT_TRUE(PumpUntil([&] { return View().Link().ReceivedItems() == m_nSent; }));
    const std::string fault = std::to_string(wavelin::EVENTID_EKGLeadFault) + ",";
    ASSERT_GE(m_log.events.size(), 3u);
    EXPECT_EQ(m_log.events[m_log.events.size() - 2], fault + "1");
    EXPECT_EQ(m_log.events.back(), fault + "6");
    View().OnStatusTimer();
    ASSERT_NE(View().GetStatusLabel(), nullptr);
    EXPECT_EQ(View().GetStatusLabel()->GetText(), "Lead fault : RA V1");

    // Silence: the third tick ends the attempt once, later ticks say nothing more.
    for (int tick = 0; tick < 6; ++tick) View().Link().OnTimerTick();
    EXPECT_EQ(m_log.Count(kConnected), 2);
    EXPECT_EQ(m_log.events.back(), kConnected + "10060,-1");
    EXPECT_EQ(View().EKGGetMode(), CEkgGraphWnd::kModeNone);
}

TEST_F(DeviceLinkTest, ClearingClosesBothSocketsEvenWhenTheStopCannotBeSent) {
    QTcpSocket* cart = StartMonitoring();
    ASSERT_TRUE(cart);
    Datagram(-1, 0, 5);
    ASSERT_TRUE(PumpUntil([&] { return View().Link().ReceivedItems() == 5; }));
    // The cart's end goes away just before the host clears: the stop command reaches no one.
    cart->abort();
    m_pCtrl->InvokeByName("EKGClearGraph", {}, nullptr);
    EXPECT_EQ(View().Link().LinkState(), CEkgDeviceLink::kClosed);
    EXPECT_FALSE(View().Wave().HasBlock());
    Pump(100);
    // The monitor port is free again.
    QUdpSocket again;
    EXPECT_TRUE(again.bind(QHostAddress::AnyIPv4, static_cast<quint16>(ekglink::CLinkSettings::Current().nMonitorPort)));
    for (int tick = 0; tick < 4; ++tick) View().Link().OnTimerTick();
    EXPECT_EQ(m_log.Count(kConnected), 1);  // no time-out after the host's clear
}

TEST_F(DeviceLinkTest, FailedConnectIsReportedOnce) {
    m_server.close();
    ASSERT_TRUE(View().EKGStartRecording("127.0.0.1", 0));
    ASSERT_TRUE(PumpUntil([&] { return m_log.Count(kConnected) == 1; }));
    EXPECT_EQ(m_log.events.back(), kConnected + "10061,-1");
    for (int tick = 0; tick < 6; ++tick) View().Link().OnTimerTick();
    EXPECT_EQ(m_log.Count(kConnected), 1);
}

TEST_F(DeviceLinkTest, SignalNotGoodStopsWithoutStoringItsSamples) {
    QTcpSocket* cart = StartMonitoring();
    ASSERT_TRUE(cart);
    Datagram(0, 0, 3);
    ASSERT_TRUE(PumpUntil([&] { return View().Link().ReceivedItems() == 3; }));
    const short before = View().Wave().GetSample(6, 15);  // V1, first sample of item 3
    m_nSent = 40;  // other sample values
    Datagram(0x40, 0);
    ASSERT_TRUE(PumpUntil([&] { return View().EKGGetMode() == CEkgGraphWnd::kModeMonitorStopped; }));
    EXPECT_EQ(View().Wave().GetSample(6, 15), before);
    EXPECT_EQ(m_log.events.back(), std::to_string(wavelin::EVENTID_MonitorSignalNotGood));
    EXPECT_TRUE(PumpUntil([&] { return cart->bytesAvailable() >= 3; }));
    EXPECT_EQ(cart->read(3), QByteArray("\0\1\0", 3));  // stop monitoring
}

TEST_F(DeviceLinkTest, CartThatDropsTheMonitoringLinkEndsTheAttemptOnce) {
    QTcpSocket* cart = StartMonitoring();
    ASSERT_TRUE(cart);
    Datagram(-1, 0, 5);
    ASSERT_TRUE(PumpUntil([&] { return View().Link().ReceivedItems() == 5; }));
    cart->close();
    ASSERT_TRUE(PumpUntil([&] { return m_log.Count(kConnected) == 2; }));
    EXPECT_EQ(m_log.events.back(), kConnected + "10060,-1");
    // Stopped (the stop command may still have gone out on the half-closed link) or ended.
    EXPECT_TRUE(View().EKGGetMode() == CEkgGraphWnd::kModeMonitorStopped ||
                View().EKGGetMode() == CEkgGraphWnd::kModeNone);
    Datagram(-1, 0, 5);
    Pump(200);
    for (int tick = 0; tick < 4; ++tick) View().Link().OnTimerTick();
    EXPECT_EQ(m_log.Count(kConnected), 2);
    EXPECT_EQ(View().Link().ReceivedItems(), 5);  // the monitor socket is gone
}

// The device search waits as long as the host asked, with the host's pump installed as
// every Qt host installs it: the host's timers keep firing, and a search that one of them
// asks for meanwhile returns at once.
TEST_F(DeviceLinkTest, DeviceSearchLeavesTheHostAnswering) {
    ekglink::CEkgFinder finder;
    ASSERT_GT(finder.ReceivePort(), 0);
    wavelin::SetProcessFinder(&finder);
    const platform::MessagePumpFn previous = platform::SetMessagePump(nullptr);
    platform::InstallQtMessagePump();
    int nTicks = 0;
    qint64 nNestedMs = -1;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++nTicks != 3)
            return;
        QElapsedTimer nested;
        nested.start();
        Variant found;
        m_pCtrl->InvokeByName("EKGConnectedSearch", {Variant(short(1500))}, &found);
        nNestedMs = nested.elapsed();
    });
    timer.start();
    QElapsedTimer t;
    t.start();
    Variant result;
    ASSERT_EQ(m_pCtrl->InvokeByName("EKGConnectedSearch", {Variant(short(1500))}, &result),
              platform::DISP_OK);
    const qint64 nMs = t.elapsed();
    timer.stop();
    platform::SetMessagePump(previous);
    wavelin::SetProcessFinder(nullptr);
    EXPECT_EQ(result.AsShort(), 1);
    EXPECT_GE(nMs, 1500);
    EXPECT_GE(nTicks, 1500 / 20 / 2);
    EXPECT_GE(nNestedMs, 0);
    EXPECT_LT(nNestedMs, 200);
}

namespace {

// A cart that is slow to take connections: its listen queue is full, so a connect waits
// (its first tries are dropped) until the cart starts accepting.
class CSlowCart {
public:
    CSlowCart() {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_fd, 0);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &n);
        m_nPort = ntohs(a.sin_port);
        for (int i = 0; i < 2; ++i) {
            const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
            sockaddr_in own{};
            socklen_t m = sizeof own;
            ::getsockname(c, reinterpret_cast<sockaddr*>(&own), &m);
            m_anFillerPorts.push_back(ntohs(own.sin_port));
            m_anFillers.push_back(c);
        }
    }
    ~CSlowCart() {
        for (int c : m_anFillers)
            ::close(c);
        for (int c : m_anAccepted)
            ::close(c);
        ::close(m_fd);
    }
    int Port() const { return m_nPort; }
    // Takes what is waiting; the number of connections that were not its own fillers.
    int Accept() {
        for (;;) {
            sockaddr_in peer{};
            socklen_t n = sizeof peer;
            const int c = ::accept(m_fd, reinterpret_cast<sockaddr*>(&peer), &n);
            if (c < 0)
                return m_nOthers;
            m_anAccepted.push_back(c);
            if (std::find(m_anFillerPorts.begin(), m_anFillerPorts.end(), ntohs(peer.sin_port)) ==
                m_anFillerPorts.end())
                ++m_nOthers;
        }
    }

private:
    int m_fd = -1, m_nPort = 0, m_nOthers = 0;
    std::vector<int> m_anFillers, m_anAccepted, m_anFillerPorts;
};

}  // namespace

// The host stops monitoring while the connection is still being made: monitoring ends
// there, and the cart that later takes connections never sees this control.
TEST_F(DeviceLinkTest, StopWhileConnectingEndsTheAttempt) {
    CSlowCart cart;
    ekglink::CLinkSettings::Current().nDevicePort = cart.Port();
    ASSERT_TRUE(View().EKGStartMonitoring("127.0.0.1", 1000));
    Pump(300);
    ASSERT_EQ(View().Link().LinkState(), CEkgDeviceLink::kConnecting);
    EXPECT_TRUE(View().EKGStopMonitoring());
    EXPECT_EQ(View().EKGGetMode(), CEkgGraphWnd::kModeMonitorStopped);
    EXPECT_EQ(View().Link().LinkState(), CEkgDeviceLink::kClosed);
    EXPECT_FALSE(View().StatusTimer().isActive());
    // The cart takes connections now; the control's next try would get through.
    int nOthers = 0;
    for (int i = 0; i < 30; ++i) {
        nOthers = cart.Accept();
        Pump(100);
    }
    EXPECT_EQ(nOthers, 0);
    EXPECT_EQ(View().EKGGetMode(), CEkgGraphWnd::kModeMonitorStopped);
    EXPECT_EQ(m_log.Count(kConnected), 0);
}

// Listening socket and connections, in-process on 127.0.0.1.
#include <gtest/gtest.h>

#include <QTcpSocket>
#include <memory>

#include "acq_server/listensocket.h"
#include "acq_server/secretarysocket.h"
#include "qtenv.h"
#include "streams.h"
#include "testsupport/testsupport.h"

using teststream::Bytes;

namespace {

class NetFixture : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        m_context.m_settings.m_strWorkingFolder = m_dir.Path();
        m_context.m_onStored = [this](const CStoredRecord& r) { m_stored.push_back(r); };
        m_pListen = std::make_unique<CListenSocket>(m_context);
        ASSERT_TRUE(m_pListen->Listen(QHostAddress::LocalHost, 0));
        ASSERT_NE(m_pListen->Port(), 0);
    }
    void TearDown() override {
        m_clients.clear();
        m_pListen.reset();
        RunFor(50);
    }
    QTcpSocket* Connect() {
        auto p = std::make_unique<QTcpSocket>();
        p->connectToHost(QHostAddress::LocalHost, m_pListen->Port());
        EXPECT_TRUE(RunUntil([&] { return p->state() == QAbstractSocket::ConnectedState; }));
        m_clients.push_back(std::move(p));
        return m_clients.back().get();
    }
    static void Send(QTcpSocket* p, const Bytes& b) {
        p->write(reinterpret_cast<const char*>(b.data()), static_cast<qint64>(b.size()));
    }

    testsupport::CTempDir m_dir;
    CAcqContext m_context;
    std::unique_ptr<CListenSocket> m_pListen;
    std::vector<std::unique_ptr<QTcpSocket>> m_clients;
    std::vector<CStoredRecord> m_stored;
};

TEST_F(NetFixture, MapFollowsConnectionsAndStop) {
    QTcpSocket* a = Connect();
    Connect();
    QTcpSocket* c = Connect();
    ASSERT_TRUE(RunUntil([&] { return m_pListen->ClientCount() == 3; }));
    a->disconnectFromHost();
    ASSERT_TRUE(RunUntil([&] { return m_pListen->ClientCount() == 2; }));
    // A connection that is not in the map changes nothing.
    m_pListen->RemoveClient(reinterpret_cast<CSecretarySocket*>(0x1234));
    EXPECT_EQ(m_pListen->ClientCount(), 2u);
    // Stop: both remaining peers see the close, the map is empty.
    m_pListen->Close();
    EXPECT_EQ(m_pListen->ClientCount(), 0u);
    EXPECT_TRUE(RunUntil([&] {
        return c->state() == QAbstractSocket::UnconnectedState &&
               m_clients[1]->state() == QAbstractSocket::UnconnectedState;
    }));
}

TEST_F(NetFixture, IdleDeviceDroppedAtTheSecondPeriod) {
    m_pListen->SetIdlePeriod(300);
    QTcpSocket* pSilent = Connect();
    QTcpSocket* pTalker = Connect();
    ASSERT_TRUE(RunUntil([&] { return m_pListen->ClientCount() == 2; }));
    QElapsedTimer t;
    t.start();
    // The talker sends something in every period; the silent one never does.
    bool bDropped = false;
    qint64 nDroppedAt = 0;
    while (t.elapsed() < 2000) {
        Send(pTalker, Bytes{0x55, 0x00});
        RunFor(100);
        if (!bDropped && pSilent->state() == QAbstractSocket::UnconnectedState) {
            bDropped = true;
            nDroppedAt = t.elapsed();
        }
    }
    EXPECT_TRUE(bDropped);
    // Not before one whole period, at the latest after two.
    EXPECT_GE(nDroppedAt, 300);
    EXPECT_LE(nDroppedAt, 1300);
    EXPECT_EQ(pTalker->state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(m_pListen->ClientCount(), 1u);
}

TEST_F(NetFixture, BadFrameGetsItsRepliesAndTheClose) {
    QTcpSocket* p = Connect();
    Bytes b = {0xFA, 1, 1, 0xEF, 0x22, 4, 1, 2, 3, 0xEF};
    Send(p, b);
    QByteArray got;
    ASSERT_TRUE(RunUntil([&] {
        got += p->readAll();
        return p->state() == QAbstractSocket::UnconnectedState;
    }));
    got += p->readAll();
    EXPECT_EQ(got, QByteArray::fromHex("fc0700effc0700ef"));
    EXPECT_TRUE(RunUntil([&] { return m_pListen->ClientCount() == 0; }));
}

TEST_F(NetFixture, ThreeDevicesAtOnceGetTheirOwnRecords) {
    std::vector<Bytes> streams;
    std::vector<QTcpSocket*> sockets;
    for (int i = 0; i < 3; ++i) {
        teststream::EcgSpec desc;
        desc.strID = "DEV" + std::to_string(i);
        desc.nSeed = 10 * i;
        desc.b6000 = i == 1;
        desc.nTransferOption = 1 + i;
        desc.anPace = {static_cast<std::uint16_t>(100 + i)};
        streams.push_back(i == 0 ? teststream::LegacyEcg(desc) : teststream::FrameEcg(desc));
        sockets.push_back(Connect());
    }
    // Interleave the three streams in uneven chunks.
    std::size_t nPos[3] = {0, 0, 0};
    const std::size_t nChunk[3] = {997, 1499, 2203};
    bool bMore = true;
    while (bMore) {
        bMore = false;
        for (int i = 0; i < 3; ++i) {
            if (nPos[i] >= streams[i].size())
                continue;
            const std::size_t n = std::min(nChunk[i], streams[i].size() - nPos[i]);
            sockets[i]->write(reinterpret_cast<const char*>(streams[i].data() + nPos[i]),
                              static_cast<qint64>(n));
            nPos[i] += n;
            bMore = true;
        }
        RunFor(2);
    }
    ASSERT_TRUE(RunUntil([&] { return m_stored.size() == 3; }, 20000));
    for (const auto& r : m_stored) {
        const int i = r.m_strPatientID.back() - '0';
        const std::string f = testsupport::ReadFile(r.m_strPath);
        ASSERT_EQ(f.size(), i == 1 ? 156640u : 132640u) << r.m_strPath;
        // Lead V6 of sample 321 carries the device's own seed.
        const std::size_t nLead = (i == 1 ? 6100 : 5100) * 2;
        const short v6 = static_cast<short>(static_cast<unsigned char>(f[11 * nLead + 642]) |
                                            (static_cast<unsigned char>(f[11 * nLead + 643]) << 8));
        EXPECT_EQ(v6, teststream::Sample(7, 321, 10 * i));
        EXPECT_EQ(static_cast<unsigned char>(f[12 * nLead + 4001]), 1);
        EXPECT_EQ(static_cast<unsigned char>(f[12 * nLead + 4002]), 100 + i);
    }
    // The frame-mode devices got their answers.
    for (int i : {1, 2}) {
        EXPECT_TRUE(RunUntil([&] { return sockets[i]->bytesAvailable() >= 4; }));
        EXPECT_EQ(sockets[i]->readAll(), QByteArray::fromHex("fc0600ef"));
    }
}

}  // namespace

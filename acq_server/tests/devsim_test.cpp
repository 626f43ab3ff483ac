// Every script of the device simulator against the in-process server on 127.0.0.1; the
// stored records are opened with the ECG control's record reader.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

#include "acq_server/listensocket.h"
#include "acq_server/devicelink.h"
#include "ecg_control/ekgfile.h"
#include "qtenv.h"
#include "testsupport/testsupport.h"

namespace {

struct CRun {
    int nExit = -1;
    QList<QByteArray> replies;
    bool bClosed = false;
    QString strErr;
};

class DevsimFixture : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        m_context.m_settings.m_strWorkingFolder = m_dir.Path();
        m_context.m_onStored = [this](const CStoredRecord& r) { m_stored.push_back(r); };
        StartServer();
    }
    void StartServer() {
        m_pListen = std::make_unique<CListenSocket>(m_context);
        ASSERT_TRUE(m_pListen->Listen(QHostAddress::LocalHost, 0));
    }
    void TearDown() override {
        m_pListen.reset();
        RunFor(20);
    }
    // Starts the simulator; Wait() collects it.
    std::unique_ptr<QProcess> Start(const QStringList& args) {
        auto p = std::make_unique<QProcess>();
        p->setProgram("/usr/bin/python3");
        p->setArguments(
            QStringList{DEVSIM_PY, "--port", QString::number(m_pListen->Port()), "--quiet", "0.4"} +
            args);
        p->start();
        return p;
    }
    static CRun Wait(QProcess& p) {
        EXPECT_TRUE(RunUntil([&] { return p.state() == QProcess::NotRunning; }, 90000));
        CRun run;
        run.nExit = p.exitCode();
        run.strErr = QString::fromUtf8(p.readAllStandardError());
        for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
            if (line.startsWith("REPLY "))
                run.replies.push_back(QByteArray::fromHex(line.mid(6)));
            if (line == "CLOSED")
                run.bClosed = true;
        }
        return run;
    }
    CRun Run(const QStringList& args) {
        auto p = Start(args);
        return Wait(*p);
    }
    QJsonObject Expect(const std::string& name) {
        QFile f(QString::fromStdString(m_dir / name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(f.readAll()).object();
    }
    // The stored file against what the simulator says it sent, through the record reader.
    void CheckRecord(const std::string& strPath, const QJsonObject& e) {
        const bool bRaw = e["raw"].toBool();
        const std::string f = testsupport::ReadFile(strPath);
        ASSERT_EQ(f.size(), bRaw ? 156640u : 132640u) << strPath;
        CWaveBuffer wave;
        CEkgRecordInfo info;
        CMorphologyTable morph;
        ASSERT_TRUE(ReadEkgFile(strPath, &wave, &info, &morph, bRaw ? 1 : 0));
        const QJsonArray channels = e["channels"].toArray();
        const int nSamples = channels[0].toArray().size();
        ASSERT_EQ(wave.GetSamplesPerChannel(), bRaw ? 6000u : 5000u);
        for (int i = 0; i < static_cast<int>(wave.GetSamplesPerChannel()); ++i) {
            auto ch = [&](int c) { return i < nSamples ? channels[c].toArray()[i].toInt() : 0; };
            const int I = ch(0), II = ch(1);
            const short III = static_cast<short>(II - I);
            ASSERT_EQ(wave.GetSample(0, i), I) << i;
            ASSERT_EQ(wave.GetSample(1, i), II) << i;
            ASSERT_EQ(wave.GetSample(2, i), III) << i;
            ASSERT_EQ(wave.GetSample(3, i), static_cast<short>(-(I + II) / 2)) << i;
            ASSERT_EQ(wave.GetSample(4, i), static_cast<short>((I - III) / 2)) << i;
            ASSERT_EQ(wave.GetSample(5, i), static_cast<short>((II + III) / 2)) << i;
            for (int v = 0; v < 6; ++v)
                ASSERT_EQ(wave.GetSample(6 + v, i), ch(2 + v)) << v << " " << i;
        }
        EXPECT_EQ(info.m_patient.m_strID, e["patient_id"].toString().toStdString());
        EXPECT_EQ(info.m_patient.m_strName, e["name"].toString().toStdString());
        const QString strDate = e["date"].toString();
        if (!strDate.isEmpty()) {
            EXPECT_EQ(info.m_patient.m_nYear, strDate.left(4).toInt());
            EXPECT_EQ(info.m_patient.m_nMonth, strDate.mid(4, 2).toInt());
            EXPECT_EQ(info.m_patient.m_nDay, strDate.mid(6, 2).toInt());
            EXPECT_EQ(info.m_patient.m_nHour, strDate.mid(8, 2).toInt());
            EXPECT_EQ(info.m_patient.m_nMinute, strDate.mid(10, 2).toInt());
        }
        const QJsonArray globals = e["globals"].toArray();
        for (int g = 0; g < 8; ++g)
            EXPECT_EQ(info.GetRhythmParam(g), globals[g].toInt()) << g;
        const QJsonArray statements = e["statements"].toArray();
        ASSERT_EQ(info.GetAnalysisCnt(), statements.size());
        for (int s = 0; s < statements.size(); ++s)
            EXPECT_EQ(info.GetAnalysis(s), statements[s].toString().toStdString());
        const QJsonArray pace = e["pace"].toArray();
        ASSERT_EQ(wave.m_adwMarks.size(), static_cast<std::size_t>(pace.size()));
        for (int k = 0; k < pace.size(); ++k)
            EXPECT_EQ(wave.m_adwMarks[k], static_cast<DWORD>(pace[k].toInt()));
        // The measurement block: 5 groups of 24 numbers behind the information block.
        const QJsonArray measures = e["measures"].toArray();
        const std::size_t M = (bRaw ? 146400u : 122400u) + 10000;
        for (int k = 0; k < 5; ++k)
            for (int j = 0; j < 24; ++j) {
                const int n = static_cast<unsigned char>(f[M + (24 * k + j) * 2]) |
                              (static_cast<unsigned char>(f[M + (24 * k + j) * 2 + 1]) << 8);
                ASSERT_EQ(n, measures[k].toArray()[j].toInt());
            }
    }

    testsupport::CTempDir m_dir;
    CAcqContext m_context;
    std::unique_ptr<CListenSocket> m_pListen;
    std::vector<CStoredRecord> m_stored;
};

TEST_F(DevsimFixture, LegacyCart) {
    struct Case {
        QStringList args;
        std::string strName;
    } cases[] = {
        {{"--pace", "5,900,4999"}, "L1_202603040506.ekg"},
        {{"--raw", "--chunk", "777"}, "L2_202603040506.raw"},
        {{"--blocks", "321", "--no-date", "--statement", "Only one"}, ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string strID = "L" + std::to_string(++n);
        const std::string strExpect = strID + ".json";
        m_stored.clear();
        const CRun run = Run(QStringList{"legacy-ecg", "--id", QString::fromStdString(strID),
                                         "--expect", QString::fromStdString(m_dir / strExpect)} +
                             c.args);
        ASSERT_EQ(run.nExit, 0) << run.strErr.toStdString();
        EXPECT_TRUE(run.replies.isEmpty()) << "the legacy path answers nothing";
        ASSERT_TRUE(RunUntil([&] { return m_stored.size() == 1; }));
        if (!c.strName.empty())
            EXPECT_EQ(m_stored[0].m_strPath, m_dir / c.strName);
        else
            EXPECT_EQ(m_stored[0].m_strPath.size(), m_dir.Path().size() + 3 + 14 + 4);
        CheckRecord(m_stored[0].m_strPath, Expect(strExpect));
    }
}

TEST_F(DevsimFixture, FrameCart) {
    struct Case {
        QStringList args;
        bool bLong;
        bool bRaw;
    } cases[] = {
        {{"--option", "1"}, false, false},
        {{"--option", "2", "--raw", "--pace", "1,2,3"}, false, true},
        {{"--option", "3", "--long-reply", "--chunk", "500"}, true, false},
        {{"--option", "1", "--long-reply", "--raw"}, true, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string strID = "F" + std::to_string(++n);
        const std::string strExpect = strID + ".json";
        m_stored.clear();
        const CRun run = Run(QStringList{"frame-ecg", "--id", QString::fromStdString(strID),
                                         "--expect", QString::fromStdString(m_dir / strExpect)} +
                             c.args);
        ASSERT_EQ(run.nExit, 0) << run.strErr.toStdString();
        ASSERT_EQ(m_stored.size(), 1u);
        const std::string strPath =
            m_dir / (strID + "_20260304050607" + (c.bRaw ? ".raw" : ".ekg"));
        EXPECT_EQ(m_stored[0].m_strPath, strPath);
        ASSERT_EQ(run.replies.size(), 1);
        if (c.bLong) {
            QByteArray expected(188, '\0');
            expected[0] = char(0xFD);
            expected[1] = char(0xC2);
            expected[2] = char(0xBC);
            expected.replace(3, static_cast<int>(strID.size()), strID.c_str());
            expected[35] = 1;
            const std::string strCut = strPath.substr(0, 150);
            expected.replace(36, static_cast<int>(strCut.size()), strCut.c_str());
            expected[187] = char(0xEF);
            EXPECT_EQ(run.replies[0].toHex(), expected.toHex());
        } else {
            EXPECT_EQ(run.replies[0], QByteArray::fromHex("fc0600ef"));
        }
        CheckRecord(strPath, Expect(strExpect));
    }
}

TEST_F(DevsimFixture, PacketDevice) {
    struct CRecorder : IPacketHandler {
        std::vector<TzPacket>* pPackets;
        void OnPacket(const TzPacket& p, CDeviceLink& link) override {
            pPackets->push_back(p);
            std::vector<BYTE> ack;
            tz::MakeAck(ack, static_cast<WORD>(p.m_nCommand), link.State());
            if (p.m_nTag == TZ_TAG_COMMAND)
                link.Send(ack.data(), ack.size());
        }
    };
    std::vector<TzPacket> packets;
    m_context.m_packetFactory = [&] {
        auto p = std::make_unique<CRecorder>();
        p->pPackets = &packets;
        return p;
    };
    for (const char* pszChunk : {"8192", "3"}) {
        packets.clear();
        const CRun run = Run({"packet", "--chunk", pszChunk});
        ASSERT_EQ(run.nExit, 0) << run.strErr.toStdString();
        ASSERT_EQ(packets.size(), 6u);
        EXPECT_EQ(packets[0].m_nCommand, RESERVED_CMD_START);
        tz::TzFileInfo file;
        ASSERT_TRUE(tz::ReadFile(packets[1], file));
        EXPECT_STREQ(file.m_szName, "777_20160504101500.mwf");
        EXPECT_EQ(file.m_nSize, 2500u);
        EXPECT_EQ(packets[2].m_nSize, 1000u);
        EXPECT_EQ(packets[3].m_nDataValue, 1u);
        EXPECT_EQ(packets[4].m_nSize, 500u);
        EXPECT_EQ(packets[4].m_value.m_abyBytes[499], static_cast<BYTE>((2499 * 7) & 0xFF));
        EXPECT_EQ(packets[5].m_nCommand, RESERVED_CMD_FINISH);
        // Acknowledgements of START, FILE, FINISH, with the switch off.
        QByteArray acks;
        for (const auto& r : run.replies)
            acks += r;
        EXPECT_EQ(acks.toHex(), QByteArray("f1ff040400ff00f1ff040401ff00f1ff040402ff00"));
    }
}

TEST_F(DevsimFixture, HostileStreams) {
    struct Case {
        const char* pszScript;
        QByteArray replies;
        bool bClosed;
        int nStored;
    } cases[] = {
        {"hostile-bad-end", QByteArray::fromHex("fc0700ef"), true, 0},
        {"hostile-bad-first", QByteArray::fromHex("fc0700effc0700ef"), true, 0},
        {"hostile-huge-frame", QByteArray::fromHex("fc0700ef"), true, 0},
        {"hostile-zero-frame", QByteArray::fromHex("fc0700ef"), true, 0},
        {"hostile-overflow", QByteArray(), false, 1},
        {"hostile-frame-overflow", QByteArray::fromHex("fc0600ef"), false, 1},
        {"hostile-split-file", QByteArray(), false, 0},
    };
    for (const auto& c : cases) {
        m_stored.clear();
        for (const char* pszChunk : {"8192", "1"}) {
            const CRun run = Run({c.pszScript, "--chunk", pszChunk});
            ASSERT_EQ(run.nExit, 0) << c.pszScript << run.strErr.toStdString();
            QByteArray got;
            for (const auto& r : run.replies)
                got += r;
            EXPECT_EQ(got.toHex(), c.replies.toHex()) << c.pszScript << " " << pszChunk;
            EXPECT_EQ(run.bClosed, c.bClosed) << c.pszScript;
        }
        ASSERT_TRUE(RunUntil([&] { return static_cast<int>(m_stored.size()) == 2 * c.nStored; }))
            << c.pszScript;
        for (const auto& r : m_stored) {
            const std::string f = testsupport::ReadFile(r.m_strPath);
            EXPECT_EQ(f.size(), 132640u);
            // At most 40 pacemaker positions fit the device's message.
            EXPECT_EQ(static_cast<unsigned char>(f[126401]), 40);
        }
    }
    for (int seed = 1; seed <= 6; ++seed)
        ASSERT_EQ(Run({"hostile-random", "--seed", QString::number(seed), "--chunk", "333"}).nExit,
                  0);
    // The server still takes records afterwards.
    m_stored.clear();
    const CRun run = Run({"frame-ecg", "--blocks", "5"});
    ASSERT_EQ(run.replies.size(), 1);
    EXPECT_EQ(run.replies[0], QByteArray::fromHex("fc0600ef"));
    EXPECT_EQ(m_stored.size(), 1u);
}

TEST_F(DevsimFixture, ThreeCartsAtOnce) {
    std::vector<std::unique_ptr<QProcess>> procs;
    const char* scripts[] = {"legacy-ecg", "frame-ecg", "frame-ecg"};
    for (int i = 0; i < 3; ++i) {
        const QString strID = QString("M%1").arg(i);
        procs.push_back(
            Start({scripts[i], "--id", strID, "--seed", QString::number(i + 3), "--chunk", "600",
                   "--delay", "0.001", "--option", QString::number(i + 1), "--expect",
                   QString::fromStdString(m_dir / (strID.toStdString() + ".json"))}));
    }
    std::vector<CRun> runs;
    for (auto& p : procs)
        runs.push_back(Wait(*p));
    ASSERT_EQ(m_stored.size(), 3u);
    for (const auto& r : m_stored)
        CheckRecord(r.m_strPath, Expect(r.m_strPatientID + ".json"));
    EXPECT_TRUE(runs[0].replies.isEmpty());
    for (int i : {1, 2}) {
        ASSERT_EQ(runs[i].replies.size(), 1);
        EXPECT_EQ(runs[i].replies[0], QByteArray::fromHex("fc0600ef"));
    }
}

TEST_F(DevsimFixture, IdleCartIsDropped) {
    m_pListen->SetIdlePeriod(300);
    m_pListen->Close();
    StartServer();
    m_pListen->SetIdlePeriod(300);
    const CRun run = Run({"idle", "--wait-close", "--timeout", "5"});
    EXPECT_TRUE(run.bClosed);
    EXPECT_EQ(m_pListen->ClientCount(), 0u);
}

}  // namespace

namespace {

// The development harness: runs until stopped, any outside client can be tried on it.
TEST(Acqd, ServesTheSimulatorUntilStopped) {
    TestApp();
    testsupport::CTempDir dir;
    QProcess acqd;
    acqd.setProgram(ACQD_PATH);
    acqd.setArguments(
        {"--folder", QString::fromStdString(dir.Path()), "--port", "0", "--folder-type", "2"});
    acqd.start();
    QByteArray out;
    ASSERT_TRUE(RunUntil([&] {
        out += acqd.readAllStandardOutput();
        return out.contains('\n');
    }));
    ASSERT_TRUE(out.startsWith("LISTENING 127.0.0.1 ")) << out.toStdString();
    const QString strPort = QString::fromUtf8(out.split('\n')[0].split(' ')[2]);

    QProcess sim;
    sim.setProgram("/usr/bin/python3");
    sim.setArguments({DEVSIM_PY, "--port", strPort, "--quiet", "0.4", "frame-ecg", "--id", "H1"});
    sim.start();
    ASSERT_TRUE(RunUntil([&] { return sim.state() == QProcess::NotRunning; }, 60000));
    EXPECT_EQ(sim.readAllStandardOutput(), QByteArray("REPLY fc0600ef\n"));
    ASSERT_TRUE(RunUntil([&] {
        out += acqd.readAllStandardOutput();
        return out.contains("STORED");
    }));
    const std::string strPath = dir.Path() + "EKG/H1_20260304050607.ekg";
    EXPECT_TRUE(out.contains(QByteArray("STORED kind=1 id=H1 path=") + strPath.c_str()));
    EXPECT_EQ(testsupport::ReadFile(strPath).size(), 132640u);

    acqd.terminate();  // SIGTERM
    ASSERT_TRUE(RunUntil([&] { return acqd.state() == QProcess::NotRunning; }));
    EXPECT_EQ(acqd.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(acqd.exitCode(), 0);
}

}  // namespace

namespace {

// The harness listens on the loopback only and refuses what it cannot honour.
TEST(Acqd, RefusesOtherAddressesAndBadNumbers) {
    TestApp();
    testsupport::CTempDir dir;
    const QString strFolder = QString::fromStdString(dir.Path());
    const QStringList cases[] = {
        {"--folder", strFolder, "--port", "0", "--address", "0.0.0.0"},
        {"--folder", strFolder, "--port", "0", "--address", "192.168.1.5"},
        {"--folder", strFolder, "--port", "70000"},
        {"--folder", strFolder, "--port", "x1"},
        {"--folder", strFolder, "--port", "0", "--folder-type", "7"},
    };
    for (const QStringList& args : cases) {
        QProcess acqd;
        acqd.setProgram(ACQD_PATH);
        acqd.setArguments(args);
        acqd.start();
        const bool bEnded = RunUntil([&] { return acqd.state() == QProcess::NotRunning; }, 5000);
        if (!bEnded) {
            acqd.kill();
            acqd.waitForFinished();
        }
        EXPECT_TRUE(bEnded) << args.join(' ').toStdString();
        EXPECT_EQ(acqd.exitCode(), 2) << args.join(' ').toStdString();
        EXPECT_FALSE(acqd.readAllStandardOutput().contains("LISTENING"));
    }
}

}  // namespace

namespace {

// A cart that ended its record waits for the answer, however long the server takes to
// store the record; the quiet time only counts once it came.
TEST(Devsim, WaitsForTheAnswerToItsRecord) {
    TestApp();
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket* pPeer = nullptr;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        pPeer = server.nextPendingConnection();
        QObject::connect(pPeer, &QTcpSocket::readyRead, [&] {
            if (pPeer->readAll().endsWith(QByteArray::fromHex("fc0500ef")))
                QTimer::singleShot(1500, pPeer,
                                   [&] { pPeer->write(QByteArray::fromHex("fc0600ef")); });
        });
    });
    QProcess sim;
    sim.setProgram("/usr/bin/python3");
    sim.setArguments({DEVSIM_PY, "--port", QString::number(server.serverPort()), "--quiet", "0.4",
                      "frame-ecg", "--blocks", "10"});
    sim.start();
    ASSERT_TRUE(RunUntil([&] { return sim.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(sim.readAllStandardOutput(), QByteArray("REPLY fc0600ef\n"));
}

}  // namespace

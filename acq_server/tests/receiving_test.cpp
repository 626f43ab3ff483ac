// The receiving path as devices meet it, against the acqd harness and the in-process
// server: packet devices sending finished files, many carts connecting at once, the
// open-file limit, replies going out at once, idle connections' memory, a full disk.
#include <gtest/gtest.h>
#include <sys/time.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <arpa/inet.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "acq_server/listensocket.h"
#include "acq_server/stalefiles.h"
#include "qtenv.h"
#include "streams.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

// The harness as a child process, optionally under shell limits (ulimit lines); stopped
// and reaped at the end of the scope.
class CAcqd {
public:
    explicit CAcqd(const std::string& strFolder, const QString& strLimits = {},
                   QStringList extra = {}) {
        TestApp();
        const QStringList args =
            QStringList{"--folder", QString::fromStdString(strFolder), "--port", "0", "--log"} +
            extra;
        // Output to a file: a pipe nobody reads while the test blocks would stop the harness.
        m_strOut = strFolder + "../acqd_" + std::to_string(::getpid()) + "_" +
                   std::to_string(++s_nRuns) + ".out";
        m_process.setStandardOutputFile(QString::fromStdString(m_strOut));
        m_process.setProgram("/bin/sh");
        // SIGXFSZ ignored: a write past the file size limit fails instead of killing.
        m_process.setArguments(
            QStringList{"-c", "trap '' XFSZ; " + strLimits + " exec \"$0\" \"$@\"", ACQD_PATH} +
            args);
        m_process.start();
        m_bStarted = RunUntil([&] {
            Read();
            return m_out.contains("LISTENING");
        });
        if (m_bStarted) {
            const int nAt = m_out.indexOf("LISTENING");
            m_nPort = m_out.mid(nAt).split('\n')[0].split(' ')[2].toInt();
        }
    }
    ~CAcqd() {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
        std::remove(m_strOut.c_str());
    }
    bool Started() const { return m_bStarted; }
    int Port() const { return m_nPort; }
    qint64 Pid() const { return m_process.processId(); }
    const QByteArray& Read() {
        m_out = QByteArray::fromStdString(testsupport::ReadFile(m_strOut));
        return m_out;
    }
    // User and system CPU ticks of the process so far.
    long CpuTicks() const {
        std::ifstream in("/proc/" + std::to_string(Pid()) + "/stat");
        std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::istringstream fields(s.substr(s.rfind(')') + 2));
        std::string f;
        long nUser = 0, nSystem = 0;
        for (int i = 3; i <= 15 && fields >> f; ++i) {
            if (i == 14)
                nUser = std::stol(f);
            if (i == 15)
                nSystem = std::stol(f);
        }
        return nUser + nSystem;
    }
    long RssKb() const {
        std::ifstream in("/proc/" + std::to_string(Pid()) + "/status");
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("VmRSS:", 0) == 0)
                return std::stol(line.substr(6));
        return -1;
    }

private:
    static inline int s_nRuns = 0;
    QProcess m_process;
    std::string m_strOut;
    QByteArray m_out;
    bool m_bStarted = false;
    int m_nPort = 0;
};

// A blocking client socket on 127.0.0.1.
int Connect(int nPort, int nTimeoutS = 10) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(nPort));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval tv{nTimeoutS, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}
bool SendAll(int fd, const teststream::Bytes& b) {
    std::size_t at = 0;
    while (at < b.size()) {
        const ssize_t n = ::send(fd, b.data() + at, b.size() - at, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}
// The 4-byte answer, or empty.
std::string Answer(int fd) {
    char ab[4];
    std::size_t got = 0;
    while (got < 4) {
        const ssize_t n = ::recv(fd, ab + got, 4 - got, 0);
        if (n <= 0)
            return {};
        got += static_cast<std::size_t>(n);
    }
    return std::string(ab, 4);
}
const std::string kTaken("\xFC\x06\x00\xEF", 4);

teststream::Bytes Record(const std::string& strID, int nSeed) {
    teststream::EcgSpec cart;
    cart.strID = strID;
    cart.nSeed = nSeed;
    return teststream::FrameEcg(cart);
}

std::set<std::string> FilesBelow(const std::string& strFolder) {
    std::set<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(strFolder))
        if (fs::is_regular_file(e.symlink_status()))
            out.insert(fs::relative(e.path(), strFolder).string());
    return out;
}

struct CSim {
    int nExit = -1;
    QList<QByteArray> lines;
};
CSim RunDevsim(const QStringList& args, int nTimeoutMs = 60000) {
    QProcess p;
    p.setProgram("/usr/bin/python3");
    p.setArguments(QStringList{DEVSIM_PY} + args);
    p.start();
    RunUntil([&] { return p.state() == QProcess::NotRunning; }, nTimeoutMs);
    CSim sim;
    sim.nExit = p.exitCode();
    sim.lines = p.readAllStandardOutput().split('\n');
    return sim;
}

// ---------------------------------------------------------------------------------------

// Finished files from a packet device land whole where the settings put them, and the
// harness tells each one's kind.
TEST(Receiving, PacketDeviceFilesLandWholeAndAreTold) {
    testsupport::CTempDir dir;
    const std::string strFixtures = dir / "fixtures/";
    int nStatus = 0;
    testsupport::RunCommand("/usr/bin/python3 " FIXTURES_DIR "/ekg_fixtures.py " +
                                testsupport::ShellQuote(strFixtures) + " 2>&1",
                            &nStatus);
    ASSERT_EQ(nStatus, 0);
    testsupport::RunCommand("/usr/bin/python3 " FIXTURES_DIR "/spiro/make_spiro_fixtures.py " +
                                testsupport::ShellQuote(strFixtures) + " 1 2 2>&1",
                            &nStatus);
    ASSERT_EQ(nStatus, 0);
    testsupport::RunCommand("qpdf --empty " + testsupport::ShellQuote(strFixtures + "e.pdf"),
                            &nStatus);
    ASSERT_EQ(nStatus, 0);
    const std::string strWork = dir / "work/";
    for (int nType : {0, 1, 2}) {
        SCOPED_TRACE("folder type " + std::to_string(nType));
        fs::remove_all(strWork);
        fs::create_directories(strWork);
        CAcqd acqd(strWork, {}, {"--folder-type", QString::number(nType)});
        ASSERT_TRUE(acqd.Started());
        const CSim sim = RunDevsim(
            {"--port", QString::number(acqd.Port()), "--quiet", "0.4", "packet-files", "--send",
             QString::fromStdString(strFixtures + "server.ekg"), "--as", "P77_20260102030405.EKG",
             "--send", QString::fromStdString(strFixtures + "spiro_t1_f2.fvc"), "--as",
             "P77_20260102030406.fvc", "--send", QString::fromStdString(strFixtures + "e.pdf"),
             "--as", "P77_20260102030407.pdf", "--big-endian"});
        EXPECT_EQ(sim.nExit, 0);
        // START, then per file ACK(FILE), 6, ACK(FINISH).
        QList<QByteArray> replies;
        for (const QByteArray& l : sim.lines)
            if (l.startsWith("REPLY "))
                replies.push_back(l.mid(6));
        const QList<QByteArray> expected = {"f1ff040400ff00", "f1ff040401ff00", "fc0600ef",
                                            "f1ff040402ff00", "f1ff040401ff00", "fc0600ef",
                                            "f1ff040402ff00", "f1ff040401ff00", "fc0600ef",
                                            "f1ff040402ff00"};
        EXPECT_EQ(replies, expected);
        const char* folders[3][3] = {
            {"", "", ""}, {"P77/", "P77/", "P77/"}, {"EKG/", "SPIRO/", "PDF/"}};
        const struct {
            const char* pszName;
            const char* pszSource;
            int nKind;
        } files[] = {{"P77_20260102030405.EKG", "server.ekg", 1},
                     {"P77_20260102030406.fvc", "spiro_t1_f2.fvc", 2},
                     {"P77_20260102030407.pdf", "e.pdf", 2}};
        ASSERT_TRUE(RunUntil([&] { return acqd.Read().count("STORED") >= 3; }));
        for (int i = 0; i < 3; ++i) {
            const std::string strPath = strWork + folders[nType][i] + files[i].pszName;
            EXPECT_EQ(testsupport::ReadFile(strPath),
                      testsupport::ReadFile(strFixtures + files[i].pszSource))
                << strPath;
            const std::string strLine =
                "STORED kind=" + std::to_string(files[i].nKind) + " id=P77 path=" + strPath + "\n";
            EXPECT_TRUE(acqd.Read().contains(strLine.c_str())) << strLine;
        }
        EXPECT_EQ(FilesBelow(strWork).size(), 3u);
    }
}

// Abuse from a packet device: nothing partial is ever left, later files are taken.
TEST(Receiving, PacketDeviceAbuseLeavesNoPartialFile) {
    testsupport::CTempDir dir;
    const std::string strWork = dir / "work/";
    fs::create_directories(strWork);
    ASSERT_TRUE(testsupport::WriteFile(dir / "content.bin", std::string(5000, 'c')));
    CAcqd acqd(strWork);
    ASSERT_TRUE(acqd.Started());
    const QString strPort = QString::number(acqd.Port());
    const QString strContent = QString::fromStdString(dir / "content.bin");
    const struct {
        const char* pszAbuse;
        const char* pszName;
        std::set<std::string> files;
    } cases[] = {
        {"data-before-file", "A_20160504101500.mwf", {"A_20160504101500.mwf"}},
        {"no-finish", "B_20160504101500.mwf", {}},
        {"close-mid-file", "C_20160504101500.mwf", {}},
        {"second-file", "D_20160504101500.mwf", {"second_D_20160504101500.mwf"}},
        {"unknown-command", "E_20160504101500.mwf", {"E_20160504101500.mwf"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszAbuse);
        fs::remove_all(strWork);
        fs::create_directories(strWork);
        RunDevsim({"--port", strPort, "--quiet", "0.3", "packet-files", "--send", strContent,
                   "--as", c.pszName, "--abuse", c.pszAbuse});
        RunFor(300);
        EXPECT_EQ(FilesBelow(strWork), c.files);
        for (const std::string& f : c.files)
            EXPECT_EQ(testsupport::ReadFile(strWork + f), std::string(5000, 'c'));
    }
}

// A file that cannot be written whole (the process's file size limit stands in for a full
// disk) is answered 7 and leaves nothing behind; a smaller file after it is taken.
TEST(Receiving, FailedWriteAnswersRefusedAndLeavesNothing) {
    testsupport::CTempDir dir;
    const std::string strWork = dir / "work/";
    fs::create_directories(strWork);
    ASSERT_TRUE(testsupport::WriteFile(dir / "big.bin", std::string(300000, 'b')));
    ASSERT_TRUE(testsupport::WriteFile(dir / "small.bin", std::string(3000, 's')));
    CAcqd acqd(strWork, "ulimit -f 200;");  // 200 blocks of 512 bytes
    ASSERT_TRUE(acqd.Started());
    const CSim sim = RunDevsim(
        {"--port", QString::number(acqd.Port()), "--quiet", "0.4", "packet-files", "--send",
         QString::fromStdString(dir / "big.bin"), "--as", "BIG_20160504101500.mwf", "--send",
         QString::fromStdString(dir / "small.bin"), "--as", "SMALL_20160504101500.mwf"});
    QList<QByteArray> answers;
    for (const QByteArray& l : sim.lines)
        if (l.startsWith("REPLY fc"))
            answers.push_back(l.mid(6));
    EXPECT_EQ(answers, (QList<QByteArray>{"fc0700ef", "fc0600ef"}));
    EXPECT_EQ(FilesBelow(strWork), std::set<std::string>{"SMALL_20160504101500.mwf"});
}

// Fifty carts connecting at the same moment all get their answers.
TEST(Receiving, FiftyCartsAtOnceAllAnswered) {
    testsupport::CTempDir dir;
    CAcqd acqd(dir.Path());
    ASSERT_TRUE(acqd.Started());
    const int nCarts = 50;
    std::vector<teststream::Bytes> records;
    for (int i = 0; i < nCarts; ++i)
        records.push_back(Record("C" + std::to_string(i), i));
    std::atomic<int> nTaken{0}, nDone{0};
    std::atomic<bool> bGo{false};
    std::vector<std::thread> carts;
    for (int i = 0; i < nCarts; ++i)
        carts.emplace_back([&, i] {
            while (!bGo)
                std::this_thread::yield();
            const int fd = Connect(acqd.Port(), 30);
            if (fd < 0)
                return;
            if (SendAll(fd, records[i]) && Answer(fd) == kTaken)
                ++nTaken;
            ::close(fd);
            ++nDone;
        });
    bGo = true;
    // The harness's output is read meanwhile, so that its log never blocks it.
    RunUntil([&] { return nDone == nCarts; }, 60000);
    for (auto& t : carts)
        t.join();
    EXPECT_EQ(nTaken, nCarts);
    EXPECT_EQ(FilesBelow(dir.Path()).size(), static_cast<std::size_t>(nCarts));
}

// At the open-file limit the server waits without spinning and serves again once
// descriptors are free.
TEST(Receiving, OpenFileLimitPausesWithoutSpinning) {
    testsupport::CTempDir dir;
    CAcqd acqd(dir.Path(), "ulimit -n 64;");
    ASSERT_TRUE(acqd.Started());
    std::vector<int> fds;
    for (int i = 0; i < 100; ++i) {
        const int fd = Connect(acqd.Port());
        ASSERT_GE(fd, 0) << i;  // the kernel queue takes them while the server waits
        fds.push_back(fd);
    }
    ASSERT_TRUE(RunUntil([&] { return acqd.Read().contains("Accept paused"); }));
    RunFor(200);
    const long nTicks = acqd.CpuTicks();
    RunFor(1500);
    EXPECT_LT(acqd.CpuTicks() - nTicks, 30) << "ticks of CPU while paused";
    EXPECT_EQ(acqd.Read().count("Accept paused"), 1);
    // The first connections go; the waiting ones are served.
    for (int i = 0; i < 60; ++i)
        ::close(fds[i]);
    int nTaken = 0;
    for (int i = 60; i < 100; ++i)
        if (SendAll(fds[i], Record("F" + std::to_string(i), i)) && Answer(fds[i]) == kTaken)
            ++nTaken;
    EXPECT_EQ(nTaken, 40);
    for (int i = 60; i < 100; ++i)
        ::close(fds[i]);
    EXPECT_TRUE(acqd.Read().contains("Accept resumed"));
}

// 500 devices connected and silent cost the server little memory.
TEST(Receiving, IdleConnectionsCostLittleMemory) {
    testsupport::CTempDir dir;
    CAcqd acqd(dir.Path());
    ASSERT_TRUE(acqd.Started());
    // One record first, so that what a record keeps is counted in the base.
    const int fdFirst = Connect(acqd.Port());
    ASSERT_TRUE(SendAll(fdFirst, Record("M1", 1)));
    ASSERT_EQ(Answer(fdFirst), kTaken);
    ::close(fdFirst);
    RunFor(300);
    const long nBase = acqd.RssKb();
    std::vector<int> fds;
    for (int i = 0; i < 500; ++i) {
        const int fd = Connect(acqd.Port());
        ASSERT_GE(fd, 0);
        fds.push_back(fd);
        // A first byte makes each connection a real one with its buffers in use.
        ASSERT_EQ(::send(fd, "\x16", 1, MSG_NOSIGNAL), 1);
    }
    RunFor(1500);
    const long nWith = acqd.RssKb();
    for (int fd : fds)
        ::close(fd);
    EXPECT_LT(nWith - nBase, 50 * 1024) << "KB for 500 idle connections";
}

// A reply goes out at once, not after the records of other connections that were ready in
// the same moment.
TEST(Receiving, ReplyIsOnTheWireBeforeTheNextRecordIsStored) {
    TestApp();
    testsupport::CTempDir dir;
    CAcqContext context;
    context.m_settings.m_strWorkingFolder = dir.Path();
    std::vector<int> fds;
    std::vector<bool> abAnsweredBefore;
    context.m_onStored = [&](const CStoredRecord&) {
        // Whatever cart was answered first must have its answer already.
        int nAnswered = 0;
        for (int fd : fds) {
            char ab[4];
            if (::recv(fd, ab, sizeof ab, MSG_PEEK | MSG_DONTWAIT) == 4)
                ++nAnswered;
        }
        abAnsweredBefore.push_back(nAnswered >= static_cast<int>(abAnsweredBefore.size()) + 1);
    };
    CListenSocket listen(context);
    ASSERT_TRUE(listen.Listen(QHostAddress::LocalHost, 0));
    for (int i = 0; i < 2; ++i) {
        const int fd = Connect(listen.Port());
        ASSERT_GE(fd, 0);
        const int nBuffer = 1 << 20;
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &nBuffer, sizeof nBuffer);
        fds.push_back(fd);
    }
    ASSERT_TRUE(RunUntil([&] { return listen.ClientCount() == 2; }));
    // Both records complete before the server reads either.
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(SendAll(fds[i], Record("R" + std::to_string(i), i)));
    ASSERT_TRUE(RunUntil([&] { return abAnsweredBefore.size() == 2; }));
    EXPECT_EQ(abAnsweredBefore, (std::vector<bool>{true, true}));
    for (int fd : fds) {
        EXPECT_EQ(Answer(fd), kTaken);
        ::close(fd);
    }
}

// A start removes what a killed run left half written, and nothing else; a temporary
// file written a moment ago may be a save in progress and stays.
TEST(Receiving, StartRemovesStaleTemporaryFiles) {
    testsupport::CTempDir dir;
    const std::time_t tOld = std::time(nullptr) - 2 * acq::kStaleAgeSeconds;
    const timeval times[2] = {{tOld, 0}, {tOld, 0}};
    for (const char* p : {"EKG/.X_20260102030405.ekg.Ab12Cd", ".Y_20260102030405.ekg.zzzzzz",
                          "Y_20260102030405.ekg", ".notes"}) {
        ASSERT_TRUE(testsupport::WriteFile(dir / p, "x"));
        ASSERT_EQ(::utimes((dir / p).c_str(), times), 0);
    }
    ASSERT_TRUE(testsupport::WriteFile(dir / ".Z_20260102030405.ekg.yyyyyy", "x"));
    CAcqd acqd(dir.Path());
    ASSERT_TRUE(acqd.Started());
    EXPECT_TRUE(acqd.Read().contains("REMOVED 2 stale temporary files"));
    EXPECT_EQ(FilesBelow(dir.Path()), (std::set<std::string>{"Y_20260102030405.ekg", ".notes",
                                                             ".Z_20260102030405.ekg.yyyyyy"}));
}

}  // namespace

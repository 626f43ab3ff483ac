// The viewer's command line and the forwarding channel between a second start and the
// instance that holds the lock.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <gtest/gtest.h>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "oxuutil/singleinstancelock.h"
#include "oxuutil/singleinstanceserver.h"
#include "oxuutil/wincmdlineinfo.h"
#include "testsupport/testsupport.h"

namespace {

struct CmdCase {
    std::vector<CString> args;
    CString u, p, sid, file0, file1;
};

TEST(WinCmdLineInfo, NamedAndPositionalParameters) {
    const CmdCase cases[] = {
        {{"/data/a.ekg"}, "", "", "", "/data/a.ekg", ""},
        {{"\"/data/with blank.ekg\""}, "", "", "", "/data/with blank.ekg", ""},
        {{"-u", "a", "-p", "b"}, "a", "b", "", "", ""},
        {{"-p", "/r/x.ekg"}, "", "/r/x.ekg", "", "", ""},
        {{"-sid", "x"}, "", "", "x", "", ""},
        {{"-SID", "\"7\"", "f.ekg", "g.ekg"}, "", "", "7", "f.ekg", "g.ekg"},
        {{"/sid", "9", "/u", "me"}, "me", "", "9", "", ""},
        {{"-u"}, "", "", "", "", ""},
        {{"\"\"\"q\"\"\""}, "", "", "", "\"\"q\"\"", ""},  // one pair only
    };
    for (const CmdCase& c : cases) {
        CWinCmdLineInfo info;
        info.ParseCommandLine(c.args);
        EXPECT_EQ(info.GetParam("u"), c.u);
        EXPECT_EQ(info.GetParam("p"), c.p);
        EXPECT_EQ(info.GetParam("sid"), c.sid);
        EXPECT_EQ(info.GetParam(0), c.file0);
        EXPECT_EQ(info.GetParam(1), c.file1);
        EXPECT_EQ(info.GetParam(-1), "");
    }
}

class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override { lock.SetApp(nullptr, "ChannelTestFrame", ""); }
    // Pumps until n frames arrived or two seconds passed.
    void WaitFor(std::size_t n) {
        QElapsedTimer t;
        t.start();
        while (got.size() < n && t.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    testsupport::CTempDir dir;
    testsupport::CEnvScope runtime{"XDG_RUNTIME_DIR", dir.Path().c_str()};
    CSingleInstanceLock lock;
    std::vector<std::pair<DWORD, CString>> got;
};

TEST_F(ChannelTest, FramesReachTheHolderInOrderAndLongTextsAreDropped) {
    ASSERT_TRUE(lock.Lock());
    CSingleInstanceServer server;
    ASSERT_TRUE(server.Listen("ChannelTestFrame",
                              [&](DWORD c, const CString& s) { got.emplace_back(c, s); }));
    CSingleInstanceLock second;
    second.SetApp(nullptr, "ChannelTestFrame", "");
    EXPECT_FALSE(second.Lock());
    EXPECT_TRUE(second.ProcessCommandLine("x", 28));
    EXPECT_TRUE(second.ProcessCommandLine("/r/a.ekg", 30));
    EXPECT_TRUE(second.ProcessCommandLine(std::string(2000, 'a').c_str(), 30));
    EXPECT_TRUE(second.ProcessCommandLine(std::string(1023, 'b').c_str(), 30));
    WaitFor(3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], std::make_pair(DWORD{28}, CString("x")));
    EXPECT_EQ(got[1], std::make_pair(DWORD{30}, CString("/r/a.ekg")));
    EXPECT_EQ(got[2].second.size(), 1023u);
}

TEST_F(ChannelTest, AFrameSplitIntoPiecesIsOneFrame) {
    ASSERT_TRUE(lock.Lock());
    CSingleInstanceServer server;
    ASSERT_TRUE(server.Listen("ChannelTestFrame",
                              [&](DWORD c, const CString& s) { got.emplace_back(c, s); }));
    QLocalSocket sock;
    sock.connectToServer(
        QString::fromStdString(CSingleInstanceLock::ChannelPath("ChannelTestFrame")));
    ASSERT_TRUE(sock.waitForConnected(2000));
    const char frame[] = {30, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c'};
    for (char c : frame) {
        sock.write(&c, 1);
        sock.flush();
        QCoreApplication::processEvents();
    }
    WaitFor(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].second, "abc");
}

TEST_F(ChannelTest, ASocketLeftByAKilledHolderDoesNotBlock) {
    // A killed holder leaves its socket file behind, bound to no one.
    const CString strPath = CSingleInstanceLock::ChannelPath("ChannelTestFrame");
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", strPath.c_str());
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        close(fd);
    }
    CSingleInstanceLock second;
    second.SetApp(nullptr, "ChannelTestFrame", "");
    EXPECT_FALSE(second.ProcessCommandLine("x", 30));  // nobody listens
    ASSERT_TRUE(lock.Lock());
    CSingleInstanceServer server;
    ASSERT_TRUE(server.Listen("ChannelTestFrame",
                              [&](DWORD c, const CString& s) { got.emplace_back(c, s); }));
    EXPECT_TRUE(second.ProcessCommandLine("y", 30));
    WaitFor(1);
    ASSERT_EQ(got.size(), 1u);
}

// What a box does to the channel: its event loop runs inside the handler, and there the peer
// hangs up and its socket is deleted, and more hand-overs arrive.
TEST_F(ChannelTest, AHandlerThatRunsAnEventLoopOutlivesItsConnection) {
    ASSERT_TRUE(lock.Lock());
    CSingleInstanceServer server;
    CSingleInstanceLock second;
    second.SetApp(nullptr, "ChannelTestFrame", "");
    ASSERT_TRUE(server.Listen("ChannelTestFrame", [&](DWORD c, const CString& s) {
        got.emplace_back(c, s);
        if (got.size() != 1)
            return;
        EXPECT_TRUE(second.ProcessCommandLine("/r/c.ekg", 30));
        QEventLoop loop;
        QElapsedTimer t;
        t.start();
        while ((!server.findChildren<QLocalSocket*>().empty() || got.size() < 3) &&
               t.elapsed() < 2000)
            loop.processEvents(QEventLoop::AllEvents, 20);
        EXPECT_TRUE(server.findChildren<QLocalSocket*>().empty());
    }));
    // Two frames in one write, then the peer hangs up.
    {
        QLocalSocket sock;
        sock.connectToServer(
            QString::fromStdString(CSingleInstanceLock::ChannelPath("ChannelTestFrame")));
        ASSERT_TRUE(sock.waitForConnected(2000));
        const char frames[] = {28, 0, 0, 0, 1,   0,   0,   0,   '7', 30,  0,   0,  0,
                               8,  0, 0, 0, '/', 'r', '/', 'b', '.', 'e', 'k', 'g'};
        sock.write(frames, sizeof frames);
        sock.flush();
        sock.disconnectFromServer();
    }
    WaitFor(3);
    // None lost, in the order they were sent.
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], std::make_pair(DWORD{28}, CString("7")));
    EXPECT_EQ(got[1], std::make_pair(DWORD{30}, CString("/r/b.ekg")));
    EXPECT_EQ(got[2], std::make_pair(DWORD{30}, CString("/r/c.ekg")));
}

TEST_F(ChannelTest, AHandlerMayEndTheServer) {
    ASSERT_TRUE(lock.Lock());
    auto pServer = std::make_unique<CSingleInstanceServer>();
    ASSERT_TRUE(pServer->Listen("ChannelTestFrame", [&](DWORD c, const CString& s) {
        got.emplace_back(c, s);
        pServer.reset();  // the program ends on what it was told
    }));
    QLocalSocket sock;
    sock.connectToServer(
        QString::fromStdString(CSingleInstanceLock::ChannelPath("ChannelTestFrame")));
    ASSERT_TRUE(sock.waitForConnected(2000));
    const char frames[] = {30, 0, 0, 0, 1, 0, 0, 0, 'a', 30, 0, 0, 0, 1, 0, 0, 0, 'b'};
    sock.write(frames, sizeof frames);
    sock.flush();
    WaitFor(1);
    EXPECT_EQ(pServer, nullptr);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].second, "a");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The client against Debian's pyftpdlib on 127.0.0.1.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "acq_server/ftp/ftpclient.h"
#include "ftppeer.h"
#include "platform/folders.h"

using testsupport::CTempDir;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// Every byte value, CR LF pairs, lone CRs and LFs: a transfer in ASCII type changes them.
std::string AwkwardBytes(int seed, std::size_t size) {
    std::string data;
    for (int i = 0; i < 256; ++i)
        data += static_cast<char>(i);
    data += "line\r\nline\r\n\r\n\n\r\rend\r\n";
    unsigned x = 2463534242u + static_cast<unsigned>(seed);
    while (data.size() < size) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data += static_cast<char>(x & 0xFF);
        if ((x & 0x1F) == 0)
            data += "\r\n";
    }
    return data;
}

int Count(const std::vector<std::string>& lines, const std::string& what) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), what));
}

class FtpClientPeer : public ::testing::Test {
protected:
    bool Start(const CFtpPeer::COptions& options = {}) {
        m_options = options;
        bool bStarted = m_peer.Start(options);
        EXPECT_TRUE(bStarted) << m_peer.Error();
        return bStarted;
    }
    int Connect(CFtpClient& client, const std::string& password = {}) {
        return client.Connect("127.0.0.1", m_peer.Port(), m_options.user.c_str(),
                              (password.empty() ? m_options.password : password).c_str());
    }
    std::string Local(const std::string& name, const std::string& data) {
        std::string path = m_local / name;
        EXPECT_TRUE(WriteFile(path, data));
        return path;
    }

    CFtpPeer m_peer;
    CFtpPeer::COptions m_options;
    CTempDir m_local;
};

}  // namespace

TEST_F(FtpClientPeer, FilesArriveByteForByteUnderTheirOwnNamesOnOneLogin) {
    ASSERT_TRUE(Start());
    struct {
        std::string remote, stored;
        std::size_t size;
    } files[] = {
        {"a b#1%.pdf", "a b#1%.pdf", 3000},
        {"report.jpg", "report.jpg", 200000},
        {"empty.txt", "empty.txt", 0},
        {"%41%2F%25.dcm", "%41%2F%25.dcm", 777},
        {"sub dir/in #folder.txt", "sub dir/in #folder.txt", 1000},
    };
    ASSERT_TRUE(platform::MakeDirs(m_peer.Root() + "sub dir"));
    CFtpClient client;
    ASSERT_EQ(Connect(client), 1) << client.GetLastErrorText();
    int n = 0;
    for (const auto& f : files) {
        std::string data = f.size ? AwkwardBytes(n++, f.size) : std::string();
        std::string local = Local("local" + std::to_string(n), data);
        EXPECT_EQ(client.PutFile(local.c_str(), f.remote.c_str()), 1)
            << f.remote << ": " << client.GetLastErrorText();
        EXPECT_EQ(client.GetLastPutResult(), CFtpClient::PUT_DONE);
        EXPECT_TRUE(ReadFile(m_peer.Root() + f.stored) == data) << f.stored;
    }
    client.Close();
    ASSERT_TRUE(m_peer.WaitFor([](auto& log) { return Count(log, "QUIT") == 1; }, 5000));
    auto log = m_peer.Log();
    EXPECT_EQ(m_peer.Lines("USER").size(), 1u);
    EXPECT_GE(Count(log, "TYPE I"), 1) << "binary type";
    EXPECT_EQ(Count(log, "TYPE A"), 0);
    EXPECT_EQ(m_peer.Lines("PASV").size() + m_peer.Lines("EPSV").size(), 0u) << "active mode";
    EXPECT_EQ(m_peer.Lines("EPRT").size() + m_peer.Lines("PORT").size(), 5u);
    // "/" plus the path's folder, entered once per change.
    auto cwd = m_peer.Lines("CWD");
    EXPECT_EQ(cwd, (std::vector<std::string>{"/", "/sub dir"}));
}

TEST_F(FtpClientPeer, RefusedLoginGivesTheServersReply) {
    ASSERT_TRUE(Start());
    CFtpClient client;
    EXPECT_EQ(Connect(client, "wrong"), 0);
    EXPECT_NE(client.GetLastErrorText().find("530"), std::string::npos)
        << client.GetLastErrorText();
    EXPECT_EQ(client.GetLastErrorText().find("wrong"), std::string::npos);
    EXPECT_FALSE(client.IsConnected());
    std::string local = Local("x.bin", "x");
    EXPECT_EQ(client.PutFile(local.c_str(), "x.bin"), 0);
}

TEST_F(FtpClientPeer, DeadAndSilentServersFailWithinTheTimeout) {
    int deadPort = DeadPort();
    CSilentPeer silent;
    ASSERT_GT(silent.Port(), 0);
    struct {
        const char* name;
        int port;
    } cases[] = {{"nothing on the port", deadPort}, {"accepts, never answers", silent.Port()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CFtpClient client;
        client.SetTimeouts(1000, 1000);
        auto t0 = Clock::now();
        EXPECT_EQ(client.Connect("127.0.0.1", c.port, "u", "p"), 0);
        EXPECT_LT(MsSince(t0), 10000);
        EXPECT_FALSE(client.GetLastErrorText().empty());
    }
    CFtpClient client;
    client.SetTimeouts(1000, 1000);
    client.Connect("127.0.0.1", silent.Port(), "u", "p");
    EXPECT_NE(client.GetLastErrorText().find("Timeout was reached"), std::string::npos)
        << client.GetLastErrorText();
}

TEST_F(FtpClientPeer, PortZeroMeansTwentyOne) {
    CFtpClient client;
    client.SetTimeouts(1000, 1000);
    if (!client.Connect("127.0.0.1", 0, "u", "p")) {
        EXPECT_NE(client.GetLastErrorText().find("21"), std::string::npos)
            << client.GetLastErrorText();
    }
}

TEST_F(FtpClientPeer, ServerTextsThatAreNoHostAreRefused) {
    const char* servers[] = {"", "evil@127.0.0.1", "127.0.0.1/x", "host name", "a#b"};
    for (const char* server : servers) {
        CFtpClient client;
        EXPECT_EQ(client.Connect(server, 21, "u", "p"), 0) << server;
        EXPECT_NE(client.GetLastErrorText().find("Invalid FTP server"), std::string::npos);
    }
}

TEST_F(FtpClientPeer, FolderThatCannotBeEnteredIsAnInvalidRemotePath) {
    CFtpPeer::COptions options;
    options.perm = "lradfmwMT";  // everything but changing the folder
    ASSERT_TRUE(Start(options));
    CFtpClient client;
    ASSERT_EQ(Connect(client), 1) << client.GetLastErrorText();
    std::string local = Local("x.bin", "data");
    EXPECT_EQ(client.PutFile(local.c_str(), "x.bin"), 0);
    EXPECT_EQ(client.GetLastErrorText(), "Invalid Remote Path [/]");
    EXPECT_EQ(client.GetLastPutResult(), CFtpClient::PUT_REFUSED);
    EXPECT_TRUE(client.IsConnected());
}

TEST_F(FtpClientPeer, RefusalsByReplyKeepTheConnection) {
    CFtpPeer::COptions options;
    options.readonly = {"ro"};
    ASSERT_TRUE(Start(options));
    CFtpClient client;
    ASSERT_EQ(Connect(client), 1) << client.GetLastErrorText();
    std::string local = Local("x.bin", AwkwardBytes(1, 5000));
    struct {
        const char* remote;
        const char* error;  // part of the error text
    } refused[] = {
        {"ro/x.bin", "550"},                                  // STOR in a read-only folder
        {"no such/x.bin", "Invalid Remote Path [/no such]"},  // a folder that is not there
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.remote);
        EXPECT_EQ(client.PutFile(local.c_str(), r.remote), 0);
        EXPECT_EQ(client.GetLastPutResult(), CFtpClient::PUT_REFUSED);
        EXPECT_NE(client.GetLastErrorText().find(r.error), std::string::npos)
            << client.GetLastErrorText();
        EXPECT_TRUE(client.IsConnected());
    }
    EXPECT_FALSE(testsupport::Exists(m_peer.Root() + "ro/x.bin"));
    // A local file that is not there, or no regular file, is refused without asking the
    // server (a pipe is not waited for).
    ASSERT_EQ(mkfifo((m_local / "pipe.bin").c_str(), 0600), 0);
    for (const char* name : {"missing.bin", "pipe.bin", ""}) {
        EXPECT_EQ(client.PutFile((m_local / name).c_str(), "missing.bin"), 0) << name;
        EXPECT_EQ(client.GetLastPutResult(), CFtpClient::PUT_REFUSED);
    }
    EXPECT_EQ(m_peer.Lines("STOR").size(), 1u);
    // The same control connection still serves.
    EXPECT_EQ(client.PutFile(local.c_str(), "x.bin"), 1) << client.GetLastErrorText();
    EXPECT_TRUE(ReadFile(m_peer.Root() + "x.bin") == ReadFile(local));
    EXPECT_EQ(m_peer.Lines("USER").size(), 1u);
}

TEST_F(FtpClientPeer, AbortEndsAWaitAtOnce) {
    CSilentPeer silent;
    CFtpClient client;  // the default 30 s time-outs
    int result = -1;
    auto t0 = Clock::now();
    std::thread t([&] { result = client.Connect("127.0.0.1", silent.Port(), "u", "p"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    client.Abort();
    t.join();
    EXPECT_EQ(result, 0);
    EXPECT_LT(MsSince(t0), 1200);
}

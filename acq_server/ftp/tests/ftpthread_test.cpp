// The sender thread and the starter's queue against Debian's pyftpdlib on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "acq_server/ftp/ftpthread.h"
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

std::string Content(int seed, std::size_t size) {
    std::string data;
    std::mt19937 rng(static_cast<unsigned>(seed));
    for (int i = 0; i < 256 && data.size() < size; ++i)
        data += static_cast<char>(i);
    while (data.size() < size)
        data += (rng() % 16 == 0) ? '\r' : static_cast<char>(rng() & 0xFF);
    return data;
}

// What QarServer's frame and the data manager hold, in this order.
// The log comes first: it must outlive the thread that writes to it.
struct COwner {
    std::mutex logLock;
    std::vector<std::string> log;

    CFtpInfoFile info;
    CFtpQueue queue;
    CFtpThread thread{queue, info};

    COwner(int port, const CFtpPeer::COptions& options, int pauseMs = 0) {
        info.m_strServer = "127.0.0.1";
        info.m_nPort = port;
        info.m_strUser = options.user;
        info.m_strPassword = options.password;
        thread.SetPause(pauseMs);
        thread.SetLog([this](const CString& line) {
            std::lock_guard<std::mutex> lock(logLock);
            log.push_back(line);
        });
    }
    std::string Log() {
        std::lock_guard<std::mutex> lock(logLock);
        std::string all;
        for (const auto& line : log)
            all += line + "\n";
        return all;
    }
};

class FtpThreadPeer : public ::testing::Test {
protected:
    // A local file with its own content; returns its path.
    std::string Local(const std::string& name, std::size_t size = 1500) {
        std::string path = m_local / name;
        EXPECT_TRUE(
            WriteFile(path, Content(static_cast<int>(std::hash<std::string>{}(name)), size)));
        return path;
    }
    void ExpectArrived(const std::vector<std::string>& names) {
        for (const auto& name : names)
            EXPECT_TRUE(ReadFile(m_peer.Root() + name) == ReadFile(m_local / name)) << name;
    }

    CFtpPeer m_peer;
    CFtpPeer::COptions m_options;
    CTempDir m_local;
};

std::vector<std::string> Names(const std::string& prefix, int n) {
    std::vector<std::string> names;
    for (int i = 0; i < n; ++i)
        names.push_back(prefix + std::to_string(1000 + i) + ".pdf");
    return names;
}

std::vector<std::string> Paths(const std::string& folder, const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    for (const auto& n : names)
        paths.push_back(folder + n);
    return paths;
}

}  // namespace

TEST_F(FtpThreadPeer, TwentyFilesInOneRunWithOneLoginInOrder) {
    ASSERT_TRUE(m_peer.Start(m_options)) << m_peer.Error();
    COwner owner(m_peer.Port(), m_options, 5);
    auto names = Names("rec ", 20);
    for (const auto& n : names)
        Local(n, 500 + names.size() * 100);
    for (const auto& n : names)
        owner.thread.StartFtpUpload((m_local / n).c_str());
    owner.thread.StartFtpUpload("");  // ignored
    ASSERT_TRUE(owner.thread.WaitIdle(30000));
    EXPECT_EQ(owner.queue.GetCount(), 0);
    EXPECT_EQ(m_peer.Lines("STOR"), names);
    EXPECT_EQ(m_peer.Lines("RECEIVED"), names);
    EXPECT_EQ(m_peer.Lines("USER").size(), 1u);
    ExpectArrived(names);
    EXPECT_EQ(owner.Log(), "");
}

TEST_F(FtpThreadPeer, DeadServerKeepsTheQueueAndTheNextPathSendsItAllOnce) {
    int port = DeadPort();
    COwner owner(port, m_options);
    auto names = Names("dead", 4);
    for (const auto& n : names)
        Local(n);
    auto paths = Paths(m_local.Path(), names);
    for (int i = 0; i < 3; ++i)
        owner.thread.StartFtpUpload(paths[i].c_str());
    ASSERT_TRUE(owner.thread.WaitIdle(10000));
    EXPECT_EQ(owner.queue.GetPaths(), CStringArray(paths.begin(), paths.begin() + 3));
    EXPECT_NE(owner.Log().find("FTP connect to [127.0.0.1:" + std::to_string(port) + "] failed"),
              std::string::npos)
        << owner.Log();

    ASSERT_TRUE(m_peer.Start(m_options, port)) << m_peer.Error();
    owner.thread.StartFtpUpload(paths[3].c_str());
    ASSERT_TRUE(owner.thread.WaitIdle(30000));
    EXPECT_EQ(owner.queue.GetCount(), 0);
    EXPECT_EQ(m_peer.Lines("STOR"), names);
    ExpectArrived(names);
}

TEST_F(FtpThreadPeer, RefusedLoginAndSilentServerKeepTheQueue) {
    ASSERT_TRUE(m_peer.Start(m_options)) << m_peer.Error();
    CSilentPeer silent;
    struct {
        const char* name;
        int port;
        std::string password;
        const char* logged;
    } cases[] = {
        {"refused login", m_peer.Port(), "not the password", "530"},
        {"accepts, never answers", silent.Port(), m_options.password, "Timeout was reached"},
    };
    auto names = Names("kept", 2);
    for (const auto& n : names)
        Local(n);
    auto paths = Paths(m_local.Path(), names);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        COwner owner(c.port, m_options);
        owner.info.m_strPassword = c.password;
        owner.thread.SetTimeouts(1000, 1000);
        for (const auto& p : paths)
            owner.thread.StartFtpUpload(p.c_str());
        ASSERT_TRUE(owner.thread.WaitIdle(10000));
        EXPECT_EQ(owner.queue.GetPaths(), paths);
        EXPECT_NE(owner.Log().find(c.logged), std::string::npos) << owner.Log();
        EXPECT_EQ(owner.Log().find(c.password), std::string::npos) << owner.Log();
    }
    EXPECT_TRUE(m_peer.Lines("STOR").empty());
}

TEST_F(FtpThreadPeer, ServerKilledMidRunKeepsTheFileBeingSentAndTheRest) {
    CFtpPeer::COptions slow = m_options;
    slow.readLimit = 256 * 1024;
    ASSERT_TRUE(m_peer.Start(slow)) << m_peer.Error();
    int port = m_peer.Port();
    COwner owner(port, m_options);
    std::vector<std::string> names = {"first.jpg", "big.pdf", "third.txt", "fourth.dcm"};
    Local(names[0]);
    Local(names[1], 2 * 1024 * 1024);
    Local(names[2]);
    Local(names[3]);
    auto paths = Paths(m_local.Path(), names);
    for (int i = 0; i < 3; ++i)
        owner.thread.StartFtpUpload(paths[i].c_str());
    ASSERT_TRUE(m_peer.WaitFor(
        [](auto& log) { return std::count(log.begin(), log.end(), "STOR big.pdf") == 1; }, 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    m_peer.Kill();
    ASSERT_TRUE(owner.thread.WaitIdle(10000));
    EXPECT_EQ(owner.queue.GetPaths(), CStringArray(paths.begin() + 1, paths.begin() + 3));
    EXPECT_NE(owner.Log().find("[" + paths[1] + "] broken off, kept"), std::string::npos)
        << owner.Log();
    EXPECT_NE(ReadFile(m_peer.Root() + "big.pdf").size(), 2u * 1024 * 1024);

    ASSERT_TRUE(m_peer.Start(m_options, port)) << m_peer.Error();
    owner.thread.StartFtpUpload(paths[3].c_str());
    ASSERT_TRUE(owner.thread.WaitIdle(30000));
    EXPECT_EQ(owner.queue.GetCount(), 0);
    EXPECT_EQ(m_peer.Lines("STOR"), (std::vector<std::string>{"first.jpg", "big.pdf", "big.pdf",
                                                              "third.txt", "fourth.dcm"}));
    ExpectArrived(names);
}

TEST_F(FtpThreadPeer, MissingFileIsSkippedAfterThePause) {
    ASSERT_TRUE(m_peer.Start(m_options)) << m_peer.Error();
    const int pauseMs = 300;
    COwner owner(m_peer.Port(), m_options, pauseMs);
    std::string missing = m_local / "gone.pdf";
    std::string present = Local("here.pdf");
    auto t0 = Clock::now();
    owner.thread.StartFtpUpload(missing.c_str());
    owner.thread.StartFtpUpload(present.c_str());
    ASSERT_TRUE(owner.thread.WaitIdle(10000));
    EXPECT_GE(MsSince(t0), 2 * pauseMs);  // a pause after each path
    EXPECT_EQ(owner.queue.GetCount(), 0);
    EXPECT_EQ(m_peer.Lines("STOR"), (std::vector<std::string>{"here.pdf"}));
    EXPECT_NE(owner.Log().find("[" + missing + "] skipped"), std::string::npos) << owner.Log();
    ExpectArrived({"here.pdf"});
}

TEST_F(FtpThreadPeer, FilesTheServerRefusesAreDroppedAndLogged) {
    struct {
        const char* name;
        std::string perm;
        const char* refused;  // local name refused
        const char* logged;
        bool nextArrives;
    } cases[] = {
        // The root holds a folder under the file's name: STOR answered 550.
        {"STOR refused", "elradfmwMT", "taken.pdf", "550", true},
        {"no change of folder", "lradfmwMT", "first.pdf", "Invalid Remote Path [/]", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CFtpPeer peer;
        CFtpPeer::COptions options = m_options;
        options.perm = c.perm;
        ASSERT_TRUE(platform::MakeDirs(peer.Root() + "taken.pdf"));
        ASSERT_TRUE(peer.Start(options)) << peer.Error();
        COwner owner(peer.Port(), options);
        std::string refused = Local(c.refused);
        std::string next = Local("next.pdf");
        owner.thread.StartFtpUpload(refused.c_str());
        owner.thread.StartFtpUpload(next.c_str());
        ASSERT_TRUE(owner.thread.WaitIdle(10000));
        EXPECT_EQ(owner.queue.GetCount(), 0);
        std::string log = owner.Log();
        EXPECT_NE(log.find("FTP upload of [" + refused + "] refused, dropped"), std::string::npos)
            << log;
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        EXPECT_EQ(peer.Lines("USER").size(), 1u);
        if (c.nextArrives) {
            EXPECT_TRUE(ReadFile(peer.Root() + "next.pdf") == ReadFile(next));
        }
    }
}

TEST_F(FtpThreadPeer, ThousandPathsFromAnotherThreadEachSentOnceInOrder) {
    ASSERT_TRUE(m_peer.Start(m_options)) << m_peer.Error();
    COwner owner(m_peer.Port(), m_options);
    auto names = Names("q", 1000);
    for (const auto& n : names)
        Local(n, 64);
    auto paths = Paths(m_local.Path(), names);
    // Bursts with gaps, so that runs end and new ones start while paths come in.
    std::thread appender([&] {
        std::mt19937 rng(7);
        std::size_t i = 0;
        while (i < paths.size()) {
            std::size_t burst = 1 + rng() % 60;
            for (std::size_t k = 0; k < burst && i < paths.size(); ++k)
                owner.thread.StartFtpUpload(paths[i++].c_str());
            // Now and then until the queue is drained, and a little longer or not: the next
            // path meets a run in its final step, or none.
            if (rng() % 3 == 0) {
                while (owner.queue.GetCount() > 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
        }
    });
    appender.join();
    ASSERT_TRUE(owner.thread.WaitIdle(60000));
    EXPECT_EQ(owner.queue.GetCount(), 0) << "queued with no run";
    EXPECT_FALSE(owner.thread.IsRunning());
    EXPECT_EQ(m_peer.Lines("STOR"), names);
    EXPECT_EQ(m_peer.Lines("RECEIVED").size(), names.size());
    std::size_t runs = m_peer.Lines("USER").size();
    EXPECT_GT(runs, 1u) << "runs must have ended and started again";
    std::printf("1000 paths in %zu runs\n", runs);
    EXPECT_EQ(owner.Log(), "");
}

TEST_F(FtpThreadPeer, OwnerGoingAwayMidRunStopsAndJoinsAtOnce) {
    CFtpPeer::COptions slow = m_options;
    slow.readLimit = 64 * 1024;
    ASSERT_TRUE(m_peer.Start(slow)) << m_peer.Error();
    CSilentPeer silent;
    std::string big = Local("big.pdf", 4 * 1024 * 1024);
    std::string small = Local("small.pdf", 100);
    struct {
        const char* name;
        int port;
        std::string path;
        int pauseMs;
        std::function<bool()> started;
    } cases[] = {
        {"mid-transfer", m_peer.Port(), big, 0, [&] { return m_peer.Lines("STOR").size() == 1; }},
        {"mid-connect to a silent server", silent.Port(), small, 0, [] { return true; }},
        {"mid-pause", m_peer.Port(), small, 30000,
         [&] { return m_peer.Lines("RECEIVED").size() == 1; }},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto owner = std::make_unique<COwner>(c.port, m_options, c.pauseMs);
        owner->thread.StartFtpUpload(c.path.c_str());
        auto t0 = Clock::now();
        while (!c.started() && MsSince(t0) < 10000)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(c.started());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_TRUE(owner->thread.IsRunning());
        auto t1 = Clock::now();
        owner.reset();
        EXPECT_LT(MsSince(t1), 1000);
    }
}

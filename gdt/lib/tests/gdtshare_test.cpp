// The share check against the test's own SMB server and a server that never answers.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "gdtpeer.h"
#include "platform/msgpump.h"
#include "testsupport/testsupport.h"
#include "zeqgdt/gdtmanager.h"

namespace {

class GdtShare : public ::testing::Test {
protected:
    testsupport::CTempDir m_home;
    testsupport::CEnvScope m_scope{"CORVANE_HOME", m_home.Path().c_str()};
};

std::atomic<int> g_pumped{0};
int CountingPump() {
    g_pumped++;
    return 0;
}

}  // namespace

TEST_F(GdtShare, NetworkShareCheck) {
    testsupport::CTempDir smb;
    CSmbPeer peer("serve", smb.Path(), "nobody", "secret");
    ASSERT_TRUE(peer.Ready());
    CGDTManager manager;
    EXPECT_TRUE(manager.VerifyShareFolder(peer.Share(), "nobody", "secret"));
    EXPECT_FALSE(manager.VerifyShareFolder(peer.Share(), "nobody", "wrong"));
    EXPECT_FALSE(manager.VerifyShareFolder("//127.0.0.1:1/gdt", "nobody", "secret"));
}

TEST_F(GdtShare, SilentServer) {
    CSmbPeer silent("silent");
    ASSERT_TRUE(silent.Ready());
    testsupport::CEnvScope wait("CORVANE_GDT_SHARE_WAIT_MS", "600");
    testsupport::CEnvScope timeout("CORVANE_GDT_SMB_TIMEOUT_MS", "3000");
    g_pumped = 0;
    platform::MessagePumpFn previous = platform::SetMessagePump(&CountingPump);
    const std::string share = "//127.0.0.1:" + std::to_string(silent.Port()) + "/gdt";
    {
        CGDTManager manager;
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_FALSE(manager.VerifyShareFolder(share, "u", "p"));
        auto waited = std::chrono::steady_clock::now() - t0;
        EXPECT_GE(waited, std::chrono::milliseconds(550));
        EXPECT_GT(g_pumped.load(), 10);
        // Still pending: a second check gives FALSE at once.
        t0 = std::chrono::steady_clock::now();
        EXPECT_FALSE(manager.VerifyShareFolder(share, "u", "p"));
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));
    }
    // The manager went while its check was pending; the check ends on its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    platform::SetMessagePump(previous);
}

// Settings, threaded helpers, listing order, the log and the share check.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "gdtlog.h"
#include "platform/msgpump.h"
#include "platform/profile.h"
#include "testsupport/testsupport.h"
#include "zeqgdt/gdtconfig.h"
#include "zeqgdt/gdtmanager.h"
#include "zeqgdt/gdtutils.h"

namespace {

class GdtUtils : public ::testing::Test {
protected:
    testsupport::CTempDir m_home;
    testsupport::CEnvScope m_scope{"CORVANE_HOME", m_home.Path().c_str()};
    std::string Home() const { return m_home / "ZeqGDT/"; }  // the exchange's home
};

std::atomic<int> g_pumped{0};
int CountingPump() {
    g_pumped++;
    return 0;
}

// A pump that calls the library again, as a window procedure may.
std::atomic<int> g_nested{0};
int ReentrantPump() {
    static thread_local bool inside = false;
    if (inside) return 0;
    inside = true;
    if (CGDTUtils::IsDir("/")) g_nested++;
    inside = false;
    return 0;
}

}  // namespace

TEST_F(GdtUtils, EmptyHomeGetsTheSettingsFile) {
    CGDTConfig config;
    const std::string ini = Home() + "ZeqGDT.ini";
    EXPECT_EQ(platform::GetProfileKeyNames(ini, "SECTION GDT"),
              (std::vector<std::string>{"USE NETWORK PATH", "SHARE PATH", "NETWORK USER", "NETWORK PASSWORD",
                                        "RECEIVER NAME", "SENDER NAME", "RECEIVER SHORT NAME",
                                        "SENDER SHORT NAME", "DATE FORMAT", "USE MULTI ORDER",
                                        "ZeqGDT CALL PROGRAM"}));
    EXPECT_EQ(platform::GetProfileString(ini, "SECTION GDT", "SHARE PATH", ""), Home() + "GDTShare");
    EXPECT_EQ(config.m_strSenderShortName, "CVN");
    EXPECT_TRUE(testsupport::Exists(Home() + "GDTTmp"));

    platform::WriteProfileString(ini, "SECTION GDT", "USE MULTI ORDER", "5");
    CGDTConfig five;
    EXPECT_EQ(five.m_bUseMultiOrder, TRUE);
    five.Save();
    EXPECT_EQ(platform::GetProfileString(ini, "SECTION GDT", "USE MULTI ORDER", ""), "1");

    CGDTManager::SetConfig("/x/share", "u", "p", "R", "S", "RS", "SS", "DDMMYYYY");
    CString share, user, pass, rn, sn, rsn, ssn, df;
    CGDTManager::GetConfig(share, user, pass, rn, sn, rsn, ssn, df);
    EXPECT_EQ(share, "/x/share");
    EXPECT_EQ(ssn, "SS");
    EXPECT_EQ(CGDTConfig().m_bUseMultiOrder, TRUE);  // kept by SetConfig
    EXPECT_EQ(CGDTManager::GetRemoteFileTitle(), "SSRS");
    EXPECT_EQ(CGDTManager::GetLocalFileTitle(), "RSSS");
}

TEST_F(GdtUtils, FileHelpers) {
    const std::string d = m_home.Path();
    EXPECT_FALSE(CGDTUtils::IsFile(d));
    EXPECT_FALSE(CGDTUtils::IsFile("   "));
    EXPECT_TRUE(CGDTUtils::IsDir(d));
    EXPECT_TRUE(CGDTUtils::CreateDir(d + "a"));
    EXPECT_FALSE(CGDTUtils::CreateDir(d + "a"));
    EXPECT_FALSE(CGDTUtils::CreateDir(d + "b/c"));
    testsupport::WriteFile(d + "a/src.txt", "source");
    testsupport::WriteFile(d + "a/dst.txt", "target");
    EXPECT_FALSE(CGDTUtils::CopyFileA(d + "a/src.txt", d + "a/dst.txt"));
    EXPECT_EQ(testsupport::ReadFile(d + "a/dst.txt"), "target");
    EXPECT_TRUE(CGDTUtils::CopyFileA(d + "a/src.txt", d + "a/new.txt"));
    EXPECT_EQ(testsupport::ReadFile(d + "a/new.txt"), "source");
    EXPECT_FALSE(CGDTUtils::Rename(d + "a/src.txt", d + "a/dst.txt"));  // never replaces
    EXPECT_TRUE(CGDTUtils::Rename(d + "a/src.txt", d + "a/moved.txt"));
    EXPECT_FALSE(CGDTUtils::IniWriteString(d + "x.ini", "S", "", "v"));
    EXPECT_FALSE(testsupport::Exists(d + "x.ini"));
    EXPECT_EQ(CGDTUtils::GetFileExt("/gdt/CVNHIS.001"), ".001");
    EXPECT_EQ(CGDTUtils::GetFileName("/gdt/CVNHIS.001"), "CVNHIS.001");
    EXPECT_EQ(CGDTUtils::GetFileTitle("/gdt/[WAIT].CVNHIS.001"), "[WAIT].CVNHIS");
    CStringArray files;
    EXPECT_TRUE(CGDTUtils::GetFilesInPath(d + "a", "*.txt", files));
    EXPECT_EQ(files.size(), 3u);
    EXPECT_FALSE(CGDTUtils::GetFilesInPath(d + "none", "", files));
    EXPECT_TRUE(CGDTUtils::DeleteFilesInPath(d + "a"));
    EXPECT_FALSE(CGDTUtils::GetFilesInPath(d + "a", "", files));
}

TEST_F(GdtUtils, OrdersOldestFirst) {
    const std::string d = m_home.Path();
    // Written in this order; birth times (where the file system keeps them) decide.
    for (const char* n : {"CVNHIS.TXT", "CVNHIS2.001", "[WAIT].CVNHIS.001", "CVNHIS.001", "cvnhis.003"}) {
        testsupport::WriteFile(d + n, n);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    CStringArray names;
    CGDTUtils::GetFilesAsFileName(d, "CVNHIS", names);
    EXPECT_EQ(names, (CStringArray{"CVNHIS.TXT", "CVNHIS.001"}));
}

TEST_F(GdtUtils, LogLines) {
    ASSERT_TRUE(CGDTUtils::AddLog("Order failed to transfer.[%s]", "CVNHIS.001"));
    const std::string log = TodaysLog(Home());
    ASSERT_EQ(log.size(), std::string("[2026/12/10 09:30:00] Order failed to transfer.[CVNHIS.001]\r\n").size());
    EXPECT_EQ(log.substr(21), " Order failed to transfer.[CVNHIS.001]\r\n");
    // Writers in several threads lose no line.
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t) {
        writers.emplace_back([] {
            for (int i = 0; i < 50; ++i) CGDTUtils::AddLog("line %d", i);
        });
    }
    for (auto& w : writers) w.join();
    const std::string all = TodaysLog(Home());
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 401);
}

TEST_F(GdtUtils, CallerPumpsWhileItWaits) {
    g_pumped = 0;
    platform::MessagePumpFn previous = platform::SetMessagePump(&CountingPump);
    CGDTUtils::RunThread(
        [](void*) -> unsigned {
            std::this_thread::sleep_for(std::chrono::milliseconds(450));
            return 0;
        },
        nullptr, "slow");
    EXPECT_GE(g_pumped.load(), 3);

    g_nested = 0;
    platform::SetMessagePump(&ReentrantPump);
    CGDTUtils::RunThread(
        [](void*) -> unsigned {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            return 0;
        },
        nullptr, "slow");
    EXPECT_GE(g_nested.load(), 1);

    // A host whose events never run dry still sees the work end.
    platform::SetMessagePump([] { return 1; });
    auto done = std::async(std::launch::async, [] {
        CGDTUtils::RunThread(
            [](void*) -> unsigned {
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                return 0;
            },
            nullptr, "slow");
    });
    EXPECT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    platform::SetMessagePump(previous);  // a wait that hung ends here
}

TEST_F(GdtUtils, LocalShareCheck) {
    CGDTManager manager;
    EXPECT_TRUE(manager.VerifyShareFolder(m_home.Path(), "", ""));
    EXPECT_FALSE(manager.VerifyShareFolder(m_home / "missing", "", ""));
}


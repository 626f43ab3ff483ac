// Orders the practice software is still writing, orders that would not load, the one
// settings file of the exchange and the hand-over of a program's old own one, and the
// bridge's application object.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "gdtlog.h"
#include "gdttake.h"
#include "platform/folders.h"
#include "platform/profile.h"
#include "platform/singleinstance.h"
#include "testsupport/testsupport.h"
#include "zeqgdt/gdtconfig.h"
#include "zeqgdt/gdtmanager.h"
#include "zeqgdt/gdtsentence.h"
#include "zeqgdt/gdtutils.h"
#include "zeqgdt/zeqgdtapp.h"

namespace {

using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::WriteFile;

class GdtOrders : public ::testing::Test {
protected:
    void SetUp() override {
        platform::MakeDirs(m_share);
        platform::MakeDirs(Home());
        platform::WriteProfileString(Home() + "ZeqGDT.ini", "SECTION GDT", "SHARE PATH",
                                     m_share.c_str());
    }
    std::string Home() const { return m_root / "ZeqGDT/"; }
    std::string Temp() const { return Home() + "GDTTmp/"; }
    // The bytes of a whole order for that patient.
    std::string Order(const std::string& id) {
        CGDTSentence order;
        order.AddSentenceInfo(static_cast<eSENTENCE_ID>(6302), GDT_NO_TEXT, GDT_NO_TEXT,
                              VERSION_0210, CHAR_TYPE_NONE);
        order.AddPatientInfo(id, "Doe", "Jane", 1970, 12, 31, GENDER_FEMALE, 170, 65);
        order.AddTestInfo(DEVICE_LUFU01, -1, -1, -1, -1, -1, -1);
        const std::string path = m_root / "order.tmp";
        EXPECT_TRUE(order.Save(path));
        std::string data = ReadFile(path);
        ::unlink(path.c_str());
        return data;
    }
    std::string Log() { return TodaysLog(Home()); }

    testsupport::CTempDir m_root;
    testsupport::CEnvScope m_scope{"CORVANE_HOME", m_root.Path().c_str()};
    std::string m_share = m_root / "share/";
};

}  // namespace

// The practice software writes the order in pieces: the measuring program, looking now and
// then, takes it once and only whole, and an order still growing is no failure in the log.
TEST_F(GdtOrders, OrderBeingWrittenIsTakenOnlyWhenWhole) {
    const std::string order = Order("P1");
    struct Case {
        const char* what;
        std::size_t nPiece;  // bytes a write (0: half the order)
        int nPauseMs;        // between two writes
    } cases[] = {
        {"a few bytes at a time", 4, 20},
        {"two halves two seconds apart", 0, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::RunCommand("rm -rf '" + m_share + "CVNHIS.001' '" + Temp() + "' '" + Home() +
                                "LOG'");
        const std::size_t nPiece = c.nPiece ? c.nPiece : (order.size() + 1) / 2;
        std::atomic<bool> done{false};
        std::thread writer([&] {
            const int fd =
                ::open((m_share + "CVNHIS.001").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            for (std::size_t at = 0; at < order.size(); at += nPiece) {
                if (at)
                    std::this_thread::sleep_for(std::chrono::milliseconds(c.nPauseMs));
                ASSERT_GT(::write(fd, order.data() + at, std::min(nPiece, order.size() - at)), 0);
            }
            ::close(fd);
            done = true;
        });
        CGDTManager manager;
        std::vector<std::pair<int, std::string>> taken;
        // Looks until one look after the writer ended.
        for (bool bLast = false; !bLast;) {
            bLast = done;
            const auto look = TakeOrder(manager);
            if (look.first)
                taken.push_back(look);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        writer.join();
        ASSERT_EQ(taken.size(), 1u);
        EXPECT_EQ(taken[0], std::make_pair(TRUE, std::string("CVNHIS.001:P1")));
        EXPECT_EQ(ReadFile(Temp() + "[WAIT].CVNHIS.001"), order);
        // One line for it: the order taken.
        const std::string log = Log();
        EXPECT_NE(log.find("Copy the order file in the temporary folder.[CVNHIS.001]"),
                  std::string::npos);
        EXPECT_EQ(log.find("CVNHIS.001]"), log.rfind("CVNHIS.001]")) << log;
    }
}

TEST_F(GdtOrders, OrderThatWouldNotLoadIsTriedAgainOnceRewritten) {
    const std::string order = Order("P1");
    // Cut short and left so: its size holds still, but it is no whole record.
    WriteFile(m_share + "CVNHIS.001", order.substr(0, order.size() / 2));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    WriteFile(m_share + "CVNHIS.002", Order("P2"));
    // It is taken as it is once it has held still a while (shortened here), not before.
    testsupport::CEnvScope settle("CORVANE_GDT_ORDER_SETTLE_MS", "300");
    CGDTManager manager;
    EXPECT_EQ(TakeOrder(manager), std::make_pair(FALSE, std::string("CVNHIS.001")));
    EXPECT_EQ(Log().find("CVNHIS.001]"), std::string::npos);
    const std::string failed = "Failed to open the order file.[CVNHIS.001]";
    for (int i = 0; i < 100 && Log().find(failed) == std::string::npos; ++i) {
        EXPECT_EQ(TakeOrder(manager), std::make_pair(FALSE, std::string("CVNHIS.001")));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(Log().find(failed), Log().rfind(failed));
    ASSERT_NE(Log().find(failed), std::string::npos);
    // Newer orders are not held up by it, and it is not offered again unchanged.
    EXPECT_EQ(TakeOrder(manager), std::make_pair(TRUE, std::string("CVNHIS.002:P2")));
    EXPECT_EQ(TakeOrder(manager).first, FALSE);
    // The practice software writes it again, whole: the same manager takes it.
    WriteFile(m_share + "CVNHIS.001", order);
    EXPECT_EQ(TakeOrder(manager), std::make_pair(TRUE, std::string("CVNHIS.001:P1")));
    manager.SetOrderSendResult(".001", TRUE);
    EXPECT_EQ(ReadFile(Temp() + "CVNHIS.001"), order);
}

// A program of the exchange that kept its own settings file and temp folder (as the
// measuring program did) hands them to the shared home once, whatever it had taken.
TEST_F(GdtOrders, OwnOldHomeIsHandedOver) {
    const std::string own = m_root / "gdt_lib_tests/";  // this program's own old home
    struct Case {
        const char* what;
        bool bEditOwn, bEditShared, bOwnDefaultShareInUse;
        std::string expected;  // the share the exchange then uses
    } cases[] = {
        {"edited only in the old file", true, false, false, m_root / "old-share/"},
        {"edited in the shared file", true, true, false, m_root / "new-share/"},
        {"old default share in use", false, false, true, own + "GDTShare"},
        {"nothing edited, nothing in use", false, false, false, Home() + "GDTShare"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::RunCommand("rm -rf '" + Home() + "' '" + own + "'");
        { CGDTConfig shared; }  // the bridge prepares the shared file with its defaults
        if (c.bEditShared) {
            platform::WriteProfileString(Home() + "ZeqGDT.ini", "SECTION GDT", "SHARE PATH",
                                         (m_root / "new-share/").c_str());
        }
        const std::string ownIni = own + "ZeqGDT.ini";
        platform::MakeDirs(own);
        platform::WriteProfileString(
            ownIni, "SECTION GDT", "SHARE PATH",
            c.bEditOwn ? (m_root / "old-share/").c_str() : (own + "GDTShare").c_str());
        platform::WriteProfileString(ownIni, "SECTION GDT", "SENDER SHORT NAME", "CVN");
        if (c.bOwnDefaultShareInUse)
            platform::MakeDirs(own + "GDTShare");
        // A taken order, its result, and a wait copy.
        WriteFile(own + "GDTTmp/CVNHIS.001", Order("P1"));
        WriteFile(own + "GDTTmp/HISCVN.001", "result");
        WriteFile(own + "GDTTmp/[WAIT].CVNHIS.002", Order("P2"));

        CGDTManager manager;
        EXPECT_EQ(CGDTConfig().m_strSharePath, c.expected);
        EXPECT_EQ(ReadFile(Temp() + "CVNHIS.001"), Order("P1"));
        EXPECT_EQ(ReadFile(Temp() + "HISCVN.001"), "result");
        EXPECT_FALSE(Exists(Temp() + "[WAIT].CVNHIS.002"));
        EXPECT_FALSE(Exists(own + "GDTTmp/CVNHIS.001"));
        EXPECT_FALSE(Exists(ownIni));
        EXPECT_TRUE(Exists(ownIni + ".old"));
        EXPECT_EQ(platform::GetProfileKeyNames(Home() + "ZeqGDT.ini", "SECTION GDT").size(), 11u);
    }
}

TEST_F(GdtOrders, BridgeStartUpPreparesAndEndsWithoutALoop) {
    testsupport::RunCommand("rm -rf '" + Home() + "'");
    CZeqGDTApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(Exists(Home() + "ZeqGDT.ini"));
    EXPECT_TRUE(Exists(Temp()));
    EXPECT_EQ(app.ExitInstance(), 0);
    // The observer lock was given back.
    platform::CSingleInstance observer("ZeqGDT Observer");
    EXPECT_TRUE(observer.Acquire());
}

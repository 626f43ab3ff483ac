// The exchange workflow through the measuring stand-in "Mostrel", one table of scripts run
// on a local exchange folder and on the test's own SMB share; the results are judged by
// tools/gdt/gdtfile.py, written from the format.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "gdtlog.h"
#include "gdtpeer.h"
#include "gdttake.h"
#include "platform/folders.h"
#include "platform/profile.h"
#include "testsupport/testsupport.h"
#include "zeqgdt/gdttesthook.h"

namespace {

using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::ShellQuote;
using testsupport::WriteFile;

class GdtExchange : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        m_share = m_root / "share/";
        ::mkdir(m_share.c_str(), 0777);
        if (GetParam()) {
            m_peer = std::make_unique<CSmbPeer>("serve", m_share, "nobody", "s3cret");
            ASSERT_TRUE(m_peer->Ready());
            Configure(m_peer->Share(), "nobody", "s3cret");
        } else {
            Configure(m_share, "", "");
        }
    }
    void Configure(const std::string& share, const std::string& user, const std::string& password) {
        const std::string ini = Home() + "ZeqGDT.ini";
        platform::MakeDirs(Home());
        platform::WriteProfileString(ini, "SECTION GDT", "SHARE PATH", share.c_str());
        platform::WriteProfileString(ini, "SECTION GDT", "NETWORK USER", user.c_str());
        platform::WriteProfileString(ini, "SECTION GDT", "NETWORK PASSWORD", password.c_str());
    }
    // The exchange's home, which the bridge prepares and the measuring program reads.
    std::string Home() const { return m_root / "home/ZeqGDT/"; }
    std::string Temp() const { return Home() + "GDTTmp/"; }
    // Runs the calls (one a line, arguments separated by tabs) and gives the printed lines;
    // with a pinned order, in the measuring program's own mount namespace.
    std::vector<std::string> Run(const std::string& script) {
        WriteFile(m_root / "home/Mostrel/Mostrel.script", script);
        int status = -1;
        std::string command = ShellQuote(MOSTREL_PATH);
        if (m_bStickyRules)
            command = "setpriv --inh-caps=-fowner --bounding-set=-fowner -- " + command;
        if (!m_pinned.empty()) {
            const std::string pinned = ShellQuote(m_share + m_pinned);
            command = "unshare -m sh -c " +
                      ShellQuote("mount --bind " + pinned + " " + pinned + " && exec " + command);
        }
        const std::string out = RunCommand(command, &status);
        EXPECT_EQ(status, 0) << out;
        std::vector<std::string> lines;
        std::size_t at = 0;
        while (at < out.size()) {
            std::size_t end = out.find('\n', at);
            lines.push_back(out.substr(at, end - at));
            at = end == std::string::npos ? out.size() : end + 1;
        }
        return lines;
    }
    void Order(const std::string& name, const std::string& id) {
        int status = -1;
        RunCommand("python3 " + ShellQuote(GDTFILE_PY) + " order " + ShellQuote(m_share + name) +
                       " --field 3000=" + id + " --field 3101=Doe --field 3102=Jane --field 3103=12311970"
                       " --field 3110=2 --field 3622=170 --field 3623=65.5 --field 8402=LUFU01",
                   &status);
        ASSERT_EQ(status, 0);
        // Creation times order the orders.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    std::string Check(const std::string& path) {
        int status = -1;
        std::string json = RunCommand("python3 " + ShellQuote(GDTFILE_PY) + " check " + ShellQuote(path) + " 2>&1", &status);
        EXPECT_EQ(status, 0) << json;
        return json;
    }
    std::string Log() { return TodaysLog(Home()); }
    // The order can no longer be removed from the exchange folder. A share refuses to delete
    // a file marked read-only; a local folder keeps a file that is a mount point, so the
    // measuring program runs with the order bound over itself (gone when it ends).
    void Pin(const std::string& name) {
        if (GetParam()) {
            int status = -1;
            const std::string out = RunCommand("smbclient -p " + std::to_string(m_peer->Port()) +
                                                   " //127.0.0.1/gdt -U nobody%s3cret -c " +
                                                   ShellQuote("setmode " + name + " +r") + " 2>&1",
                                               &status);
            ASSERT_EQ(status, 0) << out;
        } else {
            m_pinned = name;
        }
    }

    // The practice software's order can no longer be removed by the measuring program, as it
    // happens to one: a sticky folder of the practice software's user holds it as that
    // user's file (the measuring program runs without the power to remove other users'
    // files), or the file behind the share is made immutable.
    void Refuse(const std::string& name) {
        if (GetParam()) {
            Shell("chattr +i " + ShellQuote(m_share + name));
        } else {
            Shell("chown 4242:4242 " + ShellQuote(m_share) + " " + ShellQuote(m_share + name) +
                  " && chmod 1777 " + ShellQuote(m_share));
            m_bStickyRules = true;
        }
    }
    // The same order may be removed again.
    void Allow(const std::string& name) {
        Shell(GetParam() ? "chattr -i " + ShellQuote(m_share + name)
                         : "chmod 0777 " + ShellQuote(m_share));
    }
    // The practice software replaces its order under the same name, as its own user.
    void Rewrite(const std::string& name, const std::string& id) {
        Allow(name);
        ASSERT_EQ(::unlink((m_share + name).c_str()), 0);
        Order(name, id);
        Refuse(name);
    }
    void Shell(const std::string& command) {
        int status = -1;
        const std::string out = RunCommand(command + " 2>&1", &status);
        ASSERT_EQ(status, 0) << command << ": " << out;
    }
    void TearDown() override {
        // An immutable file would outlast the test's folder.
        if (GetParam())
            RunCommand("find " + ShellQuote(m_share) + " -type f -exec chattr -i {} + 2>/dev/null");
    }
    // How many lines of the log hold the text.
    int Logged(const std::string& text) {
        const std::string log = Log();
        int n = 0;
        for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++n;
        return n;
    }

    testsupport::CTempDir m_root;
    testsupport::CEnvScope m_scope{"CORVANE_HOME", (m_root / "home").c_str()};
    std::string m_share;
    std::unique_ptr<CSmbPeer> m_peer;
    std::string m_pinned;         // the local order a run keeps in place
    bool m_bStickyRules = false;  // runs may not remove other users' files from a sticky folder
};

// The patient ID of the order a printed GetNewOrder line took; empty when it took none.
std::string TakenPatient(const std::string& line) {
    std::vector<std::string> f;
    for (std::size_t at = 0; at <= line.size();) {
        const std::size_t end = std::min(line.find('\t', at), line.size());
        f.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return f.size() > 4 && f[0] == "GetNewOrder" && f[1] == "1" ? f[4] : std::string();
}

const char kMoved[] = "Copy the result file to a shared folder.[HISCVN.001]";

const char kAccept[] = "SetOrderSendResult\t.001\t1\n";

}  // namespace

TEST_P(GdtExchange, OrdersOldestFirstOnceEach) {
    Order("CVNHIS.001", "P1");
    Order("CVNHIS.002", "P2");
    Order("cvnhis.003", "P3");  // not an order for these names
    auto out = Run("GetNewOrder\nGetNewOrder\nGetNewOrder\n");
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "GetNewOrder\t1\t.001\tCVNHIS.001\tP1\tDoe\tJane\t1970\t12\t31\t2\t170\t65.5\tLUFU01");
    EXPECT_EQ(out[1].substr(0, 27), "GetNewOrder\t1\t.002\tCVNHIS.0");
    EXPECT_EQ(out[2], "GetNewOrder\t0\t\t\t\t\t\t0\t0\t0\t0\t0\t0\t");
    // A new manager gives the orders back that were never confirmed.
    out = Run("GetNewOrder\nSetOrderSendResult\t.001\t0\nGetNewOrder\n");
    EXPECT_EQ(out[0].substr(0, 19), "GetNewOrder\t1\t.001\t");
    EXPECT_EQ(out[2].substr(0, 19), "GetNewOrder\t1\t.001\t");
    EXPECT_NE(Log().find("Order failed to transfer.[CVNHIS.001]"), std::string::npos);
    EXPECT_TRUE(Exists(Temp() + "[WAIT].CVNHIS.001"));
    Run("");  // wait copies go when a manager starts
    EXPECT_FALSE(Exists(Temp() + "[WAIT].CVNHIS.001"));
}

TEST_P(GdtExchange, ResultWithAttachmentsReachesTheShare) {
    Order("CVNHIS.001", "P1");
    WriteFile(m_root / "report.pdf", std::string(200000, 'x') + "\r\n\x01\xff");
    auto out = Run(std::string("MakeResultData\t.001\n") + "GetNewOrder\n" + kAccept + "Clear\n" +
                   "SetSoftwareInfo\tCorvane\tMostrel\t1.0\n" + "SetTestInfo\t3\t2026\t12\t10\t9\t30\t5\n" +
                   "AddTest\tFVC\t3.25\t4\t2.5\t5.5\tL\n" + "AddFiles\tPDF\tmissing\t" + (m_root / "none.pdf") + "\n" +
                   "AddFiles\tPDF\tSpirometry\t" + (m_root / "report.pdf") + "\n" + "AddResultsText\tNormal\n" +
                   "AddComment\tQuiet patient\n" + "MakeResultData\t.001\n" + "UpdateResultFiles\n");
    EXPECT_EQ(out[0], "MakeResultData\t0");  // before the order was taken
    EXPECT_NE(Log().find("The order file does not exist in the temporary folder."), std::string::npos);
    EXPECT_EQ(out[11], "MakeResultData\t1");
    EXPECT_EQ(out[12], "UpdateResultFiles\t1");
    const std::string json = Check(m_share + "HISCVN.001");
    for (const char* field :
         {"[8000, \"6310\"]", "[3000, \"P1\"]", "[3101, \"Doe\"]", "[3103, \"12311970\"]", "[3623, \"65.5\"]",
          "[8315, \"HIS     \"]", "[8316, \"CORVANE \"]", "[9218, \"02.10\"]", "[102, \"Corvane\"]",
          "[8402, \"LUFU01\"]", "[8432, \"12102026\"]", "[8439, \"093005\"]", "[8410, \"FVC\"]",
          "[8420, \"3.25\"]", "[8461, \"2.5\"]", "[8421, \"L\"]", "[6302, \".001\"]",
          "[6305, \"HISCVN.001.001.pdf\"]", "[8480, \"Normal\"]", "[8470, \"Quiet patient\"]"}) {
        EXPECT_NE(json.find(field), std::string::npos) << field << " in " << json;
    }
    EXPECT_EQ(json.find("6302, \".000\""), std::string::npos);
    EXPECT_EQ(ReadFile(m_share + "HISCVN.001.001.pdf"), ReadFile(m_root / "report.pdf"));
    // The order and the temp files are gone; nothing else is left in the share.
    EXPECT_FALSE(Exists(m_share + "CVNHIS.001"));
    EXPECT_FALSE(Exists(Temp() + "CVNHIS.001"));
    EXPECT_FALSE(Exists(Temp() + "HISCVN.001"));
    int status = -1;
    EXPECT_EQ(RunCommand("ls -A " + ShellQuote(m_share) + " | wc -l", &status), "2\n");
}

TEST_P(GdtExchange, ExistingResultIsLeftAlone) {
    Order("CVNHIS.001", "P1");
    WriteFile(m_share + "HISCVN.001", "the practice software's own");
    auto out = Run(std::string("GetNewOrder\n") + kAccept + "MakeResultData\t.001\nUpdateResultFiles\n");
    EXPECT_EQ(out[3], "UpdateResultFiles\t1");
    EXPECT_EQ(ReadFile(m_share + "HISCVN.001"), "the practice software's own");
    EXPECT_TRUE(Exists(m_share + "CVNHIS.001"));
    EXPECT_TRUE(Exists(Temp() + "HISCVN.001"));
    EXPECT_NE(Log().find("The result file already exists in the shared folder."), std::string::npos);
}

TEST_P(GdtExchange, ShareDownKeepsTheResult) {
    Order("CVNHIS.001", "P1");
    Run(std::string("GetNewOrder\n") + kAccept + "MakeResultData\t.001\n");
    const std::string ini = Home() + "ZeqGDT.ini";
    const std::string share = platform::GetProfileString(ini, "SECTION GDT", "SHARE PATH", "");
    if (GetParam()) {
        Configure(m_peer->Share(), "nobody", "wrong");
    } else {
        Configure(m_root / "unplugged", "", "");
    }
    auto out = Run("UpdateResultFiles\n");
    EXPECT_EQ(out[0], "UpdateResultFiles\t0");
    EXPECT_NE(Log().find("Can't access to shared folder."), std::string::npos);
    EXPECT_TRUE(Exists(Temp() + "HISCVN.001"));
    // Back again: moved once.
    Configure(share, GetParam() ? "nobody" : "", GetParam() ? "s3cret" : "");
    out = Run("UpdateResultFiles\nUpdateResultFiles\n");
    EXPECT_EQ(out[0], "UpdateResultFiles\t1");
    Check(m_share + "HISCVN.001");
    EXPECT_FALSE(Exists(Temp() + "HISCVN.001"));
    const std::string log = Log();
    const std::string moved = "Copy the result file to a shared folder.[HISCVN.001]";
    EXPECT_EQ(log.find(moved), log.rfind(moved));
}

// The answered order stays in the exchange folder: its result is there once, the failure is
// logged, and the order is neither offered again nor answered a second time, even after the
// practice software took the first result away.
TEST_P(GdtExchange, OrderThatCannotBeRemovedIsAnsweredOnce) {
    Order("CVNHIS.001", "P1");
    Pin("CVNHIS.001");
    auto out = Run(std::string("GetNewOrder\n") + kAccept +
                   "MakeResultData\t.001\nUpdateResultFiles\nGetNewOrder\n");
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0].substr(0, 19), "GetNewOrder\t1\t.001\t");
    EXPECT_EQ(out[3], "UpdateResultFiles\t1");
    EXPECT_EQ(out[4], "GetNewOrder\t0\t\t\t\t\t\t0\t0\t0\t0\t0\t0\t");
    Check(m_share + "HISCVN.001");
    EXPECT_TRUE(Exists(m_share + "CVNHIS.001"));
    EXPECT_TRUE(Exists(Temp() + "CVNHIS.001"));
    EXPECT_FALSE(Exists(Temp() + "HISCVN.001"));
    EXPECT_NE(
        Log().find("Failed to remove the answered order file from the shared folder.[CVNHIS.001]"),
        std::string::npos)
        << Log();
    // The practice software reads the result and removes it; a later run answers nothing.
    ASSERT_EQ(::unlink((m_share + "HISCVN.001").c_str()), 0);
    out = Run("GetNewOrder\nUpdateResultFiles\n");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].substr(0, 14), "GetNewOrder\t0\t");
    EXPECT_FALSE(Exists(m_share + "HISCVN.001"));
    const std::string log = Log();
    const std::string moved = "Copy the result file to a shared folder.[HISCVN.001]";
    EXPECT_EQ(log.find(moved), log.rfind(moved));
}

// The answered order cannot be removed; the practice software takes the result and writes a
// new order under the same name. That is a new order: taken, and answered once. The kept
// copy of the old one goes once the share's file has changed, or is gone, and its removal
// is tried again while it is the same file.
TEST_P(GdtExchange, NewOrderUnderAnAnsweredNameIsTaken) {
    const std::string cycle = std::string("GetNewOrder\n") + kAccept +
                              "MakeResultData\t.001\nUpdateResultFiles\nGetNewOrder\n";
    Order("CVNHIS.001", "P1");
    Refuse("CVNHIS.001");
    auto out = Run(cycle);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(TakenPatient(out[0]), "P1");
    EXPECT_EQ(out[3], "UpdateResultFiles\t1");
    EXPECT_EQ(TakenPatient(out[4]), "");
    EXPECT_NE(Check(m_share + "HISCVN.001").find("[3000, \"P1\"]"), std::string::npos);
    EXPECT_EQ(
        Logged("Failed to remove the answered order file from the shared folder.[CVNHIS.001]"), 1)
        << Log();
    EXPECT_TRUE(Exists(Temp() + "CVNHIS.001"));

    // A new order under the name, for another patient.
    ASSERT_EQ(::unlink((m_share + "HISCVN.001").c_str()), 0);
    Rewrite("CVNHIS.001", "P2");
    out = Run(cycle);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(TakenPatient(out[0]), "P2");
    EXPECT_EQ(out[3], "UpdateResultFiles\t1");
    EXPECT_EQ(TakenPatient(out[4]), "");
    EXPECT_NE(Check(m_share + "HISCVN.001").find("[3000, \"P2\"]"), std::string::npos);

    // The share lets it go again: the next look removes it, and its kept copy goes.
    ASSERT_EQ(::unlink((m_share + "HISCVN.001").c_str()), 0);
    Allow("CVNHIS.001");
    out = Run("GetNewOrder\nUpdateResultFiles\n");
    EXPECT_EQ(TakenPatient(out[0]), "");
    EXPECT_FALSE(Exists(m_share + "CVNHIS.001"));
    int status = -1;
    EXPECT_EQ(RunCommand("ls -A " + ShellQuote(Temp()), &status), "");

    // One more that stays, and that the practice software then removes itself: its kept copy
    // goes, nothing is offered.
    Order("CVNHIS.001", "P3");
    Refuse("CVNHIS.001");
    out = Run(cycle);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(TakenPatient(out[0]), "P3");
    EXPECT_TRUE(Exists(Temp() + "CVNHIS.001"));
    Allow("CVNHIS.001");
    ASSERT_EQ(::unlink((m_share + "CVNHIS.001").c_str()), 0);
    out = Run("GetNewOrder\n");
    EXPECT_EQ(TakenPatient(out[0]), "");
    EXPECT_EQ(RunCommand("ls -A " + ShellQuote(Temp()), &status), "");

    // Each order taken once and answered once.
    EXPECT_EQ(Logged("Copy the order file in the temporary folder.[CVNHIS.001]"), 3) << Log();
    EXPECT_EQ(Logged(kMoved), 3) << Log();
}

// The practice software writes a new order under the name while the old one is being
// measured: the old one's result goes, and the new order stays in the share for its turn.
TEST_P(GdtExchange, OrderRewrittenWhileTakenStaysForItsTurn) {
    Order("CVNHIS.001", "P1");
    auto out = Run(std::string("GetNewOrder\n") + kAccept + "MakeResultData\t.001\n");
    EXPECT_EQ(TakenPatient(out[0]), "P1");
    ASSERT_EQ(::unlink((m_share + "CVNHIS.001").c_str()), 0);
    Order("CVNHIS.001", "P2");
    out = Run("UpdateResultFiles\nGetNewOrder\n");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], "UpdateResultFiles\t1");
    EXPECT_EQ(TakenPatient(out[1]), "P2");
    EXPECT_NE(Check(m_share + "HISCVN.001").find("[3000, \"P1\"]"), std::string::npos);
    EXPECT_EQ(ReadFile(Temp() + "[WAIT].CVNHIS.001"), ReadFile(m_share + "CVNHIS.001"));
    EXPECT_EQ(Logged(kMoved), 1) << Log();
}

// A copy of the result reported failed although the whole result got into the share (its
// reply was lost): the next move finds the same bytes there, counts the result as copied and
// finishes the order as after a copy that worked.
TEST_P(GdtExchange, ResultAlreadyWholeInTheShareCountsAsCopied) {
    Order("CVNHIS.001", "P1");
    WriteFile(m_root / "report.pdf", "%PDF-1.4 report");
    Run(std::string("GetNewOrder\n") + kAccept + "AddFiles\tPDF\tReport\t" +
        (m_root / "report.pdf") + "\nMakeResultData\t.001\n");
    // What such a copy leaves: the attachment and the result whole in the share.
    for (const char* name : {"HISCVN.001.000.pdf", "HISCVN.001"}) {
        ASSERT_TRUE(Exists(Temp() + name)) << name;
        WriteFile(m_share + name, ReadFile(Temp() + name));
    }
    auto out = Run("UpdateResultFiles\nGetNewOrder\nUpdateResultFiles\n");
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "UpdateResultFiles\t1");
    EXPECT_EQ(TakenPatient(out[1]), "");
    EXPECT_EQ(out[2], "UpdateResultFiles\t1");
    Check(m_share + "HISCVN.001");
    EXPECT_EQ(ReadFile(m_share + "HISCVN.001.000.pdf"), "%PDF-1.4 report");
    EXPECT_FALSE(Exists(m_share + "CVNHIS.001"));
    int status = -1;
    EXPECT_EQ(RunCommand("ls -A " + ShellQuote(m_share) + " | wc -l", &status), "2\n");
    EXPECT_EQ(RunCommand("ls -A " + ShellQuote(Temp()), &status), "");
    EXPECT_EQ(Logged("The result file already exists in the shared folder."), 0) << Log();
    EXPECT_EQ(Logged(kMoved), 1) << Log();
}

INSTANTIATE_TEST_SUITE_P(Backends, GdtExchange, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "SmbShare" : "LocalFolder"; });

// The share goes away in the middle of a copy: no partial file under a final name, and
// a later run completes.
TEST(GdtExchangeSmb, ServerKilledMidCopy) {
    testsupport::CTempDir root;
    testsupport::CEnvScope scope("CORVANE_HOME", (root / "home").c_str());
    // A share that went away fails each call after two seconds, not twenty.
    testsupport::CEnvScope timeout("CORVANE_GDT_SMB_TIMEOUT_MS", "2000");
    const std::string share = root / "share/";
    ::mkdir(share.c_str(), 0777);
    const std::string home = root / "home/ZeqGDT/";
    const std::string script = root / "home/Mostrel/Mostrel.script";
    platform::MakeDirs(home);
    auto configure = [&](const CSmbPeer& peer) {
        platform::WriteProfileString(home + "ZeqGDT.ini", "SECTION GDT", "SHARE PATH", peer.Share().c_str());
        platform::WriteProfileString(home + "ZeqGDT.ini", "SECTION GDT", "NETWORK USER", "nobody");
        platform::WriteProfileString(home + "ZeqGDT.ini", "SECTION GDT", "NETWORK PASSWORD", "pw");
    };
    int status = -1;
    RunCommand("python3 " + ShellQuote(GDTFILE_PY) + " order " + ShellQuote(share + "CVNHIS.001") + " --field 3000=P1",
               &status);
    ASSERT_EQ(status, 0);
    WriteFile(root / "big.bin", std::string(20 << 20, 'b'));
    auto peer = std::make_unique<CSmbPeer>("serve", share, "nobody", "pw");
    ASSERT_TRUE(peer->Ready());
    configure(*peer);
    WriteFile(script, "GetNewOrder\nSetOrderSendResult\t.001\t1\nAddFiles\tBIN\tbig\t" +
                          (root / "big.bin") + "\nMakeResultData\t.001\nUpdateResultFiles\n");
    // Mostrel in the background; the server goes while the attachment is on its way.
    const std::string cmd = ShellQuote(MOSTREL_PATH) + " > " + ShellQuote(root / "out.txt") + " 2>&1 &";
    RunCommand(cmd, &status);
    bool copying = false;
    for (int i = 0; i < 300 && !copying; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        copying = RunCommand("ls -A " + ShellQuote(share) + " | grep -c gdt-", &status) != "0\n";
    }
    peer->Stop();
    for (int i = 0; i < 200 && RunCommand("pgrep -f " + ShellQuote(MOSTREL_PATH) + " | wc -l", &status) != "0\n"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(copying);
    EXPECT_FALSE(Exists(share + "HISCVN.001"));
    EXPECT_FALSE(Exists(share + "HISCVN.001.000.bin"));
    // Back: a later run completes.
    peer = std::make_unique<CSmbPeer>("serve", share, "nobody", "pw");
    ASSERT_TRUE(peer->Ready());
    configure(*peer);
    WriteFile(script, "UpdateResultFiles\n");
    EXPECT_EQ(RunCommand(ShellQuote(MOSTREL_PATH), &status), "UpdateResultFiles\t1\n");
    EXPECT_EQ(testsupport::ReadFile(share + "HISCVN.001.000.bin").size(), 20u << 20);
    EXPECT_TRUE(Exists(share + "HISCVN.001"));
}

namespace {

// What the test does the moment the result is whole in the share: the file layer's hook,
// called before the library hears back of its copy.
std::function<void()> g_whenWhole;
void WhenTheResultIsWhole(const char* pszPath) {
    const std::string path = pszPath;
    const std::string result = "/HISCVN.001";
    if (g_whenWhole && path.size() > result.size() &&
        path.compare(path.size() - result.size(), result.size(), result) == 0) {
        const std::function<void()> fn = std::move(g_whenWhole);
        g_whenWhole = nullptr;
        fn();
    }
}

}  // namespace

// The share goes away once the result is whole in it, before the answered order is
// removed: the SMB server stops, or the local exchange folder is unplugged. The order's copy
// stays in the temp folder, the log says why, and when the share is back the order is
// removed and not offered again.
TEST(GdtShareGone, OnceTheResultIsWholeTheOrderIsAnsweredOnce) {
    for (const bool bSmb : {true, false}) {
        SCOPED_TRACE(bSmb ? "SMB server stopped" : "local folder unplugged");
        testsupport::CTempDir root;
        testsupport::CEnvScope scope("CORVANE_HOME", (root / "home").c_str());
        testsupport::CEnvScope timeout("CORVANE_GDT_SMB_TIMEOUT_MS", "2000");
        const std::string share = root / "share/";
        const std::string home = root / "home/ZeqGDT/";
        ::mkdir(share.c_str(), 0777);
        platform::MakeDirs(home);
        std::unique_ptr<CSmbPeer> peer;
        // The share is there (again).
        auto plugIn = [&] {
            const std::string ini = home + "ZeqGDT.ini";
            if (!bSmb) {
                platform::WriteProfileString(ini, "SECTION GDT", "SHARE PATH", share.c_str());
                return;
            }
            peer = std::make_unique<CSmbPeer>("serve", share, "nobody", "pw");
            ASSERT_TRUE(peer->Ready());
            platform::WriteProfileString(ini, "SECTION GDT", "SHARE PATH", peer->Share().c_str());
            platform::WriteProfileString(ini, "SECTION GDT", "NETWORK USER", "nobody");
            platform::WriteProfileString(ini, "SECTION GDT", "NETWORK PASSWORD", "pw");
        };
        int status = -1;
        RunCommand("python3 " + ShellQuote(GDTFILE_PY) + " order " +
                       ShellQuote(share + "CVNHIS.001") + " --field 3000=P1",
                   &status);
        ASSERT_EQ(status, 0);
        plugIn();

        CGDTManager manager;
        ASSERT_EQ(TakeOrder(manager), std::make_pair(TRUE, std::string("CVNHIS.001:P1")));
        manager.SetOrderSendResult(".001", TRUE);
        ASSERT_TRUE(manager.MakeResultData(".001"));
        const std::string away = root / "unplugged";
        bool bGone = false;
        g_whenWhole = [&] {
            if (bSmb) {
                peer->Stop();
            } else {
                ASSERT_EQ(std::rename(share.c_str(), away.c_str()), 0);
            }
            bGone = true;
        };
        ZeqGDTSetWrittenHook(&WhenTheResultIsWhole);
        EXPECT_TRUE(manager.UpdateResultFiles());
        ZeqGDTSetWrittenHook(nullptr);
        g_whenWhole = nullptr;
        ASSERT_TRUE(bGone) << "the share did not go";
        const std::string there = bSmb ? share : away + "/";
        EXPECT_TRUE(Exists(there + "HISCVN.001"));
        EXPECT_TRUE(Exists(there + "CVNHIS.001"));
        EXPECT_TRUE(Exists(home + "GDTTmp/CVNHIS.001"));
        const std::string unreachable =
            "Can't access to shared folder to remove the answered order file.[CVNHIS.001]";
        EXPECT_NE(TodaysLog(home).find(unreachable), std::string::npos) << TodaysLog(home);

        // Back: the order goes from the share, and no manager offers it again.
        if (!bSmb) {
            ASSERT_EQ(std::rename(away.c_str(), share.c_str()), 0);
        }
        plugIn();
        EXPECT_EQ(TakeOrder(manager).first, FALSE);
        EXPECT_FALSE(Exists(share + "CVNHIS.001"));
        EXPECT_FALSE(Exists(home + "GDTTmp/CVNHIS.001"));
        CGDTManager later;
        EXPECT_EQ(TakeOrder(later).first, FALSE);
        EXPECT_TRUE(later.UpdateResultFiles());
        EXPECT_TRUE(Exists(share + "HISCVN.001"));
        const std::string log = TodaysLog(home);
        EXPECT_EQ(log.find(kMoved), log.rfind(kMoved));
        EXPECT_EQ(log.find(unreachable), log.rfind(unreachable));
    }
}

namespace {

// A copy of the bridge with the measuring program beside it, as they are installed.
void InstallBridge(const std::string& bin) {
    int status = -1;
    RunCommand("mkdir -p " + ShellQuote(bin) + " && cp " + ShellQuote(ZEQGDT_PATH) + " " +
                   ShellQuote(bin) + " && cp " + ShellQuote(MOSTREL_PATH) + " " + ShellQuote(bin) +
                   " && cp $(dirname " + ShellQuote(ZEQGDT_PATH) + ")/libZeqGDTLib.so $(dirname " +
                   ShellQuote(ZEQGDT_PATH) + ")/libcorvane_platform.so " + ShellQuote(bin),
               &status);
    ASSERT_EQ(status, 0);
}

bool WaitFor(const std::string& path) {
    for (int i = 0; i < 100 && !Exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return Exists(path);
}

}  // namespace

// Practice software starts the bridge in an empty home: settings, temp folder, the
// measuring program started.
TEST(GdtBridge, PreparesAndStartsTheMeasuringProgram) {
    testsupport::CTempDir root;
    testsupport::CEnvScope scope("CORVANE_HOME", (root / "home").c_str());
    // Its Mostrel leaves a marker.
    const std::string bin = root / "bin/";
    InstallBridge(bin);
    WriteFile(root / "home/Mostrel/Mostrel.script", "Marker\t" + (root / "marker") + "\n");
    int status = -1;
    RunCommand(ShellQuote(bin + "ZeqGDT"), &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(Exists(root / "home/ZeqGDT/ZeqGDT.ini"));
    EXPECT_TRUE(Exists(root / "home/ZeqGDT/GDTTmp"));
    EXPECT_TRUE(WaitFor(root / "marker"));
    // Without the measuring program: still 0, nothing shown.
    RunCommand("rm " + ShellQuote(bin + "Mostrel"), &status);
    RunCommand(ShellQuote(bin + "ZeqGDT") + " 2>&1", &status);
    EXPECT_EQ(status, 0);
}

// The operator edits the settings the bridge prepared; the measuring program it starts
// takes its orders from the share named there, into the one temp folder.
TEST(GdtBridge, AnEditOfTheBridgeSettingsMovesTheExchange) {
    testsupport::CTempDir root;
    testsupport::CEnvScope scope("CORVANE_HOME", (root / "home").c_str());
    const std::string bin = root / "bin/";
    InstallBridge(bin);
    int status = -1;
    RunCommand(ShellQuote(bin + "ZeqGDT"), &status);
    const std::string ini = root / "home/ZeqGDT/ZeqGDT.ini";
    ASSERT_TRUE(Exists(ini));
    const std::string share = root / "practice/";
    ::mkdir(share.c_str(), 0777);
    platform::WriteProfileString(ini, "SECTION GDT", "SHARE PATH", share.c_str());
    RunCommand("python3 " + ShellQuote(GDTFILE_PY) + " order " + ShellQuote(share + "CVNHIS.001") +
                   " --field 3000=P7",
               &status);
    ASSERT_EQ(status, 0);
    WriteFile(root / "home/Mostrel/Mostrel.script",
              std::string("GetNewOrder\n") + kAccept + "Marker\t" + (root / "marker") + "\n");
    RunCommand(ShellQuote(bin + "ZeqGDT"), &status);
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(WaitFor(root / "marker"));
    EXPECT_EQ(ReadFile(root / "home/ZeqGDT/GDTTmp/CVNHIS.001"), ReadFile(share + "CVNHIS.001"));
    EXPECT_FALSE(Exists(root / "home/Mostrel/ZeqGDT.ini"));
    EXPECT_FALSE(Exists(root / "home/Mostrel/GDTTmp"));
}

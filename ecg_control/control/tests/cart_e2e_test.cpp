// libWavelin.so in dispcall against the cart of tools/devsim on 127.0.0.1: recording with
// the real engine or a stub beside a copy of the host, monitoring, and every way a cart can
// fail. Each attempt must end with one outcome told to the host.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "testsupport/childprocess.h"
#include "testsupport/testsupport.h"

using testsupport::CChildProcess;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

const std::string kDevsim = std::string(SOURCE_ROOT) + "/tools/devsim/devsim.py";

// A port nobody listens on now (bound once and released).
int FreePort(int type) {
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    socklen_t len = sizeof(addr);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
    return n;
}

class CartTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_env = "cd " + ShellQuote(m_dir.Path()) + " && XDG_CONFIG_HOME=" + ShellQuote(m_dir / "cfg") +
                " XDG_DATA_HOME=" + ShellQuote(m_dir / "data") + " TMPDIR=" + ShellQuote(m_dir.Path()) +
                " QT_QPA_PLATFORM=offscreen CORVANE_DISCOVERY=loopback CORVANE_EKG_STATUS_MS=300 ";
        int st = -1;
        const std::string out = RunCommand(m_env + REGCTL_PATH " " WAVELIN_PATH " 2>&1", &st);
        ASSERT_EQ(st, 0) << out;
        m_strHost = DISPCALL_PATH;
    }

    // Starts the cart; its port is then in m_nPort.
    void StartCart(const std::vector<std::string>& extra) {
        m_nMonitorPort = FreePort(SOCK_DGRAM);
        std::vector<std::string> argv = {"/usr/bin/python3", kDevsim, "cart", "--port", "0",
                                         "--monitor-port", std::to_string(m_nMonitorPort)};
        argv.insert(argv.end(), extra.begin(), extra.end());
        // A log of its own per start: the last cart's port must not be read.
        ASSERT_TRUE(m_cart.Start(argv, m_dir / ("cart" + std::to_string(++m_nStarts) + ".log")));
        const std::string port = m_cart.WaitForLine("LISTEN ", 20000);
        ASSERT_FALSE(port.empty()) << m_cart.Output();
        m_nPort = std::atoi(port.c_str());
    }

    // A copy of the host with a stub engine beside it that logs its arguments.
    void StubHost(const std::string& body) {
        const std::string folder = m_dir / "host/";
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
        ASSERT_EQ(RunCommand("cp " DISPCALL_PATH " " + ShellQuote(folder + "dispcall") + " && echo ok"), "ok\n");
        ASSERT_TRUE(testsupport::WriteFile(folder + "Zorvik31",
                                           "#!/bin/sh\necho \"$@\" > '" + m_dir / "engine.log" + "'\n" + body + "\n"));
        ::chmod((folder + "Zorvik31").c_str(), 0755);
        m_strHost = folder + "dispcall";
    }

    std::string Dispcall(const std::string& calls, const std::string& env = "") {
        int st = -1;
        return RunCommand(m_env + "CORVANE_EKG_DEVICE_PORT=" + std::to_string(m_nPort) +
                              " CORVANE_EKG_MONITOR_PORT=" + std::to_string(m_nMonitorPort) + " " + env + " " +
                              ShellQuote(m_strHost) + " WAVELIN2.WavelinCtrl.1 " + calls + " 2>&1",
                          &st);
    }

    std::string Record(const std::string& waitFor, const std::string& after = "",
                       const std::string& env = "") {
        return Dispcall("'EKGSetDiagTempDir(" + m_dir / "eng" + ")' 'EKGStartRecording(127.0.0.1, 3000)' " +
                            ShellQuote("@wait(" + waitFor + ",20000)") + " '@wait(1500)' " + after,
                        env);
    }

    testsupport::CTempDir m_dir;
    CChildProcess m_cart;
    std::string m_env, m_strHost;
    int m_nPort = 0, m_nMonitorPort = 0, m_nStarts = 0;
};

}  // namespace

TEST_F(CartTest, RecordingIsAnalysedByTheEngine) {
    StartCart({"--rate-bpm", "75", "--expect", m_dir / "truth.json", "--statement", "Cart says hi"});
    const std::string out = Record("EKGRecordCompleted",
                                   "'EKGGetRhythmParam(0)' 'EKGGetPatientInfo(0)' 'EKGGetPatientInfo(1)' 'EKGGetMode()'");
    EXPECT_NE(out.find("event EKGConnected(0, 2)\n"), std::string::npos) << out;
    for (int percent = 5; percent <= 100; percent += 5) {
        EXPECT_NE(out.find("event EKGRecordReceiving(" + std::to_string(percent)), std::string::npos) << percent;
    }
    EXPECT_EQ(Count(out, "event EKGRecordReceiving("), 20);
    EXPECT_NE(out.find("wait EKGRecordCompleted\n"), std::string::npos) << out;
    EXPECT_EQ(Count(out, "event EKGConnected("), 1) << out;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(out, m, std::regex("EKGGetRhythmParam = (\\d+)"))) << out;
    EXPECT_LE(std::abs(std::stoi(m[1]) - 75), 1) << out;
    EXPECT_NE(out.find("EKGGetPatientInfo = CART-0042\nEKGGetPatientInfo = Jones\n"), std::string::npos) << out;
    EXPECT_NE(out.find("EKGGetMode = 7"), std::string::npos) << out;
    EXPECT_NE(m_cart.Output().find("CMD 1 0\n"), std::string::npos);
    EXPECT_EQ(Count(m_cart.Output(), "CMD "), 1) << m_cart.Output();

    // The engine input and its result lie in the engine folder; the derived leads of the
    // input follow exactly from I and II.
    const std::string raw = ReadFile(m_dir / "eng/__temp.raw");
    ASSERT_GE(raw.size(), 12u * 10200u);
    EXPECT_TRUE(testsupport::Exists(m_dir / "eng/__temp.ksi"));
    auto sample = [&](int lead, int i) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(raw.data()) + lead * 10200 + 2 * i;
        return static_cast<short>(p[0] | (p[1] << 8));
    };
    int nonZero = 0;
    for (int i = 0; i < 5000; ++i) {
        const short a = sample(0, i), b = sample(1, i);
        nonZero += a != 0;
        ASSERT_EQ(sample(2, i), static_cast<short>(b - a)) << i;
        ASSERT_EQ(sample(3, i), static_cast<short>(-((a + b) / 2))) << i;
        ASSERT_EQ(sample(4, i), static_cast<short>((a - static_cast<short>(b - a)) / 2)) << i;
        ASSERT_EQ(sample(5, i), static_cast<short>((b + static_cast<short>(b - a)) / 2)) << i;
    }
    EXPECT_GT(nonZero, 1000);
}

TEST_F(CartTest, PacemakerMarksGiveExactlyTwoStatements) {
    StartCart({"--pace", "1200,2400,3600"});
    const std::string out = Record("EKGRecordCompleted", "'EKGGetAnalysisCnt()' 'EKGGetAnalysis(0)' 'EKGGetAnalysis(1)'");
    EXPECT_NE(out.find("EKGGetAnalysisCnt = 2\nEKGGetAnalysis = Pacemaker Rhythm\nEKGGetAnalysis = [Abnormal ECG]\n"),
              std::string::npos)
        << out;
}

// Each script and the one outcome it must end with.
TEST_F(CartTest, EveryScriptEndsWithOneOutcome) {
    struct Case {
        std::vector<std::string> cart;
        const char* outcome;
    } cases[] = {
        {{"--items", "999"}, "RecordSignalNotGood"},
        {{"--items", "1000", "--chunk", "7"}, "EKGRecordCompleted"},
        {{"--items", "1000", "--chunk", "4097", "--delay", "0.001"}, "EKGRecordCompleted"},
        {{"--script", "bad-lengths"}, "EKGRecordCompleted"},
        {{"--tag", "0x40", "--items", "1200"}, "EKGRecordCompleted"},
        {{"--script", "hostile"}, "EKGRecordCompleted"},
        {{"--script", "stall", "--items", "1500"}, "EKGConnected(10060, -1)"},
        {{"--script", "close", "--items", "500"}, "EKGConnected(10060, -1)"},
        {{"--script", "close", "--items", "1100"}, "EKGConnected(10060, -1)"},
        {{"--script", "silence"}, "EKGConnected(10060, -1)"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.cart;
        StartCart(args);
        const std::string out = Record(std::string(c.outcome).substr(0, std::string(c.outcome).find('(')),
                                       "'@wait(1000)' 'EKGGetPatientInfo(0)'");
        SCOPED_TRACE(c.cart.back() + " " + c.outcome + "\n" + out);
        EXPECT_NE(out.find(std::string("event ") + c.outcome), std::string::npos);
        const int outcomes = Count(out, "event EKGRecordCompleted") + Count(out, "event RecordSignalNotGood") +
                             Count(out, "event EKGRecordFail") + Count(out, "event EKGConnected(100");
        EXPECT_EQ(outcomes, 1);
        if (std::string(c.outcome) == "EKGRecordCompleted" && c.cart.back() != "hostile") {
            EXPECT_NE(out.find("EKGGetPatientInfo = CART-0042"), std::string::npos);
        }
        m_cart.Kill();
    }
}

TEST_F(CartTest, RefusedPortIsReportedOnce) {
    m_nPort = FreePort(SOCK_STREAM);
    const std::string out = Record("EKGConnected", "'@wait(1500)' 'EKGGetMode()'");
    EXPECT_NE(out.find("event EKGConnected(10061, -1)\n"), std::string::npos) << out;
    EXPECT_EQ(Count(out, "event EKGConnected("), 1) << out;
}

TEST_F(CartTest, HostStopCancelsWithoutAnEvent) {
    StartCart({"--items", "1000", "--chunk", "820", "--delay", "0.05"});
    const std::string out = Dispcall("'EKGStartRecording(127.0.0.1, 3000)' '@wait(EKGRecordReceiving,20000)' "
                                     "'EKGStopRecording()' '@wait(1500)' 'EKGGetMode()' 'EKGStopRecording()'");
    EXPECT_NE(out.find("EKGStopRecording = FALSE\n"), std::string::npos) << out;  // nothing under way
    EXPECT_NE(out.find("EKGGetMode = 0\n"), std::string::npos) << out;
    EXPECT_EQ(Count(out, "event EKGConnected("), 1) << out;
    EXPECT_EQ(Count(out, "event EKGRecord"), 1) << out;  // the one progress event
    EXPECT_TRUE(m_cart.WaitForText("CMD 1 1\n", 5000)) << m_cart.Output();
}

TEST_F(CartTest, StubEngineGetsItsArgumentsAndItsFailuresFailTheRecording) {
    struct Case {
        const char* body;
        const char* outcome;
    } cases[] = {
        {"exit 7", "EKGRecordFail(1)"},
        {"sleep 30", "EKGRecordFail(1)"},
        {"exit 0", "EKGRecordFail(1)"},  // writes nothing
    };
    StubHost("");
    for (const Case& c : cases) {
        ASSERT_TRUE(testsupport::WriteFile(m_dir / "host/Zorvik31",
                                           "#!/bin/sh\necho \"$@\" > '" + m_dir / "engine.log" + "'\n" + c.body + "\n"));
        StartCart({"--filter", "0xFF,3,0xFF,1", "--mode", "5"});
        const std::string out = Record("EKGRecordFail", "", "CORVANE_EKG_ENGINE_TIMEOUT_MS=1500");
        SCOPED_TRACE(std::string(c.body) + "\n" + out);
        EXPECT_NE(out.find(std::string("event ") + c.outcome), std::string::npos);
        EXPECT_EQ(Count(out, "event EKGRecordCompleted"), 0);
        EXPECT_EQ(ReadFile(m_dir / "engine.log"), m_dir / "eng/__temp.raw 2 3 1 1 1 0\n");
        m_cart.Kill();
    }
}

// The engine's input cannot be written (the host's folder, or the engine folder, lies under
// a file): the host hears so, and the recording stays loaded for it to save.
TEST_F(CartTest, RecordingThatCannotBeWrittenForTheEngineIsKept) {
    ASSERT_TRUE(testsupport::WriteFile(m_dir / "file", "x"));
    struct Case {
        const char* what;
        std::string setDir, env;
    } cases[] = {
        {"host folder", "", "CORVANE_HOME=" + ShellQuote(m_dir / "file/home")},
        {"engine folder", "'EKGSetDiagTempDir(" + m_dir / "file/eng" + ")' ", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartCart({});
        const std::string kept = m_dir / (std::string(c.what) + ".ekg");
        const std::string out =
            Dispcall(c.setDir +
                         "'EKGStartRecording(127.0.0.1, 3000)' '@wait(EKGRecordFail,20000)' "
                         "'EKGGetMode()' " +
                         "'EKGGetPatientInfo(0)' 'EKGSaveFile(" + kept +
                         ")' 'EKGClearGraph()' 'EKGOpenFile(" + kept + ")' 'EKGGetPatientInfo(1)'",
                     c.env);
        EXPECT_NE(out.find("event EKGRecordFail(2)\n"), std::string::npos) << out;
        EXPECT_EQ(Count(out, "event EKGRecordCompleted"), 0) << out;
        EXPECT_NE(out.find("EKGGetMode = 7\nEKGGetPatientInfo = CART-0042\nEKGSaveFile = TRUE\n"),
                  std::string::npos)
            << out;
        EXPECT_NE(out.find("EKGOpenFile = TRUE\nEKGGetPatientInfo = Jones\n"), std::string::npos)
            << out;
        EXPECT_GE(ReadFile(kept).size(), 12u * 10200u);
        m_cart.Kill();
    }
}

TEST_F(CartTest, MonitoringThroughDispcall) {
    StartCart({"--datagrams", "400", "--rate", "100", "--flags", "0:0,0:0,21:a0,0:0"});
    const std::string out = Dispcall("'EKGStartMonitoring(127.0.0.1, 1000)' '@wait(EKGConnected,10000)' "
                                     "'@wait(2000)' 'EKGGetMode()' 'EKGStopMonitoring()' 'EKGGetMode()' '@wait(500)'",
                                     "CORVANE_EKG_STATUS_MS=1000");
    EXPECT_NE(out.find("event EKGConnected(0, 1)\n"), std::string::npos) << out;
    // Lead-fault events of datagrams in flight may stand between the calls.
    const std::string calls = std::regex_replace(out, std::regex("event EKGLeadFault\\(\\d+\\)\n"), "");
    EXPECT_NE(calls.find("EKGGetMode = 3\nEKGStopMonitoring = TRUE\nEKGGetMode = 4\n"), std::string::npos) << out;
    EXPECT_NE(out.find("event EKGLeadFault(1)\nevent EKGLeadFault(3)\nevent EKGLeadFault(6)\nevent EKGLeadFault(11)\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(Count(out, "event EKGConnected("), 1) << out;  // no false stall while data flows
    EXPECT_TRUE(m_cart.WaitForText("CMD 0 1\n", 5000)) << m_cart.Output();
    EXPECT_NE(m_cart.Output().find("CMD 0 0\n"), std::string::npos);
}

TEST_F(CartTest, SignalNotGoodStopsMonitoring) {
    StartCart({"--datagrams", "100", "--rate", "100", "--bad-at", "20"});
    const std::string out = Dispcall("'EKGStartMonitoring(127.0.0.1, 1000)' '@wait(MonitorSignalNotGood,10000)' "
                                     "'@wait(800)' 'EKGGetMode()'",
                                     "CORVANE_EKG_STATUS_MS=1000");
    EXPECT_NE(out.find("wait MonitorSignalNotGood\n"), std::string::npos) << out;
    EXPECT_NE(out.find("EKGGetMode = 4\n"), std::string::npos) << out;
    EXPECT_EQ(Count(out, "event EKGConnected("), 1) << out;
}

// The library's own finder, in a network namespace of the test with only lo up.
TEST_F(CartTest, LibraryFinderFindsTheCart) {
    // The device runs only as long as the namespace's shell: it is killed before the end.
    const std::string script =
        "ip link set lo up || exit 1; /usr/bin/python3 " + ShellQuote(kDevsim) +
        " finder-device --id CART9 --text 'Cart nine' --ip 10.4.5.6 --seconds 15 > " +
        ShellQuote(m_dir / "finder.log") + " 2>&1 & dev=$!; sleep 1; " + m_env + ShellQuote(m_strHost) +
        " WAVELIN2.WavelinCtrl.1 'EKGSetIPExchangeType(17)' 'EKGConnectedSearch(1500)' 'EKGGetConnectedEKGCnt()'"
        " 'EKGGetConnectedEKGIP(0)' 'EKGGetConnectedEKGID(0)' 'EKGGetConnectedEKGInfo(0)' 'EKGGetConnectedEKGInfo(1)';"
        " kill $dev; wait $dev";
    int st = -1;
    const std::string out = RunCommand("unshare -n sh -c " + ShellQuote(script) + " 2>&1", &st);
    EXPECT_NE(out.find("EKGConnectedSearch = 1\nEKGGetConnectedEKGCnt = 1\nEKGGetConnectedEKGIP = 10.4.5.6\n"
                       "EKGGetConnectedEKGID = CART9\nEKGGetConnectedEKGInfo = 10.4.5.6:CART9:Cart nine\n"
                       "EKGGetConnectedEKGInfo = \n"),
              std::string::npos)
        << out << ReadFile(m_dir / "finder.log");
    // The search's request carried type 17 and the loopback address.
    EXPECT_NE(ReadFile(m_dir / "finder.log").find("RECV fd0020117f000001"), std::string::npos);
}

// The real QarServer program, offscreen, with private folders, on a free loopback port:
// devices send with the simulator, records land by the folder setting and are entered in
// "FQarServer.ini" (read back by Python's configparser), a second start, a busy port, an
// idle device, the signals, and the calls it makes on the controls (through recctl).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/folders.h"
#include "platform/profile.h"
#include "qarserverrun.h"
#include "qtenv.h"
#include "testsupport/testsupport.h"
#include "testsupport/xvfb.h"

namespace {

using qare2e::CServer;
using qare2e::Exists;
using qare2e::MinuteNow;
using qare2e::Replace;
using qare2e::Today;
using qare2e::WaitForFile;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::ShellQuote;

class QarServerE2E : public qare2e::CServerTest {};

}  // namespace

TEST_F(QarServerE2E, RecordsLandByFolderTypeAndAreListed) {
    // Two servers at once, each with its own folders (and so its own instance lock); folder
    // type 0 is the default of the other tests, checked where many carts send.
    std::vector<std::unique_ptr<testsupport::CTempDir>> dirs;
    std::vector<std::unique_ptr<CServer>> servers;
    for (int nType : {1, 2}) {
        dirs.push_back(std::make_unique<testsupport::CTempDir>());
        ::mkdir((*dirs.back() / "run").c_str(), 0700);
        servers.push_back(std::make_unique<CServer>(dirs.back()->Path()));
        m_pServer.swap(servers.back());
        WriteSetting("FOLDER TYPE", std::to_string(nType));
        m_pServer.swap(servers.back());
        ASSERT_TRUE(servers.back()->Start());
    }
    for (int nType : {1, 2}) {
        SCOPED_TRACE("folder type " + std::to_string(nType));
        CServer& server = *servers[static_cast<std::size_t>(nType - 1)];
        const std::string t = std::to_string(nType);
        const struct {
            std::string id, script, file;
            bool ecg;
        } records[] = {
            {"E" + t, "frame-ecg", "_20260304050607.ekg", true},
            // A legacy cart's time has no seconds, and it gets no reply.
            {"L" + t, "legacy-ecg", "_202603040506.ekg", true},
            {"F" + t, "frame-fvc", "_20260304050607.fvc", false},
        };
        for (const auto& r : records) {
            const std::string out = server.Device(r.script + " --id " + r.id);
            if (r.id[0] != 'L') {
                EXPECT_NE(out.find("REPLY fc0600ef"), std::string::npos)
                    << out << "\nserver running: " << server.IsRunning() << "\n"
                    << server.Stderr();
            }
        }
        ASSERT_EQ(server.Stop(SIGTERM), 0);

        m_pServer.swap(servers[static_cast<std::size_t>(nType - 1)]);
        const std::string list = ListByConfigParser();
        for (const auto& r : records) {
            const std::string folder = nType == 1 ? r.id + "/" : r.ecg ? "EKG/" : "SPIRO/";
            const std::string path = m_pServer->Data() + folder + r.id + r.file;
            EXPECT_TRUE(Exists(path)) << path;
            EXPECT_NE(list.find("PAT" + r.id + "_" + Today()), std::string::npos) << list;
            EXPECT_NE(list.find("=" + r.id + " " + Today()), std::string::npos) << list;
            EXPECT_NE(list.find(" " + path + "\n"), std::string::npos) << list;
        }
        m_pServer.swap(servers[static_cast<std::size_t>(nType - 1)]);
    }
}

TEST_F(QarServerE2E, RestartDropsYesterdaysEntriesAndKeepsTodays) {
    ASSERT_TRUE(m_pServer->Start());
    EXPECT_NE(m_pServer->Device("frame-ecg --id T1").find("fc0600ef"), std::string::npos);
    std::string err;
    ASSERT_EQ(m_pServer->Stop(SIGINT, &err), 0);
    EXPECT_EQ(err.find("Sanitizer"), std::string::npos) << err;
    EXPECT_EQ(err.find("runtime error"), std::string::npos) << err;
    const std::string file = m_pServer->Data() + "FQarServer.ini";
    std::vector<std::string> lines = platform::GetProfileSection(file, "DATA_LIST");
    ASSERT_EQ(lines.size(), 1u);
    const std::string y = Today(-1);
    lines.insert(lines.begin(), "PATY1_" + y + "0900=Y1 " + y + "0900 /old/Y1.ekg");
    lines.insert(lines.begin() + 1, "PATY2_" + y + "2359=Y2 " + y + "2359 /old/Y2.ekg");
    ASSERT_TRUE(platform::WriteProfileSection(file, "DATA_LIST", lines));

    ASSERT_TRUE(m_pServer->Start());
    const std::string list = ListByConfigParser();
    EXPECT_EQ(list.find("PATY1"), std::string::npos) << list;
    EXPECT_EQ(list.find("PATY2"), std::string::npos) << list;
    EXPECT_NE(list.find("PATT1_" + Today()), std::string::npos) << list;
    EXPECT_EQ(m_pServer->Stop(SIGTERM), 0);
}

TEST_F(QarServerE2E, SecondStartLeavesTheFirstAloneAndAKilledOneDoesNotBlock) {
    ASSERT_TRUE(m_pServer->Start());
    EXPECT_NE(m_pServer->Device("frame-ecg --id F1").find("fc0600ef"), std::string::npos);
    const std::string log = m_pServer->Home() + "ekg_debug.txt";
    struct stat before {};
    ASSERT_EQ(::stat(log.c_str(), &before), 0);
    const std::string logText = ReadFile(log);
    const std::string profile = ReadFile(m_pServer->Profile());

    CServer second(m_dir.Path());
    std::string err;
    EXPECT_EQ(second.RunToEnd({}, err), 1);
    EXPECT_NE(err.find("Qar server já está sendo executado!!!"), std::string::npos) << err;
    struct stat after {};
    ASSERT_EQ(::stat(log.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadFile(log), logText);
    EXPECT_EQ(ReadFile(m_pServer->Profile()), profile);
    // The first still stores.
    EXPECT_NE(m_pServer->Device("frame-ecg --id F2").find("fc0600ef"), std::string::npos);
    EXPECT_NE(ListByConfigParser().find("PATF2_"), std::string::npos);

    m_pServer->Kill();  // SIGKILL: the lock dies with it
    CServer third(m_dir.Path());
    ASSERT_TRUE(third.Start());
    EXPECT_NE(third.Device("frame-ecg --id F3").find("fc0600ef"), std::string::npos);
    EXPECT_EQ(third.Stop(SIGTERM), 0);
}

TEST_F(QarServerE2E, BusyPortIsReportedWithItsNumberAndTheProgramStaysUp) {
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::LocalHost, 0));
    m_pServer = std::make_unique<CServer>(m_dir.Path());
    CServer& s = *m_pServer;
    // The start line never comes: wait for the message instead.
    QProcess proc;
    proc.setProcessEnvironment(s.Env());
    proc.start(QARSERVER_PATH,
               {"--address", "127.0.0.1", "--port", QString::number(busy.serverPort()),
                "--device-search", "off", "--no-splash"});
    ASSERT_TRUE(proc.waitForStarted(10000));
    QByteArray err;
    for (int i = 0; i < 100 && !err.contains("Fail to listen server socket"); ++i) {
        proc.waitForReadyRead(200);
        err += proc.readAllStandardError();
    }
    EXPECT_TRUE(err.contains("Fail to listen server socket")) << err.toStdString();
    EXPECT_EQ(proc.state(), QProcess::Running);
    EXPECT_NE(ReadFile(s.Home() + "ekg_debug.txt").find("Fail to listen server socket (10048)"),
              std::string::npos);
    ::kill(static_cast<pid_t>(proc.processId()), SIGTERM);
    ASSERT_TRUE(proc.waitForFinished(20000));
    EXPECT_EQ(proc.exitCode(), 0);
    err += proc.readAllStandardError();
    // Closing while stopped says so, then ends.
    EXPECT_TRUE(err.contains("Servidor não está sendo executado!!!")) << err.toStdString();
}

TEST_F(QarServerE2E, IdleDeviceIsDroppedAtTheSecondPeriod) {
    ASSERT_TRUE(m_pServer->Start({"--idle-ms", "600"}));
    QTcpSocket sock;
    sock.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(m_pServer->Port()));
    ASSERT_TRUE(sock.waitForConnected(5000));
    QElapsedTimer timer;
    timer.start();
    while (sock.state() == QAbstractSocket::ConnectedState && timer.elapsed() < 5000)
        sock.waitForReadyRead(50);
    const qint64 nMs = timer.elapsed();
    EXPECT_NE(sock.state(), QAbstractSocket::ConnectedState);
    // Never at the first tick after connecting; at the latest at the second.
    EXPECT_GE(nMs, 550);
    EXPECT_LE(nMs, 1900);
    EXPECT_EQ(m_pServer->Stop(SIGTERM), 0);
}

// SIGINT: the restart test above.
TEST_F(QarServerE2E, SigtermEndsWithStatusZeroAndNoSanitizerReport) {
    ASSERT_TRUE(m_pServer->Start());
    // A device still connected when the program ends.
    QTcpSocket sock;
    sock.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(m_pServer->Port()));
    ASSERT_TRUE(sock.waitForConnected(5000));
    EXPECT_NE(m_pServer->Device("frame-ecg --id G1").find("fc0600ef"), std::string::npos);
    std::string err;
    EXPECT_EQ(m_pServer->Stop(SIGTERM, &err), 0);
    EXPECT_EQ(err.find("Sanitizer"), std::string::npos) << err;
    EXPECT_EQ(err.find("runtime error"), std::string::npos) << err;
}

TEST_F(QarServerE2E, StartUpCallsOnTheControls) {
    const std::string regctl = REGCTL_PATH;
    const std::string env = "XDG_CONFIG_HOME=" + ShellQuote(m_dir / "config") + " ";
    int nStatus = -1;
    RunCommand(env + ShellQuote(regctl) + " " + ShellQuote(RECCTL_PATH), &nStatus);
    ASSERT_EQ(nStatus, 0);
    const std::string kMisc =
        "Wavelin.EKGSetMisc(2, \"Corvane Co., Ltd.\")\n"
        "Wavelin.EKGSetMisc(3, \"RovEzez Ver 1.16(20160504)\")\n";
    const std::string kSearch =
        "Wavelin.EKGSetIPExchangeType(17)\n"
        "Wavelin.EKGConnectedSearch(100)\n";
    const std::string kInfo =
        "Flowlin.SetInformation(20, \"Corvane Co., Ltd.\")\n"
        "Flowlin.SetInformation(22, \"RovEzez Ver 1.16(20160504)\")\n";
    const struct {
        const char* search;
        std::string expected;
    } cases[] = {{"off", kMisc + kInfo}, {"loopback", kMisc + kSearch + kInfo}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.search);
        std::remove((m_dir / "calls.log").c_str());
        m_pServer = std::make_unique<CServer>(m_dir.Path());
        ASSERT_TRUE(m_pServer->Start({"--device-search", c.search}));
        std::string err;
        EXPECT_EQ(m_pServer->Stop(SIGTERM, &err), 0);
        EXPECT_EQ(ReadFile(m_dir / "calls.log"), c.expected);
        EXPECT_EQ(err.find("Fail to initialize"), std::string::npos) << err;
    }
    // Nothing registered: both messages, and records are still listed.
    RunCommand(env + ShellQuote(regctl) + " -u " + ShellQuote(RECCTL_PATH), &nStatus);
    std::remove((m_dir / "calls.log").c_str());
    m_pServer = std::make_unique<CServer>(m_dir.Path());
    ASSERT_TRUE(m_pServer->Start());
    EXPECT_NE(m_pServer->Device("frame-ecg --id N1").find("fc0600ef"), std::string::npos);
    std::string err;
    EXPECT_EQ(m_pServer->Stop(SIGTERM, &err), 0);
    EXPECT_NE(err.find("Fail to initialize the Wavelin!!"), std::string::npos) << err;
    EXPECT_NE(err.find("Fail to initialize the Flowlin!!"), std::string::npos) << err;
    EXPECT_FALSE(Exists(m_dir / "calls.log"));
    EXPECT_NE(ListByConfigParser().find("PATN1_"), std::string::npos);
}

// ---- conversions of the stored records through the real ECG control -------------------

TEST_F(QarServerE2E, EcgRecordsBecomeImagePdfXmlAndTextReports) {
    int nStatus = -1;
    const std::string kCart =
        "--age 45 --sex F --height 170 --weight 70L --globals 72,160,96,380,402,45,-30,60";
    const std::string templ = ReadFile(std::string(REPORTS_DATA) + "/server_ekg.txt");
    ASSERT_FALSE(templ.empty());
    struct Case {
        int folderType;
        const char* working;  // the working folder under the test's folder ("" default)
        int jpegSize, jpegWidth;
    } const cases[] = {{0, "", 2, 1024}, {1, "", 0, 800}, {2, "EKG_data", 5, 2700}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folderType);
        testsupport::CTempDir run;
        ::mkdir((run / "run").c_str(), 0700);
        m_pServer = std::make_unique<CServer>(run.Path());
        for (const char* key : {"JPEG EKG", "PDF EKG", "TXT EKG", "XML EKG", "TXT PAT EKG",
                                "TXT PARAM EKG", "TXT DIAG EKG", "TXT HOSP EKG"}) {
            ASSERT_TRUE(platform::MakeDirs(run / "config/Corvane/Corvane"));
            platform::WriteProfileString(m_pServer->Profile(), "Environment", key, "1");
        }
        platform::WriteProfileString(m_pServer->Profile(), "Environment", "FOLDER TYPE",
                                     std::to_string(c.folderType).c_str());
        platform::WriteProfileString(m_pServer->Profile(), "Environment", "JPEG Size EKG",
                                     std::to_string(c.jpegSize).c_str());
        std::string data = m_pServer->Data();
        if (*c.working) {
            data = run / (std::string(c.working) + "/");
            platform::WriteProfileString(m_pServer->Profile(), "Environment", "Working Folder",
                                         data.c_str());
        }
        // The control registry is per user: this run's configuration gets the control too.
        RunCommand("XDG_CONFIG_HOME=" + ShellQuote(run / "config") + " " + ShellQuote(REGCTL_PATH) +
                       " " + ShellQuote(WAVELIN_PATH),
                   &nStatus);
        ASSERT_EQ(nStatus, 0);
        ASSERT_TRUE(m_pServer->Start());
        const std::string before = MinuteNow();
        EXPECT_NE(m_pServer->Device("frame-ecg " + kCart).find("fc0600ef"), std::string::npos);
        m_pServer->Device("legacy-ecg --date 20260304050700 " +
                          kCart);  // a legacy cart gets no reply
        EXPECT_NE(m_pServer->Device("frame-ecg --raw --id RAW1").find("fc0600ef"),
                  std::string::npos);

        const std::string recDir = c.folderType == 0   ? data
                                   : c.folderType == 1 ? data + "SIM001/"
                                                       : data + "EKG/";
        auto out = [&](const char* kind, const std::string& name) {
            return c.folderType == 2 ? data + kind + "/" + name : recDir + name;
        };
        for (const char* base : {"SIM001_20260304050607", "SIM001_202603040507"}) {
            SCOPED_TRACE(base);
            const std::string rec = recDir + base + ".ekg";
            const std::string txt = out("TEXT", std::string(base) + "_ekg.txt");
            ASSERT_TRUE(WaitForFile(txt, 60)) << txt;
            ASSERT_TRUE(WaitForFile(out("XML", std::string(base) + "_ekg.xml"), 30));
            const std::string jpg = out("JPEG", std::string(base) + "_ekg.jpg");
            const std::string pdf = out("PDF", std::string(base) + "_ekg.pdf");
            EXPECT_EQ(
                RunCommand("identify -format '%m %w %h' " + ShellQuote(jpg)),
                "JPEG " + std::to_string(c.jpegWidth) + " " + std::to_string(c.jpegWidth * 3 / 4));
            RunCommand("qpdf --check " + ShellQuote(pdf) + " >/dev/null 2>&1", &nStatus);
            EXPECT_EQ(nStatus, 0);
            const std::string text = RunCommand("pdftotext " + ShellQuote(pdf) + " -");
            EXPECT_NE(text.find("SIM001"), std::string::npos);
            EXPECT_NE(text.find("Sinus rhythm"), std::string::npos);
            RunCommand("xmllint --noout " + ShellQuote(out("XML", std::string(base) + "_ekg.xml")) +
                           " 2>&1",
                       &nStatus);
            EXPECT_EQ(nStatus, 0);
            const std::string time =
                std::string(base).size() > 20 ? "2026/03/04 05:06" : "2026/03/04 05:07";
            std::string expected = Replace(templ, "@TIME@", time);
            expected = Replace(expected, "@REC@", rec);
            expected = Replace(expected, "@JPG@", jpg);
            expected = Replace(expected, "@PDF@", pdf);
            const std::string got = ReadFile(txt);
            // Written within the run: the minute it started or the one it ended in.
            EXPECT_TRUE(got == Replace(expected, "@WRITE@", before) ||
                        got == Replace(expected, "@WRITE@", MinuteNow()))
                << got;
            EXPECT_EQ(ReadFile(rec).size(), 132640u);  // the record itself is never written over
        }
        // A 6000-sample record is listed but not converted.
        const std::string raw =
            (c.folderType == 1 ? data + "RAW1/" : recDir) + "RAW1_20260304050607.raw";
        EXPECT_TRUE(Exists(raw)) << raw;
        EXPECT_NE(ReadFile(data + "FQarServer.ini").find("RAW1_20260304050607.raw"),
                  std::string::npos);
        EXPECT_EQ(RunCommand("find " + ShellQuote(data) + " -name 'RAW1*_ekg*' | wc -l"), "0\n");
        if (c.folderType == 2) {
            // The working folder keeps its name; the type folders stand beside EKG.
            for (const char* kind : {"EKG", "JPEG", "PDF", "TEXT", "XML"})
                EXPECT_TRUE(Exists(data + kind)) << kind;
            EXPECT_FALSE(Exists(run / "_data"));
        }
        EXPECT_EQ(m_pServer->Stop(SIGTERM), 0);
    }
}

// The same conversions with a stand-in control that logs each call and answers as scripted.
TEST_F(QarServerE2E, ConversionCallsThroughAStandInControl) {
    int nStatus = -1;
    RunCommand("XDG_CONFIG_HOME=" + ShellQuote(m_dir / "config") + " " + ShellQuote(REGCTL_PATH) +
                   " " + ShellQuote(RECCTL_PATH),
               &nStatus);
    ASSERT_EQ(nStatus, 0);
    const std::string answers = m_dir / "answers.json";
    testsupport::CEnvScope scripted("RECCTL_ANSWERS", answers.c_str());
    const struct {
        const char* key;
        const char* value;
    } settings[] = {{"JPEG EKG", "1"},      {"PDF EKG", "1"},       {"TXT EKG", "1"},
                    {"XML EKG", "1"},       {"JPEG Type", "2"},     {"JPEG Gain", "4"},
                    {"JPEG Rhythm", "7"},   {"JPEG Size EKG", "1"}, {"PDF Type", "1"},
                    {"PDF Gain", "2"},      {"PDF Rhythm", "3"},    {"PDF Size EKG", "4"},
                    {"JPEG SPR", "1"},      {"PDF SPR", "1"},       {"TXT SPR", "1"},
                    {"JPEG Size SPR", "3"}, {"PDF Size SPR", "5"},  {"TXT PAT SPR", "1"},
                    {"TXT PARAM SPR", "1"}, {"TXT DIAG SPR", "1"},  {"TXT HOSP SPR", "1"}};
    for (const auto& s : settings)
        WriteSetting(s.key, s.value);
    ASSERT_TRUE(m_pServer->Start());
    const std::string data = m_pServer->Data();
    // The calls that make files, without the getters the text reports ask; the conversions
    // run after the device's answer, so they are waited for (at most 20 s) and then cleared.
    auto calls = [&](const std::string& expected) {
        std::string out;
        RunUntil(
            [&] {
                out.clear();
                std::istringstream log(ReadFile(m_dir / "calls.log"));
                for (std::string line; std::getline(log, line);) {
                    if (line.find(".EKGGet") == std::string::npos &&
                        line.find(".Get") == std::string::npos &&
                        line.find("SetMisc") == std::string::npos &&
                        line.find("SetInformation") == std::string::npos)
                        out += line + "\n";
                }
                return out == expected;
            },
            20000);
        std::remove((m_dir / "calls.log").c_str());
        return out;
    };
    calls("");

    // The control cannot open the record: listed, logged, nothing made; the next one is.
    testsupport::WriteFile(answers, "{\"Wavelin.EKGOpenFile\": false}");
    EXPECT_NE(m_pServer->Device("frame-ecg --id FAIL1").find("fc0600ef"), std::string::npos);
    const std::string failRec = data + "FAIL1_20260304050607.ekg";
    const std::string failCalls = "Wavelin.EKGOpenFile(\"" + failRec + "\")\n";
    EXPECT_EQ(calls(failCalls), failCalls);
    EXPECT_NE(ReadFile(m_pServer->Home() + "ekg_debug.txt")
                  .find("\nCMainFrame::MakeFile FAIL - m_Wavelin.EKGOpenFile(" + failRec + ")\n"),
              std::string::npos);
    EXPECT_NE(ReadFile(data + "FQarServer.ini").find("FAIL1_20260304050607.ekg"),
              std::string::npos);
    EXPECT_EQ(RunCommand("ls " + ShellQuote(data) + " | grep -c FAIL1_"), "1\n");

    testsupport::WriteFile(answers,
                           "{\"Wavelin.EKGOpenFile\": true, \"Wavelin.EKGMakeImage\": true, "
                           "\"Wavelin.EKGMakePDF\": true, \"Wavelin.EKGMakeXML\": true}");
    EXPECT_NE(m_pServer->Device("frame-ecg --id E1").find("fc0600ef"), std::string::npos);
    const std::string base = data + "E1_20260304050607";
    const std::string ecgCalls = "Wavelin.EKGOpenFile(\"" + base +
                                 ".ekg\")\n"
                                 "Wavelin.EKGSetGraphPen(0, 2, 0)\n"
                                 "Wavelin.EKGMakeImage(\"" +
                                 base +
                                 "_ekg.jpg\", 2, 4, 7, 900, 0)\n"
                                 "Wavelin.EKGMakePDF(\"" +
                                 base +
                                 "_ekg.pdf\", 1, 2, 3, 1600)\n"
                                 "Wavelin.EKGMakeXML(\"" +
                                 base + "_ekg.xml\")\n";
    EXPECT_EQ(calls(ecgCalls), ecgCalls);
    EXPECT_TRUE(Exists(base + "_ekg.txt"));

    // Spirometry: the test refused (-2): listed, nothing written.
    testsupport::WriteFile(answers, "{\"Flowlin.Open\": -2}");
    EXPECT_NE(m_pServer->Device("frame-svc --id S2").find("fc06"), std::string::npos);
    EXPECT_EQ(RunCommand("ls " + ShellQuote(data) + " | grep -c S2_"), "1\n");
    const std::string refusedCalls = "Flowlin.Open(\"" + data + "S2_20260304050607.svc\", 0)\n";
    EXPECT_EQ(calls(refusedCalls), refusedCalls);

    // Spirometry tests with scripted values: the calls in order and the report byte for byte.
    const std::string values =
        "\"Flowlin.GetFileVersion\": 2, \"Flowlin.GetInformation(10)\": \"2026\", "
        "\"Flowlin.GetInformation(11)\": \"3\", "
        "\"Flowlin.GetInformation(12)\": \"4\", \"Flowlin.GetInformation(13)\": \"5\", "
        "\"Flowlin.GetInformation(14)\": \"6\", "
        "\"Flowlin.GetInformation(20)\": \"Corvane Co., Ltd.\", \"Flowlin.GetInformation(22)\": "
        "\"RovEzez Ver 1.16(20160504)\", "
        "\"Flowlin.GetInformation(0)\": \"SIM001\", \"Flowlin.GetInformation(1)\": \"SIM "
        "PATIENT\", "
        "\"Flowlin.GetInformation(2)\": \"45\", \"Flowlin.GetInformation(3)\": \"F\", "
        "\"Flowlin.GetInformation(4)\": \"170\", "
        "\"Flowlin.GetInformation(5)\": \"150\", \"Flowlin.GetInformation(27)\": \"1\", "
        "\"Flowlin.GetInformation(8)\": \"0\", "
        "\"Flowlin.GetInformation(16)\": \"CLINIC\", \"Flowlin.GetInformation(17)\": \"DR SIM\", "
        "\"Flowlin.GetRaceString\": \"Caucasian\", \"Flowlin.GetSmokeString\": \"No\", "
        "\"Flowlin.GetFormulaString\": \"Knudson\", "
        "\"Flowlin.GetAnalysisString\": \"Normal\", \"Flowlin.GetParam\": 1.25, "
        "\"Flowlin.GetBestNo\": 1";
    const struct {
        const char* script;
        const char* id;
        const char* ext;
        int type;
        const char* expected;
    } tests[] = {{"frame-fvc", "F1", "fvc", 1, "server_fvc.txt"},
                 {"frame-mvv", "M1", "mvv", 3, "server_mvv.txt"}};
    for (const auto& t : tests) {
        SCOPED_TRACE(t.script);
        testsupport::WriteFile(answers, "{\"Flowlin.Open\": " + std::to_string(t.type) +
                                            ", \"Flowlin.GetTestType\": " + std::to_string(t.type) +
                                            ", " + values + "}");
        const std::string before = MinuteNow();
        EXPECT_NE(m_pServer->Device(std::string(t.script) + " --id " + t.id).find("fc06"),
                  std::string::npos);
        const std::string rec = data + t.id + "_20260304050607." + t.ext;
        const std::string out = data + t.id + "_20260304050607_" + t.ext;
        const std::string spiroCalls = "Flowlin.Open(\"" + rec +
                                       "\", 0)\n"
                                       "Flowlin.SaveJPEG(\"" +
                                       out +
                                       ".jpg\", 960)\n"
                                       "Flowlin.SavePDF(\"" +
                                       out + ".pdf\", 2025)\n";
        EXPECT_EQ(calls(spiroCalls), spiroCalls);
        ASSERT_TRUE(WaitForFile(out + ".txt", 20));
        std::string expected = ReadFile(std::string(REPORTS_DATA) + "/" + t.expected);
        expected = Replace(Replace(Replace(expected, "@REC@", rec), "@JPG@", out + ".jpg"), "@PDF@",
                           out + ".pdf");
        const std::string got = ReadFile(out + ".txt");
        EXPECT_TRUE(got == Replace(expected, "@WRITE@", before) ||
                    got == Replace(expected, "@WRITE@", MinuteNow()))
            << got;
    }
    EXPECT_EQ(m_pServer->Stop(SIGTERM), 0);
}

// Spirometry tests of the simulated spirometer in frame mode through the real spirometry
// control (a legacy test, which gets no answer, is listed and converted as they are), one
// folder per file type: the picture and the PDF judged by identify and qpdf, the text
// report byte for byte against the hand-made file of the same test.
TEST_F(QarServerE2E, SpirometryTestsBecomeImagePdfAndTextReportsThroughTheRealControl) {
    int nStatus = -1;
    RunCommand("XDG_CONFIG_HOME=" + ShellQuote(m_dir / "config") + " " + ShellQuote(REGCTL_PATH) +
                   " " + ShellQuote(FLOWLIN_PATH),
               &nStatus);
    ASSERT_EQ(nStatus, 0);
    for (const char* key : {"JPEG SPR", "PDF SPR", "TXT SPR", "TXT PAT SPR", "TXT PARAM SPR",
                            "TXT DIAG SPR", "TXT HOSP SPR"})
        WriteSetting(key, "1");
    WriteSetting("JPEG Size SPR", "2");
    WriteSetting("PDF Size SPR", "0");
    WriteSetting("FOLDER TYPE", "2");
    ASSERT_TRUE(m_pServer->Start());
    const std::string data = m_pServer->Data();
    // A legacy test (FVC type 1 comes only that way) is stored and unanswered.
    EXPECT_EQ(m_pServer->Device("legacy-fvc --id L1").find("REPLY"), std::string::npos);
    ASSERT_TRUE(WaitForFile(data + "SPIRO/L1_20260304050607.fvc", 30));
    const struct {
        const char* script;  // the simulator's script and its test type
        int type;
        const char* id;
        const char* ext;
        const char* expected;
    } tests[] = {{"frame-svc", 2, "S2", "svc", "device_svc.txt"},
                 {"frame-mvv", 3, "M3", "mvv", "device_mvv.txt"},
                 {"frame-fvc", 4, "F4", "fvc", "device_fvl.txt"},
                 {"frame-fvc-post", 5, "F5", "fvc", "device_prepost.txt"}};
    for (const auto& t : tests) {
        SCOPED_TRACE(t.script);
        const std::string before = MinuteNow();
        EXPECT_NE(m_pServer->Device(std::string(t.script) + " --id " + t.id).find("fc0600ef"),
                  std::string::npos);
        const std::string name = std::string(t.id) + "_20260304050607";
        const std::string rec = data + "SPIRO/" + name + "." + t.ext;
        const std::string jpg = data + "JPEG/" + name + "_" + t.ext + ".jpg";
        const std::string pdf = data + "PDF/" + name + "_" + t.ext + ".pdf";
        const std::string txt = data + "TEXT/" + name + "_" + t.ext + ".txt";
        ASSERT_TRUE(WaitForFile(txt, 60)) << txt;
        EXPECT_NE(ReadFile(data + "FQarServer.ini").find(rec), std::string::npos) << rec;
        const std::string record = ReadFile(rec);
        ASSERT_GT(record.size(), 2u) << rec;
        EXPECT_EQ(record[2], static_cast<char>(t.type));  // the test type byte
        EXPECT_EQ(RunCommand("identify -format '%m %w %h' " + ShellQuote(jpg)), "JPEG 768 1024");
        RunCommand("qpdf --check " + ShellQuote(pdf) + " >/dev/null 2>&1", &nStatus);
        EXPECT_EQ(nStatus, 0) << pdf;
        EXPECT_NE(RunCommand("pdftotext " + ShellQuote(pdf) + " -").find(t.id), std::string::npos);
        std::string expected = ReadFile(std::string(REPORTS_DATA) + "/" + t.expected);
        ASSERT_FALSE(expected.empty()) << t.expected;
        expected = Replace(Replace(Replace(expected, "@REC@", rec), "@JPG@", jpg), "@PDF@", pdf);
        const std::string got = ReadFile(txt);
        EXPECT_TRUE(got == Replace(expected, "@WRITE@", before) ||
                    got == Replace(expected, "@WRITE@", MinuteNow()))
            << got;
    }
    // The legacy test: listed, and its picture, PDF and text report made.
    const std::string legacy = "L1_20260304050607";
    EXPECT_NE(ReadFile(data + "FQarServer.ini").find(data + "SPIRO/" + legacy + ".fvc"),
              std::string::npos);
    ASSERT_TRUE(WaitForFile(data + "TEXT/" + legacy + "_fvc.txt", 60));
    EXPECT_EQ(
        RunCommand("identify -format '%m' " + ShellQuote(data + "JPEG/" + legacy + "_fvc.jpg")),
        "JPEG");
    RunCommand(
        "qpdf --check " + ShellQuote(data + "PDF/" + legacy + "_fvc.pdf") + " >/dev/null 2>&1",
        &nStatus);
    EXPECT_EQ(nStatus, 0);
    EXPECT_NE(ReadFile(data + "TEXT/" + legacy + "_fvc.txt").find("L1"), std::string::npos);
    EXPECT_EQ(m_pServer->Stop(SIGTERM), 0);
}

TEST_F(QarServerE2E, ManyCartsAtOnceAreAllStoredAndListed) {
    ASSERT_TRUE(m_pServer->Start());
    const std::string out = m_pServer->Device("frame-ecg --load 4 --count 5 --id LD");
    EXPECT_NE(out.find("\"stored\": 20"), std::string::npos) << out;
    EXPECT_NE(out.find("\"failed\": 0"), std::string::npos) << out;
    EXPECT_EQ(m_pServer->Stop(SIGTERM), 0);
    const std::string list = ListByConfigParser();
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 20) << list;
    for (int cart = 0; cart < 4; ++cart) {
        for (int rec = 0; rec < 5; ++rec) {
            char id[32];
            std::snprintf(id, sizeof id, "LD%03d%05d", cart, rec);
            EXPECT_NE(list.find(std::string("=") + id + " "), std::string::npos) << id;
            // Folder type 0: every record in the working folder itself.
            const std::size_t at = list.find(std::string(" ") + m_pServer->Data() + id + "_");
            EXPECT_NE(at, std::string::npos) << id;
            if (at != std::string::npos) {
                const std::string path = list.substr(at + 1, list.find('\n', at) - at - 1);
                EXPECT_TRUE(Exists(path)) << path;
            }
        }
    }
}

// A packet device sends finished files: an ECG record, a spirometry test and a PDF land
// byte for byte where the folder setting puts them and are listed.
TEST_F(QarServerE2E, PacketDeviceFilesLandWholeAndAreListed) {
    WriteSetting("FOLDER TYPE", "2");
    const std::string strFixtures = m_dir / "fixtures/";
    int nStatus = 0;
    RunCommand("python3 " FIXTURES_DIR "/ekg_fixtures.py " + ShellQuote(strFixtures), &nStatus);
    ASSERT_EQ(nStatus, 0);
    RunCommand(
        "python3 " FIXTURES_DIR "/spiro/make_spiro_fixtures.py " + ShellQuote(strFixtures) + " 1 2",
        &nStatus);
    ASSERT_EQ(nStatus, 0);
    RunCommand("qpdf --empty " + ShellQuote(strFixtures + "e.pdf"), &nStatus);
    ASSERT_EQ(nStatus, 0);
    ASSERT_TRUE(m_pServer->Start());
    const std::string out = m_pServer->Device(
        "packet-files --send " + ShellQuote(strFixtures + "server.ekg") +
        " --as P88_20260102030405.EKG --send " + ShellQuote(strFixtures + "spiro_t1_f2.fvc") +
        " --as P88_20260102030406.fvc --send " + ShellQuote(strFixtures + "e.pdf") +
        " --as P88_20260102030407.pdf");
    std::size_t nTaken = 0;
    for (std::size_t at = out.find("REPLY fc0600ef"); at != std::string::npos;
         at = out.find("REPLY fc0600ef", at + 1))
        ++nTaken;
    EXPECT_EQ(nTaken, 3u) << out;
    ASSERT_EQ(m_pServer->Stop(SIGTERM), 0);
    const std::string list = ListByConfigParser();
    const struct {
        const char *pszPath, *pszSource;
    } files[] = {{"EKG/P88_20260102030405.EKG", "server.ekg"},
                 {"SPIRO/P88_20260102030406.fvc", "spiro_t1_f2.fvc"},
                 {"PDF/P88_20260102030407.pdf", "e.pdf"}};
    for (const auto& f : files) {
        const std::string path = m_pServer->Data() + f.pszPath;
        EXPECT_EQ(ReadFile(path), ReadFile(strFixtures + f.pszSource)) << path;
        EXPECT_NE(list.find(" " + path + "\n"), std::string::npos) << list;
    }
}

// A server killed while it wrote leaves hidden temporary files; the next start removes
// those of its own pattern that are old enough. One written a moment ago may be another
// program's save in progress in the same folder: it stays.
TEST_F(QarServerE2E, StartRemovesStaleTemporaryFiles) {
    const std::string strData = m_pServer->Data();
    const std::string old = strData + "EKG/.X_20260102030405.ekg.Ab12Cd";
    const std::string fresh = strData + "EKG/.Y_20260102030405.ekg.Ef34Gh";
    ASSERT_TRUE(testsupport::WriteFile(old, "x"));
    ASSERT_TRUE(testsupport::WriteFile(fresh, "x"));
    ASSERT_TRUE(testsupport::WriteFile(strData + ".keep", "x"));
    const std::time_t tOld = std::time(nullptr) - 2 * 3600;
    const timeval times[2] = {{tOld, 0}, {tOld, 0}};
    ASSERT_EQ(::utimes(old.c_str(), times), 0);
    ASSERT_TRUE(m_pServer->Start());
    EXPECT_TRUE(RunUntil([&] { return !Exists(old); }, 10000));
    EXPECT_TRUE(Exists(fresh));
    EXPECT_TRUE(Exists(strData + ".keep"));
    ASSERT_EQ(m_pServer->Stop(SIGTERM), 0);
    EXPECT_TRUE(Exists(fresh));
}

#if defined(LINDAR_PATH) && \
    defined(FLOWLIN_PATH)  // built with the viewer and the spirometry control
// On a real X server: a record the server received is listed, and its row's "Run Lindar"
// (right click, then the menu's entry) starts the viewer named in "Environment"/"Lindar"
// with that record open.
TEST_F(QarServerE2E, RunLindarOpensTheListedRecordInTheViewer) {
    testsupport::CXvfb xvfb;
    ASSERT_TRUE(xvfb.Start()) << "Xvfb is needed";
    const std::string display = xvfb.Display();
    const std::string x = "DISPLAY=" + display + " ";

    WriteSetting("Lindar", LINDAR_PATH);
    int nStatus = -1;
    for (const char* control : {WAVELIN_PATH, FLOWLIN_PATH}) {
        RunCommand("XDG_CONFIG_HOME=" + ShellQuote(m_dir / "config") + " " +
                       ShellQuote(REGCTL_PATH) + " " + ShellQuote(control),
                   &nStatus);
        ASSERT_EQ(nStatus, 0);
    }
    m_pServer->SetDisplay(display);
    ASSERT_TRUE(m_pServer->Start());
    const std::string strDevice = m_pServer->Device("frame-ecg --id RUNL");
    ASSERT_NE(strDevice.find("REPLY fc0600ef"), std::string::npos) << strDevice;
    const std::string strPath = m_pServer->Data() + "RUNL_20260304050607.ekg";
    ASSERT_TRUE(RunUntil(
        [&] { return ListByConfigParser().find(" " + strPath + "\n") != std::string::npos; },
        20000))
        << ListByConfigParser();

    std::string strFrame;
    RunUntil(
        [&] {
            strFrame = RunCommand(x +
                                  "xdotool search --onlyvisible --name '^Qar Server$' 2>/dev/null "
                                  "| head -1 | tr -d '\\n'");
            return !strFrame.empty();
        },
        30000);
    ASSERT_FALSE(strFrame.empty()) << m_pServer->Stderr();
    // Row 0 (the newest record) lies under the menu bar and the column headings.
    std::string strLindar;
    for (int nTry = 0; nTry < 3 && strLindar.empty(); ++nTry) {
        RunFor(500);
        RunCommand(x + "xdotool mousemove --window " + strFrame + " 300 46 click 3");
        RunFor(500);
        RunCommand(x + "xdotool key Down Return");
        RunUntil(
            [&] {
                strLindar = RunCommand(
                    x + "xdotool search --name '^Lindar - ' 2>/dev/null | head -1 | tr -d '\\n'");
                return !strLindar.empty();
            },
            30000);
    }
    ASSERT_FALSE(strLindar.empty()) << RunCommand(x + "xwininfo -root -tree");
    // The window shows first, then the record opens in it.
    const std::string strTitle = "Lindar - " + strPath + "\n";
    RunUntil([&] { return RunCommand(x + "xdotool getwindowname " + strLindar) == strTitle; },
             30000);
    EXPECT_EQ(RunCommand(x + "xdotool getwindowname " + strLindar), strTitle);
    // The viewer runs on its own; it is ended by its own process id.
    const std::string strPid =
        RunCommand(x + "xdotool getwindowpid " + strLindar + " | tr -d '\\n'");
    ASSERT_GT(std::atoi(strPid.c_str()), 1);
    ::kill(std::atoi(strPid.c_str()), SIGTERM);
    RunUntil([&] { return ::kill(std::atoi(strPid.c_str()), 0) != 0; }, 20000);
    EXPECT_EQ(m_pServer->Stop(SIGTERM), 0);
}
#endif

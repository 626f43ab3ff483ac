// "Lindar -p <record>" under a real X server: the record opens with the print dialog, Enter
// (xdotool) accepts it and the page comes out of the default PDF queue of a private CUPS
// server (pdftotext); with "-u" the same parameter is a password and nothing is printed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <list>
#include <thread>

#include "testsupport/cupspeer.h"
#include "testsupport/testsupport.h"

using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

// A child in its own process group, killed with its group when the object goes.
class CChild {
public:
    CChild(const std::vector<std::string>& argv, const std::string& strLog) {
        m_pid = fork();
        if (m_pid == 0) {
            setpgid(0, 0);
            const int fd = open(strLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int nul = open("/dev/null", O_RDONLY);
            dup2(nul, 0);
            dup2(fd, 1);
            dup2(fd, 2);
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
    }
    ~CChild() {
        if (m_pid > 0) {
            kill(-m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    int Wait(int nMs) {
        for (int t = 0; t < nMs; t += 20) {
            int st = 0;
            if (waitpid(m_pid, &st, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }
    void Signal(int n) {
        if (m_pid > 0)
            kill(m_pid, n);
    }

private:
    pid_t m_pid = -1;
};

class LindarPrintE2E : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"cfg", "data", "tmp", "run", "home", "dcfg"})
            ASSERT_EQ(mkdir((dir / sub).c_str(), 0700), 0);
        // A record of clean beats with a named patient, written by the control itself.
        int nStatus = -1;
        std::string out = RunCommand(std::string(PYTHON_EXE " " ECGSYNTH_SCRIPT " ") + ShellQuote(dir / "synth.ekg") +
                                         " --rate 72 2>&1",
                                     &nStatus);
        ASSERT_EQ(nStatus, 0) << out;
        const std::string strEnv = "XDG_CONFIG_HOME=" + ShellQuote(dir / "dcfg") + " QT_QPA_PLATFORM=offscreen ";
        out = RunCommand(strEnv + REGCTL_PATH " " WAVELIN_PATH " 2>&1 && " + strEnv +
                             "ASAN_OPTIONS=detect_leaks=0 " DISPCALL_PATH " WAVELIN2.WavelinCtrl.1 'EKGOpenFile(\"" +
                             (dir / "synth.ekg") + "\")' 'EKGSetPatientInfo(1,\"Maria Oliveira\")' 'EKGSaveFile(\"" +
                             record + "\")' 2>&1",
                         &nStatus);
        ASSERT_EQ(nStatus, 0) << out;
        ASSERT_NE(out.find("EKGSaveFile = TRUE"), std::string::npos) << out;

        // The print system: a private cupsd whose default queue writes PDF files. Its
        // CUPS_SERVER is inherited by the program.
        ASSERT_TRUE(cups.Start()) << cups.Error();
        ASSERT_TRUE(cups.AddPdfQueue("LindarPdf")) << cups.Error();
        ASSERT_TRUE(cups.SetDefault("LindarPdf")) << cups.Error();

        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        xvfb = fork();
        if (xvfb == 0) {
            setpgid(0, 0);
            dup2(fds[1], 1);
            const int nul = open("/dev/null", O_RDWR);
            dup2(nul, 0);
            dup2(nul, 2);
            execlp("Xvfb", "Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string strNum;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') strNum += c;
        close(fds[0]);
        ASSERT_FALSE(strNum.empty()) << "Xvfb did not start";
        display = ":" + strNum;
        env.emplace_back("DISPLAY", display.c_str());
        env.emplace_back("QT_QPA_PLATFORM", "xcb");
        env.emplace_back("XDG_CONFIG_HOME", (dir / "cfg").c_str());
        env.emplace_back("XDG_DATA_HOME", (dir / "data").c_str());
        env.emplace_back("XDG_RUNTIME_DIR", (dir / "run").c_str());
        env.emplace_back("TMPDIR", (dir / "tmp").c_str());
        env.emplace_back("CORVANE_HOME", (dir / "home").c_str());
        env.emplace_back("LSAN_OPTIONS", "suppressions=" LSAN_SUPP);
    }
    void TearDown() override {
        if (xvfb > 0) {
            kill(-xvfb, SIGTERM);
            waitpid(xvfb, nullptr, 0);
        }
    }
    std::string Tree() { return RunCommand("xwininfo -display " + display + " -root -tree 2>&1"); }
    bool WaitWindow(const std::string& strName, int nMs = 45000) {
        for (int t = 0; t < nMs; t += 100) {
            if (Tree().find("\"" + strName + "\"") != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    std::unique_ptr<CChild> Start(std::vector<std::string> args, const std::string& strLog) {
        args.insert(args.begin(), LINDAR_PATH);
        return std::make_unique<CChild>(args, dir / strLog);
    }

    testsupport::CTempDir dir;
    const std::string record = dir / "named.ekg";
    testsupport::CCupsPeer cups;
    pid_t xvfb = -1;
    std::string display;
    std::list<testsupport::CEnvScope> env;
};

TEST_F(LindarPrintE2E, PrintPathOpensTheRecordAndEnterPrintsIt) {
    auto lindar = Start({"-p", record}, "lindar.log");
    ASSERT_TRUE(WaitWindow("Imprimir")) << testsupport::ReadFile(dir / "lindar.log");
    EXPECT_TRUE(WaitWindow("Lindar - " + record, 100)) << Tree();
    const std::string strId = RunCommand("xdotool search --name '^Imprimir$' 2>/dev/null | head -1 | tr -d '\\n'");
    ASSERT_FALSE(strId.empty());
    RunCommand("xdotool windowfocus --sync " + strId + " 2>&1");
    RunCommand("xdotool key Return 2>&1");
    const std::string pdf = cups.WaitForOutput(60000);
    ASSERT_FALSE(pdf.empty()) << cups.Log() << testsupport::ReadFile(dir / "lindar.log");
    const std::string text = RunCommand("pdftotext " + ShellQuote(pdf) + " -");
    EXPECT_NE(text.find("Maria Oliveira"), std::string::npos) << text;
    EXPECT_EQ(cups.OutputFiles().size(), 1u);
    lindar->Signal(SIGTERM);
    EXPECT_EQ(lindar->Wait(45000), 0);
    const std::string strLog = testsupport::ReadFile(dir / "lindar.log");
    EXPECT_EQ(strLog.find("Sanitizer"), std::string::npos) << strLog;
    EXPECT_EQ(strLog.find("runtime error:"), std::string::npos) << strLog;
}

TEST_F(LindarPrintE2E, WithAUserThePrintParameterIsAPasswordAndNothingPrints) {
    for (const std::string& strPassword : {std::string("b"), record}) {
        auto lindar = Start({"-u", "a", "-p", strPassword}, "lindar.log");
        ASSERT_TRUE(WaitWindow("Lindar - Vazio")) << testsupport::ReadFile(dir / "lindar.log");
        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
        EXPECT_EQ(Tree().find("\"Imprimir\""), std::string::npos) << strPassword;
        EXPECT_TRUE(cups.OutputFiles().empty());
        lindar->Signal(SIGTERM);
        EXPECT_EQ(lindar->Wait(45000), 0);
    }
}

}  // namespace

// QarServer on a real X server (Xvfb): with a tray (trayer) its icon is embedded there and
// no window shows; without a tray the frame shows itself and its menu's exit ends it; its
// messages are boxes on the screen that the operator reads and answers.
#include <gtest/gtest.h>
#include <signal.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <filesystem>

#include "qarserverrun.h"
#include "qtenv.h"
#include "testsupport/testsupport.h"
#include "testsupport/xvfb.h"

namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;

class TrayXvfb : public qare2e::CServerTest {
protected:
    void SetUp() override {
        CServerTest::SetUp();
        // A control under both identities: no "Fail to initialize" box waits on screen.
        Register(RECCTL_PATH);
        ASSERT_TRUE(m_xvfb.Start("1024x768x24")) << "Xvfb is needed";
        m_strDisplay = m_xvfb.Display();
        m_pServer->SetDisplay(m_strDisplay);
    }
    void TearDown() override {
        if (m_trayer.state() != QProcess::NotRunning) {
            m_trayer.kill();
            m_trayer.waitForFinished(5000);
        }
    }
    std::string X(const std::string& cmd) {
        return RunCommand("DISPLAY=" + m_strDisplay + " " + cmd + " 2>/dev/null");
    }
    // Polls until the condition holds (at most nMs).
    static bool Poll(const std::function<bool()>& fn, int nMs = 10000) {
        for (int n = 0; n < nMs / 100; ++n) {
            if (fn())
                return true;
            QThread::msleep(100);
        }
        return fn();
    }
    // A window named "QarServer" inside trayer's panel.
    bool IconEmbedded() {
        const std::string tree = X("xwininfo -root -tree");
        const std::size_t at = tree.find("(\"panel\" \"trayer\")");
        if (at == std::string::npos)
            return false;
        const std::size_t lineStart = tree.rfind('\n', at) + 1;
        const std::size_t indent = tree.find_first_not_of(' ', lineStart) - lineStart;
        std::size_t pos = tree.find('\n', at);
        while (pos != std::string::npos && pos + 1 < tree.size()) {
            const std::size_t next = tree.find('\n', pos + 1);
            const std::string line = tree.substr(
                pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
            const std::size_t lineIndent = line.find_first_not_of(' ');
            if (lineIndent != std::string::npos && lineIndent <= indent &&
                line.find("0x") == lineIndent)
                return false;  // past the panel's children
            if (line.find("(\"QarServer\" \"QarServer\")") != std::string::npos)
                return true;
            pos = next;
        }
        return false;
    }
    bool FrameShown() { return !X("xdotool search --onlyvisible --name '^Qar Server$'").empty(); }

    testsupport::CXvfb m_xvfb;
    QProcess m_trayer;
    std::string m_strDisplay;
};

}  // namespace

TEST_F(TrayXvfb, IconIsEmbeddedInTheTrayAndNoWindowShows) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QString::fromStdString(m_strDisplay));
    m_trayer.setProcessEnvironment(env);
    m_trayer.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel",
                              "--width", "200", "--height", "32"});
    ASSERT_TRUE(m_trayer.waitForStarted(10000)) << "trayer is needed";
    ASSERT_TRUE(
        Poll([&] { return X("xwininfo -root -tree").find("\"panel\"") != std::string::npos; }));
    ASSERT_TRUE(m_pServer->Start());
    EXPECT_TRUE(Poll([&] { return IconEmbedded(); })) << X("xwininfo -root -tree");
    EXPECT_FALSE(FrameShown());
    std::string err;
    EXPECT_EQ(m_pServer->Stop(SIGTERM, &err), 0);
    EXPECT_EQ(err.find("Sanitizer"), std::string::npos) << err;
}

TEST_F(TrayXvfb, WithoutATrayTheFrameShowsAndItsExitEndsTheProgram) {
    ASSERT_TRUE(m_pServer->Start());
    ASSERT_TRUE(Poll([&] { return FrameShown(); }));
    const std::string id = X("xdotool search --onlyvisible --name '^Qar Server$'");
    const std::string w = id.substr(0, id.find('\n'));
    // "&Arquivo" then "S&air": without a tray the frame's exit ends the program.
    X("xdotool windowfocus --sync " + w + " key --window " + w + " alt+a");
    QThread::msleep(500);
    X("xdotool key a");
    std::string err;
    EXPECT_EQ(m_pServer->WaitForEnd(20000, &err), 0);
    EXPECT_EQ(err.find("Sanitizer"), std::string::npos) << err;
}

// Without its controls the program says so on the screen in the package's boxes (captioned
// "Qar Server", copied as text with Ctrl+C), waits for each to be answered and goes on.
TEST_F(TrayXvfb, MessagesAreBoxesOnTheScreenThatTheOperatorAnswers) {
    std::filesystem::remove_all(m_dir / "config");  // no control registered
    ASSERT_TRUE(m_xvfb.StartWindowManager());
    testsupport::CScreenOperator op(m_xvfb, "^Qar Server$");
    op.Answer({"Return", "Return"});
    ASSERT_TRUE(m_pServer->Start());
    const std::vector<std::string> boxes = op.Wait();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[0].find("\nQar Server\n"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find("Fail to initialize the Wavelin!!"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[1].find("Fail to initialize the Flowlin!!"), std::string::npos) << boxes[1];
    EXPECT_NE(boxes[1].find("OK"), std::string::npos) << boxes[1];
    std::string err;
    EXPECT_EQ(m_pServer->Stop(SIGTERM, &err), 0);
    // On a screen nothing is said on standard error instead.
    EXPECT_EQ(err.find("Fail to initialize"), std::string::npos) << err;
    EXPECT_EQ(err.find("Sanitizer"), std::string::npos) << err;
}

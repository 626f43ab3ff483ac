// QarServer: the acquisition server. A tray program on a desktop; without any screen it
// runs headless: no tray or splash, messages to standard error with an absent operator's
// answers, SIGINT and SIGTERM end it as "Sair" does.
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "acq_server/app/mainframe.h"
#include "acq_server/app/qarapp.h"
#include "platform/codepage.h"
#include "platform/notifier.h"
#include "platform/qtmsgpump.h"

namespace {

int g_signalPipe[2] = {-1, -1};
void OnSignal(int) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

// Messages as text on standard error, answered as an absent operator would.
class CConsoleNotifier : public platform::INotifier {
public:
    int Ask(const std::string& text, const std::string& caption, unsigned type) override {
        std::fprintf(stderr, "QarServer: %s%s%s\n", caption.empty() ? "" : platform::ToUtf8(caption).c_str(),
                     caption.empty() ? "" : ": ", platform::ToUtf8(text).c_str());
        std::fflush(stderr);
        return platform::DefaultAnswer(type);
    }
};

// Message boxes on screen.
class CScreenNotifier : public platform::INotifier {
public:
    int Ask(const std::string& text, const std::string& caption, unsigned type) override {
        QMessageBox box;
        box.setText(QString::fromStdString(platform::ToUtf8(text)));
        box.setWindowTitle(caption.empty() ? QString("Qar Server")
                                           : QString::fromStdString(platform::ToUtf8(caption)));
        switch (type & platform::MB_TYPEMASK) {
            case platform::MB_OKCANCEL:
                box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
                break;
            case platform::MB_YESNOCANCEL:
                box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
                break;
            case platform::MB_YESNO:
                box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
                break;
            default:
                box.setStandardButtons(QMessageBox::Ok);
        }
        switch (box.exec()) {
            case QMessageBox::Ok: return platform::IDOK;
            case QMessageBox::Yes: return platform::IDYES;
            case QMessageBox::No: return platform::IDNO;
            default: return platform::IDCANCEL;
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    const bool bHeadless = !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
                           !std::getenv("QT_QPA_PLATFORM");
    if (bHeadless)
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // An X display that cannot be reached (a stale DISPLAY) leaves the server headless
    // instead of ending it.
    const bool bFallback = !bHeadless && !std::getenv("QT_QPA_PLATFORM") &&
                           !std::getenv("WAYLAND_DISPLAY");
    if (bFallback)
        ::setenv("QT_QPA_PLATFORM", "xcb;offscreen", 1);
    QApplication qapp(argc, argv);
    platform::InstallQtMessagePump();  // long waits keep the window answering
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName("QarServer");

    CQarOptions options;
    std::string strError;
    if (!CQarOptions::Parse(argc, argv, options, strError)) {
        std::fprintf(stderr, "QarServer: %s\n%s", strError.c_str(), CQarOptions::Usage());
        return 2;
    }
    const QString strPlatform = QGuiApplication::platformName();
    options.m_bHeadless = bHeadless || (bFallback && strPlatform == "offscreen");
    options.m_bScreen = !bHeadless && strPlatform != "offscreen" && strPlatform != "minimal";

    CConsoleNotifier console;
    CScreenNotifier screen;
    platform::SetNotifier(options.m_bScreen ? static_cast<platform::INotifier*>(&screen) : &console);

    if (::pipe2(g_signalPipe, O_CLOEXEC) != 0)
        return 1;
    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    int nResult = 0;
    {
        CQarServerApp app(options);
        QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, [&app] {
            char buf[16];
            [[maybe_unused]] ssize_t n = ::read(g_signalPipe[0], buf, sizeof buf);
            if (app.MainFrame())
                app.MainFrame()->RequestExit();
            else
                QCoreApplication::quit();
        });
        const int nStart = app.InitInstance();
        if (nStart == CQarServerApp::kStarted)
            nResult = qapp.exec();
        else
            nResult = nStart == CQarServerApp::kAlreadyRunning ? 1 : 2;
        app.ExitInstance();
    }
    platform::SetNotifier(nullptr);
    return nResult;
}

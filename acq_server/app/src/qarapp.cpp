#include "acq_server/app/qarapp.h"

#include <QByteArray>
#include <QCoreApplication>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "acq_server/app/mainframe.h"
#include "acq_server/app/splashwnd.h"
#include "acq_server/app/strings.h"
#include "acq_server/app/receiver.h"
#include "acq_server/settings/serversettings.h"
#include "platform/folders.h"
#include "platform/format.h"
#include "platform/notifier.h"
#include "platform/sockerr.h"

namespace {

bool Number(const char* psz, long nMin, long nMax, long& nValue) {
    char* pEnd = nullptr;
    errno = 0;
    nValue = std::strtol(psz, &pEnd, 10);
    return *psz != '\0' && *pEnd == '\0' && errno == 0 && nValue >= nMin && nValue <= nMax;
}

}  // namespace

const char* CQarOptions::Usage() {
    return "usage: QarServer [--no-splash] [--address IPV4] [--port N] [--idle-ms N]\n"
           "                 [--device-search off|loopback|network]\n";
}

bool CQarOptions::Parse(int argc, char** argv, CQarOptions& o, std::string& strError) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool bValue = i + 1 < argc;
        long n = 0;
        if (a == "--no-splash" || a == "/nosplash" || a == "-nosplash") {
            o.m_bSplash = false;
        } else if (a == "--address" && bValue) {
            o.m_strAddress = QString::fromLocal8Bit(argv[++i]);
        } else if (a == "--port" && bValue && Number(argv[i + 1], 0, 65535, n)) {
            o.m_nPort = static_cast<int>(n);
            ++i;
        } else if (a == "--idle-ms" && bValue && Number(argv[i + 1], 1, 24L * 3600 * 1000, n)) {
            o.m_nIdleMs = static_cast<int>(n);
            ++i;
        } else if (a == "--device-search" && bValue) {
            const std::string v = argv[++i];
            if (v == "off")
                o.m_search = DeviceSearch::Off;
            else if (v == "loopback")
                o.m_search = DeviceSearch::Loopback;
            else if (v == "network")
                o.m_search = DeviceSearch::Network;
            else {
                strError = "unknown device search: " + v;
                return false;
            }
        } else {
            strError = "unknown or incomplete option: " + a;
            return false;
        }
    }
    return true;
}

CQarServerApp::CQarServerApp(CQarOptions options) : m_options(std::move(options)) {}

CQarServerApp::~CQarServerApp() {
    ExitInstance();
}

int CQarServerApp::InitInstance() {
    CSplashWnd::EnableSplashScreen(m_options.m_bSplash && !m_options.m_bHeadless);
    // Sockets need no start-up here. One server per user: a second one says so and ends
    // without touching the first one's files.
    if (!m_instance.Acquire()) {
        // A lock file that exists is held by a live server. One that cannot be had at all
        // (no folder for it) does not stop the start, as a mutex that could not be made.
        const int fd = ::open(m_instance.LockPath().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            platform::ShowMessage(qarstr::Str(qarstr::IDS_ALREADY_RUNNING), platform::MB_OK);
            return kAlreadyRunning;
        }
    }
    m_bFtp = false;
    // Made afresh once the instance is ours, before anything can log.
    m_strLogPath = platform::HomeDir(acqsettings::kProgramName) + "ekg_debug.txt";
    m_pLog = std::fopen(m_strLogPath.c_str(), "we");
    m_context.m_log = [this](const CString& s) { Log(s); };
    // Each record is listed before its device is answered and then handed to the frame,
    // which converts it.
    m_pReceiver =
        std::make_unique<CReceiver>(m_context, &m_uiThread, [this](const CTakenRecord& r) {
            if (m_pFrame)
                m_pFrame->OnRecordTaken(r);
        });
    if (m_options.m_search == CQarOptions::DeviceSearch::Loopback)
        ::setenv("CORVANE_DISCOVERY", "loopback", 1);

    m_pFrame = std::make_unique<CMainFrame>(*this);
    if (!m_pFrame->Create()) {
        m_pFrame.reset();
        return kStartFailed;
    }
    return kStarted;
}

void CQarServerApp::ExitInstance() {
    // The receiving path ends first: what it received is listed and answered, and nothing
    // is handed to the frame afterwards.
    m_pReceiver.reset();
    m_pFrame.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (m_pLog) {
        std::fclose(m_pLog);
        m_pLog = nullptr;
    }
}

QString CQarServerApp::AddressText() const {
    return m_options.m_strAddress.isEmpty() ? QString("0.0.0.0") : m_options.m_strAddress;
}

bool CQarServerApp::StartServer() {
    if (!m_pReceiver)
        return false;
    m_pReceiver->Stop();
    QHostAddress address = m_options.m_strAddress.isEmpty() ? QHostAddress(QHostAddress::AnyIPv4)
                                                            : QHostAddress(m_options.m_strAddress);
    if (address.isNull() || address.protocol() != QAbstractSocket::IPv4Protocol) {
        Log(platform::Format("Fail to create server socket (%d)", platform::kWsaEaddrnotavail));
        platform::ShowMessage("Fail to create server socket", platform::MB_OK);
        return false;
    }
    if (!m_pReceiver->Start(address, static_cast<quint16>(m_options.m_nPort), m_options.m_nIdleMs,
                            m_context.m_settings)) {
        Log(platform::Format("Fail to listen server socket (%d)", m_pReceiver->LastError()));
        platform::ShowMessage("Fail to listen server socket", platform::MB_OK);
        return false;
    }
    std::printf("QarServer: listening on %s:%u, storing in %s\n",
                AddressText().toUtf8().constData(), static_cast<unsigned>(m_pReceiver->Port()),
                m_context.m_settings.m_strWorkingFolder.c_str());
    std::fflush(stdout);
    return true;
}

void CQarServerApp::StopServer() {
    if (m_pReceiver)
        m_pReceiver->Stop();
}

bool CQarServerApp::IsListening() const {
    return m_pReceiver && m_pReceiver->IsListening();
}

quint16 CQarServerApp::Port() const {
    return m_pReceiver ? m_pReceiver->Port() : 0;
}

std::size_t CQarServerApp::ClientCount() const {
    return m_pReceiver ? m_pReceiver->ClientCount() : 0;
}

void CQarServerApp::IdleSweep() {
    if (m_pReceiver)
        m_pReceiver->IdleSweep();
}

void CQarServerApp::SettingsChanged() {
    if (m_pReceiver)
        m_pReceiver->SetSettings(m_context.m_settings);
}

void CQarServerApp::Log(const std::string& strText) {
    const std::lock_guard<std::mutex> lock(m_logLock);
    if (!m_pLog)
        return;
    std::fputs(strText.c_str(), m_pLog);
    if (strText.empty() || strText.back() != '\n')
        std::fputc('\n', m_pLog);
    std::fflush(m_pLog);
}

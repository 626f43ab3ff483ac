// The server's frame in this process, offscreen: the command table, start and stop, the tray
// menu, its states and timer 200, the end of the program with a dialog open, the settings
// command, the listing of stored records, and the splash.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <set>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include "acq_server/app/commands.h"
#include "acq_server/app/dialogs.h"
#include "acq_server/app/mainframe.h"
#include "acq_server/app/orderdlg.h"
#include "acq_server/app/qarapp.h"
#include "acq_server/app/splashwnd.h"
#include "acq_server/app/strings.h"
#include "acq_server/list/recordlist.h"
#include "platform/folders.h"
#include "platform/profile.h"
#include "spiro_control/flowlin_dispids.h"
#include "streams.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"

using namespace qarcmd;

namespace {

const auto* g_pAppEnv = ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

class FrameTest : public ::testing::Test {
protected:
    FrameTest()
        : m_config("XDG_CONFIG_HOME", (m_dir / "config").c_str()),
          m_data("XDG_DATA_HOME", (m_dir / "data").c_str()),
          m_run("XDG_RUNTIME_DIR", (m_dir / "run").c_str()),
          m_home("CORVANE_HOME", nullptr) {
        ::mkdir((m_dir / "run").c_str(), 0700);
    }
    void SetUp() override {
        testsupport::WidgetApp();
        CDataListCtrl::SetLauncher([this](const std::vector<std::string>& argv) {
            m_launched.push_back(argv);
            return true;
        });
    }
    void TearDown() override {
        m_pApp.reset();
        CTrayIcon::SetAvailabilityHook(nullptr);
        CDataListCtrl::SetLauncher(nullptr);
    }
    CMainFrame& Start(bool bTray = false, bool bHeadless = false) {
        CTrayIcon::SetAvailabilityHook([bTray] { return bTray; });
        CQarOptions o;
        o.m_strAddress = "127.0.0.1";
        o.m_nPort = 0;
        o.m_bSplash = false;
        o.m_search = CQarOptions::DeviceSearch::Off;
        o.m_bHeadless = bHeadless;
        m_pApp = std::make_unique<CQarServerApp>(o);
        EXPECT_EQ(m_pApp->InitInstance(), CQarServerApp::kStarted);
        return *m_pApp->MainFrame();
    }
    std::string Profile() const { return m_dir.Path() + "config/Corvane/Corvane/Qar Server.ini"; }
    std::string Data() const { return m_dir.Path() + "data/Corvane/QarServer/Data/"; }

    testsupport::CTempDir m_dir;
    testsupport::CEnvScope m_config, m_data, m_run, m_home;
    testsupport::CScriptedNotifier m_notifier;
    std::unique_ptr<CQarServerApp> m_pApp;
    std::vector<std::vector<std::string>> m_launched;
};

std::vector<std::string> Texts(const testsupport::CScriptedNotifier& n) {
    std::vector<std::string> out;
    for (const auto& c : n.calls)
        out.push_back(c.text);
    return out;
}

}  // namespace

TEST(Commands, TableIsWholeAndTheTrayMenuInOrder) {
    std::set<int> ids;
    for (const CCommand& c : Commands()) {
        EXPECT_TRUE(ids.insert(c.nId).second) << c.nId;
        EXPECT_NE(c.pHandler, nullptr) << c.nId;
        EXPECT_NE(c.pszText, nullptr) << c.nId;
    }
    const std::vector<int> tray(TrayMenu().begin(), TrayMenu().end());
    EXPECT_EQ(tray,
              (std::vector<int>{32777, 32778, 0, 32775, 32774, 32782, 32784, 0, 32781, 0, 32771}));
    for (int nId : tray) {
        if (nId) {
            EXPECT_NE(FindCommand(nId), nullptr) << nId;
        }
    }
    EXPECT_STREQ(FindCommand(32774)->pszText, "Configurações Gerais");
    EXPECT_STREQ(FindCommand(32771)->pszText, "Sair");
}

TEST_F(FrameTest, StartStopAndTheMessagesOfEach) {
    CMainFrame& frame = Start();
    // No control registered here: both reported once, the start goes on.
    EXPECT_EQ(Texts(m_notifier), (std::vector<std::string>{"Fail to initialize the Wavelin!!",
                                                           "Fail to initialize the Flowlin!!"}));
    EXPECT_FALSE(frame.IsWavelinCreated());
    EXPECT_TRUE(frame.IsServerRunning());
    EXPECT_NE(m_pApp->Port(), 0);
    EXPECT_TRUE(frame.IsCommandEnabled(ID_STOP_SERVER));
    EXPECT_FALSE(frame.IsCommandEnabled(ID_START_SERVER));
    m_notifier.calls.clear();
    frame.OnCommand(ID_START_SERVER);
    EXPECT_EQ(Texts(m_notifier),
              std::vector<std::string>{qarstr::Str(qarstr::IDS_ALREADY_RUNNING)});
    EXPECT_TRUE(frame.IsServerRunning());
    frame.OnCommand(ID_STOP_SERVER);
    EXPECT_FALSE(frame.IsServerRunning());
    EXPECT_FALSE(m_pApp->IsListening());
    frame.OnCommand(ID_STOP_SERVER);
    EXPECT_EQ(m_notifier.calls.back().text, qarstr::Str(qarstr::IDS_SERVER_NOT_RUNNING));
    frame.OnCommand(ID_START_SERVER);
    EXPECT_TRUE(frame.IsServerRunning());
    // The search of devices is skipped without a control ("Connect to Device" too).
    frame.OnCommand(ID_CONNECT_DEVICE);
    // No tray here: the frame shows itself with the tray's commands.
    EXPECT_FALSE(frame.Tray().IsEnabled());
    EXPECT_TRUE(frame.isVisible());
    EXPECT_NE(frame.findChild<QMenu*>("servermenu"), nullptr);
}

TEST_F(FrameTest, HeadlessShowsNothing) {
    CMainFrame& frame = Start(true, true);
    EXPECT_FALSE(frame.Tray().IsEnabled());
    EXPECT_FALSE(frame.isVisible());
    EXPECT_TRUE(frame.IsServerRunning());
}

TEST_F(FrameTest, TrayMenuStatesAndAnimation) {
    CMainFrame& frame = Start(true);
    ASSERT_TRUE(frame.Tray().IsEnabled());
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(frame.Tray().GetIconResource(), 134);
    EXPECT_EQ(frame.Tray().GetTooltipText(), qarstr::QStr(qarstr::IDS_TIP_RUNNING));
    QStringList texts;
    for (QAction* a : frame.TrayMenu()->actions())
        texts << (a->isSeparator() ? QString("-") : a->text());
    EXPECT_EQ(texts.join('|'),
              QString::fromUtf8("Executar Lindar|Executar Pulmetra|-|Lista de Dados|"
                                "Configurações Gerais|Registro|Connect to Device|-|"
                                "Executar Upgrade|-|Sair"));
    const struct {
        int nState, nIcon, nTip;
    } states[] = {{0, 134, qarstr::IDS_TIP_RUNNING},
                  {1, 138, qarstr::IDS_TIP_SETTINGS},
                  {2, 133, qarstr::IDS_TIP_RECEIVING},
                  {3, 137, qarstr::IDS_TIP_STOPPED}};
    for (const auto& s : states) {
        frame.SetTrayState(s.nState);
        EXPECT_EQ(frame.Tray().GetIconResource(), s.nIcon);
        EXPECT_EQ(frame.Tray().GetTooltipText(), qarstr::QStr(s.nTip));
    }
    frame.SetTrayState(4);
    EXPECT_EQ(frame.Tray().GetIconResource(), 137);
    // Timer 200 with no device: the state of the server.
    frame.OnTimer(ID_TIMER_TRAY);
    EXPECT_EQ(frame.Tray().GetIconResource(), 134);
    frame.OnCommand(ID_STOP_SERVER);
    frame.OnTimer(ID_TIMER_TRAY);
    EXPECT_EQ(frame.Tray().GetIconResource(), 137);
    frame.OnCommand(ID_START_SERVER);
    // A device connected: the icon changes between 140 and 139 every fifth tick.
    QTcpSocket sock;
    sock.connectToHost(QHostAddress::LocalHost, m_pApp->Port());
    ASSERT_TRUE(testsupport::ProcessUntil([&] { return m_pApp->ClientCount() == 1; }));
    std::vector<int> icons;
    for (int i = 0; i < 20; ++i) {
        frame.OnTimer(ID_TIMER_TRAY);
        icons.push_back(frame.Tray().GetIconResource());
    }
    int nChanges = 0;
    for (std::size_t i = 1; i < icons.size(); ++i) {
        EXPECT_TRUE(icons[i] == 139 || icons[i] == 140) << icons[i];
        nChanges += icons[i] != icons[i - 1];
    }
    EXPECT_GE(nChanges, 3);
    EXPECT_LE(nChanges, 4);
    EXPECT_EQ(frame.Tray().GetTooltipText(), qarstr::QStr(qarstr::IDS_TIP_RECEIVING));
    // A double click on the icon runs the menu's first command.
    frame.Tray().OnTrayNotification(QSystemTrayIcon::DoubleClick);
    ASSERT_EQ(m_launched.size(), 1u);
    EXPECT_EQ(m_launched[0].size(), 1u);
    EXPECT_EQ(m_launched[0][0].substr(m_launched[0][0].size() - 6), "Lindar");
    // The system menu's close only hides.
    frame.show();
    frame.close();
    EXPECT_FALSE(frame.isVisible());
    EXPECT_FALSE(frame.IsClosing());
}

TEST_F(FrameTest, SairClosesAnOpenDialogFirst) {
    CMainFrame& frame = Start(true);
    bool bSeenDialog = false;
    QTimer::singleShot(100, [&] {
        bSeenDialog = qobject_cast<CEnvironmentDlg*>(QApplication::activeModalWidget()) != nullptr;
        frame.OnCommand(ID_EXIT);
    });
    frame.OnCommand(ID_ENVIRONMENT);  // returns once the dialog is cancelled
    EXPECT_TRUE(bSeenDialog);
    EXPECT_FALSE(frame.IsClosing());  // not inside the dialog's loop
    ASSERT_TRUE(testsupport::ProcessUntil([&] { return frame.IsClosing(); }, 5000));
    EXPECT_FALSE(frame.IsServerRunning());
    EXPECT_FALSE(frame.Tray().IsEnabled());
    EXPECT_FALSE(m_pApp->IsListening());
}

TEST_F(FrameTest, SettingsCommandClampsAndWrites) {
    CMainFrame& frame = Start();
    platform::WriteProfileString(Profile(), "Environment", "JPEG Gain", "9");
    QTimer::singleShot(100, [&] {
        auto* pDlg = qobject_cast<CEnvironmentDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(pDlg, nullptr);
        EXPECT_TRUE(frame.IsSettingsDlgOpen());
        pDlg->findChild<QCheckBox*>("1053")->setChecked(true);
        pDlg->accept();
    });
    frame.OnCommand(ID_ENVIRONMENT);
    EXPECT_FALSE(frame.IsSettingsDlgOpen());
    EXPECT_EQ(frame.Settings().m_nJpegEkg, 1);
    EXPECT_EQ(frame.Settings().m_nJpegGain, 4);
    EXPECT_EQ(platform::GetProfileInt(Profile(), "Environment", "JPEG EKG", 0), 1);
    EXPECT_EQ(platform::GetProfileInt(Profile(), "Environment", "JPEG Gain", 0), 4);
    // Cancel changes nothing.
    QTimer::singleShot(100, [&] { QApplication::activeModalWidget()->close(); });
    frame.OnCommand(ID_ENVIRONMENT);
    EXPECT_EQ(platform::GetProfileInt(Profile(), "Environment", "JPEG EKG", 0), 1);
}

namespace {
// One device connection: the stream, then the server's answer (4 bytes) when it ends with
// the frame-mode end of record; a legacy cart only waits until its bytes are taken.
QByteArray Send(quint16 nPort, const teststream::Bytes& stream) {
    QTcpSocket sock;
    sock.connectToHost(QHostAddress::LocalHost, nPort);
    EXPECT_TRUE(
        testsupport::ProcessUntil([&] { return sock.state() == QAbstractSocket::ConnectedState; }));
    sock.write(reinterpret_cast<const char*>(stream.data()), static_cast<qint64>(stream.size()));
    const bool bAnswered = stream.size() >= 4 && stream[stream.size() - 4] == 0xFC;
    QByteArray reply;
    testsupport::ProcessUntil([&] {
        reply += sock.readAll();
        return bAnswered ? reply.size() >= 4 : sock.bytesToWrite() == 0;
    });
    testsupport::ProcessFor(100);
    return reply;
}
const QByteArray kTaken("\xFC\x06\x00\xEF", 4);
}  // namespace

// Records through the receiving path of the program: listed before the answer, then shown.
TEST_F(FrameTest, StoredRecordsAreListedAndEntered) {
    CMainFrame& frame = Start();
    teststream::EcgSpec unknown, raw, legacy;
    unknown.strID = "";  // an emergency record of an unknown patient
    raw.strID = "R1";
    raw.b6000 = true;
    legacy.strID = "L1";
    for (teststream::EcgSpec* p : {&unknown, &raw, &legacy})
        p->nBlocks = 20;
    EXPECT_EQ(Send(m_pApp->Port(), teststream::FrameEcg(unknown)), kTaken);
    EXPECT_EQ(Send(m_pApp->Port(), teststream::FrameEcg(raw)), kTaken);
    Send(m_pApp->Port(), teststream::LegacyEcg(legacy));
    // The same record sent again: answered, not listed twice.
    EXPECT_EQ(Send(m_pApp->Port(), teststream::FrameEcg(raw)), kTaken);
    ASSERT_TRUE(testsupport::ProcessUntil([&] { return frame.List().model()->rowCount() == 3; }));
    testsupport::ProcessFor(300);
    ASSERT_EQ(frame.List().model()->rowCount(), 3);
    EXPECT_EQ(frame.List().model()->index(0, 1).data().toString(), "L1");
    EXPECT_EQ(frame.List().model()->index(1, 2).data().toString(),
              QString::fromStdString(Data() + "R1_20260304050607.raw"));
    // A record without an ID is listed under its file's title.
    EXPECT_EQ(frame.List().model()->index(2, 1).data().toString(), "_20260304050607");
    const auto lines = platform::GetProfileSection(Data() + "FQarServer.ini", "DATA_LIST");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(0, 19), "PAT_20260304050607_");
    EXPECT_EQ(lines[1].substr(0, 6), "PATR1_");
    EXPECT_NE(lines[2].find(" " + Data() + "L1_202603040506.ekg"), std::string::npos);
    // Without controls nothing is converted; the queue empties all the same.
    EXPECT_TRUE(testsupport::ProcessUntil([&] { return frame.OwedConversions() == 0; }));
}

// A record that cannot be entered in the list file is not "taken": the cart hears 7 and
// sends it again later, and nothing is shown that the list would not keep.
TEST_F(FrameTest, ARecordTheListCannotKeepIsRefused) {
    ASSERT_TRUE(platform::MakeDirs(Data() + "FQarServer.ini"));  // a folder where the file goes
    CMainFrame& frame = Start();
    teststream::EcgSpec cart;
    cart.nBlocks = 20;
    EXPECT_EQ(Send(m_pApp->Port(), teststream::FrameEcg(cart)), QByteArray("\xFC\x07\x00\xEF", 4));
    testsupport::ProcessFor(300);
    EXPECT_EQ(frame.List().model()->rowCount(), 0);
    EXPECT_EQ(frame.OwedConversions(), 0u);
    EXPECT_NE(testsupport::ReadFile(m_dir / "data/Corvane/QarServer/ekg_debug.txt")
                  .find("UpdateDataList FAIL"),
              std::string::npos);
}

// A row whose ID holds a blank opens its record after a restart.
TEST_F(FrameTest, ARowWithABlankInItsIDOpensAfterARestart) {
    Start();
    teststream::EcgSpec cart;
    cart.strID = "AB CD";
    cart.nBlocks = 20;
    EXPECT_EQ(Send(m_pApp->Port(), teststream::FrameEcg(cart)), kTaken);
    m_pApp.reset();
    CMainFrame& frame = Start();
    ASSERT_EQ(frame.List().model()->rowCount(), 1);
    EXPECT_EQ(frame.List().model()->index(0, 1).data().toString(), "AB CD");
    frame.List().setCurrentIndex(frame.List().model()->index(0, 0));
    frame.List().OnDoubleClick();
    ASSERT_EQ(m_launched.size(), 1u);
    EXPECT_EQ(m_launched[0].back(), Data() + "AB CD_20260304050607.ekg");
}

TEST(Splash, ShowsOnceHidesOnAKeyOrAfterItsTime) {
    testsupport::WidgetApp();
    QWidget owner;
    CSplashWnd::EnableSplashScreen(false);
    CSplashWnd::ShowSplashScreen(&owner);
    EXPECT_EQ(CSplashWnd::Current(), nullptr);
    CSplashWnd::EnableSplashScreen(true);
    CSplashWnd::ShowSplashScreen(&owner);
    CSplashWnd* pSplash = CSplashWnd::Current();
    ASSERT_NE(pSplash, nullptr);
    EXPECT_TRUE(pSplash->isVisible());
    CSplashWnd::ShowSplashScreen(&owner);
    EXPECT_EQ(CSplashWnd::Current(), pSplash);
    // A key press anywhere hides it and goes no further.
    QWidget other;
    other.show();
    QTest::keyClick(&other, Qt::Key_A);
    EXPECT_EQ(CSplashWnd::Current(), nullptr);
    CSplashWnd::ShowSplashScreen(&owner);
    ASSERT_NE(CSplashWnd::Current(), nullptr);
    EXPECT_FALSE(testsupport::ProcessUntil([] { return CSplashWnd::Current() == nullptr; }, 1200));
    EXPECT_TRUE(testsupport::ProcessUntil([] { return CSplashWnd::Current() == nullptr; }, 3000));
    CSplashWnd::EnableSplashScreen(false);
}

TEST(ControlTables, SpirometryTableNumbersEveryMemberByItsPosition) {
    // Properties 1-8, methods 9-49 in table order, then the stock about box.
    int nExpected = 1;
    for (const auto& m : flowlin::kProperties) {
        EXPECT_EQ(m.dispid, nExpected++) << m.name;
        EXPECT_EQ(m.nArgs, 0) << m.name;
    }
    std::set<std::string> names;
    for (const auto& m : flowlin::kMethods) {
        if (m.dispid == flowlin::DISPID_AboutBox)
            continue;
        EXPECT_EQ(m.dispid, nExpected++) << m.name;
        EXPECT_TRUE(names.insert(m.name).second) << m.name;
    }
    EXPECT_EQ(nExpected, 50);
    EXPECT_EQ(static_cast<int>(names.size()), flowlin::kMethodCount);
    const auto* pOpen = flowlin::MethodInterface().FindByName("Open");
    ASSERT_NE(pOpen, nullptr);
    EXPECT_EQ(pOpen->dispid, 10);
    EXPECT_EQ(flowlin::MethodInterface().Find(38)->name, std::string("GetFileVersion"));
    EXPECT_EQ(flowlin::MethodInterface().Find(40)->name, std::string("SavePDF"));
    EXPECT_EQ(flowlin::MethodInterface().Find(25)->nArgs, 2);
}

TEST_F(FrameTest, OrderTakesTheDeviceAddressFromTheProfile) {
    CMainFrame& frame = Start();
    platform::WriteProfileString(Profile(), "Environment", "Device IP", "10.1.2.3");
    std::string strSeen;
    int nPort = 0;
    CMainFrame::SetOrderDialog([&](CMainFrame&, const std::string& strAddress, int n) {
        strSeen = strAddress;
        nPort = n;
    });
    frame.OnCommand(ID_ORDER);
    CMainFrame::SetOrderDialog(nullptr);
    EXPECT_EQ(strSeen, "10.1.2.3");
    EXPECT_EQ(nPort, 2000);
    // The order dialog shows the address; its ajustes... asks for a new one and keeps it.
    QTimer::singleShot(100, [&] {
        auto* pOrder = qobject_cast<COrderDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(pOrder, nullptr);
        EXPECT_EQ(pOrder->findChild<QLabel*>("1055")->text(), "10.1.2.3");
        QTimer::singleShot(100, [&] {
            auto* pDlg = qobject_cast<CIPSettingDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(pDlg, nullptr);
            EXPECT_EQ(pDlg->Address(), "10.1.2.3");
            pDlg->SetAddress("127.0.0.1");
            pDlg->accept();
        });
        pOrder->findChild<QPushButton*>("3")->click();
        EXPECT_EQ(pOrder->Address(), "127.0.0.1");
        pOrder->reject();
    });
    frame.OnCommand(ID_ORDER);
    EXPECT_EQ(platform::GetProfileString(Profile(), "Environment", "Device IP", ""), "127.0.0.1");
    EXPECT_EQ(frame.Settings().m_strDeviceIP, "127.0.0.1");
}

TEST_F(FrameTest, AboutAndRunningTheViewers) {
    CMainFrame& frame = Start();
    QTimer::singleShot(100, [] {
        auto* pDlg = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(pDlg, nullptr);
        pDlg->accept();
    });
    frame.OnCommand(ID_APP_ABOUT);
    frame.OnCommand(ID_RUN_PULMETRA);
    ASSERT_EQ(m_launched.size(), 1u);
    EXPECT_EQ(m_launched[0], std::vector<std::string>{frame.Settings().m_strPulmetra});
}

TEST(TrayIcon, WithoutATrayEveryCallDoesNothing) {
    testsupport::WidgetApp();
    QWidget owner;
    CTrayIcon::SetAvailabilityHook([] { return false; });
    CTrayIcon tray;
    EXPECT_FALSE(tray.Create(&owner, "tip", 134, 138));
    tray.SetIcon(137);
    tray.SetTooltipText("other");
    tray.ShowBalloon("balloon");
    tray.HideIcon();
    tray.ShowIcon();
    EXPECT_EQ(tray.GetIconResource(), 134);
    EXPECT_EQ(tray.GetTooltipText(), "tip");
    EXPECT_EQ(tray.Tray(), nullptr);
    // With a tray: hidden and shown again, removed for good.
    CTrayIcon::SetAvailabilityHook([] { return true; });
    CTrayIcon shown;
    ASSERT_TRUE(shown.Create(&owner, QString(200, 'x'), 134, 138));
    EXPECT_EQ(shown.GetTooltipText().size(), 127);
    shown.HideIcon();
    EXPECT_FALSE(shown.IsVisible());
    shown.ShowIcon();
    EXPECT_TRUE(shown.IsVisible());
    shown.RemoveIcon();
    EXPECT_FALSE(shown.IsEnabled());
    shown.SetIcon(137);
    EXPECT_EQ(shown.GetIconResource(), 134);
    CTrayIcon::SetAvailabilityHook(nullptr);
}

TEST_F(FrameTest, FtpDestinationIsReadAtStartAndNothingIsQueued) {
    CFtpInfoFile info;
    info.m_strServer = "127.0.0.1";
    info.m_strUser = "user";
    info.m_strPassword = "secret";
    info.m_nPort = 2121;
    ASSERT_TRUE(platform::MakeDirs(m_dir / "data/Corvane/QarServer"));
    ASSERT_EQ(info.Save((m_dir / "data/Corvane/QarServer/senderinfo.cfg").c_str()), 1);
    CMainFrame& frame = Start();
    EXPECT_EQ(frame.FtpInfo().m_strServer, "127.0.0.1");
    EXPECT_EQ(frame.FtpInfo().m_nPort, 2121);
    EXPECT_FALSE(m_pApp->FtpSwitch());
}

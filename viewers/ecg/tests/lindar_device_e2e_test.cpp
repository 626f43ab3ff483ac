// Lindar's device commands over the real ECG control against the simulated cart and finder
// devices of tools/devsim, all on 127.0.0.1: Record opens the new record (also one the engine
// could not take), Monitoring locks the display bars (or reports a cart that refuses), Order
// and Monitoring with two devices found and none registered, the settings' device search.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "ecg_control/ekgfile.h"
#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "ecg_control/wavelin_dispids.h"
#include "lindar/displaybars.h"
#include "viewers/common/examlist.h"
#include "lindar/lindargraphwnd.h"
#include "lindar/lindarstrings.h"
#include "lindar/mainframe.h"
#include "oxuctrl/oxuctrl.h"
#include "oxuutil/inifile.h"
#include "platform/dispatch.h"
#include "platform/folders.h"
#include "testsupport/childprocess.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"
#include "viewers/common/devicedialogs.h"
#include "viewers/common/orderdialogs.h"
#include "viewers/common/strings.h"

using testsupport::CChildProcess;

namespace {

const std::string kDevsim = std::string(SOURCE_ROOT) + "/tools/devsim/devsim.py";

int FreePort(int type) {
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(fd);
    return ntohs(a.sin_port);
}

class LindarDeviceE2E : public ::testing::Test {
protected:
    // The control reads its ports once, when its library loads: one set for the whole run.
    static void SetUpTestSuite() {
        s_nDevicePort = FreePort(SOCK_STREAM);
        s_nMonitorPort = FreePort(SOCK_DGRAM);
        s_nFinderPort = FreePort(SOCK_DGRAM);
        ::setenv("CORVANE_EKG_DEVICE_PORT", std::to_string(s_nDevicePort).c_str(), 1);
        ::setenv("CORVANE_EKG_MONITOR_PORT", std::to_string(s_nMonitorPort).c_str(), 1);
        ::setenv("CORVANE_EKG_FINDER_PORT", std::to_string(s_nFinderPort).c_str(), 1);
        s_nFinderTargetPort = FreePort(SOCK_DGRAM);
        ::setenv("CORVANE_EKG_FINDER_TARGET_PORT", std::to_string(s_nFinderTargetPort).c_str(), 1);
        ::setenv("CORVANE_DISCOVERY", "loopback", 1);
        ::setenv("CORVANE_EKG_STATUS_MS", "1000", 1);
    }
    void SetUp() override {
        ASSERT_TRUE(platform::RegisterControl({wavelin::kProgId, wavelin::kClsid, WAVELIN_PATH}));
        frame = std::make_unique<CMainFrame>();
        std::string strError;
        ASSERT_TRUE(frame->Create(&strError)) << strError;
        frame->resize(1024, 768);
        frame->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        frame.reset();
        cart.Kill();
    }
    void StartCart(std::vector<std::string> extra) {
        std::vector<std::string> argv = {"/usr/bin/python3",
                                         kDevsim,
                                         "cart",
                                         "--port",
                                         std::to_string(s_nDevicePort),
                                         "--monitor-port",
                                         std::to_string(s_nMonitorPort)};
        argv.insert(argv.end(), extra.begin(), extra.end());
        ASSERT_TRUE(cart.Start(argv, dir / "cart.log"));
        ASSERT_FALSE(cart.WaitForLine("LISTEN ", 20000).empty()) << cart.Output();
    }
    // Waits for a line of the cart while the program's events run (the link lives in them).
    bool CartSaid(const std::string& strText) {
        return QTest::qWaitFor([&] { return cart.Output().find(strText) != std::string::npos; },
                               10000);
    }
    void Settings(const char* type, const char* address) {
        CIniFile ini((dir / "home/Lindar/Lindar.ini").c_str());
        ini.WriteString("EKG_VIEW", "EKG_CONFIG_IP_TYPE", type);
        ini.WriteString("EKG_VIEW", "EKG_TERMINAL_IP", address);
        ini.WriteString("EKG_VIEW", "EKG_REGISTERED_ID", "");
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> v;
        for (auto& c : notifier.calls)
            v.push_back(c.text);
        return v;
    }
    COxuLindarView& View() { return *frame->View(); }
    bool Locked() {
        CToolbarBar* pTools = frame->ToolbarBar();
        CColourBar* pColour = frame->ColourBar();
        return !pTools->Format()->isEnabled() && !pColour->StyleList(0)->isEnabled() &&
               !pColour->WidthList(2)->isEnabled();
    }
    // Two finder devices announce themselves to the control's finder; true when it lists both.
    bool TwoDevicesFound() {
        for (int i = 0; i < 2; ++i) {
            const std::string strId = "CART" + std::to_string(i + 1);
            if (!devices[i].Start({"/usr/bin/python3", kDevsim, "finder-device", "--port", "0",
                                   "--id", strId, "--text", "Cart " + std::to_string(i + 1),
                                   "--ask", std::to_string(s_nFinderPort), "--answer-port",
                                   std::to_string(s_nFinderPort), "--seconds", "20"},
                                  dir / (strId + ".log")))
                return false;
        }
        return QTest::qWaitFor([this] { return View().Pane(0)->EKGGetConnectedEKGCnt() == 2; },
                               10000);
    }

    static inline int s_nDevicePort = 0, s_nMonitorPort = 0, s_nFinderPort = 0,
                      s_nFinderTargetPort = 0;
    testsupport::CTempDir dir;
    testsupport::CEnvScope home{"CORVANE_HOME", (dir / "home").c_str()};
    testsupport::CEnvScope config{"XDG_CONFIG_HOME", (dir / "cfg").c_str()};
    testsupport::CScriptedNotifier notifier;
    CChildProcess cart;
    CChildProcess devices[2];
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(LindarDeviceE2E, RecordOpensTheNewRecordInPaneZero) {
    Settings("1", "127.0.0.1");
    StartCart({"--rate-bpm", "75"});
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_RECORDING));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Exame salvo com sucesso !!!"}) << cart.Output();
    CLindarGraphWnd* pPane = View().Pane(0);
    ASSERT_NE(pPane->m_pExam, nullptr);
    const std::string strPath = pPane->m_pExam->GetPath();
    EXPECT_EQ(strPath.rfind(dir / "home/Lindar/PCData/", 0), 0u) << strPath;
    EXPECT_EQ(pPane->EKGGetPatientInfo(0), "CART-0042");
    EXPECT_EQ(frame->Doc().List().GetSize(), 1);
    EXPECT_EQ(frame->windowTitle().toStdString(), "Lindar - " + strPath);
    EXPECT_FALSE(pPane->m_bRecording);
}

// The control cannot write the recording for the engine (a folder stands where its input
// file goes): the patient's samples are kept all the same, saved where a record goes, with
// its name, doctor and hospital, and opened; the user hears that the analysis did not run.
TEST_F(LindarDeviceE2E, ARecordingTheEngineCannotTakeIsSavedUnanalysedAndOpened) {
    const std::string strProgram = platform::ProgramPath();
    const std::string strEngineInput =
        dir / ("home/" + strProgram.substr(strProgram.rfind('/') + 1) + "/__temp.raw");
    ASSERT_TRUE(platform::MakeDirs(strEngineInput + "/taken"));
    Settings("1", "127.0.0.1");
    CIniFile ini((dir / "home/Lindar/Lindar.ini").c_str());
    ini.WriteString("EKG_VIEW", "EKG_DOCTOR", "Dr. Silva");
    ini.WriteString("EKG_VIEW", "EKG_HOSPITAL", "Hospital Central");
    StartCart({"--rate-bpm", "75", "--seed", "3"});
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_RECORDING));
    EXPECT_EQ(Messages(), std::vector<std::string>{vstr::LoadString(vstr::IDS_SAVED_NOT_ANALYSED)})
        << cart.Output();
    CLindarGraphWnd* pPane = View().Pane(0);
    ASSERT_NE(pPane->m_pExam, nullptr);
    const std::string strPath = pPane->m_pExam->GetPath();
    const std::string strFolder = dir / "home/Lindar/PCData/CART-0042_";
    EXPECT_EQ(strPath.rfind(strFolder, 0), 0u) << strPath;
    EXPECT_EQ(strPath.size(), strFolder.size() + 14 + 4) << strPath;  // time stamp, ".ekg"
    EXPECT_EQ(frame->Doc().List().GetSize(), 1);
    EXPECT_EQ(frame->windowTitle().toStdString(), "Lindar - " + strPath);
    EXPECT_EQ(pPane->EKGGetPatientInfo(1), "Jones");
    EXPECT_FALSE(pPane->m_bRecording);

    // The saved record holds every sample the cart sent, as it sent them (nothing filtered
    // them), and no statement of an analysis.
    CWaveBuffer wave, sent;
    CEkgRecordInfo info, sentInfo;
    CMorphologyTable morph;
    ASSERT_TRUE(ReadEkgFile(strPath, &wave, &info, &morph, 0)) << strPath;
    EXPECT_EQ(info.GetPatientInfo(0), "CART-0042");
    EXPECT_EQ(info.GetMisc(0), "Dr. Silva");
    EXPECT_EQ(info.GetMisc(1), "Hospital Central");
    EXPECT_TRUE(info.GetStatements().empty()) << info.GetStatements().front();
    const std::string strSynth = dir / "synth.ekg";
    int nStatus = -1;
    testsupport::RunCommand(
        "/usr/bin/python3 " +
            testsupport::ShellQuote(std::string(SOURCE_ROOT) + "/tools/ecgsynth/ecgsynth.py") +
            " " + testsupport::ShellQuote(strSynth) + " --rate 75 --seed 3 >/dev/null",
        &nStatus);
    ASSERT_EQ(nStatus, 0);
    ASSERT_TRUE(ReadEkgFile(strSynth, &sent, &sentInfo, &morph, 0));
    ASSERT_EQ(wave.GetSamplesPerChannel(), 5000u);
    for (int nLead : {0, 1, 6, 7, 8, 9, 10, 11}) {
        int nDiffer = 0;
        for (UINT i = 0; i < 5000; ++i)
            nDiffer += wave.GetSample(nLead, i) != sent.GetSample(nLead, i);
        EXPECT_EQ(nDiffer, 0) << "lead " << nLead;
    }
}

TEST_F(LindarDeviceE2E, MonitoringLocksTheBarsUntilItStops) {
    Settings("1", "127.0.0.1");
    StartCart({"--datagrams", "3000", "--rate", "100"});
    EXPECT_FALSE(Locked());
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_MONITORING));
    CLindarGraphWnd* pPane = View().Pane(0);
    EXPECT_TRUE(pPane->m_bMonitoring);
    EXPECT_TRUE(Locked());
    EXPECT_EQ(View().GetChType(), 0);
    EXPECT_EQ(View().GetSpeed(), 2);
    EXPECT_EQ(frame->ToolbarBar()->Format()->currentData().toInt(), 0);
    EXPECT_TRUE(CartSaid("CMD 0 0\n")) << cart.Output();  // start monitoring
    // The menu follows: no layout change, no measurement, no recording while monitoring.
    EXPECT_FALSE(frame->Commands().Query(COxuLindarView::ID_LAYOUT_2).m_bEnabled);
    EXPECT_FALSE(frame->Commands().Query(COxuLindarView::ID_MEASURE).m_bEnabled);
    EXPECT_FALSE(frame->Commands().Query(COxuLindarView::ID_RECORDING).m_bEnabled);
    EXPECT_TRUE(frame->Commands().Query(COxuLindarView::ID_MONITORING).m_bChecked);
    QTest::qWait(1500);
    EXPECT_TRUE(Messages().empty()) << Messages().front();
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_MONITORING));
    EXPECT_FALSE(pPane->m_bMonitoring);
    EXPECT_FALSE(Locked());
    EXPECT_TRUE(CartSaid("CMD 0 1\n")) << cart.Output();  // stop
}

TEST_F(LindarDeviceE2E, ADoubleClickOnAMonitoringPaneDoesNotAskForFullScreen) {
    Settings("1", "127.0.0.1");
    StartCart({"--datagrams", "3000", "--rate", "100"});
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_MONITORING));
    CLindarGraphWnd* pPane = View().Pane(0);
    ASSERT_TRUE(pPane->m_bMonitoring);
    EXPECT_TRUE(CartSaid("CMD 0 0\n")) << cart.Output();
    // On the control's own window inside the pane, where the user's double click lands.
    const QPoint pt = pPane->rect().center();
    QWidget* pUnder = pPane->childAt(pt);
    ASSERT_NE(pUnder, nullptr);
    auto doubleClick = [&] {
        QTest::mouseDClick(pUnder, Qt::LeftButton, {}, pUnder->mapFrom(pPane, pt));
        QApplication::processEvents();  // what the view posted
        QApplication::processEvents();
    };
    doubleClick();
    EXPECT_FALSE(frame->IsFullScreen());
    EXPECT_TRUE(Messages().empty()) << Messages().front();
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_MONITORING));
    ASSERT_FALSE(pPane->m_bMonitoring);
    // Idle, the same double click asks for full screen, which wants an exam first.
    doubleClick();
    EXPECT_FALSE(frame->IsFullScreen());
    EXPECT_EQ(Messages(),
              std::vector<std::string>{lindar::LoadStr(lindar::IDS_FULLSCREEN_NEEDS_EXAM)});
}

TEST_F(LindarDeviceE2E, ARecordingThatCannotConnectOpensNothing) {
    Settings("1", "127.0.0.1");  // nobody listens on the device port
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_RECORDING));
    EXPECT_FALSE(Messages().empty());
    EXPECT_EQ(frame->Doc().List().GetSize(), 0);
    EXPECT_EQ(View().Pane(0)->m_pExam, nullptr);
    EXPECT_FALSE(View().Pane(0)->m_bRecording);
    EXPECT_EQ(frame->windowTitle().toStdString(), "Lindar - Vazio");
}

TEST_F(LindarDeviceE2E, ABadSignalStopsMonitoring) {
    Settings("1", "127.0.0.1");
    StartCart({"--datagrams", "200", "--rate", "100", "--bad-at", "20"});
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_MONITORING));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !notifier.calls.empty(); }, 15000))
        << cart.Output();
    EXPECT_EQ(Messages(), std::vector<std::string>{lindar::LoadStr(lindar::IDS_BAD_SIGNAL)});
    EXPECT_FALSE(View().Pane(0)->m_bMonitoring);
    EXPECT_TRUE(CartSaid("CMD 0 1\n")) << cart.Output();  // stopped
}

TEST_F(LindarDeviceE2E, ACartThatRefusesGivesMonitoringFailed) {
    Settings("1", "127.0.0.1");  // nobody listens on the device port
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_MONITORING));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !notifier.calls.empty(); }, 15000));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Monitoring Failed!!!"});
    EXPECT_FALSE(View().Pane(0)->m_bMonitoring);
    EXPECT_FALSE(Locked());
}

TEST_F(LindarDeviceE2E, TwoDevicesAndNoneRegistered) {
    Settings("0", "");
    ASSERT_TRUE(TwoDevicesFound()) << devices[0].Output() << devices[1].Output();
    // Order does not choose: the address is invalid.
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_ORDER));
    EXPECT_EQ(Messages(), std::vector<std::string>{lindar::LoadStr(lindar::IDS_BAD_IP)});
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Monitoring asks which device; cancelled, nothing is registered.
    notifier.calls.clear();
    QStringList listed;
    QTimer::singleShot(0, [&listed] {
        auto* pDlg = testsupport::WaitForModal<CDeviceSelectDialog>();
        if (!pDlg)
            return;
        auto* pList = pDlg->findChild<CExComboBox*>("4105");
        for (int i = 0; i < pList->count(); ++i)
            listed << pList->itemText(i);
        pDlg->reject();
    });
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_MONITORING));
    EXPECT_EQ(listed.size(), 3) << listed.join("|").toStdString();
    EXPECT_EQ(listed.value(0), "NONE");
    EXPECT_TRUE(listed.contains("127.0.0.1:CART1:Cart 1")) << listed.join("|").toStdString();
    EXPECT_TRUE(listed.contains("127.0.0.1:CART2:Cart 2")) << listed.join("|").toStdString();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Not Registered equipment"});
    EXPECT_FALSE(View().Pane(0)->m_bMonitoring);

    // Chosen in the dialog, the device is registered and monitored (no cart listens here).
    notifier.calls.clear();
    QTimer::singleShot(0, [] {
        if (auto* pDlg = testsupport::WaitForModal<CDeviceSelectDialog>()) {
            auto* pList = pDlg->findChild<CExComboBox*>("4105");
            pList->setCurrentIndex(pList->findText("127.0.0.1:CART1:Cart 1"));
            pDlg->accept();
        }
    });
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_MONITORING));
    CIniFile ini((dir / "home/Lindar/Lindar.ini").c_str());
    EXPECT_EQ(ini.GetString("EKG_VIEW", "EKG_REGISTERED_ID", ""), "CART1");
    EXPECT_EQ(ini.GetString("EKG_VIEW", "EKG_TERMINAL_IP", ""), "127.0.0.1");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !notifier.calls.empty(); }, 15000));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Monitoring Failed!!!"});

    // With one of them registered, Order opens the order dialog.
    CIniFile((dir / "home/Lindar/Lindar.ini").c_str())
        .WriteString("EKG_VIEW", "EKG_REGISTERED_ID", "CART2");
    notifier.calls.clear();
    bool bOrder = false;
    QTimer::singleShot(0, [&bOrder] {
        if (auto* pDlg = testsupport::WaitForModal<COrderDialog>()) {
            bOrder = true;
            pDlg->reject();
        }
    });
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_ORDER));
    EXPECT_TRUE(bOrder);
    EXPECT_TRUE(Messages().empty());
}

// The search of the settings dialog, run from Settings as the user runs it, waits the time
// chosen; all the while the window answers (a timer of the test keeps firing) and the device
// that answered is listed afterwards.
TEST_F(LindarDeviceE2E, DeviceSearchLeavesTheWindowAnswering) {
    Settings("0", "");
    ASSERT_TRUE(
        devices[0].Start({"/usr/bin/python3", kDevsim, "finder-device", "--port",
                          std::to_string(s_nFinderTargetPort), "--id", "CART5", "--text", "Cart 5",
                          "--answer-port", std::to_string(s_nFinderPort), "--seconds", "30"},
                         dir / "finder.log"));
    ASSERT_FALSE(devices[0].WaitForLine("LISTEN ", 20000).empty()) << devices[0].Output();
    int nTicks = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&nTicks] { ++nTicks; });
    int nTicksDuring = -1;
    qint64 nSearchMs = -1;
    QStringList listed;
    bool bListEnabled = false;
    QTimer::singleShot(0, [&] {
        auto* pDlg = testsupport::WaitForModal<CLindarSettingsDialog>();
        if (!pDlg)
            return;
        pDlg->findChild<CExComboBox*>("4106")->setCurrentIndex(1);  // 2 s
        timer.start();
        const int nBefore = nTicks;
        QElapsedTimer search;
        search.start();
        pDlg->findChild<QPushButton*>("4104")->click();
        nSearchMs = search.elapsed();
        nTicksDuring = nTicks - nBefore;
        timer.stop();
        auto* pList = pDlg->findChild<CExComboBox*>("1093");
        bListEnabled = pList->isEnabled();
        for (int i = 0; i < pList->count(); ++i)
            listed << pList->itemText(i);
        pDlg->reject();
    });
    EXPECT_TRUE(frame->Commands().OnCommand(CMainFrame::ID_SETTINGS));
    EXPECT_GE(nSearchMs, 2000);
    // A tick every 20 ms: at least half of them, under load, while the search waited.
    EXPECT_GE(nTicksDuring, 2000 / 20 / 2) << nSearchMs << " ms";
    EXPECT_TRUE(bListEnabled);
    EXPECT_EQ(listed, QStringList({"NONE", "127.0.0.1:CART5:Cart 5"})) << devices[0].Output();
}

}  // namespace

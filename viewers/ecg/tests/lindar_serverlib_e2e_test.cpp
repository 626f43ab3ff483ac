// A record received by the server library (its host program oxuhost, a cart of devsim on
// 127.0.0.1, the default SQLite database) opens in Lindar from the folder and file name of
// its instance row, read with sqlite3.
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <thread>

#include "ecg_control/wavelin_dispids.h"
#include "viewers/common/examlist.h"
#include "lindar/lindarapp.h"
#include "lindar/lindargraphwnd.h"
#include "lindar/mainframe.h"
#include "oxuutil/inifile.h"
#include "platform/dispatch.h"
#include "platform/folders.h"
#include "testsupport/childprocess.h"
#include "testsupport/testsupport.h"

using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

TEST(LindarServerLibE2E, ARecordOfTheInstanceRowOpens) {
    testsupport::CTempDir dir;
    testsupport::CEnvScope home{"CORVANE_HOME", dir.Path().c_str()};
    testsupport::CEnvScope config{"XDG_CONFIG_HOME", (dir / "cfg").c_str()};
    testsupport::CEnvScope runtime{"XDG_RUNTIME_DIR", dir.Path().c_str()};
    const std::string strHost = dir / "oxuhost/";
    const std::string strDb = strHost + "Database/oxunet.mdb";
    ASSERT_TRUE(platform::MakeDirs(strHost));
    {
        CIniFile ini((strHost + "Oxu.ini").c_str());
        ini.WriteString("OXU_SERVER", "BIND_ADDRESS", "127.0.0.1");
        ini.WriteInt("OXU_SERVER", "ECG_PORT", 0);
        ini.WriteInt("OXU_SERVER", "FILE_PORT", 0);
        ini.WriteString("OXU_DB", "DB_HOST", strDb.c_str());
        ini.WriteInt("OXU_DB", "DB_ACCESS_MDB", 1);
    }
    testsupport::CChildProcess host;
    ASSERT_TRUE(host.Start({OXUHOST_PATH}, dir / "host.log", {"CORVANE_HOME=" + dir.Path()}));
    const std::string strReady = host.WaitForLine("READY", 60000);
    ASSERT_NE(strReady.find("ecg="), std::string::npos) << host.Output();
    const int nPort = std::atoi(strReady.substr(strReady.find("ecg=") + 4).c_str());
    const std::string out = RunCommand("python3 " + ShellQuote(DEVSIM_PY) + " --port " + std::to_string(nPort) +
                                       " --timeout 60 --quiet 1 legacy-ecg --id P42 --name 'DOE JOHN' "
                                       "--date 20260304050607 2>&1");
    // The row, once the library has stored the record.
    std::string strRow;
    for (int t = 0; t < 300 && strRow.find('|') == std::string::npos; ++t) {
        strRow = RunCommand("sqlite3 " + ShellQuote(strDb) + " 'SELECT file_folder, file_name FROM instance' 2>/dev/null");
        if (strRow.find('|') == std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    host.Kill();
    ASSERT_NE(strRow.find('|'), std::string::npos) << out << host.Output();
    while (!strRow.empty() && strRow.back() == '\n') strRow.pop_back();
    const std::string strPath = strRow.substr(0, strRow.find('|')) + "/" + strRow.substr(strRow.find('|') + 1);

    ASSERT_TRUE(platform::RegisterControl({wavelin::kProgId, wavelin::kClsid, WAVELIN_PATH}));
    testsupport::CScriptedNotifier notifier;
    CLindarApp app;
    ASSERT_TRUE(app.InitInstance({strPath}));
    QTest::qWait(100);
    CMainFrame& frame = *app.Frame();
    EXPECT_TRUE(notifier.calls.empty()) << notifier.calls.front().text;
    ASSERT_EQ(frame.Doc().List().GetSize(), 1);
    CLindarGraphWnd* pPane = frame.View()->Pane(0);
    ASSERT_NE(pPane->m_pExam, nullptr);
    EXPECT_EQ(pPane->m_pExam->GetPath(), strPath);
    EXPECT_EQ(pPane->EKGGetPatientInfo(0), "P42");
    EXPECT_EQ(frame.windowTitle().toStdString(), "Lindar - " + strPath);
    app.ExitInstance();
}

}  // namespace

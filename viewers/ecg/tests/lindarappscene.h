#pragma once
// Lindar's application in the test process on a real X screen (its boxes on the screen,
// the single-instance channel in a runtime folder of its own), over records the control
// itself wrote; a real second start of the program hands others over to it. Shared by the
// viewer's hand-over and pane tests.
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "lindar/lindarapp.h"
#include "lindar/mainframe.h"
#include "testsupport/handoverscene.h"
#include "testsupport/testsupport.h"

class CLindarAppScene : protected testsupport::CHandOverScene {
protected:
    CLindarAppScene() : CHandOverScene("Lindar") {}

    // A record of clean beats with the patient's name, written by the control itself (what
    // the control saves of it again is the same bytes).
    void MakeRecord(const std::string& strPath, const char* pszName, int nRate) {
        using testsupport::RunCommand;
        using testsupport::ShellQuote;
        int nStatus = -1;
        std::string out =
            RunCommand(std::string(PYTHON_EXE " " ECGSYNTH_SCRIPT " ") + ShellQuote(strPath) +
                           " --rate " + std::to_string(nRate) + " 2>&1",
                       &nStatus);
        ASSERT_EQ(nStatus, 0) << out;
        out = RunCommand("QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 " DISPCALL_PATH
                         " WAVELIN2.WavelinCtrl.1 'EKGOpenFile(\"" +
                             strPath + "\")' 'EKGSetPatientInfo(1,\"" + pszName +
                             "\")' 'EKGSaveFile(\"" + strPath + "\")' 2>&1",
                         &nStatus);
        ASSERT_EQ(nStatus, 0) << out;
        ASSERT_NE(out.find("EKGSaveFile = TRUE"), std::string::npos) << out;
    }
    // The application started with the record, as the program starts, until its window
    // names it.
    void StartWith(const std::string& strRecord) {
        app = std::make_unique<CLindarApp>();
        ASSERT_TRUE(app->InitInstance({strRecord}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Title() == "Lindar - " + strRecord; }, 10000))
            << Title();
    }
    void Stop() {
        if (app)
            app->ExitInstance();
        app.reset();
    }
    // The second start's command line: the program itself with the record.
    static std::string SecondStart(const std::string& strRecord) {
        return "LSAN_OPTIONS=suppressions=" LSAN_SUPP " " LINDAR_PATH " " +
               testsupport::ShellQuote(strRecord);
    }
    std::string Title() const {
        return app && app->Frame() ? app->Frame()->windowTitle().toStdString() : std::string();
    }
    CMainFrame& Frame() { return *app->Frame(); }

    std::unique_ptr<CLindarApp> app;
};

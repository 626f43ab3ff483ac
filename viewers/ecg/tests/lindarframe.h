#pragma once
// The frame as the program makes it, over the real ECG control and the record fixtures,
// offscreen; the dialogs answered by the test. Shared by the viewer's offscreen tests.
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ecg_control/wavelin_dispids.h"
#include "lindar/mainframe.h"
#include "platform/dispatch.h"
#include "testsupport/testsupport.h"

class CFakePrompts : public IViewPrompts {
public:
    CString AskOpenPath() override { return openPath; }
    CString AskSavePath(const CString& p, std::array<int, 4>&) override {
        proposed = p;
        return savePath;
    }
    bool AskPrint(CPrintSettings& s) override {
        ++nPrintAsked;
        s.nCopies = nCopies;
        s.strPrinter = printer;
        return acceptPrint;
    }
    void RunOrderDialog(const CString& a, int p) override {
        orderAddress = a;
        orderPort = p;
    }
    CString RunReceiveDialog(CLindarGraphWnd&, const CString&) override { return {}; }
    bool RunDeviceSelection(CLindarGraphWnd&) override { return false; }
    bool AskPrintSetup(CString& strPrinter) override {
        setupShown = strPrinter;
        strPrinter = setupPrinter;
        return !setupPrinter.empty();
    }
    CString setupShown, setupPrinter;
    CString openPath, savePath, proposed, printer, orderAddress;
    int nCopies = 1, nPrintAsked = 0, orderPort = 0;
    bool acceptPrint = false;
};

class CLindarFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        int nStatus = -1;
        testsupport::RunCommand(std::string(PYTHON_EXE " " EKG_FIXTURES_SCRIPT " ") +
                                    testsupport::ShellQuote(dir / "fx"),
                                &nStatus);
        ASSERT_EQ(nStatus, 0);
        ASSERT_TRUE(platform::RegisterControl({wavelin::kProgId, wavelin::kClsid, WAVELIN_PATH}));
    }
    void MakeFrame() {
        frame = std::make_unique<CMainFrame>();
        std::string strError;
        ASSERT_TRUE(frame->Create(&strError)) << strError;
        frame->View()->SetPrompts(&prompts);
        frame->resize(1024, 768);
        frame->show();
        QApplication::processEvents();
    }
    // As the program starts it: placed on its screen, shown and exposed.
    void MakeStartedFrame() {
        frame = std::make_unique<CMainFrame>();
        std::string strError;
        ASSERT_TRUE(frame->Create(&strError)) << strError;
        frame->View()->SetPrompts(&prompts);
        frame->PlaceAtStart();
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    }
    std::string Fx(const char* name) { return dir / ("fx/" + std::string(name)); }
    COxuLindarView& View() { return *frame->View(); }
    COxuLindarDoc& Doc() { return frame->Doc(); }

    testsupport::CTempDir dir;
    testsupport::CEnvScope home{"CORVANE_HOME", (dir / "home").c_str()};
    testsupport::CEnvScope config{"XDG_CONFIG_HOME", (dir / "cfg").c_str()};
    // Scratch files of its own: tests that look for what a save left behind see only theirs.
    testsupport::CEnvScope scratch{"TMPDIR", dir.Path().c_str()};
    testsupport::CScriptedNotifier notifier;
    CFakePrompts prompts;
    std::unique_ptr<CMainFrame> frame;
};

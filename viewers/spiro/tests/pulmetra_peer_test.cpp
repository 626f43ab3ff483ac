// Pulmetra prints through its print dialog to a private CUPS server's PDF queue: two copies
// are one PDF of two pages (pdfinfo), and quick print is one page.
#include <QApplication>
#include <QDialog>
#include <gtest/gtest.h>

#include <cstdlib>

#include "oxuctrl/oxuctrl.h"
#include "pulmetra/mainframe.h"
#include "pulmetra/pulmetragraphwnd.h"
#include "testsupport/cupspeer.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"
#include "viewers/common/printdialogs.h"

using testsupport::CTempDir;
using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

class CPrintPrompts : public IPulmetraPrompts {
public:
    CString AskOpenPath() override { return {}; }
    CString AskSavePath(const CString&, const CString&, BOOL&, int&) override { return {}; }
    int RunDialog(QDialog& dlg) override {
        auto* p = dynamic_cast<CSpiroPrintDialog*>(&dlg);
        if (!p)
            return QDialog::Rejected;
        p->Load();
        auto* list = p->findChild<CExComboBox*>("1139");
        list->setCurrentIndex(list->findText(queue));
        p->findChild<CExEdit*>("1154")->setText(copies);
        p->accept();
        return p->result();
    }
    QString queue, copies;
};

int Pages(const std::string& strPdf) {
    const std::string out = RunCommand("pdfinfo " + ShellQuote(strPdf) + " 2>&1");
    const auto n = out.find("Pages:");
    return n == std::string::npos ? -1 : std::atoi(out.c_str() + n + 6);
}

TEST(PulmetraPrintPeer, TwoCopiesAreOnePdfOfTwoPages) {
    testsupport::CCupsPeer cups;
    ASSERT_TRUE(cups.Start()) << cups.Error();
    ASSERT_TRUE(cups.AddPdfQueue("SpiroPdf")) << cups.Error();
    CTempDir home, fx;
    testsupport::CEnvScope homeEnv("CORVANE_HOME", home.Path().c_str());
    testsupport::CEnvScope controlDir("CORVANE_CONTROL_DIR", FLOWLIN_DIR);
    int nStatus = -1;
    RunCommand(
        std::string(PYTHON_EXE " " SPIRO_FIXTURES_SCRIPT " ") + ShellQuote(fx.Path()) + " 1 2",
        &nStatus);
    ASSERT_EQ(nStatus, 0);
    testsupport::CScriptedNotifier notifier;
    CPrintPrompts prompts;
    prompts.queue = "SpiroPdf";
    prompts.copies = "2";
    auto frame = std::make_unique<CMainFrame>();
    std::string strError;
    ASSERT_TRUE(frame->Create(&strError)) << strError;
    frame->View()->SetPrompts(&prompts);
    ASSERT_TRUE(frame->Doc().OpenExam(fx / "spiro_t1_f2.fvc", 0));
    frame->Commands().UpdateAll();
    ASSERT_TRUE(frame->Commands().OnCommand(COxuPulmetraView::ID_FILE_PRINT));
    const std::string strPdf = cups.WaitForOutput(60000);
    ASSERT_FALSE(strPdf.empty()) << cups.Log();
    EXPECT_EQ(Pages(strPdf), 2);
    EXPECT_EQ(frame->View()->m_strPrinter, "SpiroPdf");
    // Quick print: the kept printer, one copy.
    ASSERT_TRUE(frame->Commands().OnCommand(COxuPulmetraView::ID_FILE_PRINT_DIRECT));
    const std::string strSecond = cups.WaitForOutput(60000, 2);
    ASSERT_FALSE(strSecond.empty()) << cups.Log();
    EXPECT_EQ(Pages(strSecond), 1);
    EXPECT_TRUE(notifier.calls.empty());
    frame.reset();
}

}  // namespace

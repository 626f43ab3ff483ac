// Printing through a private cupsd with a PDF queue and a refusing queue: the printed PDF is
// judged by pdfinfo and pdftotext.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>

#include "spiro_control/flowlinctrl.h"
#include "spirofixtures.h"
#include "testsupport/cupspeer.h"
#include "testsupport/testsupport.h"

using platform::DISP_OK;
using platform::Variant;
using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

class FlowlinPrint : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_cups.Start()) << m_cups.Error();
        ASSERT_TRUE(m_cups.AddPdfQueue("SpiroPdf")) << m_cups.Error();
        ASSERT_TRUE(m_cups.AddRejectingQueue("Refuser")) << m_cups.Error();
        ASSERT_TRUE(m_cups.SetDefault("SpiroPdf")) << m_cups.Error();
        m_host.resize(640, 480);
        m_pCtrl = std::make_unique<CFlowlinCtrl>(&m_host);
        Variant r;
        ASSERT_EQ(m_pCtrl->InvokeByName(
                      "Open", {Variant(spirotest::RandomFixture(1, 2)), Variant(short(0))}, &r),
                  DISP_OK);
        ASSERT_EQ(r, Variant(short(1)));
    }
    void TearDown() override { m_pCtrl.reset(); }

    short Call(const char* szName, const std::vector<Variant>& args) {
        Variant r;
        EXPECT_EQ(m_pCtrl->InvokeByName(szName, args, &r), DISP_OK);
        return r.AsShort();
    }
    // pdfinfo's pages and title, and the text of the printed PDF.
    static void Judge(const std::string& pdf, int nPages) {
        ASSERT_FALSE(pdf.empty());
        const std::string info = RunCommand("pdfinfo " + ShellQuote(pdf));
        EXPECT_NE(info.find("Pages:           " + std::to_string(nPages) + "\n"), std::string::npos)
            << info;
        EXPECT_NE(info.find("SpiroPrint"), std::string::npos) << info;
        const std::string text = RunCommand("pdftotext " + ShellQuote(pdf) + " -");
        EXPECT_NE(text.find("Pat-ID"), std::string::npos) << text;
    }

    testsupport::CCupsPeer m_cups;
    QWidget m_host;
    std::unique_ptr<CFlowlinCtrl> m_pCtrl;
};

TEST_F(FlowlinPrint, PrintExCopiesAreOnePagedDocument) {
    EXPECT_EQ(Call("PrintEx", {Variant("SpiroPdf"), Variant(short(2))}), 0);
    Judge(m_cups.WaitForOutput(30000), 2);
    // A queue that refuses the job, and one that does not exist.
    EXPECT_EQ(Call("PrintEx", {Variant("Refuser"), Variant(short(1))}), -18);
    EXPECT_EQ(Call("PrintEx", {Variant("NoSuchQueue"), Variant(short(1))}), -18);
    EXPECT_EQ(m_cups.OutputFiles().size(), 1u);
}

TEST_F(FlowlinPrint, DialogCopiesArePagesAndCancelPrintsNothing) {
    QTimer::singleShot(0, [] {
        auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(pDialog, nullptr);
        pDialog->reject();
    });
    EXPECT_EQ(Call("Print", {}), 1);

    QTimer::singleShot(0, [] {
        auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(pDialog, nullptr);
        auto* pCopies = pDialog->findChild<QSpinBox*>("copies");
        ASSERT_NE(pCopies, nullptr);
        pCopies->setValue(2);
        pDialog->accept();
    });
    EXPECT_EQ(Call("Print", {}), 0);
    // Only the accepted dialog printed: one document of two pages.
    Judge(m_cups.WaitForOutput(30000), 2);
    EXPECT_EQ(m_cups.OutputFiles().size(), 1u);
}

}  // namespace

namespace {

// The paper, orientation and sides chosen in the dialog (the paper and orientation in its
// printer properties) are those of the job: the document the job handed in is A5 landscape.
TEST_F(FlowlinPrint, DialogPaperOrientationAndSidesReachTheQueue) {
    bool bProperties = false, bDuplex = false;
    QTimer::singleShot(0, [&] {
        auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(pDialog, nullptr);
        QTimer::singleShot(0, [&] {
            auto* pProperties = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(pProperties, nullptr);
            auto* pSize = pProperties->findChild<QComboBox*>("pageSizeCombo");
            auto* pLandscape = pProperties->findChild<QRadioButton*>("landscape");
            ASSERT_TRUE(pSize && pLandscape);
            const int nA5 = pSize->findText("A5", Qt::MatchStartsWith);
            ASSERT_GE(nA5, 0);
            pSize->setCurrentIndex(nA5);
            pLandscape->click();
            bProperties = true;
            pProperties->accept();
        });
        pDialog->findChild<QPushButton*>("properties")->click();
        if (auto* pLong = pDialog->findChild<QRadioButton*>("duplexLong");
            pLong && pLong->isEnabled()) {
            pLong->click();
            bDuplex = true;
        }
        pDialog->accept();
    });
    EXPECT_EQ(Call("Print", {}), 0);
    ASSERT_TRUE(bProperties);
    Judge(m_cups.WaitForOutput(30000), 1);
    const std::string sent = RunCommand("pdfinfo " + ShellQuote(m_cups.LastJobDocument()));
    EXPECT_NE(sent.find("595 x 420 pts (A5)"), std::string::npos) << sent;
    EXPECT_EQ(m_cups.JobAttribute(m_cups.LastJobId(), "sides"),
              bDuplex ? "two-sided-long-edge" : "one-sided");
}

}  // namespace

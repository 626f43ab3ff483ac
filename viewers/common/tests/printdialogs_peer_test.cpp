// The print dialogs list the queues of the print system: a private CUPS server with two
// PDF queues, one of them the default.
#include <gtest/gtest.h>

#include "oxuctrl/oxuctrl.h"
#include "testsupport/cupspeer.h"
#include "testsupport/qtapp.h"
#include "viewers/common/printdialogs.h"

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

TEST(PrintDialogPeer, ListsThePrivateQueuesWithTheDefaultSelected) {
    testsupport::CCupsPeer cups;
    ASSERT_TRUE(cups.Start()) << cups.Error();
    ASSERT_TRUE(cups.AddPdfQueue("EcgPdf")) << cups.Error();
    ASSERT_TRUE(cups.AddPdfQueue("SpiroPdf")) << cups.Error();
    ASSERT_TRUE(cups.SetDefault("SpiroPdf")) << cups.Error();
    CEkgPrintDialog ekg;
    ekg.Load();
    auto* list = ekg.findChild<CExComboBox*>("1139");
    ASSERT_NE(list, nullptr);
    EXPECT_GE(list->findText("EcgPdf"), 0);
    EXPECT_GE(list->findText("SpiroPdf"), 0);
    EXPECT_EQ(list->currentText(), "SpiroPdf");
    list->setCurrentIndex(list->findText("EcgPdf"));
    ekg.accept();
    EXPECT_EQ(ekg.m_strPrinter, "EcgPdf");
    EXPECT_EQ(ekg.Printer().printerName(), "EcgPdf");

    CSpiroPrintDialog spiro;
    spiro.m_strPrinter = "EcgPdf";
    spiro.Load();
    EXPECT_EQ(spiro.findChild<CExComboBox*>("1139")->currentText(), "EcgPdf");
    // The printer's properties run on the chosen queue.
    QString seen;
    spiro.m_runProperties = [&](QPrinter& p) {
        seen = p.printerName();
        p.setCopyCount(2);
    };
    spiro.OnProperties();
    EXPECT_EQ(seen, "EcgPdf");
    spiro.accept();
    EXPECT_EQ(spiro.m_nCopies, 2);
}

}  // namespace

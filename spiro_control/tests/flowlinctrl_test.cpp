// The control: its dispatch map against the shared table, every member through Invoke,
// the properties, the scroll bars, the preview and the printer dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPrintDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QAbstractScrollArea>
#include <QPainter>
#include <QTimer>
#include <set>

#include "spiro_control/flowlin_dispids.h"
#include "spiro_control/flowlinctrl.h"
#include "spiro_control/spiropreviewdlg.h"
#include "spiro_control/spiroprintjob.h"
#include "spirofixtures.h"
#include "testsupport/testsupport.h"

using namespace platform;

namespace {

TEST(FlowlinDispIds, TableMatchesTheControlsMap) {
    const auto map = CFlowlinCtrl::DispatchMap();
    ASSERT_EQ(static_cast<int>(std::size(flowlin::kProperties)), flowlin::kPropertyCount);
    ASSERT_EQ(static_cast<int>(std::size(flowlin::kMethods)), flowlin::kMethodCount + 1);
    std::vector<DispMember> table(std::begin(flowlin::kProperties), std::end(flowlin::kProperties));
    table.insert(table.end(), std::begin(flowlin::kMethods), std::end(flowlin::kMethods));
    ASSERT_EQ(table.size(), map.size());
    std::set<DISPID> seen;
    for (std::size_t i = 0; i < map.size(); ++i) {
        const DispMember& m = table[i];
        SCOPED_TRACE(m.name);
        EXPECT_EQ(m.dispid, map[i].dispid);
        EXPECT_STREQ(m.name, map[i].name);
        EXPECT_NE(map[i].pfn, nullptr);
        EXPECT_TRUE(seen.insert(m.dispid).second);
        if (i < 8u) {
            EXPECT_EQ(m.nArgs, 0);  // properties
        }
        if (std::string(m.name) == "AboutBox") {
            EXPECT_EQ(m.dispid, -552);
        } else {
            EXPECT_EQ(m.dispid, static_cast<DISPID>(i + 1));
        }
    }
    EXPECT_TRUE(flowlin::EventInterface().members.empty());
}

// What the server and the viewer rely on, by identifier (independent of the table).
TEST(FlowlinDispIds, HostContractSpotChecks) {
    struct Case {
        DISPID id;
        const char* name;
        VARTYPE result;
        int nArgs;
    };
    const Case cases[] = {
        {9, "Clear", VT_EMPTY, 0},
        {10, "Open", VT_I2, 2},
        {22, "GetParam", VT_R4, 3},
        {23, "SetParam", VT_I2, 4},
        {26, "SaveJPEG", VT_I2, 2},
        {28, "PrintEx", VT_I2, 2},
        {37, "SetPenGraphPost", VT_BOOL, 3},
        {38, "GetFileVersion", VT_I2, 0},
        {40, "SavePDF", VT_I2, 2},
        {42, "GetEcode", VT_I2, 2},
        {49, "SetPDFPenReference", VT_BOOL, 3},
    };
    for (const Case& c : cases) {
        const DispMember* m = flowlin::MethodInterface().Find(c.id);
        ASSERT_NE(m, nullptr) << c.name;
        EXPECT_STREQ(m->name, c.name);
        EXPECT_EQ(m->result, c.result) << c.name;
        EXPECT_EQ(m->nArgs, c.nArgs) << c.name;
    }
    const DispMember* p = flowlin::PropertyInterface().Find(5);
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p->name, "GridSize");
    EXPECT_EQ(p->result, VT_I2);
    EXPECT_EQ(flowlin::MethodInterface().Find(5), nullptr);
}

class FlowlinCtrl : public ::testing::Test {
protected:
    FlowlinCtrl() {
        m_host.resize(640, 480);
        m_host.show();
    }
    testsupport::CTempDir m_dir;
    testsupport::CScriptedNotifier m_notifier;
    QWidget m_host;
};

// Every member answers through Invoke with a result of its declared type on an empty
// control; properties read back what was written.
TEST_F(FlowlinCtrl, EveryMemberAnswersOnAnEmptyControl) {
    CFlowlinCtrl ctrl(&m_host);
    for (const DispMember& m : flowlin::kMethods) {
        SCOPED_TRACE(m.name);
        const std::string name = m.name;
        if (name == "Print" || name == "PrintPreview")
            continue;  // modal; tested below
        std::vector<Variant> args;
        for (int i = 0; i < m.nArgs; ++i) {
            args.push_back(m.args[i] == VT_BSTR ? Variant(m_dir / "out.bin") : Variant(short(0)));
        }
        Variant result;
        ASSERT_EQ(ctrl.Invoke(m.dispid, args, &result), DISP_OK);
        EXPECT_EQ(result.Type(), m.result);
    }
    EXPECT_EQ(m_notifier.calls.size(), 3u);  // the about box, and the images of width 0
}

TEST_F(FlowlinCtrl, PropertiesAndTheirDefaults) {
    CFlowlinCtrl ctrl(&m_host);
    struct Case {
        const char* name;
        Variant def, written, read;
    };
    const Case cases[] = {
        {"BackColor", Variant(std::int32_t(0xFFFFFF)), Variant(std::int32_t(0x123456)),
         Variant(std::int32_t(0x123456))},
        {"TextColor", Variant(std::int32_t(0)), Variant(std::int32_t(255)),
         Variant(std::int32_t(255))},
        {"BorderSize", Variant(short(5)), Variant(short(9)), Variant(short(9))},
        {"FVCGraphType", Variant(short(0)), Variant(short(1)), Variant(short(1))},
        {"GridSize", Variant(short(30)), Variant(short(31)), Variant(short(32))},
        {"PrintDiagnosis", Variant::FromBool(true), Variant::FromBool(false),
         Variant::FromBool(false)},
        {"PrintComment", Variant::FromBool(true), Variant::FromBool(false),
         Variant::FromBool(false)},
        {"FVCGraphNum", Variant(short(0)), Variant(short(1)), Variant(short(1))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Variant r;
        ASSERT_EQ(ctrl.InvokeByName(c.name, {}, &r), DISP_OK);
        EXPECT_EQ(r, c.def);
        ASSERT_EQ(ctrl.InvokeByName(c.name, {c.written}, &r), DISP_OK);
        EXPECT_TRUE(r.IsEmpty());
        ASSERT_EQ(ctrl.InvokeByName(c.name, {}, &r), DISP_OK);
        EXPECT_EQ(r, c.read);
    }
    EXPECT_EQ(ctrl.Export().GetGridSize(), 32);
    EXPECT_EQ(ctrl.Export().m_nBorder, 9);
    EXPECT_FALSE(ctrl.Export().m_bPrintDiagnosis);
    Variant r;
    ASSERT_EQ(ctrl.InvokeByName("GridSize", {Variant(short(32767))}, &r), DISP_OK);
    ASSERT_EQ(ctrl.InvokeByName("GridSize", {}, &r), DISP_OK);
    EXPECT_EQ(r, Variant(short(32766)));
}

TEST_F(FlowlinCtrl, OpenClearAndTheScrollBars) {
    CFlowlinCtrl ctrl(&m_host);
    QWidget* pWnd = ctrl.Widget();
    ASSERT_NE(pWnd, nullptr);
    pWnd->resize(200, 150);
    Variant r;
    ASSERT_EQ(
        ctrl.InvokeByName("Open", {Variant(spirotest::RandomFixture(1, 2)), Variant(short(0))}, &r),
        DISP_OK);
    EXPECT_EQ(r, Variant(short(1)));
    auto* pArea = dynamic_cast<QAbstractScrollArea*>(pWnd);
    ASSERT_NE(pArea, nullptr);
    // The page (340 x 400) is larger than the window: both bars enabled, page = range / 5 + 1.
    EXPECT_TRUE(pArea->horizontalScrollBar()->isEnabled());
    EXPECT_TRUE(pArea->verticalScrollBar()->isEnabled());
    for (QScrollBar* pBar : {pArea->horizontalScrollBar(), pArea->verticalScrollBar()}) {
        const int nPage = pBar->pageStep();
        const int nRange = pBar->maximum() + nPage - 1;
        EXPECT_EQ(nPage, nRange / 5 + 1);
    }
    // A larger window needs no bars.
    pWnd->resize(600, 600);
    EXPECT_FALSE(pArea->horizontalScrollBar()->isEnabled());
    EXPECT_EQ(pArea->horizontalScrollBar()->value(), 0);
    // The window paints the graphs through one image without a crash, scrolled or not.
    pWnd->resize(200, 150);
    pArea->verticalScrollBar()->setValue(pArea->verticalScrollBar()->maximum());
    QImage shot = pWnd->grab().toImage();
    EXPECT_FALSE(shot.isNull());

    ASSERT_EQ(ctrl.InvokeByName("Open", {Variant(m_dir / "missing.fvc"), Variant(short(0))}, &r),
              DISP_OK);
    EXPECT_EQ(r, Variant(short(-2)));
    ASSERT_EQ(ctrl.InvokeByName("GetTestType", {}, &r), DISP_OK);
    EXPECT_EQ(r, Variant(short(0)));
    EXPECT_FALSE(pArea->verticalScrollBar()->isEnabled());
    ASSERT_EQ(ctrl.InvokeByName("Clear", {}, &r), DISP_OK);
    ASSERT_EQ(ctrl.InvokeByName("GetFileVersion", {}, &r), DISP_OK);
    EXPECT_EQ(r, Variant(short(2)));
}

// A host may destroy its window before it releases the control.
TEST_F(FlowlinCtrl, CallsAfterTheHostWindowIsGone) {
    auto pHost = std::make_unique<QWidget>();
    CFlowlinCtrl ctrl(pHost.get());
    pHost.reset();
    EXPECT_EQ(ctrl.Widget(), nullptr);
    Variant r;
    ASSERT_EQ(
        ctrl.InvokeByName("Open", {Variant(spirotest::RandomFixture(2, 1)), Variant(short(0))}, &r),
        DISP_OK);
    EXPECT_EQ(r, Variant(short(2)));
    ASSERT_EQ(ctrl.InvokeByName("GridSize", {Variant(short(40))}, &r), DISP_OK);
    ASSERT_EQ(ctrl.InvokeByName("SaveJPEG", {Variant(m_dir / "a.jpg"), Variant(short(300))}, &r),
              DISP_OK);
    EXPECT_EQ(r, Variant(short(0)));
}

// Closes the next modal dialog with the button of the given object name.
void PressLater(const char* szButton) {
    QTimer::singleShot(0, [szButton] {
        QWidget* pModal = QApplication::activeModalWidget();
        ASSERT_NE(pModal, nullptr);
        auto* pButton = pModal->findChild<QPushButton*>(szButton);
        ASSERT_NE(pButton, nullptr);
        pButton->click();
    });
}

TEST_F(FlowlinCtrl, PreviewShowsThePageInThePicturesAspect) {
    CFlowlinCtrl ctrl(&m_host);
    Variant r;
    ASSERT_EQ(
        ctrl.InvokeByName("Open", {Variant(spirotest::RandomFixture(1, 2)), Variant(short(0))}, &r),
        DISP_OK);
    PressLater("IDOK");
    ASSERT_EQ(ctrl.InvokeByName("PrintPreview", {}, &r), DISP_OK);
    EXPECT_EQ(r, Variant(short(1)));
    PressLater("IDCANCEL");
    ASSERT_EQ(ctrl.InvokeByName("PrintPreview", {}, &r), DISP_OK);
    EXPECT_EQ(r, Variant(short(0)));

    CSpiroPreviewDlg dialog(&ctrl.Export());
    const QSize picture = dialog.Picture()->contentsRect().size();
    EXPECT_EQ(dialog.PageImage().size(), picture);
    EXPECT_EQ(dialog.MapDialogRect(29, 28, 282, 364).size(), dialog.Picture()->size());
    // 282 x 364 dialog units: the page keeps that aspect, not the printer's.
    const QRect unit = dialog.MapDialogRect(0, 0, 282, 364);
    EXPECT_EQ(picture, unit.size());
    EXPECT_NEAR(static_cast<double>(picture.width()) / picture.height(),
                (282.0 * dialog.MapDialogRect(0, 0, 4, 0).width() / 4) /
                    (364.0 * dialog.MapDialogRect(0, 0, 0, 8).height() / 8),
                0.02);
}

TEST_F(FlowlinCtrl, CancelledPrintDialogPrintsNothing) {
    // A print job that records whether it was ever started.
    static int s_nJobs = 0;
    s_nJobs = 0;
    struct CCountingJob : ISpiroPrintJob {
        bool Begin(const QString&, const QString&, const QPrinter*) override {
            return ++s_nJobs, false;
        }
        QPainter& Painter() override { return m_painter; }
        QPainter m_painter;
        CSpiroPageMetrics Page() override { return {}; }
        bool NewPage() override { return false; }
        bool End() override { return false; }
        void Abort() override {}
    };
    const SpiroPrintJobFactory pfnOld = SetSpiroPrintJobFactory(
        []() -> std::unique_ptr<ISpiroPrintJob> { return std::make_unique<CCountingJob>(); });
    CFlowlinCtrl ctrl(&m_host);
    QTimer::singleShot(0, [] {
        if (auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            pDialog->reject();
    });
    Variant r;
    ASSERT_EQ(ctrl.InvokeByName("Print", {}, &r), DISP_OK);
    EXPECT_EQ(r, Variant(short(1)));
    EXPECT_EQ(s_nJobs, 0);
    // PrintEx: no copies prints nothing; a job that cannot start is -18.
    ASSERT_EQ(ctrl.InvokeByName("PrintEx", {Variant("any"), Variant(short(0))}, &r), DISP_OK);
    EXPECT_EQ(r, Variant(short(2)));
    EXPECT_EQ(s_nJobs, 0);
    ASSERT_EQ(ctrl.InvokeByName("PrintEx", {Variant("any"), Variant(short(2))}, &r), DISP_OK);
    EXPECT_EQ(r, Variant(short(-18)));
    EXPECT_EQ(s_nJobs, 1);
    SetSpiroPrintJobFactory(pfnOld);
}

// The dialog's copies become pages of one document (n pages, never n x n): the job is
// asked for one copy and gets a page per copy.
TEST_F(FlowlinCtrl, DialogCopiesBecomePages) {
    static int s_nPages = 0;
    static QString s_strTitle;
    s_nPages = 0;
    struct CPageCountingJob : ISpiroPrintJob {
        QImage m_image{200, 280, QImage::Format_RGB32};
        QPainter m_painter;
        bool Begin(const QString&, const QString& strTitle, const QPrinter*) override {
            s_strTitle = strTitle;
            s_nPages = 1;
            return m_painter.begin(&m_image);
        }
        QPainter& Painter() override { return m_painter; }
        CSpiroPageMetrics Page() override { return {200, 280, 50.0}; }
        bool NewPage() override { return ++s_nPages, true; }
        bool End() override { return m_painter.end(); }
        void Abort() override {}
    };
    const SpiroPrintJobFactory pfnOld = SetSpiroPrintJobFactory(
        []() -> std::unique_ptr<ISpiroPrintJob> { return std::make_unique<CPageCountingJob>(); });
    CFlowlinCtrl ctrl(&m_host);
    Variant r;
    ASSERT_EQ(
        ctrl.InvokeByName("Open", {Variant(spirotest::RandomFixture(1, 2)), Variant(short(0))}, &r),
        DISP_OK);
    QTimer::singleShot(0, [] {
        auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(pDialog, nullptr);
        auto* pCopies = pDialog->findChild<QSpinBox*>("copies");
        ASSERT_NE(pCopies, nullptr);
        pCopies->setValue(2);
        pDialog->accept();
    });
    ASSERT_EQ(ctrl.InvokeByName("Print", {}, &r), DISP_OK);
    EXPECT_EQ(r, Variant(short(0)));
    EXPECT_EQ(s_nPages, 2);
    EXPECT_EQ(s_strTitle, "SpiroPrint");
    // PrintEx with three copies: three pages.
    ASSERT_EQ(ctrl.InvokeByName("PrintEx", {Variant("queue"), Variant(short(3))}, &r), DISP_OK);
    EXPECT_EQ(r, Variant(short(0)));
    EXPECT_EQ(s_nPages, 3);
    SetSpiroPrintJobFactory(pfnOld);
}

}  // namespace

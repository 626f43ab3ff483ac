// Pulmetra on a real X screen with a window manager: its boxes through the program's own
// screen notifier (the Korean overwrite question as it is drawn, and "Salvar Info" saved and
// said), and full screen as the screen shows it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "pulmetra/bars/patientbar.h"
#include "pulmetra/bars/pulmetradialogs.h"
#include "pulmetra/framebars.h"
#include "pulmetra/mainframe.h"
#include "pulmetra/pulmetragraphwnd.h"
#include "spiro_control/spirotestfile.h"
#include "testsupport/testsupport.h"
#include "testsupport/qtapp.h"
#include "testsupport/xscreenenv.h"
#include "platform/screennotifier.h"

using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

::testing::Environment* const kScreen =
    ::testing::AddGlobalTestEnvironment(new testsupport::CXScreenEnvironment("1600x1000x24"));

class PulmetraScreen : public ::testing::Test {
protected:
    void SetUp() override {
        int nStatus = -1;
        RunCommand(std::string(PYTHON_EXE " " SPIRO_FIXTURES_SCRIPT " ") + ShellQuote(dir / "fx"),
                   &nStatus);
        ASSERT_EQ(nStatus, 0);
        ::setenv("CORVANE_CONTROL_DIR", FLOWLIN_DIR, 1);
        pPrevious = platform::SetNotifier(&screen);
        frame = std::make_unique<CMainFrame>();
        std::string strError;
        ASSERT_TRUE(frame->Create(&strError)) << strError;
        prompts = MakePulmetraPrompts(frame.get());
        frame->View()->SetPrompts(prompts.get());
        frame->resize(1024, 768);
        frame->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        frame.reset();
        platform::SetNotifier(pPrevious);
    }
    std::string Copy(const char* name, const char* as) {
        std::filesystem::copy_file(dir / ("fx/" + std::string(name)), dir / as);
        return dir / as;
    }

    testsupport::CTempDir dir;
    testsupport::CEnvScope home{"CORVANE_HOME", (dir / "home").c_str()};
    testsupport::CEnvScope config{"XDG_CONFIG_HOME", (dir / "cfg").c_str()};
    platform::CScreenNotifier screen{"Pulmetra"};
    platform::INotifier* pPrevious = nullptr;
    std::unique_ptr<IPulmetraPrompts> prompts;
    std::unique_ptr<CMainFrame> frame;
};

// What the screen shows of the label, against the same text drawn by a label of the same
// font, palette and size.
struct CLabelCheck {
    QString strShown;
    bool bSameAsDrawn = false;
    bool bDiffersFromMarks = false;
};

QImage Drawn(const QLabel& shown, const QString& strText) {
    QLabel label;
    label.setFont(shown.font());
    label.setPalette(shown.palette());
    label.setAlignment(shown.alignment());
    label.setWordWrap(shown.wordWrap());
    label.setMargin(shown.margin());
    label.setIndent(shown.indent());
    label.setContentsMargins(shown.contentsMargins());
    label.setTextFormat(shown.textFormat());
    label.setText(strText);
    label.resize(shown.size());
    return label.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

CLabelCheck CheckBox(QMessageBox& box, const QString& strExpected) {
    CLabelCheck c;
    auto* pLabel = box.findChild<QLabel*>("qt_msgbox_label");
    if (!pLabel)
        return c;
    c.strShown = pLabel->text();
    const QPoint at = pLabel->mapToGlobal(QPoint(0, 0));
    // The pixels of the X server, as the user sees them.
    const QImage onScreen = pLabel->screen()
                                ->grabWindow(0, at.x(), at.y(), pLabel->width(), pLabel->height())
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
    c.bSameAsDrawn = onScreen == Drawn(*pLabel, strExpected);
    QString strMarks = strExpected;
    for (QChar& ch : strMarks)
        if (ch.unicode() > 0x7F)
            ch = '?';
    c.bDiffersFromMarks = onScreen != Drawn(*pLabel, strMarks);
    return c;
}

TEST_F(PulmetraScreen, TheOverwriteQuestionReadsInKoreanUnderTheKoreanCodePageAndUnderCp1252) {
    // Korean glyphs come from the Korean font (Nanum).
    const QString strFamilies = QFontDatabase::families(QFontDatabase::Korean).join(",");
    ASSERT_NE(strFamilies.indexOf("Nanum"), -1) << strFamilies.toStdString();
    const std::string strExam = Copy("spiro_t1_f2.fvc", "exam.fvc");
    ASSERT_TRUE(frame->Doc().OpenExam(strExam, 0));
    ASSERT_TRUE(testsupport::WriteFile(dir / "taken.jpg", "old"));
    const QString strQuestion = QString::fromStdString(dir / "taken.jpg") +
                                QString::fromUtf8(" 파일이 존재합니다. 덮어 쓸까요?");
    for (const char* pszCodePage : {"CP949", "CP1252"}) {
        testsupport::CCodePageScope cp(pszCodePage);
        int nStep = 0;
        CLabelCheck check;
        QTimer poll;
        poll.setInterval(100);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* w = QApplication::activeModalWidget();
            if (auto* d = qobject_cast<CSpiroFileDialog*>(w)) {
                if (nStep == 0) {
                    d->findChild<QLineEdit*>("fileNameEdit")->setText("taken");
                    d->accept();
                } else {
                    d->reject();  // back in the dialog after No: cancelled
                }
                ++nStep;
            } else if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                // Drawn once the window manager has mapped it.
                testsupport::ProcessFor(500);
                check = CheckBox(*box, strQuestion);
                box->button(QMessageBox::No)->click();
            }
        });
        poll.start();
        frame->Commands().OnCommand(COxuPulmetraView::ID_FILE_SAVE_AS);
        poll.stop();
        EXPECT_EQ(nStep, 2) << pszCodePage;
        EXPECT_EQ(check.strShown, strQuestion) << pszCodePage;
        EXPECT_TRUE(check.bSameAsDrawn) << pszCodePage;
        EXPECT_TRUE(check.bDiffersFromMarks) << pszCodePage;
        EXPECT_EQ(testsupport::ReadFile(dir / "taken.jpg"), "old");
    }
}

TEST_F(PulmetraScreen, SaveInfoIsSaidOnTheScreenAndTheFileReadsBack) {
    const std::string strExam = Copy("spiro_t1_f2.fvc", "exam.fvc");
    ASSERT_TRUE(frame->Doc().OpenExam(strExam, 0));
    auto* pBar = frame->findChild<CPulmetraPatientBar*>();
    ASSERT_NE(pBar, nullptr);
    pBar->OnEdit(true);
    pBar->Field(CPulmetraPatientBar::IDC_NAME)->setText("Ana Souza");
    testsupport::CScreenOperator op(testsupport::CXScreenEnvironment::Screen(), "^Pulmetra$");
    op.Answer({"Return"});
    pBar->OnSave();
    const std::vector<std::string> boxes = op.Wait();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("Exame salvo com sucesso."), std::string::npos) << boxes[0];
    CSpiroTestFile test;
    ASSERT_GE(test.Open(strExam, 0), 0);
    EXPECT_EQ(test.GetInformation(1), "Ana Souza");
}

TEST_F(PulmetraScreen, FullScreenShowsTheGraphOverTheWholeScreen) {
    const std::string strExam = Copy("spiro_t1_f2.fvc", "exam.fvc");
    ASSERT_TRUE(frame->Doc().OpenExam(strExam, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    COxuPulmetraView& view = *frame->View();
    CPulmetraGraphWnd* pGraph = view.GetActiveWnd();
    ASSERT_NE(pGraph, nullptr);
    const QRect rcScreen = frame->screen()->geometry();
    frame->Commands().OnCommand(COxuPulmetraView::ID_FULL_SCREEN);
    ASSERT_TRUE(frame->IsFullScreen());
    // The window manager grows the window when it gets to it.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QRect(view.mapToGlobal(QPoint(0, 0)), view.size()) == rcScreen; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return QRect(pGraph->mapToGlobal(QPoint(0, 0)), pGraph->size()) == rcScreen; },
        10000))
        << pGraph->width() << " x " << pGraph->height();
    // What the screen shows at its far corner is the graph window's own corner.
    testsupport::ProcessFor(300);
    const QImage screen =
        frame->screen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage graph = pGraph->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(screen.size(), rcScreen.size());
    ASSERT_EQ(graph.size(), rcScreen.size());
    const QPoint corner(rcScreen.width() - 1, rcScreen.height() - 1);
    EXPECT_EQ(QColor(screen.pixel(corner)), QColor(graph.pixel(corner)));
    const QPoint inside(rcScreen.width() - 40, rcScreen.height() - 40);
    EXPECT_EQ(QColor(screen.pixel(inside)), QColor(graph.pixel(inside)));
    // Escape brings the bars and the window back.
    frame->Commands().OnCommand(COxuPulmetraView::ID_FULL_SCREEN);
    EXPECT_FALSE(frame->IsFullScreen());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !frame->isFullScreen(); }, 10000));
}

}  // namespace

// The view window driven the way a host and a user drive it: records opened through the
// dispatch methods, the mouse tools by mouse events on an offscreen window.
#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QScrollBar>
#include <QStyle>
#include <climits>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ecg_control/control/wavelinctrl.h"
#include "ecg_control/ekgfile.h"
#include "synthrecord.h"
#include "testsupport/testsupport.h"

using platform::Variant;
using namespace wavelin;

namespace {

struct CEvent {
    platform::DISPID id;
    std::vector<Variant> args;
};

class CEventLog : public platform::IEventSink {
public:
    void OnEvent(platform::DISPID id, const std::vector<Variant>& args) override {
        events.push_back({id, args});
    }
    std::vector<CEvent> events;
};

// Fixture records, written once by the independent generator.
const std::string& FixtureDir() {
    static testsupport::CTempDir* s_pDir = [] {
        auto* p = new testsupport::CTempDir;
        int st = -1;
        testsupport::RunCommand(std::string(EKG_PYTHON " " EKG_FIXTURES_SCRIPT " ") +
                                    testsupport::ShellQuote(p->Path() + "fx"),
                                &st);
        EXPECT_EQ(st, 0);
        return p;
    }();
    static const std::string s_strDir = s_pDir->Path() + "fx/";
    return s_strDir;
}

class GraphWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_host.resize(700, 500);
        m_pCtrl = std::make_unique<CWavelinCtrl>(&m_host);
        m_pCtrl->Widget()->resize(700, 500);
        m_pCtrl->SetEventSink(&m_log);
        m_host.show();
        QApplication::processEvents();
    }
    void TearDown() override {
        m_pCtrl->SetEventSink(nullptr);
        m_pCtrl.reset();
    }

    CEkgGraphWnd& View() { return m_pCtrl->View(); }
    Variant Call(const char* szName, std::vector<Variant> args = {}) {
        Variant result;
        EXPECT_EQ(m_pCtrl->InvokeByName(szName, args, &result), platform::DISP_OK) << szName;
        return result;
    }
    // A made-up record with real-looking beats, saved as a record file and opened.
    void OpenSynthRecord(int nSamples = 5000) {
        CSynthRecord rec;
        MakeSynthRecord(rec, nSamples, true);
        const std::string strPath = m_dir / (nSamples == 6000 ? "synth.raw" : "synth.ekg");
        ASSERT_TRUE(WriteEkgFile(strPath, &rec.wave, &rec.info, &rec.morph));
        ASSERT_TRUE(Call("EKGOpenFile", {Variant(strPath)}).AsBool());
    }

    void Mouse(QEvent::Type type, QPoint pt, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QWidget* pViewport = View().viewport();
        QMouseEvent ev(type, QPointF(pt), pViewport->mapToGlobal(QPointF(pt)), button, buttons,
                       Qt::NoModifier);
        QCoreApplication::sendEvent(pViewport, &ev);
    }
    void Drag(QPoint from, QPoint to) {
        Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        Mouse(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
        Mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
    // The arguments of the last event with that identifier; empty when none came.
    std::vector<int> LastEvent(platform::DISPID id) const {
        for (auto it = m_log.events.rbegin(); it != m_log.events.rend(); ++it) {
            if (it->id == id) {
                std::vector<int> out;
                for (const Variant& v : it->args)
                    out.push_back(v.AsLong());
                return out;
            }
        }
        return {};
    }

    testsupport::CTempDir m_dir;
    QWidget m_host;
    CEventLog m_log;
    std::unique_ptr<CWavelinCtrl> m_pCtrl;
};

}  // namespace

TEST_F(GraphWndTest, OpensEachKindOfRecordFile) {
    const std::string fx = FixtureDir();
    ASSERT_TRUE(Call("EKGOpenFile", {Variant(fx + "server.ekg")}).AsBool());
    EXPECT_EQ(Call("EKGGetMode").AsShort(), 1);
    EXPECT_EQ(View().GetMainsMode(), 0);
    EXPECT_EQ(View().Wave().GetSamplesPerChannel(), 5000u);
    EXPECT_EQ(Call("EKGGetRhythmParam", {Variant(short(0))}).AsShort(), 72);
    EXPECT_EQ(Call("EKGGetAnalysisCnt").AsShort(), 3);
    EXPECT_EQ(Call("EKGGetAnalysis", {Variant(short(0))}).AsText(), "Sinus rhythm");
    EXPECT_EQ(Call("EKGGetAnalysis", {Variant(short(3))}).AsText(), "");
    EXPECT_EQ(Call("EKGGetPatientInfo", {Variant(short(0))}).AsText(), "ID-4711");
    EXPECT_EQ(Call("EKGGetTime").AsText(), "202403140926");
    // A metric record's unit reaches the host as an empty text, not as a NUL character.
    EXPECT_EQ(Call("EKGGetPatientInfo", {Variant(short(7))}).AsText(), "");
    Call("EKGSetUnit", {Variant("C")});
    EXPECT_EQ(Call("EKGGetPatientInfo", {Variant(short(7))}).AsText(), "C");

    // ".raw" in any case: 6000 samples and the 60 Hz grid.
    std::filesystem::copy_file(fx + "server60.raw", m_dir / "rec.RaW");
    ASSERT_TRUE(Call("EKGOpenFile", {Variant(m_dir / "rec.RaW")}).AsBool());
    EXPECT_EQ(View().GetMainsMode(), 1);
    EXPECT_EQ(View().Wave().GetSamplesPerChannel(), 6000u);
    EXPECT_EQ(View().ScreenPage().Grid().GetColumns(), 60);
    EXPECT_EQ(View().Magnifier().Page().Grid().GetColumns(), 60);
    Call("EKGSetSpeed", {short(4)});
    ASSERT_TRUE(Call("EKGOpenFile", {Variant(fx + "server.ekg")}).AsBool());
    ASSERT_TRUE(Call("EKGOpenFile", {Variant(m_dir / "rec.RaW")}).AsBool());
    EXPECT_EQ(View().ScreenPage().Grid().GetColumns(), 120);
    EXPECT_EQ(View().Magnifier().Page().Grid().GetColumns(), 120);
    Call("EKGSetSpeed", {short(2)});

    // A CSE file keeps nothing of the record shown before it.
    ASSERT_TRUE(Call("EKGOpenFile", {Variant(fx + "cse.dcd")}).AsBool());
    EXPECT_EQ(View().GetMainsMode(), 0);
    EXPECT_EQ(View().ScreenPage().Grid().GetColumns(), 50);
    EXPECT_EQ(Call("EKGGetPatientInfo", {Variant(short(0))}).AsText(), "");
    EXPECT_EQ(Call("EKGGetRhythmParam", {Variant(short(0))}).AsShort(), 0);
    EXPECT_EQ(Call("EKGGetAnalysisCnt").AsShort(), 0);

    // Three characters or fewer: no extension, so a 50 Hz record file even when named RAW.
    std::filesystem::copy_file(fx + "server.ekg", m_dir / "RAW");
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.Path());
    EXPECT_TRUE(Call("EKGOpenFile", {Variant("RAW")}).AsBool());
    std::filesystem::current_path(old);
    EXPECT_EQ(View().GetMainsMode(), 0);

    // A failed open leaves an empty view.
    EXPECT_FALSE(Call("EKGOpenFile", {Variant(m_dir / "missing.ekg")}).AsBool());
    EXPECT_EQ(Call("EKGGetMode").AsShort(), 0);
    EXPECT_FALSE(View().Wave().HasBlock());
    EXPECT_EQ(Call("EKGGetPatientInfo", {Variant(short(0))}).AsText(), "");
}

// A pipe, a folder or a device under a record's name is refused at once: the host never
// waits for a writer that does not come.
TEST_F(GraphWndTest, OnlyRegularFilesAreOpened) {
    ASSERT_TRUE(Call("EKGOpenFile", {Variant(FixtureDir() + "server.ekg")}).AsBool());
    const std::string fifo = m_dir / "pipe.ekg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Should the open wait after all, a writer comes by after two seconds and leaves.
    std::thread rescue([&] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    });
    for (const std::string& path : {fifo, m_dir.Path(), std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(Call("EKGOpenFile", {Variant(path)}).AsBool());
        EXPECT_LT(t.elapsed(), 1000);
        EXPECT_EQ(Call("EKGGetMode").AsShort(), 0);
    }
    rescue.join();
}

TEST_F(GraphWndTest, SaveWritesTheRecordAndClearEmptiesIt) {
    EXPECT_FALSE(Call("EKGSaveFile", {Variant(m_dir / "empty.ekg")}).AsBool());
    ASSERT_TRUE(Call("EKGOpenFile", {Variant(FixtureDir() + "server.ekg")}).AsBool());
    Call("EKGSetPatientInfo", {Variant(short(1)), Variant("Ana Lima")});
    Call("EKGSetMisc", {Variant(short(3)), Variant("Lindar 2.1")});
    Call("EKGSetComment", {Variant("Reviewed.")});
    ASSERT_TRUE(Call("EKGSaveFile", {Variant(m_dir / "out.ekg")}).AsBool());
    EXPECT_EQ(Call("EKGGetMode").AsShort(), 1);
    Call("EKGClearGraph");
    EXPECT_EQ(Call("EKGGetMode").AsShort(), 0);
    EXPECT_EQ(Call("EKGGetComment").AsText(), "");
    ASSERT_TRUE(Call("EKGOpenFile", {Variant(m_dir / "out.ekg")}).AsBool());
    EXPECT_EQ(Call("EKGGetPatientInfo", {Variant(short(1))}).AsText(), "Ana Lima");
    EXPECT_EQ(Call("EKGGetComment").AsText(), "Reviewed.");
    // The report header texts belong to the view, not to the record.
    EXPECT_EQ(Call("EKGGetMisc", {Variant(short(3))}).AsText(), "Lindar 2.1");
    EXPECT_EQ(Call("EKGGetMisc", {Variant(short(4))}).AsText(), "");
}

TEST_F(GraphWndTest, InitializeKeepsTheGridOfA60HzRecord) {
    std::filesystem::copy_file(FixtureDir() + "server60.raw", m_dir / "r.raw");
    ASSERT_TRUE(Call("EKGOpenFile", {Variant(m_dir / "r.raw")}).AsBool());
    Call("EKGInitialize", {short(0), short(3), short(2), short(1), short(2), short(3)});
    EXPECT_EQ(View().ScreenPage().Grid().GetColumns(), 60);
    EXPECT_EQ(View().Magnifier().Page().Grid().GetColumns(), 60);
    Call("EKGInitialize", {short(0), short(3), short(4), short(1), short(2), short(3)});
    EXPECT_EQ(View().ScreenPage().Grid().GetColumns(), 120);
    Call("EKGSetSpeed", {short(2)});
    EXPECT_EQ(View().ScreenPage().Grid().GetColumns(), 60);
    // A cell below 1 is taken as 1, as the drawing does.
    Call("EKGInitialize", {short(0), short(3), short(2), short(1), short(0), short(3)});
    EXPECT_EQ(View().ScreenPage().Grid().GetCellSize(), 1);
    Call("EKGSetCellSize", {short(-4)});
    EXPECT_EQ(View().ScreenPage().Grid().GetCellSize(), 1);
    // Exports refuse widths of 0 or less.
    EXPECT_FALSE(Call("EKGMakeImage",
                      {Variant(m_dir / "w.jpg"), short(1), short(3), short(1), short(0), short(0)})
                     .AsBool());
    EXPECT_FALSE(Call("EKGMakeImageBMP",
                      {Variant(m_dir / "w.bmp"), short(1), short(3), short(1), short(-5), short(0)})
                     .AsBool());
    EXPECT_FALSE(testsupport::Exists(m_dir / "w.jpg"));
}

TEST_F(GraphWndTest, MeasuringReportsWidthsAndHeights) {
    OpenSynthRecord();
    struct Case {
        short nCell, nSpeed, nGain;
        int dx, dy;  // drag from (100, 150)
        platform::DISPID id;
        std::vector<int> expected;
    };
    const Case cases[] = {
        // Widths: ms = w x 200 / (5 cell), by speed; below 30 ms nothing.
        {2, 2, 3, 50, 0, EVENTID_EKGMeasureWidth, {1000, 60}},
        {4, 2, 3, 3, 0, EVENTID_EKGMeasureWidth, {30, 2000}},
        {4, 2, 3, 2, 0, EVENTID_EKGMeasureWidth, {0, 0}},
        {2, 1, 3, 50, 1, EVENTID_EKGMeasureWidth, {2000, 30}},
        {2, 4, 3, 50, -1, EVENTID_EKGMeasureWidth, {500, 120}},
        {3, 2, 3, 100, 0, EVENTID_EKGMeasureWidth, {1333, 45}},
        {2, 3, 3, 50, 0, EVENTID_EKGMeasureWidth, {0, 0}},
        {2, 2, 3, -50, 0, EVENTID_EKGMeasureWidth, {1000, 60}},
        // Heights in 0.1 mV by gain; gain 0 counts as 3.
        {2, 2, 3, 0, 40, EVENTID_EKGMeasureHeight, {20}},
        {2, 2, 1, 0, 40, EVENTID_EKGMeasureHeight, {80}},
        {2, 2, 2, 1, 40, EVENTID_EKGMeasureHeight, {40}},
        {2, 2, 4, 0, -40, EVENTID_EKGMeasureHeight, {10}},
        {2, 2, 0, 0, 40, EVENTID_EKGMeasureHeight, {20}},
        {5, 2, 3, 0, 52, EVENTID_EKGMeasureHeight, {10}},
        {2, 2, 5, 0, 40, EVENTID_EKGMeasureHeight, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "cell " << c.nCell << " speed " << c.nSpeed << " gain "
                                        << c.nGain << " drag " << c.dx << "," << c.dy);
        Call("EKGInitialize", {short(1), c.nGain, c.nSpeed, short(0), c.nCell, short(3)});
        Call("EKGEnableMeasure", {short(0)});
        Call("EKGEnableMeasure", {short(1)});
        m_log.events.clear();
        Drag(QPoint(100, 150), QPoint(100 + c.dx, 150 + c.dy));
        ASSERT_EQ(m_log.events.size(), 1u);
        EXPECT_EQ(m_log.events[0].id, c.id);
        EXPECT_EQ(LastEvent(c.id), c.expected);
    }
}

TEST_F(GraphWndTest, MeasureRectangleIsDraggedByItsEdgesAndReportedAgain) {
    OpenSynthRecord();
    Call("EKGEnableMeasure", {short(1)});
    Drag(QPoint(100, 200), QPoint(150, 200));
    EXPECT_EQ(LastEvent(EVENTID_EKGMeasureWidth), (std::vector<int>{1000, 60}));
    EXPECT_EQ(View().HitTest({100, 203}), CEkgGraphWnd::kHitLeft);
    EXPECT_EQ(View().HitTest({152, 196}), CEkgGraphWnd::kHitRight);
    EXPECT_EQ(View().HitTest({125, 200}), CEkgGraphWnd::kHitMove);
    EXPECT_EQ(View().HitTest({125, 260}), CEkgGraphWnd::kHitOutside);

    // Right edge out to 175: 75 px = 1500 ms = 40 bpm.
    Drag(QPoint(150, 200), QPoint(175, 230));
    EXPECT_EQ(LastEvent(EVENTID_EKGMeasureWidth), (std::vector<int>{1500, 40}));
    // Left edge past the right one stops one pixel short of it.
    Drag(QPoint(100, 200), QPoint(400, 200));
    EXPECT_EQ(View().GetMeasureRect().left, 174);
    // Moving keeps the size.
    Drag(QPoint(100, 200), QPoint(150, 200));  // new rectangle again: 50 px
    Drag(QPoint(125, 200), QPoint(300, 260));
    EXPECT_EQ(View().GetMeasureRect().Width(), 50);
    EXPECT_EQ(View().GetMeasureRect().left, 275);

    // Speed and gain changes report the shown rectangle again.
    m_log.events.clear();
    Call("EKGSetSpeed", {short(4)});
    EXPECT_EQ(LastEvent(EVENTID_EKGMeasureWidth), (std::vector<int>{500, 120}));
    Call("EKGSetSpeed", {short(2)});

    // A click away from the rectangle drops it and reports zero at once.
    m_log.events.clear();
    Mouse(QEvent::MouseButtonPress, QPoint(500, 400), Qt::LeftButton, Qt::LeftButton);
    ASSERT_EQ(m_log.events.size(), 1u);
    EXPECT_EQ(LastEvent(EVENTID_EKGMeasureWidth), (std::vector<int>{0, 0}));
    Mouse(QEvent::MouseButtonRelease, QPoint(500, 400), Qt::LeftButton, Qt::NoButton);

    // Measuring off forgets the rectangle.
    Drag(QPoint(100, 200), QPoint(150, 200));
    EXPECT_TRUE(View().HasMeasureRect());
    Call("EKGEnableMeasure", {short(0)});
    EXPECT_FALSE(View().HasMeasureRect());
    EXPECT_EQ(View().HitTest({125, 200}), CEkgGraphWnd::kHitNone);
}

TEST_F(GraphWndTest, MouseDoesNothingWithoutARecord) {
    Call("EKGEnableMeasure", {short(1)});
    Drag(QPoint(100, 200), QPoint(150, 200));
    EXPECT_TRUE(m_log.events.empty());
    EXPECT_FALSE(View().HasMeasureRect());
}

TEST_F(GraphWndTest, MagnifierAndMeasuringExcludeEachOther) {
    OpenSynthRecord();
    Call("EKGEnableMeasure", {short(1)});
    Drag(QPoint(100, 200), QPoint(150, 200));
    Call("EKGEnableMagnifyGlass", {short(1), short(12), short(3)});
    EXPECT_TRUE(View().IsMagnifierOn());
    EXPECT_FALSE(View().IsMeasureOn());
    EXPECT_FALSE(View().HasMeasureRect());

    // The lens: a square of cell x 5 x count around the point, framed in red.
    m_log.events.clear();
    Mouse(QEvent::MouseButtonPress, QPoint(200, 150), Qt::LeftButton, Qt::LeftButton);
    const CRectL rc = View().GetMagnifierRect();
    EXPECT_EQ(rc.Width(), 180);
    EXPECT_EQ(rc.left, 110);
    EXPECT_EQ(rc.top, 60);
    const QImage img = View().RenderView();
    EXPECT_EQ(img.pixel(rc.left, rc.top + 50), qRgb(255, 0, 0));
    // Small values are raised to cell 10 and count 2; points outside are clamped.
    Call("EKGEnableMagnifyGlass", {short(1), short(3), short(1)});
    Mouse(QEvent::MouseButtonPress, QPoint(-40, -40), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(View().GetMagnifierRect().left, -50);
    EXPECT_EQ(View().GetMagnifierRect().Width(), 100);
    Mouse(QEvent::MouseButtonRelease, QPoint(-40, -40), Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(View().GetMagnifierRect().IsEmpty());
    EXPECT_TRUE(m_log.events.empty());

    // A small screen cell from EKGInitialize leaves the glass magnifying.
    Call("EKGEnableMagnifyGlass", {short(1), short(12), short(3)});
    Call("EKGInitialize", {short(1), short(3), short(2), short(0), short(2), short(3)});
    EXPECT_EQ(View().Magnifier().GetSide(), 10 * 5 * 3);

    Call("EKGEnableMeasure", {short(1)});
    EXPECT_FALSE(View().IsMagnifierOn());
    EXPECT_TRUE(View().IsMeasureOn());
}

TEST_F(GraphWndTest, ScrollBarsFollowPageAndWindow) {
    OpenSynthRecord();
    const int nBar = View().style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &View());
    // Cell 2, border 3: the page is 512 x 382 pixels.
    ASSERT_EQ(View().ScreenPage().GetWidth(), 512);
    ASSERT_EQ(View().ScreenPage().GetHeight(), 382);
    struct Case {
        int w, h;
        bool bH, bV;
        int nMaxX, nMaxY;
    };
    const Case cases[] = {
        {400, 300, true, true, 512 - 400 + nBar, 382 - 300 + nBar},
        {520, 390, false, false, 0, 0},
        {600, 300, false, true, 0, 382 - 300},
        {515, 300, true, true, 512 - 515 + nBar, 382 - 300 + nBar},
        {400, 382 + nBar + 2, true, false, 512 - 400, 0},
        {400, 390, true, true, 512 - 400 + nBar, 382 - 390 + nBar},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
        m_pCtrl->Widget()->resize(c.w, c.h);
        View().resize(c.w, c.h);
        View().UpdateScrollBars();
        EXPECT_EQ(View().horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn, c.bH);
        EXPECT_EQ(View().verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn, c.bV);
        EXPECT_EQ(View().horizontalScrollBar()->maximum(), c.nMaxX);
        EXPECT_EQ(View().verticalScrollBar()->maximum(), c.nMaxY);
        EXPECT_EQ(View().horizontalScrollBar()->pageStep(), c.nMaxX / 5 + 1);
        EXPECT_EQ(View().verticalScrollBar()->pageStep(), c.nMaxY / 5 + 1);
    }
    // The page follows the cell: cell 4 doubles it, and the scroll position is kept in range.
    m_pCtrl->Widget()->resize(400, 300);
    View().resize(400, 300);
    View().horizontalScrollBar()->setValue(View().horizontalScrollBar()->maximum());
    Call("EKGSetCellSize", {short(4)});
    EXPECT_EQ(View().horizontalScrollBar()->maximum(), 50 * 20 + 24 - 400 + nBar);
    EXPECT_EQ(View().ScrollX(), View().horizontalScrollBar()->value());
    Call("EKGSetCellSize", {short(1)});
    EXPECT_LE(View().ScrollX(), View().horizontalScrollBar()->maximum());
}

TEST_F(GraphWndTest, StatusLabelBlinksTheStatusText) {
    View().CreateStatusLabel();
    CEkgStatusLabel* pLabel = View().GetStatusLabel();
    ASSERT_NE(pLabel, nullptr);
    EXPECT_FALSE(pLabel->isVisible());
    EXPECT_EQ(pLabel->pos(), QPoint(6, 6));  // border 3 x cell 2
    EXPECT_EQ(pLabel->height(), 5 * 2 + 1);
    View().SetStatusText("Lead fault : RA");
    View().OnStatusTimer();
    EXPECT_TRUE(pLabel->isVisible());
    EXPECT_EQ(pLabel->GetText(), "Lead fault : RA");
    View().OnStatusTimer();
    EXPECT_FALSE(pLabel->isVisible());
    View().OnStatusTimer();
    EXPECT_TRUE(pLabel->isVisible());
    // The same text in another case is no change.
    View().SetStatusText("LEAD FAULT : RA");
    View().OnStatusTimer();
    EXPECT_EQ(pLabel->GetText(), "Lead fault : RA");
    // Switched off, the label keeps its last state and text.
    Call("EKGShowLeadFault", {short(0)});
    View().SetStatusText("");
    View().OnStatusTimer();
    EXPECT_FALSE(pLabel->isVisible());
    EXPECT_EQ(pLabel->GetText(), "Lead fault : RA");
    Call("EKGShowLeadFault", {short(1)});
    View().OnStatusTimer();
    EXPECT_FALSE(pLabel->isVisible());
    EXPECT_EQ(pLabel->GetText(), "");
    Call("EKGSetCellSize", {short(4)});
    EXPECT_EQ(pLabel->pos(), QPoint(12, 12));
    EXPECT_EQ(pLabel->height(), 5 * 4 + 1);
}

TEST_F(GraphWndTest, SettersLockAndFailureValues) {
    // The lock freezes the painted surface and the label on it, not only the frame.
    View().CreateStatusLabel();
    Call("EKGLockUpdate");
    EXPECT_FALSE(View().updatesEnabled());
    EXPECT_FALSE(View().viewport()->updatesEnabled());
    EXPECT_FALSE(View().GetStatusLabel()->updatesEnabled());
    Call("EKGUnlockUpdate");
    EXPECT_TRUE(View().updatesEnabled());
    EXPECT_TRUE(View().viewport()->updatesEnabled());
    EXPECT_TRUE(View().GetStatusLabel()->updatesEnabled());
    for (short n : {short(12), short(-1)}) {
        Call("EKGSetLanguage", {n});
        EXPECT_EQ(View().GetLanguage(), 0);
    }
    Call("EKGSetLanguage", {short(11)});
    EXPECT_EQ(View().GetLanguage(), 11);
    Call("EKGSetDiagTempDir", {Variant(m_dir.Path())});
    EXPECT_EQ(View().GetEngineDir(), m_dir.Path());
    Call("EKGSetDeviceInfo", {short(2), short(9), short(9), short(9)});
    EXPECT_EQ(View().Info().GetAnalysisMode(), 2);
    // Printing needs a printer name and a record; stopping needs a link under way.
    EXPECT_EQ(Call("EKGPrint", {Variant(""), short(3), short(1), short(0)}).AsShort(), 1);
    EXPECT_EQ(Call("EKGPrint", {Variant("PDF"), short(3), short(1), short(0)}).AsShort(), 2);
    EXPECT_FALSE(Call("EKGStopRecording").AsBool());
    EXPECT_FALSE(Call("EKGStopMonitoring").AsBool());
    EXPECT_FALSE(
        Call("EKGStartAnalysisRecording", {Variant("1.2.3.4"), Variant("x"), short(0)}).AsBool());
    EXPECT_EQ(Call("EKGGetConnectedEKGCnt").AsShort(), 0);
    EXPECT_EQ(Call("EKGGetConnectedEKGIP", {short(0)}).AsText(), "");
    // Screen pens: 1 when a new pen was made, 0 when nothing changed.
    EXPECT_TRUE(Call("EKGSetGraphPen", {short(0), short(2), Variant(std::int32_t(0))}).AsBool());
    EXPECT_FALSE(Call("EKGSetGraphPen", {short(0), short(2), Variant(std::int32_t(0))}).AsBool());
    EXPECT_TRUE(Call("SetGrid", {short(0), short(1), Variant(std::int32_t(0x00FF00))}).AsBool());
    // Format 3 is taken when not monitoring.
    Call("EKGSetChType", {short(3)});
    EXPECT_EQ(View().ScreenPage().Painter().Layout().GetFormat(), 3);
}

TEST_F(GraphWndTest, ImageExportsLeaveTheScreenAlone) {
    OpenSynthRecord();
    Call("EKGSetBackColor", {Variant(std::int32_t(0xE0E0E0))});
    const int nColumns = View().ScreenPage().Grid().GetColumns();
    const int nCell = View().ScreenPage().Grid().GetCellSize();
    ASSERT_TRUE(Call("EKGMakeImageBMP",
                     {Variant(m_dir / "r.bmp"), short(2), short(3), short(1), short(800), short(0)})
                    .AsBool());
    ASSERT_TRUE(Call("EKGMakeImage", {Variant(m_dir / "r.jpg"), short(0), short(3), short(1),
                                      short(1024), short(1)})
                    .AsBool());
    int st = -1;
    std::string out =
        testsupport::RunCommand("identify " + testsupport::ShellQuote(m_dir / "r.bmp") + " " +
                                    testsupport::ShellQuote(m_dir / "r.jpg"),
                                &st);
    EXPECT_EQ(st, 0) << out;
    EXPECT_NE(out.find("BMP3 800x600"), std::string::npos) << out;
    EXPECT_NE(out.find("JPEG 1024x768"), std::string::npos) << out;
    EXPECT_EQ(View().ScreenPage().Grid().GetColumns(), nColumns);
    EXPECT_EQ(View().ScreenPage().Grid().GetCellSize(), nCell);
    EXPECT_EQ(View().ScreenPage().Grid().GetBackground(), 0xE0E0E0u);
}

TEST_F(GraphWndTest, PdfErrorsReachTheHostAsEvents) {
    ASSERT_TRUE(Call("EKGOpenFile", {Variant(FixtureDir() + "server.ekg")}).AsBool());
    EXPECT_FALSE(Call("EKGMakePDF", {Variant(m_dir / "no/such/dir/r.pdf"), short(1), short(3),
                                     short(1), short(0)})
                     .AsBool());
    EXPECT_FALSE(LastEvent(EVENTID_EKGPDFError).empty());
}

TEST(WavelinCtrlDesign, WithoutAViewWindowDrawsTheDesignPicture) {
    QWidget host;
    CWavelinCtrl ctrl(&host, FALSE);
    EXPECT_FALSE(ctrl.IsViewCreated());
    QImage img(200, 60, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter painter(&img);
    ctrl.OnDraw(painter, img.rect());
    painter.end();
    EXPECT_EQ(img.pixel(190, 55), qRgb(127, 127, 127));
    // The caption leaves dark pixels near its corner (5, 5).
    int nDark = 0;
    for (int y = 5; y < 25; ++y)
        for (int x = 5; x < 150; ++x)
            if (qGray(img.pixel(x, y)) < 60)
                ++nDark;
    EXPECT_GT(nDark, 20);
}

TEST_F(GraphWndTest, ScreenshotOfARecord) {
    OpenSynthRecord();
    m_pCtrl->Widget()->resize(1100, 800);
    View().resize(1100, 800);
    Call("EKGInitialize", {short(1), short(3), short(2), short(1), short(2), short(3)});
    Call("EKGEnableMeasure", {short(1)});
    Drag(QPoint(300, 120), QPoint(380, 120));
    QApplication::processEvents();
    const QPixmap shot = m_pCtrl->Widget()->grab();
    const char* szOut = std::getenv("WAVELIN_SCREENSHOT");
    const std::string strOut = szOut ? szOut : m_dir / "wavelin.png";
    ASSERT_TRUE(shot.save(QString::fromStdString(strOut), "PNG"));
    // Traces: plenty of dark pixels on the paper.
    const QImage img = shot.toImage();
    int nDark = 0;
    for (int y = 0; y < img.height(); y += 2)
        for (int x = 0; x < img.width(); x += 2)
            if (qGray(img.pixel(x, y)) < 80)
                ++nDark;
    EXPECT_GT(nDark, 1000);

    // The same view with the magnifying glass held over V2.
    Call("EKGEnableMagnifyGlass", {short(1), short(10), short(4)});
    Mouse(QEvent::MouseButtonPress, QPoint(330, 100), Qt::LeftButton, Qt::LeftButton);
    QApplication::processEvents();
    const QPixmap lens = m_pCtrl->Widget()->grab();
    Mouse(QEvent::MouseButtonRelease, QPoint(330, 100), Qt::LeftButton, Qt::NoButton);
    const std::string strLens = strOut.substr(0, strOut.size() - 4) + "_magnifier.png";
    ASSERT_TRUE(lens.save(QString::fromStdString(strLens), "PNG"));
    EXPECT_NE(lens.toImage(), img);
}

// ---------------------------------------------------------------------------------------
// EKGOpenURL against a local web server.

namespace {

int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof(addr);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    close(fd);
    return ntohs(addr.sin_port);
}

bool CanConnect(int nPort) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(nPort));
    const bool bOk = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    close(fd);
    return bOk;
}

}  // namespace

TEST_F(GraphWndTest, OpenUrlDownloadsIntoAPrivateFile) {
    const std::string strFixtures = FixtureDir();
    testsupport::CTempDir scratch;
    testsupport::CEnvScope tmp("TMPDIR", scratch.Path().c_str());
    const int nPort = FreeLoopbackPort();
    ASSERT_GT(nPort, 0);
    QProcess server;
    server.setProgram(EKG_PYTHON);
    server.setArguments({"-m", "http.server", QString::number(nPort), "--bind", "127.0.0.1",
                         "--directory", QString::fromStdString(strFixtures)});
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start();
    ASSERT_TRUE(server.waitForStarted(5000));
    QElapsedTimer t;
    t.start();
    while (!CanConnect(nPort) && t.elapsed() < 10000)
        usleep(50000);
    ASSERT_TRUE(CanConnect(nPort));
    const std::string strBase = "http://127.0.0.1:" + std::to_string(nPort) + "/";

    EXPECT_TRUE(Call("EKGOpenURL", {Variant(strBase + "server.ekg")}).AsBool());
    EXPECT_EQ(Call("EKGGetMode").AsShort(), 1);
    EXPECT_EQ(Call("EKGGetRhythmParam", {Variant(short(0))}).AsShort(), 72);
    EXPECT_EQ(Call("EKGGetPatientInfo", {Variant(short(0))}).AsText(), "ID-4711");

    // A missing document is an HTTP error, not a record.
    EXPECT_FALSE(Call("EKGOpenURL", {Variant(strBase + "nothing.ekg")}).AsBool());
    EXPECT_EQ(Call("EKGGetMode").AsShort(), 0);

    server.terminate();
    server.waitForFinished(5000);
    EXPECT_FALSE(Call("EKGOpenURL", {Variant(strBase + "server.ekg")}).AsBool());

    // The downloads went to the private scratch folder and nothing is left behind there.
    const std::string strPrivate = scratch / ("corvane-" + std::to_string(getuid()));
    ASSERT_TRUE(std::filesystem::is_directory(strPrivate));
    EXPECT_TRUE(std::filesystem::is_empty(strPrivate));
}

// Hosts may pass any short: the largest and smallest sizes draw and measure without
// overflowing (the sanitizer build aborts on any signed overflow).
TEST_F(GraphWndTest, ExtremeSizesFromTheHost) {
    OpenSynthRecord();
    for (short n : {short(SHRT_MIN), short(-1), short(0), short(SHRT_MAX)}) {
        SCOPED_TRACE(n);
        Call("EKGInitialize", {n, n, n, n, n, n});
        Call("EKGSetBorderCount", {n});
        Call("EKGSetCellSize", {n});
        View().CreateStatusLabel();
        View().UpdateScrollBars();
        View().RenderView();
        Call("EKGEnableMagnifyGlass", {short(1), n, n});
        Mouse(QEvent::MouseButtonPress, QPoint(200, 150), Qt::LeftButton, Qt::LeftButton);
        View().RenderView();
        Mouse(QEvent::MouseButtonRelease, QPoint(200, 150), Qt::LeftButton, Qt::NoButton);
        Call("EKGEnableMeasure", {short(1)});
        Drag(QPoint(100, 150), QPoint(400, 152));
        Drag(QPoint(100, 150), QPoint(102, 400));
        View().RenderView();
    }
    // Sizes beyond any screen are capped; ordinary ones are taken as given.
    Call("EKGInitialize", {short(1), short(3), short(2), short(0), short(2), short(3)});
    EXPECT_EQ(View().ScreenPage().Grid().GetCellSize(), 2);
    EXPECT_EQ(View().ScreenPage().Grid().GetBorderPixels(), 6);
    Call("EKGEnableMagnifyGlass", {short(1), short(40), short(8)});
    EXPECT_EQ(View().Magnifier().GetSide(), 40 * 5 * 8);
}

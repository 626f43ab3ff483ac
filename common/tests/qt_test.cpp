// The Qt side: 3-D frames painted on an image, and the one-round pump.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>

#include "common/ZeqGF.h"
#include "platform/msgpump.h"
#include "platform/qtmsgpump.h"
#include "testsupport/testsupport.h"

namespace {

QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "zeqgf_qt_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

const QColor kLight(250, 0, 0), kMidlight(0, 250, 0), kDark(0, 0, 250), kShadow(250, 250, 0);
const QColor kBack(255, 255, 255);

class ZeqGFQt : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        QPalette pal;
        pal.setColor(QPalette::Light, kLight);
        pal.setColor(QPalette::Midlight, kMidlight);
        pal.setColor(QPalette::Dark, kDark);
        pal.setColor(QPalette::Shadow, kShadow);
        QGuiApplication::setPalette(pal);
    }
    QImage Paint(BOOL bSingle, BOOL bRaised, QRect rect = QRect(2, 2, 10, 8)) {
        QImage img(16, 14, QImage::Format_RGB32);
        img.fill(kBack);
        QPainter p(&img);
        ZeqGF::Draw3DFrame(&p, rect, bSingle, bRaised);
        p.end();
        return img;
    }
};

}  // namespace

TEST_F(ZeqGFQt, RaisedDoubleFrame) {
    QImage img = Paint(FALSE, TRUE);  // pixels 2..11 across, 2..9 down
    struct {
        int x, y;
        QColor c;
    } pixels[] = {
        {2, 2, kLight},    {6, 2, kLight},    {2, 6, kLight},     // outer top and left
        {11, 2, kDark},    {11, 9, kDark},    {2, 9, kDark},      // outer right and bottom
        {3, 3, kMidlight}, {6, 3, kMidlight}, {3, 6, kMidlight},  // inner top and left
        {10, 3, kShadow},  {10, 8, kShadow},  {3, 8, kShadow},    // inner right and bottom
        {6, 6, kBack},     {1, 1, kBack},     {12, 10, kBack},    // inside and outside
    };
    for (const auto& px : pixels) {
        EXPECT_EQ(px.c, img.pixelColor(px.x, px.y)) << px.x << "," << px.y;
    }
}

TEST_F(ZeqGFQt, SunkenAndSingleFrames) {
    QImage sunken = Paint(FALSE, FALSE);
    EXPECT_EQ(kDark, sunken.pixelColor(2, 2));
    EXPECT_EQ(kLight, sunken.pixelColor(11, 9));
    EXPECT_EQ(kShadow, sunken.pixelColor(3, 3));
    EXPECT_EQ(kMidlight, sunken.pixelColor(10, 8));

    QImage single = Paint(TRUE, TRUE);
    EXPECT_EQ(kLight, single.pixelColor(2, 2));
    EXPECT_EQ(kDark, single.pixelColor(11, 9));
    // One outline only: everything inside it keeps the background.
    for (int y = 3; y <= 8; ++y) {
        for (int x = 3; x <= 10; ++x)
            EXPECT_EQ(kBack, single.pixelColor(x, y)) << x << "," << y;
    }

    QImage none = Paint(FALSE, TRUE, QRect());
    EXPECT_EQ(kBack, none.pixelColor(0, 0));
    ZeqGF::Draw3DFrame(nullptr, QRect(0, 0, 4, 4), FALSE, TRUE);  // no painter: nothing
}

TEST_F(ZeqGFQt, PeekMsgRunsPendingWorkWithoutWaiting) {
    MSG msg;
    bool bRan = false;
    QTimer::singleShot(0, [&] { bRan = true; });
    for (int i = 0; i < 5 && !bRan; ++i)
        ZeqGF::PeekMsg(msg);
    EXPECT_TRUE(bRan);

    // Nothing pending: back at once (a timer far ahead must not be waited for).
    QTimer later;
    later.setSingleShot(true);
    later.start(10000);
    ZeqGF::PeekMsg(msg);
    EXPECT_TRUE(later.isActive());
}

namespace {
// Slows the copy down to about a millisecond a block, as a slow disk or share would.
int SlowBlock(ZeqFileCallBackParam*, uintptr_t) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
}
}  // namespace

// The program's timers keep running while a long copy works on its thread; one that
// starts a copy of its own gets it done, and events never nest inside it.
TEST_F(ZeqGFQt, LongCopyLeavesTheProgramAnswering) {
    testsupport::CTempDir dir;
    ASSERT_TRUE(testsupport::WriteFile(dir / "big.bin", std::string(400 * 4096, 'b')));
    ASSERT_TRUE(testsupport::WriteFile(dir / "small.bin", "small"));
    auto previous = platform::SetMessagePump(nullptr);
    platform::InstallQtMessagePump();
    int nTicks = 0, nDepth = 0, nDeepest = 0;
    BOOL bNested = FALSE;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        nDeepest = std::max(nDeepest, ++nDepth);
        if (++nTicks == 1)
            bNested = ZeqGF::CopyFile((dir / "small.bin").c_str(), (dir / "nested.bin").c_str(),
                                      FALSE, FALSE, nullptr, 0);
        --nDepth;
    });
    timer.start();
    EXPECT_TRUE(ZeqGF::CopyFile((dir / "big.bin").c_str(), (dir / "copy.bin").c_str(), FALSE, FALSE,
                                SlowBlock, 0));
    timer.stop();
    platform::SetMessagePump(previous);
    EXPECT_GE(nTicks, 10);
    EXPECT_EQ(nDeepest, 1);
    EXPECT_TRUE(bNested);
    EXPECT_EQ(testsupport::ReadFile(dir / "nested.bin"), "small");
    EXPECT_EQ(testsupport::ReadFile(dir / "copy.bin").size(), 400u * 4096u);
}

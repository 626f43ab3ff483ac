// The Qt program's pump: one round of pending events, only on the application's thread
// (the test program's one application: corvane_testqtapp).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <thread>

#include "platform/msgpump.h"
#include "platform/qtmsgpump.h"

TEST(QtMessagePump, RunsPendingEventsAndTellsWhenNoneIsLeft) {
    int nRan = 0;
    QTimer::singleShot(0, [&] { ++nRan; });
    QCoreApplication::sendPostedEvents();  // the timer is armed
    int nRounds = 0;
    while (platform::PumpQtEvents() && ++nRounds < 100) {
    }
    EXPECT_EQ(nRan, 1);
    EXPECT_LT(nRounds, 100);
    EXPECT_EQ(platform::PumpQtEvents(), 0);
}

TEST(QtMessagePump, InstalledItRunsTimersOfTheWaitingThreadOnly) {
    auto previous = platform::SetMessagePump(nullptr);
    platform::InstallQtMessagePump();
    int nTicks = 0, nInside = -1;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++nTicks;
        nInside = platform::PumpMessage();  // work started by the event pumps no further
    });
    timer.start();
    // A long wait as the device search makes it: the timer keeps firing.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < end) {
        if (platform::PumpMessage() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_GE(nTicks, 10);
    EXPECT_EQ(nInside, 0);
    int nOther = -1;
    std::thread([&] { nOther = platform::PumpMessage(); }).join();
    EXPECT_EQ(nOther, 0);
    platform::SetMessagePump(previous);
}

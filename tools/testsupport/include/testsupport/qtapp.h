#pragma once
// One QApplication for a whole test program (widgets, offscreen), and running its events
// until something happened. Header only: the test links Qt Widgets itself.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <functional>

namespace testsupport {

inline QApplication* WidgetApp() {
    static int argc = 1;
    static char name[] = "corvane_tests";
    static char* argv[] = {name, nullptr};
    if (auto* p = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return p;
    return new QApplication(argc, argv);
}

// Registered once per test program: the application goes at the end of the run, so that
// what it keeps (fonts and their caches) is freed before the leak check.
class CWidgetAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override { WidgetApp(); }
    void TearDown() override { delete QCoreApplication::instance(); }
};

// Runs events until the condition holds or the time is up; the condition's last value.
inline bool ProcessUntil(const std::function<bool()>& condition, int nTimeoutMs = 10000) {
    WidgetApp();
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > nTimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

inline void ProcessFor(int nMs) {
    ProcessUntil([] { return false; }, nMs);
}

// The modal dialog of type T once it runs (from a timer queued before the command that
// opens it); null when none came in time.
template <class T>
T* WaitForModal(int nTimeoutMs = 5000) {
    ProcessUntil([] { return qobject_cast<T*>(QApplication::activeModalWidget()) != nullptr; },
                 nTimeoutMs);
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

}  // namespace testsupport

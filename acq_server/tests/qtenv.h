#pragma once
// One QCoreApplication for the whole test program, and helpers to run the event loop
// until something happened.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

inline QCoreApplication* TestApp() {
    static int argc = 1;
    static char name[] = "acq_net_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* pApp = QCoreApplication::instance() ? QCoreApplication::instance()
                                                                 : new QCoreApplication(argc, argv);
    return pApp;
}

// Runs events until the condition holds or the time is up; the condition's last value.
inline bool RunUntil(const std::function<bool()>& condition, int nTimeoutMs = 10000) {
    TestApp();
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > nTimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

inline void RunFor(int nMs) {
    RunUntil([] { return false; }, nMs);
}

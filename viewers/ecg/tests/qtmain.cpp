// One application object for the tests that load the ECG control and draw pictures, set up
// as the program sets up its own.
#include <QApplication>

#include <gtest/gtest.h>

#include "viewerapp.h"

namespace {
class CQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int s_argc = 1;
        static char s_name[] = "lindar_tests";
        static char* s_argv[] = {s_name, nullptr};
        if (!QApplication::instance()) {
            m_pApp = new QApplication(s_argc, s_argv);
            viewerapp::StartApplication();
        }
    }
    void TearDown() override {
        delete m_pApp;
        m_pApp = nullptr;
    }

private:
    QApplication* m_pApp = nullptr;
};
const auto* g_pEnv = ::testing::AddGlobalTestEnvironment(new CQtEnvironment);
}  // namespace

// One QApplication for the whole test run (widgets, fonts, printing). Link the object
// library `corvane_testqtapp`; its registration runs before main.
#include <QApplication>

#include <gtest/gtest.h>

namespace {
class CQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!QApplication::instance()) {
            static int s_argc = 1;
            static char s_name[] = "corvane_tests";
            static char* s_argv[] = {s_name, nullptr};
            m_pApp = new QApplication(s_argc, s_argv);
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

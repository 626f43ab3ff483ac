// Drawing text needs the application's screen side; the tests run offscreen.
#include <cstdlib>

#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {

class CQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int s_nArgc = 1;
        static char s_szName[] = "wavelin_draw_tests";
        static char* s_apszArgv[] = {s_szName, nullptr};
        m_pApp = new QGuiApplication(s_nArgc, s_apszArgv);
    }
    void TearDown() override {
        delete m_pApp;
        m_pApp = nullptr;
    }

private:
    QGuiApplication* m_pApp = nullptr;
};

[[maybe_unused]] ::testing::Environment* const g_pQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new CQtEnvironment);

}  // namespace

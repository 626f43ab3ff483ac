#pragma once
// The one QApplication of a test program, made before the first test and deleted after the
// last (offscreen, unless QT_QPA_PLATFORM says otherwise). Including this header in any
// source file of the program registers it once.
#include <cstdlib>

#include <QApplication>
#include <gtest/gtest.h>

namespace testsupport {

class CQtAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        if (QCoreApplication::instance() == nullptr) {
            static int s_nArgc = 1;
            static char s_szName[] = "corvane_test";
            static char* s_apszArgv[] = {s_szName, nullptr};
            m_pApp = new QApplication(s_nArgc, s_apszArgv);
        }
    }
    void TearDown() override {
        delete m_pApp;
        m_pApp = nullptr;
    }

private:
    QApplication* m_pApp = nullptr;
};

inline ::testing::Environment* const g_pQtAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new CQtAppEnvironment);

}  // namespace testsupport

#pragma once
// For a test program whose widgets must be on a real X screen (message boxes found and
// answered with the X tools): one Xvfb with a window manager for the whole run, the
// program's QApplication on it (platform xcb), both gone at the end. Header only: the test
// links Qt Widgets itself.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <string>
#include <utility>

#include "testsupport/xvfb.h"

namespace testsupport {

class CXScreenEnvironment : public ::testing::Environment {
public:
    // The screen as Xvfb's -screen option takes it ("WIDTHxHEIGHTxDEPTH").
    explicit CXScreenEnvironment(std::string strScreen = "1280x1024x24")
        : m_strScreen(std::move(strScreen)) {}
    static CXvfb& Screen() {
        static CXvfb s_x;
        return s_x;
    }
    void SetUp() override {
        ASSERT_TRUE(Screen().Start(m_strScreen)) << "Xvfb did not start";
        ASSERT_TRUE(Screen().StartWindowManager()) << "no window manager";
        setenv("DISPLAY", Screen().Display().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        static int argc = 1;
        static char name[] = "corvane_screen_tests";
        static char* argv[] = {name, nullptr};
        m_pApp = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete m_pApp;
        m_pApp = nullptr;
        Screen().Stop();
    }

private:
    std::string m_strScreen;
    QApplication* m_pApp = nullptr;
};

}  // namespace testsupport

#include "spirofixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/process.h"
#include "testsupport/qtapp.h"

namespace spirotest {

namespace {
// One QApplication for the program (the graphs draw text; the control is a widget).
const auto* g_pAppEnv = ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

const char* Extension(int nType) {
    return nType == 2 ? ".svc" : (nType == 3 ? ".mvv" : ".fvc");
}
}  // namespace

const std::string& FixtureDir() {
    static testsupport::CTempDir* s_pDir = [] {
        auto* pDir = new testsupport::CTempDir;
        int st = -1;
        testsupport::RunCommand(std::string(SPIRO_PYTHON3) + " " + SPIRO_FIXTURE_SCRIPT + " " +
                                    testsupport::ShellQuote(pDir->Path()),
                                &st);
        if (st != 0) {
            ADD_FAILURE() << "fixture script failed";
        }
        std::atexit([] { delete s_pDir; });
        return pDir;
    }();
    return s_pDir->Path();
}

std::string RandomFixture(int nType, int nFormat) {
    return FixtureDir() + "spiro_t" + std::to_string(nType) + "_f" + std::to_string(nFormat) +
           Extension(nType);
}

std::string ShapedFixture(int nType, int nFormat) {
    return FixtureDir() + "shaped_t" + std::to_string(nType) + "_f" + std::to_string(nFormat) +
           Extension(nType);
}

std::map<std::string, double> Landmarks(int nType, int nFormat) {
    std::map<std::string, double> marks;
    std::ifstream in(FixtureDir() + "shaped_t" + std::to_string(nType) + "_f" +
                     std::to_string(nFormat) + ".landmarks");
    std::string name;
    double dValue;
    while (in >> name >> dValue) {
        marks[name] = dValue;
    }
    EXPECT_FALSE(marks.empty());
    return marks;
}

std::unique_ptr<CSpiroTestFile> OpenFixture(const std::string& strPath) {
    auto pFile = std::make_unique<CSpiroTestFile>();
    const short nResult = pFile->Open(strPath, 0);
    EXPECT_GT(nResult, 0) << strPath;
    return pFile;
}

}  // namespace spirotest

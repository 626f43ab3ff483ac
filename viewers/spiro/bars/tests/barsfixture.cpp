#include "barsfixture.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "spiro_control/spirotestfile.h"
#include "testsupport/qtapp.h"

namespace barstest {

namespace {
::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);
}  // namespace

const std::string& FixtureDir() {
    static testsupport::CTempDir* pDir = [] {
        auto* p = new testsupport::CTempDir;
        int status = -1;
        testsupport::RunCommand(std::string(SPIRO_PYTHON3) + " " + SPIRO_FIXTURE_SCRIPT + " " +
                                    testsupport::ShellQuote(p->Path()),
                                &status);
        EXPECT_EQ(status, 0);
        return p;
    }();
    return pDir->Path();
}

std::string CopyFixture(const std::string& name, const testsupport::CTempDir& dir) {
    const std::string target = dir / name;
    EXPECT_TRUE(testsupport::WriteFile(target, testsupport::ReadFile(FixtureDir() + name))) << name;
    return target;
}

CRealControl::CRealControl() {
    ::setenv("CORVANE_CONTROL_DIR", FLOWLIN_DIR, 1);
    m_flowlin.Create(&m_parent, 0, &m_strError, CFlowlin::kLibraryName);
}

namespace {
std::unique_ptr<CSpiroTestFile> Read(const std::string& path) {
    auto p = std::make_unique<CSpiroTestFile>();
    EXPECT_GE(p->Open(path, 0), 1) << path;
    return p;
}
}  // namespace

std::string ReadInformation(const std::string& path, short nKind) {
    return Read(path)->GetInformation(nKind);
}
std::string ReadRace(const std::string& path) {
    return Read(path)->m_Info.GetRaceString();
}
std::string ReadSmoke(const std::string& path) {
    return Read(path)->m_Info.GetSmokeString();
}
std::string ReadSmokePack(const std::string& path) {
    return Read(path)->m_Info.GetSmokePackString();
}

}  // namespace barstest

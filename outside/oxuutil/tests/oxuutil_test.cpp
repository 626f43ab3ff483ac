#include <gtest/gtest.h>

#include "oxuutil/inifile.h"
#include "oxuutil/singleinstancelock.h"
#include "testsupport/testsupport.h"

namespace {

TEST(IniFile, ABareNameLiesInTheProgramsHomeFolder) {
    testsupport::CTempDir dir;
    testsupport::CEnvScope home("CORVANE_HOME", dir.Path().c_str());
    CIniFile ini("Oxu.ini");
    EXPECT_EQ(ini.GetPathName(), dir.Path() + "oxuutil_tests/Oxu.ini");
    CIniFile own;
    EXPECT_EQ(own.GetPathName(), dir.Path() + "oxuutil_tests/oxuutil_tests.ini");
    CIniFile given((dir / "other.ini").c_str());
    EXPECT_EQ(given.GetPathName(), dir / "other.ini");
}

TEST(IniFile, ValuesReadBackThroughTheirGetters) {
    testsupport::CTempDir dir;
    CIniFile ini((dir / "a.ini").c_str());
    EXPECT_EQ(ini.GetInt("S", "N", 2003), 2003);
    EXPECT_FALSE(testsupport::Exists(dir / "a.ini"));  // reading writes nothing
    EXPECT_TRUE(ini.WriteInt("S", "N", 7));
    EXPECT_TRUE(ini.WriteString("S", "T", "text"));
    EXPECT_EQ(ini.GetInt("S", "N", 2003), 7);
    EXPECT_EQ(ini.GetString("S", "T"), "text");
    char abyIn[50] = "secret", abyOut[50] = {};
    EXPECT_TRUE(ini.WriteStruct("S", "B", abyIn, sizeof abyIn));
    EXPECT_TRUE(ini.GetStruct("S", "B", abyOut, sizeof abyOut));
    EXPECT_STREQ(abyOut, "secret");
    // The structure form carries its size: a read of another size fails.
    char abySmall[10] = {};
    EXPECT_FALSE(ini.GetStruct("S", "B", abySmall, sizeof abySmall));
}

TEST(SingleInstanceLock, OneHolderPerName) {
    testsupport::CTempDir dir;
    testsupport::CEnvScope runtime("XDG_RUNTIME_DIR", dir.Path().c_str());
    CSingleInstanceLock first, second;
    EXPECT_FALSE(first.Lock());  // no name yet
    first.SetApp(nullptr, "OxuTestLock", "Title");
    second.SetApp(nullptr, "OxuTestLock", "Title");
    EXPECT_TRUE(first.Lock());
    EXPECT_TRUE(first.Lock());  // held already
    EXPECT_FALSE(second.Lock());
    first.Unlock();
    EXPECT_FALSE(first.IsLocked());
    EXPECT_TRUE(second.Lock());
}

}  // namespace

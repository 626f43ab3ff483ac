#include "testsupport/testsupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/codepage.h"

TEST(TestSupport, TempDirRemovalLeavesLinkedFilesAlone) {
    testsupport::CTempDir outside;
    const std::string target = outside / "keep.txt";
    ASSERT_TRUE(testsupport::WriteFile(target, "x"));
    ASSERT_EQ(chmod(target.c_str(), 0400), 0);
    {
        testsupport::CTempDir dir;
        ASSERT_EQ(symlink(target.c_str(), (dir / "link").c_str()), 0);
    }
    struct stat st{};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0400u);  // the removal made only its own entries writable
}

TEST(TestSupport, CodePageScopeGivesTheEnvironmentBackItsSay) {
    testsupport::CEnvScope env("CORVANE_CODEPAGE", nullptr);
    platform::SetCodePage("");
    { testsupport::CCodePageScope cp("CP949"); }
    // The scope restored "no override", not a fixed "CP1252".
    testsupport::CEnvScope env2("CORVANE_CODEPAGE", "CP936");
    EXPECT_EQ(platform::CodePageName(), "CP936");
    {
        testsupport::CCodePageScope outer("CP932");
        { testsupport::CCodePageScope inner("CP949"); }
        EXPECT_EQ(platform::CodePageName(), "CP932");
    }
    EXPECT_EQ(platform::CodePageName(), "CP936");
}

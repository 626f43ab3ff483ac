#include <gtest/gtest.h>

#include <type_traits>

#include "oxuutil/inifile.h"
#include "oxuutil/msxmlfile.h"
#include "oxuutil/stringformat.h"
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

TEST(StringFormat, FormatsAnyLengthAndCopies) {
    CStringFormat f;
    EXPECT_EQ(f.Format("%s-%04d", "ID", 42), "ID-0042");
    const std::string big(5000, 'x');
    EXPECT_EQ(f.AppendFormat("[%s]", big.c_str()).size(), 7u + 5002u);
    CStringFormat copy = f;
    f.Format("%d", 1);
    EXPECT_EQ(copy.GetString().substr(0, 8), "ID-0042[");
    copy = f;
    EXPECT_EQ(copy.GetString(), "1");
}

TEST(MsXmlFile, LoadsSavesWholeAndCopies) {
    testsupport::CTempDir dir;
    const std::string xml = "<?xml version=\"1.0\"?>\r\n<Oxu><Port>2003</Port></Oxu>\r\n";
    ASSERT_TRUE(testsupport::WriteFile(dir / "a.xml", xml));
    CMsXmlFile file;
    EXPECT_FALSE(file.Load((dir / "none.xml").c_str()));
    EXPECT_FALSE(file.Save());  // no name yet
    ASSERT_TRUE(file.Load((dir / "a.xml").c_str()));
    EXPECT_EQ(file.GetXml(), xml);
    CMsXmlFile copy = file;  // a document of its own
    copy.SetXml("<Oxu/>");
    EXPECT_TRUE(copy.Save());
    EXPECT_EQ(testsupport::ReadFile(dir / "a.xml"), "<Oxu/>");
    EXPECT_TRUE(file.Save((dir / "b.xml").c_str()));
    EXPECT_EQ(testsupport::ReadFile(dir / "b.xml"), xml);
    EXPECT_EQ(file.GetPathName(), dir / "b.xml");
    EXPECT_FALSE(file.Save((dir / "no/such/c.xml").c_str()));
    EXPECT_EQ(file.GetPathName(), dir / "b.xml");
    static_assert(std::is_copy_assignable_v<CMsXmlFile> &&
                  std::is_copy_assignable_v<CStringFormat>);
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

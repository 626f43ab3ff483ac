// Paths, file names, system folders and drives.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "common/ZeqGF.h"
#include "platform/folders.h"
#include "testsupport/testsupport.h"

using testsupport::CCodePageScope;

TEST(ZeqGFPath, SplitPathTakesBothSeparators) {
    struct {
        const char* path;
        const char *dir, *name, *ext;
    } cases[] = {
        {"/x/file.ekg", "/x/", "file", ".ekg"},
        {"\\x\\y\\file.ekg", "/x/y/", "file", ".ekg"},
        {"C:\\x/a.b.c", "C:/x/", "a.b", ".c"},
        {"file", "", "file", ""},
        {"dir/", "dir/", "", ""},
        {"/a.d/noext", "/a.d/", "noext", ""},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        CString drive = "x", dir, name, ext;
        ZeqGF::SplitPath(c.path, drive, dir, name, ext);
        EXPECT_EQ("", drive) << c.path;
        EXPECT_EQ(c.dir, dir) << c.path;
        EXPECT_EQ(c.name, name) << c.path;
        EXPECT_EQ(c.ext, ext) << c.path;
    }
    EXPECT_EQ("/x/", ZeqGF::ExtractDir("\\x\\file.ekg"));
    EXPECT_EQ("/", ZeqGF::ExtractDrive("/x/file.ekg"));
    EXPECT_EQ("file.ekg", ZeqGF::ExtractName("C:\\x\\file.ekg", TRUE));
    EXPECT_EQ("file", ZeqGF::ExtractName("C:\\x\\file.ekg", FALSE));
    EXPECT_EQ("ekg", ZeqGF::ExtractExt("C:\\x\\file.ekg", FALSE));
    EXPECT_EQ(".ekg", ZeqGF::ExtractExt("C:\\x\\file.ekg", TRUE));
    EXPECT_EQ("", ZeqGF::ExtractExt("/x/file", TRUE));
}

TEST(ZeqGFPath, TrailByteThatLooksLikeABackslashIsNoSeparator) {
    // CP936: 0x81 0x5C is one character whose trail byte is "\".
    CCodePageScope cp("CP936");
    const char* path = "/d/\x81\x5C.txt";
    EXPECT_EQ("\x81\x5C.txt", ZeqGF::ExtractName(path, TRUE));
    EXPECT_EQ("/d/", ZeqGF::ExtractDir(path));
    EXPECT_TRUE(ZeqGF::IsValidFileName("\x81\x5C.txt"));
    EXPECT_TRUE(ZeqGF::IsValidPathName(path));
    EXPECT_EQ("/d/\x81\x5C/a", ZeqGF::MakePath("/d/\x81\x5C", "a"));
    CString s = "x\x81\x5C";
    ZeqGF::DelPathSep(s);
    EXPECT_EQ("x\x81\x5C", s);
}

TEST(ZeqGFPath, Separators) {
    struct {
        const char *in, *added, *removed;
    } cases[] = {
        {"", "/", ""},  {"a", "a/", "a"},    {"a/", "a/", "a"},
        {"/", "/", ""}, {"a\\", "a\\", "a"}, {"/x/y", "/x/y/", "/x/y"},
    };
    for (const auto& c : cases) {
        CString a = c.in, r = c.in;
        ZeqGF::AddPathSep(a);
        ZeqGF::DelPathSep(r);
        EXPECT_EQ(c.added, a) << c.in;
        EXPECT_EQ(c.removed, r) << c.in;
    }
}

TEST(ZeqGFPath, MakePath) {
    const std::string prog = platform::ProgramDir();
    ASSERT_FALSE(prog.empty());
    EXPECT_EQ(prog + "a.txt", ZeqGF::MakePath("", "a.txt"));
    EXPECT_EQ(prog + "a.txt", ZeqGF::MakePath("  ", "a.txt"));
    EXPECT_EQ(prog + "a.txt", ZeqGF::MakePath(nullptr, "a.txt"));
    EXPECT_EQ("/data", ZeqGF::MakePath("/data", ""));
    EXPECT_EQ("/data/a.txt", ZeqGF::MakePath("/data/", "a.txt"));
    EXPECT_EQ("/data/a.txt", ZeqGF::MakePath("/data", "a.txt"));
    EXPECT_EQ("/data/a.txt", ZeqGF::MakePath("\\data\\", "a.txt"));
}

static int g_nMarker;

TEST(ZeqGFPath, SystemFolders) {
    EXPECT_EQ(platform::ProgramDir(), ZeqGF::GetModulePath(nullptr));
    CString mod = ZeqGF::GetModulePath(&g_nMarker);
    ASSERT_FALSE(mod.empty());
    EXPECT_EQ('/', mod.back());
    EXPECT_EQ("/", ZeqGF::GetSystemDir());
    CString tmp = ZeqGF::GetSystemTempDir();
    EXPECT_EQ(platform::PrivateTempDir(), tmp);
    EXPECT_TRUE(ZeqGF::IsDir(tmp.c_str()));
}

TEST(ZeqGFPath, ValidNames) {
    struct {
        const char* name;
        BOOL bFile;
    } names[] = {
        {"a.txt", TRUE}, {"a:b", FALSE},  {"", FALSE},    {"   ", FALSE}, {"a?b", FALSE},
        {"a|b", FALSE},  {"a>b", FALSE},  {"a<b", FALSE}, {"a*", FALSE},  {"a\"b", FALSE},
        {"a/b", FALSE},  {"a\\b", FALSE}, {"..", FALSE},  {".", FALSE},   {".hidden", TRUE},
    };
    for (const auto& c : names)
        EXPECT_EQ(c.bFile, ZeqGF::IsValidFileName(c.name)) << c.name;

    struct {
        const char* path;
        BOOL bPath;
    } paths[] = {
        {"/dir/a.txt", TRUE},   {"\\dir\\a.txt", TRUE}, {"a.txt", TRUE},       {"/dir/", FALSE},
        {"/d?r/a.txt", FALSE},  {"/d*r/a.txt", FALSE},  {"/d:r/a.txt", FALSE}, {"", FALSE},
        {"/dir/a?.txt", FALSE}, {"/dir/..", FALSE},
    };
    for (const auto& c : paths)
        EXPECT_EQ(c.bPath, ZeqGF::IsValidPathName(c.path)) << c.path;
}

TEST(ZeqGFPath, DrivesFromTheMountTable) {
    EXPECT_TRUE(ZeqGF::IsDriveRoot("/"));
    EXPECT_TRUE(ZeqGF::IsDriveRoot("/proc"));
    EXPECT_TRUE(ZeqGF::IsDriveRoot("/proc/"));
    EXPECT_FALSE(ZeqGF::IsDriveRoot("/proc/self"));
    EXPECT_FALSE(ZeqGF::IsDriveRoot(""));
    EXPECT_EQ("/", ZeqGF::ExtractDrive("/"));
    EXPECT_EQ("/proc/", ZeqGF::ExtractDrive("/proc/self/status"));
    EXPECT_EQ("/proc/", ZeqGF::ExtractDrive("\\proc\\no\\such\\file"));
    EXPECT_EQ("/", ZeqGF::ExtractDrive(""));
    EXPECT_FALSE(ZeqGF::IsCDRomDrive("/"));
    EXPECT_EQ("", ZeqGF::GetCDROMDrive(-1));
    EXPECT_EQ("", ZeqGF::GetCDROMDrive(1000));
}

TEST(ZeqGFPath, AbbreviatePath) {
    struct {
        const char* path;
        int nMax;
        BOOL bKeep;
        const char* expected;
    } cases[] = {
        {"/one/two/three/file.txt", 20, TRUE, "/one/.../file.txt"},
        {"/one/two/three/file.txt", 21, TRUE, "/one/.../file.txt"},
        {"/one/two/three/file.txt", 23, TRUE, "/one/two/three/file.txt"},
        {"/one/two/three/file.txt", 22, FALSE, "/one/.../file.txt"},
        {"/one/two/three/file.txt", 12, TRUE, "file.txt"},
        {"/one/two/three/file.txt", 5, TRUE, "file.txt"},
        {"/one/two/three/file.txt", 5, FALSE, ""},
        {"/a/bbbbbbbbbb/cc/file.txt", 19, TRUE, "/a/.../cc/file.txt"},
        {"\\one\\two\\three\\file.txt", 20, TRUE, "/one/.../file.txt"},
        {"//srv/share/dir/sub/file.txt", 25, TRUE, "//srv/share/.../file.txt"},
        // No folder between the root and the name: the name is all there is to show.
        {"/file.txt", 8, TRUE, "file.txt"},
        {"/file.txt", 8, FALSE, "file.txt"},
        {"file.txt", 3, TRUE, "file.txt"},
        {"file.txt", 3, FALSE, ""},
    };
    for (const auto& c : cases) {
        char buf[64];
        std::strcpy(buf, c.path);
        ZeqGF::AbbreviatePath(buf, c.nMax, c.bKeep);
        EXPECT_STREQ(c.expected, buf) << c.path << " " << c.nMax;
        EXPECT_LE(std::strlen(buf), std::strlen(c.path));
    }
}

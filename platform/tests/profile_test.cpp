#include "platform/profile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "testsupport/testsupport.h"

using namespace platform;
using testsupport::ReadFile;
using testsupport::WriteFile;

TEST(Profile, ReadsWindowsStyleFiles) {
    testsupport::CTempDir dir;
    std::string f = dir / "a.ini";
    WriteFile(f,
              "; comment\r\n[Environment]\r\n  Port = 2003 \r\nName=\"quoted value\"\r\nBare\r\n"
              "[other]\nport=1\n[ENVIRONMENT]\nport=9\n");
    EXPECT_EQ(GetProfileString(f, "environment", "PORT", "x"), "2003");
    EXPECT_EQ(GetProfileInt(f, "Environment", "port", 0), 2003);
    EXPECT_EQ(GetProfileString(f, "Environment", "name", ""), "quoted value");
    EXPECT_EQ(GetProfileString(f, "Environment", "missing", " def "), "def");
    EXPECT_EQ(GetProfileString(f, "nosection", "port", "d"), "d");
    EXPECT_EQ(GetProfileInt(f, "other", "port", 5), 1);
    EXPECT_EQ(GetProfileSectionNames(f), (std::vector<std::string>{"Environment", "other", "ENVIRONMENT"}));
    EXPECT_EQ(GetProfileKeyNames(f, "Environment"), (std::vector<std::string>{"Port", "Name", "Bare"}));
    EXPECT_EQ(GetProfileSection(f, "ENVIRONMENT"),
              (std::vector<std::string>{"Port = 2003", "Name=\"quoted value\"", "Bare"}));
    EXPECT_EQ(GetProfileString(dir / "none.ini", "a", "b", "c"), "c");
    // A file an editor saved with a byte-order mark keeps its first section.
    WriteFile(f, "\xEF\xBB\xBF[GDT]\r\nPath=C:\\x\r\n");
    EXPECT_EQ(GetProfileString(f, "GDT", "Path", ""), "C:\\x");
}

TEST(Profile, IntegerValues) {
    testsupport::CTempDir dir;
    std::string f = dir / "i.ini";
    WriteFile(f, "[s]\na=-17\nb=12abc\nc=abc\nd=\ne=  \nh=0x0000001F\ni=-0x10\nj=0xFFFFFFFF\nk=0x\n");
    EXPECT_EQ(GetProfileInt(f, "s", "a", 0), -17);
    EXPECT_EQ(GetProfileInt(f, "s", "b", 0), 12);
    EXPECT_EQ(GetProfileInt(f, "s", "c", 7), 0);
    // An empty value reads as absent, as the Windows function does.
    EXPECT_EQ(GetProfileInt(f, "s", "d", 7), 7);
    EXPECT_EQ(GetProfileInt(f, "s", "e", 7), 7);
    EXPECT_EQ(GetProfileInt(f, "s", "f", 7), 7);
    // Hexadecimal, as values written with "0x%08X" are read back.
    EXPECT_EQ(GetProfileInt(f, "s", "h", 0), 31);
    EXPECT_EQ(GetProfileInt(f, "s", "i", 0), -16);
    EXPECT_EQ(GetProfileInt(f, "s", "j", 0), -1);
    EXPECT_EQ(GetProfileInt(f, "s", "k", 7), 0);
}

TEST(Profile, WritesKeepOrderCaseAndComments) {
    testsupport::CTempDir dir;
    std::string f = dir / "w.ini";
    WriteFile(f, "; top\n[A]\nOne=1\nTwo=2\n\n[B]\nx=1\n");
    ASSERT_TRUE(WriteProfileString(f, "a", "two", "22"));
    ASSERT_TRUE(WriteProfileString(f, "A", "Three", "3"));
    ASSERT_TRUE(WriteProfileString(f, "C", "k", "v"));
    EXPECT_EQ(ReadFile(f), "; top\r\n[A]\r\nOne=1\r\nTwo=22\r\nThree=3\r\n\r\n[B]\r\nx=1\r\n[C]\r\nk=v\r\n");
    ASSERT_TRUE(WriteProfileString(f, "A", "one", nullptr));  // a missing value deletes the key
    ASSERT_TRUE(WriteProfileString(f, "B", nullptr, nullptr));  // a missing key the section
    EXPECT_EQ(ReadFile(f), "; top\r\n[A]\r\nTwo=22\r\nThree=3\r\n\r\n[C]\r\nk=v\r\n");
    ASSERT_TRUE(WriteProfileString(dir / "new.ini", "S", "k", "v"));
    EXPECT_EQ(ReadFile(dir / "new.ini"), "[S]\r\nk=v\r\n");
    EXPECT_FALSE(WriteProfileString(dir / "nofolder/x.ini", "S", "k", "v"));
    // Deleting from a file that does not exist succeeds and creates none.
    EXPECT_TRUE(WriteProfileString(dir / "gone.ini", "S", "k", nullptr));
    EXPECT_TRUE(WriteProfileString(dir / "gone.ini", "S", nullptr, nullptr));
    EXPECT_FALSE(testsupport::Exists(dir / "gone.ini"));
}

TEST(Profile, LineBreaksInWrittenTextsStayOnTheirLine) {
    testsupport::CTempDir dir;
    std::string f = dir / "n.ini";
    // A device-given name with a line break must not add keys or sections to the file.
    ASSERT_TRUE(WriteProfileString(f, "List", "Name", "Kim\r\n[Other]\r\nPort=1"));
    ASSERT_TRUE(WriteProfileString(f, "List", "Name2", "a\nb"));
    ASSERT_TRUE(WriteProfileString(f, "A\nB", "k\nx", "v"));
    ASSERT_TRUE(WriteProfileSection(f, "Rows", {"r=1\n[Evil]", "s=2"}));
    EXPECT_EQ(GetProfileSectionNames(f), (std::vector<std::string>{"List", "A B", "Rows"}));
    EXPECT_EQ(GetProfileString(f, "List", "Name", ""), "Kim  [Other]  Port=1");
    EXPECT_EQ(GetProfileString(f, "List", "Name2", ""), "a b");
    EXPECT_EQ(GetProfileString(f, "A\nB", "k\nx", ""), "v");
    EXPECT_EQ(GetProfileSection(f, "Rows"), (std::vector<std::string>{"r=1 [Evil]", "s=2"}));
}

TEST(Profile, SectionsAsLines) {
    testsupport::CTempDir dir;
    std::string f = dir / "s.ini";
    WriteFile(f, "[L]\nold=1\n[M]\nm=1\n");
    ASSERT_TRUE(WriteProfileSection(f, "l", {"a=1", "b=2", "row three"}));
    EXPECT_EQ(GetProfileSection(f, "L"), (std::vector<std::string>{"a=1", "b=2", "row three"}));
    EXPECT_EQ(GetProfileString(f, "M", "m", ""), "1");
}

TEST(Profile, ConcurrentWritersLoseNothing) {
    testsupport::CTempDir dir;
    std::string f = dir / "c.ini";
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                std::string key = "k" + std::to_string(t) + "_" + std::to_string(i);
                WriteProfileString(f, "S", key.c_str(), "1");
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(GetProfileKeyNames(f, "S").size(), 100u);
}

TEST(Profile, ConcurrentProcessesLoseNothing) {
    testsupport::CTempDir dir;
    std::string f = dir / "p.ini";
    std::vector<pid_t> children;
    for (int p = 0; p < 3; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < 20; ++i) {
                std::string key = "p" + std::to_string(p) + "_" + std::to_string(i);
                ok = WriteProfileString(f, "S", key.c_str(), "1") && ok;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(GetProfileKeyNames(f, "S").size(), 60u);
}

TEST(Profile, StructureForm) {
    testsupport::CTempDir dir;
    std::string f = dir / "s.ini";
    const unsigned char bytes[] = {0x01, 0xAB, 0xFF, 0x00};
    ASSERT_TRUE(WriteProfileStruct(f, "Window", "Placement", bytes, sizeof bytes));
    // 01+AB+FF+00 = 0x1AB: the sum keeps its low byte.
    EXPECT_EQ(GetProfileString(f, "Window", "Placement", ""), "01ABFF00AB");
    unsigned char back[4] = {};
    ASSERT_TRUE(GetProfileStruct(f, "window", "placement", back, sizeof back));
    EXPECT_EQ(0, memcmp(back, bytes, sizeof bytes));

    struct Case {
        const char* value;
        size_t size;
    } const refused[] = {
        {"01ABFF00AC", 4},  // wrong sum
        {"01ABFF00AB", 3},  // other size
        {"01ABFF0", 4},     // cut
        {"01ABFG00AB", 4},  // not hex
        {"", 0},            // empty is absent
    };
    for (const Case& c : refused) {
        WriteProfileString(f, "Window", "Bad", c.value);
        unsigned char out[4] = {9, 9, 9, 9};
        EXPECT_FALSE(GetProfileStruct(f, "Window", "Bad", out, c.size)) << c.value;
        EXPECT_EQ(out[0], 9) << c.value;
    }
    EXPECT_FALSE(GetProfileStruct(f, "Window", "Missing", back, sizeof back));
    // Lower-case digits read too; an empty structure is its sum alone.
    WriteProfileString(f, "Window", "Lower", "01abff00ab");
    EXPECT_TRUE(GetProfileStruct(f, "Window", "Lower", back, sizeof back));
    ASSERT_TRUE(WriteProfileStruct(f, "Window", "Empty", bytes, 0));
    EXPECT_EQ(GetProfileString(f, "Window", "Empty", "x"), "00");
    ASSERT_TRUE(WriteProfileStruct(f, "Window", "Empty", nullptr, 0));
    EXPECT_EQ(GetProfileString(f, "Window", "Empty", "gone"), "gone");
}

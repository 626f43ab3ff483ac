// Files and folders on a real file system: tests, listings and single-file operations.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

#include "common/ZeqGF.h"
#include "platform/notifier.h"
#include "otherfs.h"
#include "progress_recorder.h"
#include "testsupport/testsupport.h"

using testsupport::CEnvScope;
using testsupport::CScriptedNotifier;
using testsupport::CTempDir;
using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

std::string Bytes(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('a' + i % 23);
    return s;
}

}  // namespace

TEST(ZeqGFFile, TestsAndListings) {
    CTempDir tmp;
    ASSERT_TRUE(WriteFile(tmp / "a.txt", "12345"));
    ASSERT_TRUE(WriteFile(tmp / "B.TXT", std::string(3000, 'x')));
    ASSERT_TRUE(WriteFile(tmp / "c.dat", "1"));
    ASSERT_TRUE(WriteFile(tmp / "sub/d.txt", "12"));
    ASSERT_TRUE(WriteFile(tmp / "sub/deep/e.txt", "123"));
    ASSERT_EQ(0, mkdir((tmp / "empty").c_str(), 0755));

    EXPECT_TRUE(ZeqGF::IsDir((tmp / "empty").c_str()));
    EXPECT_TRUE(ZeqGF::IsDir((tmp / "sub\\deep").c_str()));
    EXPECT_FALSE(ZeqGF::IsDir((tmp / "a.txt").c_str()));
    EXPECT_FALSE(ZeqGF::IsDir(""));
    EXPECT_TRUE(ZeqGF::IsFile((tmp / "a.txt").c_str()));
    EXPECT_FALSE(ZeqGF::IsFile((tmp / "sub").c_str()));
    EXPECT_FALSE(ZeqGF::IsFile((tmp / "none").c_str()));
    EXPECT_TRUE(ZeqGF::IsExist((tmp / "sub").c_str()));
    EXPECT_FALSE(ZeqGF::IsExist((tmp / "none").c_str()));

    EXPECT_EQ(5u, ZeqGF::GetFileSize((tmp / "a.txt").c_str(), FALSE));
    EXPECT_EQ(2u, ZeqGF::GetFileSize((tmp / "B.TXT").c_str(), TRUE));
    EXPECT_EQ(0u, ZeqGF::GetFileSize((tmp / "none").c_str(), FALSE));

    // One folder deep, not two; the wildcard ignores case as it did on Windows.
    CStringArray files;
    EXPECT_EQ(3, ZeqGF::GetDirFiles(tmp.Path().c_str(), "*.txt", &files, TRUE));
    EXPECT_EQ((CStringArray{tmp / "B.TXT", tmp / "a.txt", tmp / "sub/d.txt"}), files);
    EXPECT_EQ(3, ZeqGF::GetDirFiles(tmp.Path().c_str(), nullptr, nullptr, FALSE));
    EXPECT_EQ(-1, ZeqGF::GetDirFiles((tmp / "none").c_str(), nullptr, nullptr, FALSE));

    CStringArray dirs;
    files.clear();
    EXPECT_EQ(5 + 3000 + 2 + 3,
              ZeqGF::GetDirInfo(tmp.Path().c_str(), "*.TXT", &dirs, &files, TRUE));
    EXPECT_EQ(4u, files.size());
    EXPECT_EQ((CStringArray{tmp / "empty", tmp / "sub", tmp / "sub/deep"}), dirs);
    EXPECT_EQ(5 + 3000 + 1, ZeqGF::GetDirSize(tmp.Path().c_str(), FALSE, FALSE));
    EXPECT_EQ((5 + 3000 + 1 + 2 + 3) / 1024, ZeqGF::GetDirSize(tmp.Path().c_str(), TRUE, TRUE));
    EXPECT_EQ(-1, ZeqGF::GetDirSize((tmp / "none").c_str(), TRUE, TRUE));

    dirs.clear();
    EXPECT_EQ(2, ZeqGF::GetSubDirList(tmp.Path().c_str(), &dirs, FALSE));
    EXPECT_EQ(3, ZeqGF::GetSubDirList(tmp.Path().c_str(), nullptr, TRUE));

    EXPECT_GT(ZeqGF::GetDriveFreeSpace(tmp.Path().c_str(), FALSE), 0);
    EXPECT_GT(ZeqGF::GetDriveFreeSpace((tmp / "not/yet/there.txt").c_str(), TRUE), 0);
    EXPECT_GT(ZeqGF::GetDriveFreeSpace(nullptr, TRUE), 0);
}

TEST(ZeqGFFile, EmptyMeansNoFileAtAnyDepth) {
    CTempDir tmp;
    ASSERT_TRUE(WriteFile(tmp / "d/x/y/deep.txt", "1"));
    ASSERT_EQ(0, mkdir((tmp / "d/a").c_str(), 0755));
    EXPECT_FALSE(ZeqGF::IsDirEmpty((tmp / "d").c_str()));
    EXPECT_FALSE(ZeqGF::DeleteDir((tmp / "d").c_str()));
    EXPECT_TRUE(Exists(tmp / "d/a"));  // nothing went
    EXPECT_TRUE(Exists(tmp / "d/x/y/deep.txt"));

    ASSERT_EQ(0, unlink((tmp / "d/x/y/deep.txt").c_str()));
    EXPECT_TRUE(ZeqGF::IsDirEmpty((tmp / "d").c_str()));
    EXPECT_TRUE(ZeqGF::DeleteDir((tmp / "d").c_str()));
    EXPECT_FALSE(Exists(tmp / "d"));
    EXPECT_FALSE(ZeqGF::IsDirEmpty((tmp / "d").c_str()));
}

TEST(ZeqGFFile, ReadOnly) {
    CTempDir tmp;
    ASSERT_TRUE(WriteFile(tmp / "t/a.txt", "1"));
    ASSERT_TRUE(WriteFile(tmp / "t/s/b.txt", "2"));
    const std::string a = tmp / "t/a.txt";
    EXPECT_FALSE(ZeqGF::IsReadOnly(a.c_str()));
    EXPECT_TRUE(ZeqGF::SetReadOnly(a.c_str(), TRUE));
    EXPECT_TRUE(ZeqGF::IsReadOnly(a.c_str()));
    EXPECT_TRUE(ZeqGF::SetReadOnly(a.c_str(), FALSE));
    EXPECT_FALSE(ZeqGF::IsReadOnly(a.c_str()));
    EXPECT_FALSE(ZeqGF::SetReadOnly((tmp / "none").c_str(), TRUE));
    EXPECT_FALSE(ZeqGF::IsReadOnly((tmp / "none").c_str()));

    EXPECT_TRUE(ZeqGF::SetReadOnlyDir((tmp / "t").c_str(), TRUE, FALSE));
    EXPECT_TRUE(ZeqGF::IsReadOnly(a.c_str()));
    EXPECT_TRUE(ZeqGF::IsReadOnly((tmp / "t/s/b.txt").c_str()));
    EXPECT_FALSE(ZeqGF::IsReadOnly((tmp / "t/s").c_str()));
    EXPECT_TRUE(ZeqGF::SetReadOnlyDir((tmp / "t").c_str(), FALSE, TRUE));
    EXPECT_FALSE(ZeqGF::IsReadOnly((tmp / "t/s/b.txt").c_str()));
    EXPECT_FALSE(ZeqGF::SetReadOnlyDir(a.c_str(), TRUE, TRUE));
}

TEST(ZeqGFFile, CreateAndRename) {
    CTempDir tmp;
    CScriptedNotifier notifier;
    EXPECT_FALSE(ZeqGF::CreateFile((tmp / "a?.txt").c_str(), TRUE, TRUE));
    EXPECT_TRUE(ZeqGF::CreateFile((tmp / "new/dir/a.txt").c_str(), TRUE, FALSE));
    EXPECT_TRUE(Exists(tmp / "new/dir/a.txt"));
    ASSERT_TRUE(WriteFile(tmp / "new/dir/a.txt", "data"));
    EXPECT_FALSE(ZeqGF::CreateFile((tmp / "new/dir/a.txt").c_str(), FALSE, FALSE));
    EXPECT_EQ("data", ReadFile(tmp / "new/dir/a.txt"));
    EXPECT_TRUE(ZeqGF::CreateFile((tmp / "new/dir/a.txt").c_str(), FALSE, TRUE));
    EXPECT_EQ("", ReadFile(tmp / "new/dir/a.txt"));
    EXPECT_TRUE(notifier.calls.empty());
    // A missing folder without bCreateDir: the file error names the file.
    EXPECT_FALSE(ZeqGF::CreateFile((tmp / "missing/a.txt").c_str(), FALSE, FALSE));
    ASSERT_EQ(1u, notifier.calls.size());
    EXPECT_NE(std::string::npos, notifier.calls[0].text.find(tmp / "missing/a.txt"));

    EXPECT_TRUE(ZeqGF::CreateDir((tmp / "x\\y\\z\\").c_str()));
    EXPECT_TRUE(ZeqGF::IsDir((tmp / "x/y/z").c_str()));
    EXPECT_TRUE(ZeqGF::CreateDir((tmp / "x/y").c_str()));
    EXPECT_FALSE(ZeqGF::CreateDir((tmp / "x/b?d").c_str()));
    EXPECT_FALSE(ZeqGF::CreateDir((tmp / "new/dir/a.txt/sub").c_str()));

    // Renames never replace an existing entry.
    ASSERT_TRUE(WriteFile(tmp / "r/one.txt", "one"));
    ASSERT_TRUE(WriteFile(tmp / "r/two.txt", "two"));
    EXPECT_FALSE(ZeqGF::RenameFile((tmp / "r/one.txt").c_str(), "two.txt"));
    EXPECT_EQ("one", ReadFile(tmp / "r/one.txt"));
    EXPECT_EQ("two", ReadFile(tmp / "r/two.txt"));
    EXPECT_FALSE(ZeqGF::RenameFile((tmp / "r/one.txt").c_str(), "../out.txt"));
    EXPECT_FALSE(ZeqGF::RenameFile((tmp / "r/one.txt").c_str(), ".."));
    EXPECT_FALSE(ZeqGF::RenameFile((tmp / "r/none.txt").c_str(), "x.txt"));
    EXPECT_TRUE(ZeqGF::RenameFile((tmp / "r\\one.txt").c_str(), "three.txt"));
    EXPECT_EQ("one", ReadFile(tmp / "r/three.txt"));
    EXPECT_FALSE(Exists(tmp / "r/one.txt"));

    ASSERT_EQ(0, mkdir((tmp / "r/other").c_str(), 0755));
    EXPECT_FALSE(ZeqGF::RenameDir((tmp / "x").c_str(), "r"));
    EXPECT_TRUE(ZeqGF::RenameDir((tmp / "x/").c_str(), "w"));
    EXPECT_TRUE(ZeqGF::IsDir((tmp / "w/y/z").c_str()));
    EXPECT_FALSE(ZeqGF::RenameDir((tmp / "w").c_str(), "r"));
    EXPECT_TRUE(ZeqGF::IsDir((tmp / "w").c_str()));

    // A bare relative name stays in its own folder.
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(0, chdir((tmp / "r").c_str()));
    EXPECT_TRUE(ZeqGF::RenameFile("three.txt", "four.txt"));
    EXPECT_EQ(0, chdir(cwd));
    EXPECT_EQ("one", ReadFile(tmp / "r/four.txt"));
}

TEST(ZeqGFFile, CopyWithProgressPreservesContentAndTimes) {
    CTempDir tmp;
    const std::string data = Bytes(10000);
    ASSERT_TRUE(WriteFile(tmp / "src.bin", data));
    struct timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, (tmp / "src.bin").c_str(), times, 0));

    CRecorder rec;
    ASSERT_TRUE(ZeqGF::CopyFile((tmp / "src.bin").c_str(), (tmp / "out/dst.bin").c_str(), FALSE,
                                TRUE, Record, U(rec)));
    EXPECT_EQ(data, ReadFile(tmp / "out/dst.bin"));
    struct stat st;
    ASSERT_EQ(0, stat((tmp / "out/dst.bin").c_str(), &st));
    EXPECT_EQ(1200000000, st.st_mtim.tv_sec);

    ASSERT_EQ(3u, rec.calls.size());
    const uint64_t done[] = {4096, 8192, 10000};
    const int64_t pct[] = {40, 81, 100};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(1, rec.calls[i].nTotalFiles);
        EXPECT_EQ(10000u, rec.calls[i].nTotalBytes);
        EXPECT_EQ(done[i], rec.calls[i].nDoneBytes);
        EXPECT_EQ(done[i], rec.calls[i].nCurDone);
        EXPECT_EQ(pct[i], rec.calls[i].nPercent);
        EXPECT_EQ(pct[i], rec.calls[i].nCurPercent);
        EXPECT_EQ(1, rec.calls[i].nCurFile);
        EXPECT_EQ(10000u, rec.calls[i].nCurSize);
        EXPECT_EQ(tmp / "src.bin", rec.calls[i].strCurName);
    }

    // Without bCreateDir the target folder must exist.
    EXPECT_FALSE(ZeqGF::CopyFile((tmp / "src.bin").c_str(), (tmp / "no/dst.bin").c_str(), FALSE,
                                 FALSE, nullptr, 0));
    EXPECT_FALSE(
        ZeqGF::CopyFile((tmp / "none").c_str(), (tmp / "d.bin").c_str(), FALSE, TRUE, nullptr, 0));
}

TEST(ZeqGFFile, CancelledCopyLeavesNoTarget) {
    CTempDir tmp;
    ASSERT_TRUE(WriteFile(tmp / "src.bin", Bytes(10000)));
    CRecorder rec;
    rec.nCancelAt = 0;
    EXPECT_FALSE(ZeqGF::CopyFile((tmp / "src.bin").c_str(), (tmp / "dst.bin").c_str(), FALSE, FALSE,
                                 Record, U(rec)));
    EXPECT_EQ(1u, rec.calls.size());
    EXPECT_FALSE(Exists(tmp / "dst.bin"));
}

TEST(ZeqGFFile, EmptyFileCopiesWithoutCallback) {
    CTempDir tmp;
    ASSERT_TRUE(WriteFile(tmp / "empty", ""));
    CRecorder rec;
    EXPECT_TRUE(ZeqGF::CopyFile((tmp / "empty").c_str(), (tmp / "copy").c_str(), FALSE, FALSE,
                                Record, U(rec)));
    EXPECT_TRUE(Exists(tmp / "copy"));
    EXPECT_EQ(0u, ZeqGF::GetFileSize((tmp / "copy").c_str(), FALSE));
    EXPECT_TRUE(rec.calls.empty());
    // A file of whole blocks ends without an empty last call either.
    ASSERT_TRUE(WriteFile(tmp / "block", Bytes(8192)));
    EXPECT_TRUE(ZeqGF::CopyFile((tmp / "block").c_str(), (tmp / "block2").c_str(), FALSE, FALSE,
                                Record, U(rec)));
    ASSERT_EQ(2u, rec.calls.size());
    EXPECT_EQ(100, rec.calls.back().nPercent);
}

TEST(ZeqGFFile, CopyOntoItselfIsRefused) {
    CTempDir tmp;
    ASSERT_TRUE(WriteFile(tmp / "d/a.txt", "keep me"));
    ASSERT_EQ(0, link((tmp / "d/a.txt").c_str(), (tmp / "d/hard.txt").c_str()));
    CScriptedNotifier notifier;
    notifier.answers = {platform::IDYES, platform::IDYES, platform::IDYES};
    for (const std::string& dst :
         {tmp / "d/a.txt", tmp / "d/./a.txt", tmp / "d\\a.txt", tmp / "d/hard.txt"}) {
        EXPECT_FALSE(
            ZeqGF::CopyFile((tmp / "d/a.txt").c_str(), dst.c_str(), TRUE, FALSE, nullptr, 0))
            << dst;
        EXPECT_FALSE(ZeqGF::MoveFile((tmp / "d/a.txt").c_str(), dst.c_str(), TRUE, nullptr, 0))
            << dst;
    }
    EXPECT_EQ("keep me", ReadFile(tmp / "d/a.txt"));
    EXPECT_TRUE(notifier.calls.empty());
}

TEST(ZeqGFFile, OverwriteQuestion) {
    struct {
        int nAnswer;
        BOOL bResult;
        const char* copied;
    } cases[] = {
        {platform::IDYES, TRUE, "new"},
        {platform::IDNO, TRUE, "old"},
        {platform::IDCANCEL, FALSE, "old"},
    };
    for (const auto& c : cases) {
        CTempDir tmp;
        ASSERT_TRUE(WriteFile(tmp / "src.txt", "new"));
        ASSERT_TRUE(WriteFile(tmp / "dst.txt", "old"));
        CScriptedNotifier notifier;
        notifier.answers = {c.nAnswer};
        EXPECT_EQ(c.bResult, ZeqGF::CopyFile((tmp / "src.txt").c_str(), (tmp / "dst.txt").c_str(),
                                             TRUE, FALSE, nullptr, 0));
        EXPECT_EQ(c.copied, ReadFile(tmp / "dst.txt"));
        ASSERT_EQ(1u, notifier.calls.size());
        EXPECT_EQ("Overwrite ?", notifier.calls[0].text);
        EXPECT_EQ(platform::MB_YESNOCANCEL | platform::MB_ICONQUESTION, notifier.calls[0].type);

        // A move never replaces, Yes or not: Yes fails, No does nothing, Cancel fails.
        notifier.answers = {c.nAnswer};
        ASSERT_TRUE(WriteFile(tmp / "dst.txt", "old"));
        EXPECT_EQ(c.nAnswer == platform::IDNO ? TRUE : FALSE,
                  ZeqGF::MoveFile((tmp / "src.txt").c_str(), (tmp / "dst.txt").c_str(), TRUE,
                                  nullptr, 0));
        EXPECT_EQ("old", ReadFile(tmp / "dst.txt"));
        EXPECT_EQ("new", ReadFile(tmp / "src.txt"));
        EXPECT_EQ(2u, notifier.calls.size());
    }
}

TEST(ZeqGFFile, FailedWriteLeavesNoPartialTarget) {
    CTempDir tmp;
    ASSERT_TRUE(WriteFile(tmp / "src.bin", Bytes(20000)));
    CScriptedNotifier notifier;
    // The file size limit makes the third block's write fail.
    struct rlimit old;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = old;
    lim.rlim_cur = 9000;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &lim));
    BOOL bCopy = ZeqGF::CopyFile((tmp / "src.bin").c_str(), (tmp / "dst.bin").c_str(), FALSE, FALSE,
                                 nullptr, 0);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(bCopy);
    EXPECT_FALSE(Exists(tmp / "dst.bin"));
    ASSERT_EQ(1u, notifier.calls.size());
    EXPECT_NE(std::string::npos, notifier.calls[0].text.find(tmp / "dst.bin"));
}

TEST(ZeqGFFile, NeverWritesADevice) {
    CTempDir tmp;
    ASSERT_TRUE(WriteFile(tmp / "src.bin", "x"));
    EXPECT_FALSE(ZeqGF::CopyFile((tmp / "src.bin").c_str(), "/dev/null", FALSE, FALSE, nullptr, 0));
    EXPECT_TRUE(Exists("/dev/null"));
}

TEST(ZeqGFFile, MoveWithinOneFileSystem) {
    CTempDir tmp;
    ASSERT_TRUE(WriteFile(tmp / "a.bin", Bytes(5000)));
    CRecorder rec;
    EXPECT_TRUE(ZeqGF::MoveFile((tmp / "a.bin").c_str(), (tmp / "new/b.bin").c_str(), FALSE, Record,
                                U(rec)));
    EXPECT_FALSE(Exists(tmp / "a.bin"));
    EXPECT_EQ(Bytes(5000), ReadFile(tmp / "new/b.bin"));
    ASSERT_EQ(1u, rec.calls.size());
    EXPECT_EQ(100, rec.calls[0].nPercent);
    EXPECT_EQ(5000u, rec.calls[0].nDoneBytes);
    EXPECT_EQ(1, rec.calls[0].nCurFile);

    // Without the question an existing target is not replaced either.
    ASSERT_TRUE(WriteFile(tmp / "c.bin", "c"));
    EXPECT_FALSE(
        ZeqGF::MoveFile((tmp / "c.bin").c_str(), (tmp / "new/b.bin").c_str(), FALSE, nullptr, 0));
    EXPECT_EQ("c", ReadFile(tmp / "c.bin"));
    EXPECT_EQ(Bytes(5000), ReadFile(tmp / "new/b.bin"));
    EXPECT_FALSE(
        ZeqGF::MoveFile((tmp / "c.bin").c_str(), (tmp / "new/b?.bin").c_str(), FALSE, nullptr, 0));
}

// Moves onto a second file system, which must copy.
class ZeqGFOtherDrive : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_other.Path().empty()) << "no second file system beside $TMPDIR";
        m_strOther = m_other.Path();
    }
    CTempDir m_tmp;
    COtherFileSystem m_other{m_tmp.Path()};
    std::string m_strOther;
};

TEST_F(ZeqGFOtherDrive, MoveCopiesThenDeletesTheSource) {
    ASSERT_TRUE(WriteFile(m_tmp / "a.bin", Bytes(10000)));
    CRecorder rec;
    const std::string dst = m_strOther + "sub/a.bin";
    EXPECT_TRUE(ZeqGF::MoveFile((m_tmp / "a.bin").c_str(), dst.c_str(), FALSE, Record, U(rec)));
    EXPECT_FALSE(Exists(m_tmp / "a.bin"));
    EXPECT_EQ(Bytes(10000), ReadFile(dst));
    EXPECT_EQ(3u, rec.calls.size());

    // A cancelled copy keeps the source and leaves no target.
    ASSERT_TRUE(WriteFile(m_tmp / "b.bin", Bytes(10000)));
    rec = CRecorder();
    rec.nCancelAt = 1;
    EXPECT_FALSE(ZeqGF::MoveFile((m_tmp / "b.bin").c_str(), (m_strOther + "b.bin").c_str(), FALSE,
                                 Record, U(rec)));
    EXPECT_EQ(Bytes(10000), ReadFile(m_tmp / "b.bin"));
    EXPECT_FALSE(Exists(m_strOther + "b.bin"));

    // An existing target stays as it was.
    EXPECT_FALSE(ZeqGF::MoveFile((m_tmp / "b.bin").c_str(), dst.c_str(), FALSE, nullptr, 0));
    EXPECT_EQ(Bytes(10000), ReadFile(dst));
    EXPECT_TRUE(Exists(m_tmp / "b.bin"));
}

// The question "Overwrite ?" means what it says when the move has to copy: Yes replaces the
// target whole (and the source goes), No keeps both, Cancel fails; unasked, nothing is
// replaced.
TEST_F(ZeqGFOtherDrive, MoveOntoAnExistingTargetDoesWhatTheAnswerSays) {
    const std::string src = m_tmp / "s.bin", dst = m_strOther + "t.bin";
    struct Case {
        int nAnswer;
        BOOL bResult;
        bool bReplaced;
    } cases[] = {
        {platform::IDYES, TRUE, true},
        {platform::IDNO, TRUE, false},
        {platform::IDCANCEL, FALSE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nAnswer);
        ASSERT_TRUE(WriteFile(src, Bytes(9000)));
        ASSERT_TRUE(WriteFile(dst, "old"));
        CScriptedNotifier notifier;
        notifier.answers = {c.nAnswer};
        EXPECT_EQ(c.bResult, ZeqGF::MoveFile(src.c_str(), dst.c_str(), TRUE, nullptr, 0));
        ASSERT_EQ(notifier.calls.size(), 1u);
        EXPECT_EQ(notifier.calls[0].text, "Overwrite ?");
        EXPECT_EQ(ReadFile(dst), c.bReplaced ? Bytes(9000) : "old");
        EXPECT_EQ(Exists(src), !c.bReplaced);
    }
    ASSERT_TRUE(WriteFile(src, "new"));
    EXPECT_FALSE(ZeqGF::MoveFile(src.c_str(), dst.c_str(), FALSE, nullptr, 0));
    EXPECT_EQ(ReadFile(dst), "old");

    // Several files: the one answered Yes is replaced, the one answered No stays.
    ASSERT_TRUE(WriteFile(m_tmp / "m/a.txt", "new a"));
    ASSERT_TRUE(WriteFile(m_tmp / "m/b.txt", "new b"));
    ASSERT_TRUE(WriteFile(m_strOther + "out/a.txt", "old a"));
    ASSERT_TRUE(WriteFile(m_strOther + "out/b.txt", "old b"));
    CScriptedNotifier notifier;
    notifier.answers = {platform::IDYES, platform::IDNO};
    EXPECT_TRUE(ZeqGF::MoveMulti({m_tmp / "m/a.txt", m_tmp / "m/b.txt"},
                                 (m_strOther + "out").c_str(), nullptr, TRUE, nullptr, 0));
    EXPECT_EQ(notifier.calls.size(), 2u);
    EXPECT_EQ(ReadFile(m_strOther + "out/a.txt"), "new a");
    EXPECT_EQ(ReadFile(m_strOther + "out/b.txt"), "old b");
    EXPECT_FALSE(Exists(m_tmp / "m/a.txt"));
    EXPECT_TRUE(Exists(m_tmp / "m/b.txt"));
}

TEST(ZeqGFFile, DeleteAndTrash) {
    CTempDir tmp;
    CEnvScope data("XDG_DATA_HOME", (tmp / "data").c_str());
    ASSERT_TRUE(WriteFile(tmp / "w/a b.txt", "first"));
    EXPECT_TRUE(ZeqGF::DeleteFile((tmp / "w/a b.txt").c_str(), TRUE));
    EXPECT_FALSE(Exists(tmp / "w/a b.txt"));
    EXPECT_EQ("first", ReadFile(tmp / "data/Trash/files/a b.txt"));
    std::string info = ReadFile(tmp / "data/Trash/info/a b.txt.trashinfo");
    char real[4096];
    ASSERT_TRUE(realpath((tmp / "w").c_str(), real));
    std::string escaped = std::string(real) + "/a%20b.txt";
    EXPECT_NE(std::string::npos, info.find("Path=" + escaped + "\n")) << info;
    EXPECT_TRUE(std::regex_search(
        info,
        std::regex(
            "^\\[Trash Info\\]\n(.*\n)*DeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n")))
        << info;

    // The same name again gets a name of its own.
    ASSERT_TRUE(WriteFile(tmp / "w/a b.txt", "second"));
    EXPECT_TRUE(ZeqGF::DeleteFile((tmp / "w/a b.txt").c_str(), TRUE));
    EXPECT_EQ("first", ReadFile(tmp / "data/Trash/files/a b.txt"));
    EXPECT_EQ("second", ReadFile(tmp / "data/Trash/files/a b.2.txt"));
    EXPECT_TRUE(Exists(tmp / "data/Trash/info/a b.2.txt.trashinfo"));

    // A folder goes whole.
    ASSERT_TRUE(WriteFile(tmp / "w/f/x.txt", "x"));
    EXPECT_TRUE(ZeqGF::DeleteFile((tmp / "w/f").c_str(), TRUE));
    EXPECT_EQ("x", ReadFile(tmp / "data/Trash/files/f/x.txt"));

    EXPECT_FALSE(ZeqGF::DeleteFile((tmp / "w/none").c_str(), TRUE));
    EXPECT_FALSE(Exists(tmp / "data/Trash/info/none.trashinfo"));

    ASSERT_TRUE(WriteFile(tmp / "w/gone.txt", "x"));
    EXPECT_TRUE(ZeqGF::DeleteFile((tmp / "w/gone.txt").c_str(), FALSE));
    EXPECT_FALSE(Exists(tmp / "w/gone.txt"));
    EXPECT_FALSE(ZeqGF::DeleteFile((tmp / "w/gone.txt").c_str(), FALSE));
    EXPECT_FALSE(ZeqGF::DeleteFile((tmp / "w").c_str(), FALSE));  // folders need DeleteDir
}

TEST_F(ZeqGFOtherDrive, TrashOnAnotherFileSystem) {
    CEnvScope data("XDG_DATA_HOME", (m_strOther + "data").c_str());
    ASSERT_TRUE(WriteFile(m_tmp / "a.txt", "file"));
    ASSERT_TRUE(WriteFile(m_tmp / "f/s/b.txt", "tree"));
    EXPECT_TRUE(ZeqGF::DeleteFile((m_tmp / "a.txt").c_str(), TRUE));
    EXPECT_TRUE(ZeqGF::DeleteFile((m_tmp / "f").c_str(), TRUE));
    EXPECT_FALSE(Exists(m_tmp / "a.txt"));
    EXPECT_FALSE(Exists(m_tmp / "f"));
    EXPECT_EQ("file", ReadFile(m_strOther + "data/Trash/files/a.txt"));
    EXPECT_EQ("tree", ReadFile(m_strOther + "data/Trash/files/f/s/b.txt"));
    EXPECT_TRUE(Exists(m_strOther + "data/Trash/info/f.trashinfo"));
}

TEST(ZeqGFFile, FailedOverwriteKeepsTheOldTarget) {
    CTempDir tmp;
    ASSERT_TRUE(WriteFile(tmp / "src.bin", Bytes(10000)));
    ASSERT_TRUE(WriteFile(tmp / "keep/real.bin", "old target"));
    ASSERT_EQ(0, symlink((tmp / "keep/real.bin").c_str(), (tmp / "link.bin").c_str()));
    // A cancelled overwrite, directly and through a link, leaves the old file whole.
    for (const std::string& dst : {tmp / "keep/real.bin", tmp / "link.bin"}) {
        CRecorder rec;
        rec.nCancelAt = 0;
        EXPECT_FALSE(
            ZeqGF::CopyFile((tmp / "src.bin").c_str(), dst.c_str(), FALSE, FALSE, Record, U(rec)))
            << dst;
        EXPECT_EQ("old target", ReadFile(dst)) << dst;
    }
    // So does a write that fails half-way.
    {
        CScriptedNotifier notifier;
        struct rlimit old;
        ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
        void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = old;
        lim.rlim_cur = 9000;
        ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &lim));
        BOOL bCopy = ZeqGF::CopyFile((tmp / "src.bin").c_str(), (tmp / "keep/real.bin").c_str(),
                                     FALSE, FALSE, nullptr, 0);
        setrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(bCopy);
        EXPECT_EQ("old target", ReadFile(tmp / "keep/real.bin"));
        ASSERT_EQ(1u, notifier.calls.size());
        EXPECT_NE(std::string::npos, notifier.calls[0].text.find(tmp / "keep/real.bin"));
    }
    // No scratch file is left beside the target.
    CStringArray files;
    EXPECT_EQ(1, ZeqGF::GetDirFiles((tmp / "keep").c_str(), nullptr, &files, FALSE));

    // A copy that succeeds goes through the link: the link stays, its file is new.
    EXPECT_TRUE(ZeqGF::CopyFile((tmp / "src.bin").c_str(), (tmp / "link.bin").c_str(), FALSE, FALSE,
                                nullptr, 0));
    struct stat st;
    ASSERT_EQ(0, lstat((tmp / "link.bin").c_str(), &st));
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_TRUE(Bytes(10000) == ReadFile(tmp / "keep/real.bin"));
}

TEST(ZeqGFFile, OnlyRegularFilesAreCopied) {
    // A pipe would stop the copy until some writer comes (the user interface with it), a
    // device like /dev/zero would fill the disk: neither is copied.
    CTempDir tmp;
    const std::string fifo = tmp / "pipe";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    std::atomic<bool> bDone{false};
    // Should the copy wait for a writer after all, one comes, so the test fails, not hangs.
    std::thread writer([&] {
        for (int i = 0; i < 300 && !bDone; ++i) {
            int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                close(fd);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    BOOL bPipe = ZeqGF::CopyFile(fifo.c_str(), (tmp / "out1").c_str(), FALSE, FALSE, nullptr, 0);
    bDone = true;
    writer.join();
    EXPECT_FALSE(bPipe);
    EXPECT_FALSE(Exists(tmp / "out1"));

    CScriptedNotifier notifier;
    struct rlimit old;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old));
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = old;
    lim.rlim_cur = 100000;  // a safety net for the test only
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &lim));
    BOOL bZero = ZeqGF::CopyFile("/dev/zero", (tmp / "out2").c_str(), FALSE, FALSE, nullptr, 0);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(bZero);
    EXPECT_FALSE(Exists(tmp / "out2"));
    EXPECT_TRUE(notifier.calls.empty());  // refused up front, not failed half-way
}

// Several files and whole folder trees: delete, copy and move.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A tree three folders deep.
void MakeTree(const std::string& root) {
    ASSERT_TRUE(WriteFile(root + "/a.txt", "a"));
    ASSERT_TRUE(WriteFile(root + "/b.tmp", "bb"));
    ASSERT_TRUE(WriteFile(root + "/s1/c.txt", "ccc"));
    ASSERT_TRUE(WriteFile(root + "/s1/s2/d.tmp", "dddd"));
    ASSERT_TRUE(WriteFile(root + "/s1/s2/s3/e.txt", "eeeee"));
}

}  // namespace

TEST(ZeqGFMulti, DeleteWholeFoldersAtAnyDepth) {
    CTempDir tmp;
    MakeTree(tmp / "t");
    ASSERT_TRUE(WriteFile(tmp / "lone.txt", "x"));
    CRecorder rec;
    CStringArray list{tmp / "t", tmp / "lone.txt"};
    EXPECT_TRUE(ZeqGF::DeleteMulti(list, nullptr, FALSE, Record, U(rec)));
    EXPECT_FALSE(Exists(tmp / "t"));
    EXPECT_FALSE(Exists(tmp / "lone.txt"));
    ASSERT_EQ(6u, rec.calls.size());
    EXPECT_EQ(6, rec.calls.back().nCurFile);
    EXPECT_EQ(6, rec.calls.back().nTotalFiles);
    EXPECT_EQ(100, rec.calls.back().nPercent);
    EXPECT_EQ(50, rec.calls[2].nPercent);

    EXPECT_FALSE(ZeqGF::DeleteMulti({}, nullptr, FALSE, nullptr, 0));
    EXPECT_FALSE(ZeqGF::DeleteMulti({tmp / "none"}, nullptr, FALSE, nullptr, 0));
}

TEST(ZeqGFMulti, DeleteCancelAndWildcard) {
    CTempDir tmp;
    MakeTree(tmp / "t");
    CRecorder rec;
    rec.nCancelAt = 0;
    EXPECT_FALSE(ZeqGF::DeleteMulti({tmp / "t"}, nullptr, FALSE, Record, U(rec)));
    EXPECT_EQ(1u, rec.calls.size());
    EXPECT_TRUE(Exists(tmp / "t/s1/c.txt"));

    // A narrower wildcard takes its files at every depth; the folders that still hold
    // other files stay, and that is no failure.
    EXPECT_TRUE(ZeqGF::DeleteMulti({tmp / "t"}, "*.tmp", FALSE, nullptr, 0));
    EXPECT_FALSE(Exists(tmp / "t/b.tmp"));
    EXPECT_FALSE(Exists(tmp / "t/s1/s2/d.tmp"));
    EXPECT_TRUE(Exists(tmp / "t/s1/s2/s3/e.txt"));
}

TEST(ZeqGFMulti, DeleteIsFalseWhenAFolderRemains) {
    CTempDir tmp;
    MakeTree(tmp / "t");
    ASSERT_EQ(0, mkdir((tmp / "outside").c_str(), 0755));
    ASSERT_TRUE(WriteFile(tmp / "outside/keep.txt", "keep"));
    // A link to a folder is never followed, so its folder cannot go.
    ASSERT_EQ(0, symlink((tmp / "outside").c_str(), (tmp / "t/s1/link").c_str()));
    EXPECT_FALSE(ZeqGF::DeleteMulti({tmp / "t"}, nullptr, FALSE, nullptr, 0));
    EXPECT_TRUE(Exists(tmp / "t/s1/link"));
    EXPECT_EQ("keep", ReadFile(tmp / "outside/keep.txt"));

    // A listed link to a folder: the link goes, the folder it points at stays whole.
    EXPECT_TRUE(ZeqGF::DeleteMulti({tmp / "t/s1/link/"}, nullptr, FALSE, nullptr, 0));
    EXPECT_FALSE(Exists(tmp / "t/s1/link"));
    EXPECT_EQ("keep", ReadFile(tmp / "outside/keep.txt"));
}

TEST(ZeqGFMulti, DeleteDirFiles) {
    CTempDir tmp;
    MakeTree(tmp / "t");
    EXPECT_FALSE(
        ZeqGF::DeleteDirFiles((tmp / "none").c_str(), nullptr, FALSE, TRUE, TRUE, nullptr, 0));
    // Only the folder's own matching files.
    EXPECT_TRUE(
        ZeqGF::DeleteDirFiles((tmp / "t").c_str(), "*.txt", FALSE, FALSE, FALSE, nullptr, 0));
    EXPECT_FALSE(Exists(tmp / "t/a.txt"));
    EXPECT_TRUE(Exists(tmp / "t/b.tmp"));
    EXPECT_TRUE(Exists(tmp / "t/s1/c.txt"));
    // With the sub-folders, whole.
    EXPECT_TRUE(
        ZeqGF::DeleteDirFiles((tmp / "t").c_str(), nullptr, FALSE, FALSE, TRUE, nullptr, 0));
    EXPECT_FALSE(Exists(tmp / "t/s1"));
    EXPECT_FALSE(Exists(tmp / "t/b.tmp"));
    EXPECT_TRUE(ZeqGF::IsDir((tmp / "t").c_str()));
    // The whole folder, into the trash.
    MakeTree(tmp / "u");
    CEnvScope data("XDG_DATA_HOME", (tmp / "data").c_str());
    EXPECT_TRUE(ZeqGF::DeleteDirFiles((tmp / "u").c_str(), nullptr, TRUE, TRUE, FALSE, nullptr, 0));
    EXPECT_FALSE(Exists(tmp / "u"));
    EXPECT_EQ("eeeee", ReadFile(tmp / "data/Trash/files/e.txt"));
}

TEST(ZeqGFMulti, CopyDirWithProgress) {
    CTempDir tmp;
    MakeTree(tmp / "t");
    CRecorder rec;
    EXPECT_TRUE(
        ZeqGF::CopyDir((tmp / "t").c_str(), (tmp / "out").c_str(), nullptr, FALSE, Record, U(rec)));
    EXPECT_EQ("a", ReadFile(tmp / "out/a.txt"));
    EXPECT_EQ("eeeee", ReadFile(tmp / "out/s1/s2/s3/e.txt"));
    EXPECT_TRUE(Exists(tmp / "t/s1/s2/s3/e.txt"));
    ASSERT_EQ(5u, rec.calls.size());
    EXPECT_EQ(5, rec.calls.back().nTotalFiles);
    EXPECT_EQ(5, rec.calls.back().nCurFile);
    EXPECT_EQ(15u, rec.calls.back().nTotalBytes);
    EXPECT_EQ(15u, rec.calls.back().nDoneBytes);
    EXPECT_EQ(100, rec.calls.back().nPercent);

    EXPECT_TRUE(
        ZeqGF::CopyDir((tmp / "t").c_str(), (tmp / "txt").c_str(), "*.txt", FALSE, nullptr, 0));
    EXPECT_TRUE(Exists(tmp / "txt/s1/s2/s3/e.txt"));
    EXPECT_FALSE(Exists(tmp / "txt/s1/s2/d.tmp"));

    EXPECT_FALSE(
        ZeqGF::CopyDir((tmp / "none").c_str(), (tmp / "o2").c_str(), nullptr, FALSE, nullptr, 0));
    EXPECT_FALSE(
        ZeqGF::CopyDir((tmp / "t").c_str(), (tmp / "o?").c_str(), nullptr, FALSE, nullptr, 0));
}

TEST(ZeqGFMulti, EachEntryKeepsItsOwnBase) {
    CTempDir tmp;
    ASSERT_TRUE(WriteFile(tmp / "x/one.txt", "1"));
    ASSERT_TRUE(WriteFile(tmp / "y/deeper/two.txt", "2"));
    MakeTree(tmp / "x/F");
    ASSERT_TRUE(WriteFile(tmp / "G/g.txt", "g"));

    // Files from two folders and two folders: each file by its name, each folder by its
    // own name (files are listed beside them).
    CStringArray list{tmp / "y/deeper/two.txt", tmp / "x/one.txt", tmp / "x/F", tmp / "G"};
    EXPECT_TRUE(ZeqGF::CopyMulti(list, (tmp / "out").c_str(), nullptr, FALSE, nullptr, 0));
    EXPECT_EQ("1", ReadFile(tmp / "out/one.txt"));
    EXPECT_EQ("2", ReadFile(tmp / "out/two.txt"));
    EXPECT_EQ("eeeee", ReadFile(tmp / "out/F/s1/s2/s3/e.txt"));
    EXPECT_EQ("g", ReadFile(tmp / "out/G/g.txt"));

    // Folders alone: the contents of each go into the target.
    EXPECT_TRUE(ZeqGF::CopyMulti({tmp / "x/F", tmp / "G"}, (tmp / "o2").c_str(), nullptr, FALSE,
                                 nullptr, 0));
    EXPECT_EQ("a", ReadFile(tmp / "o2/a.txt"));
    EXPECT_EQ("g", ReadFile(tmp / "o2/g.txt"));
    EXPECT_EQ("eeeee", ReadFile(tmp / "o2/s1/s2/s3/e.txt"));

    EXPECT_FALSE(ZeqGF::CopyMulti({}, (tmp / "o3").c_str(), nullptr, FALSE, nullptr, 0));
    EXPECT_FALSE(
        ZeqGF::CopyMulti({tmp / "none"}, (tmp / "o3").c_str(), nullptr, FALSE, nullptr, 0));
}

TEST(ZeqGFMulti, OverwriteQuestionPerFile) {
    CTempDir tmp;
    ASSERT_TRUE(WriteFile(tmp / "s/1.txt", "new1"));
    ASSERT_TRUE(WriteFile(tmp / "s/2.txt", "new2"));
    ASSERT_TRUE(WriteFile(tmp / "s/3.txt", "new3"));
    ASSERT_TRUE(WriteFile(tmp / "d/1.txt", "old1"));
    ASSERT_TRUE(WriteFile(tmp / "d/2.txt", "old2"));
    ASSERT_TRUE(WriteFile(tmp / "d/3.txt", "old3"));
    CScriptedNotifier notifier;
    notifier.answers = {platform::IDNO, platform::IDYES, platform::IDCANCEL};
    CRecorder rec;
    EXPECT_FALSE(
        ZeqGF::CopyDir((tmp / "s").c_str(), (tmp / "d").c_str(), nullptr, TRUE, Record, U(rec)));
    EXPECT_EQ(3u, notifier.calls.size());
    EXPECT_EQ("old1", ReadFile(tmp / "d/1.txt"));
    EXPECT_EQ("new2", ReadFile(tmp / "d/2.txt"));
    EXPECT_EQ("old3", ReadFile(tmp / "d/3.txt"));
    ASSERT_EQ(2u, rec.calls.size());  // the skipped file, then the copied one
    EXPECT_EQ(tmp / "s/1.txt", rec.calls[0].strCurName);
    EXPECT_EQ(2, rec.calls[1].nCurFile);
}

TEST(ZeqGFMulti, MoveDirWithinOneFileSystem) {
    CTempDir tmp;
    MakeTree(tmp / "t");
    ASSERT_TRUE(WriteFile(tmp / "out/s1/c.txt", "taken"));
    // The one target that exists stops the move there; nothing is replaced.
    EXPECT_FALSE(
        ZeqGF::MoveDir((tmp / "t").c_str(), (tmp / "out").c_str(), nullptr, FALSE, nullptr, 0));
    EXPECT_EQ("taken", ReadFile(tmp / "out/s1/c.txt"));
    EXPECT_EQ("ccc", ReadFile(tmp / "t/s1/c.txt"));
    ASSERT_EQ(0, unlink((tmp / "out/s1/c.txt").c_str()));

    CRecorder rec;
    EXPECT_TRUE(
        ZeqGF::MoveDir((tmp / "t").c_str(), (tmp / "out").c_str(), nullptr, FALSE, Record, U(rec)));
    EXPECT_FALSE(Exists(tmp / "t"));
    EXPECT_EQ("eeeee", ReadFile(tmp / "out/s1/s2/s3/e.txt"));
    EXPECT_EQ("a", ReadFile(tmp / "out/a.txt"));
    ASSERT_FALSE(rec.calls.empty());
    EXPECT_EQ(100, rec.calls.back().nPercent);
}

TEST(ZeqGFMulti, MoveMultiAcrossFileSystems) {
    CTempDir tmp;
    COtherFileSystem other(tmp.Path());
    ASSERT_FALSE(other.Path().empty()) << "no second file system beside $TMPDIR";
    MakeTree(tmp / "t");
    CRecorder rec;
    EXPECT_TRUE(ZeqGF::MoveMulti({tmp / "t"}, (other.Path() + "out").c_str(), nullptr, FALSE,
                                 Record, U(rec)));
    EXPECT_EQ("eeeee", ReadFile(other.Path() + "out/s1/s2/s3/e.txt"));
    EXPECT_FALSE(Exists(tmp / "t"));
    EXPECT_EQ(5u, rec.calls.size());
    ZeqGF::DeleteMulti({other.Path()}, nullptr, FALSE, nullptr, 0);
    EXPECT_FALSE(Exists(other.Path()));
}

TEST(ZeqGFMulti, NamesReadFromAFolderAreTakenAsTheyAre) {
    // A "\" inside a name read from a folder is part of that name, never a separator:
    // taking it for one would delete, copy or move another file.
    CTempDir tmp;
    ASSERT_TRUE(WriteFile(tmp / "t/a\\b.log", "backslash"));
    ASSERT_TRUE(WriteFile(tmp / "t/a/b.log", "keep"));
    ASSERT_TRUE(WriteFile(tmp / "t/p\\q/r.txt", "in p\\q"));

    EXPECT_TRUE(
        ZeqGF::CopyDir((tmp / "t").c_str(), (tmp / "out").c_str(), nullptr, FALSE, nullptr, 0));
    EXPECT_EQ("backslash", ReadFile(tmp / "out/a\\b.log"));
    EXPECT_EQ("keep", ReadFile(tmp / "out/a/b.log"));
    EXPECT_EQ("in p\\q", ReadFile(tmp / "out/p\\q/r.txt"));
    EXPECT_FALSE(Exists(tmp / "out/p"));

    EXPECT_TRUE(
        ZeqGF::MoveDir((tmp / "out").c_str(), (tmp / "moved").c_str(), nullptr, FALSE, nullptr, 0));
    EXPECT_EQ("backslash", ReadFile(tmp / "moved/a\\b.log"));
    EXPECT_EQ("in p\\q", ReadFile(tmp / "moved/p\\q/r.txt"));
    EXPECT_FALSE(Exists(tmp / "out"));

    // "a*" takes "a\b.log" and not "b.log" in the folder "a".
    EXPECT_TRUE(ZeqGF::DeleteMulti({tmp / "t"}, "a*", FALSE, nullptr, 0));
    EXPECT_FALSE(Exists(tmp / "t/a\\b.log"));
    EXPECT_EQ("keep", ReadFile(tmp / "t/a/b.log"));

    // The folder "p\q" goes whole with its files, "p" is never touched.
    ASSERT_EQ(0, mkdir((tmp / "t/p").c_str(), 0755));
    EXPECT_TRUE(
        ZeqGF::DeleteDirFiles((tmp / "t").c_str(), "*.txt", FALSE, FALSE, TRUE, nullptr, 0));
    EXPECT_FALSE(Exists(tmp / "t/p\\q"));
    EXPECT_EQ("keep", ReadFile(tmp / "t/a/b.log"));
}

TEST(ZeqGFMulti, AFileListedBesideItsFolderGoesOnce) {
    CTempDir tmp;
    MakeTree(tmp / "t");
    CRecorder rec;
    EXPECT_TRUE(ZeqGF::DeleteMulti({tmp / "t", tmp / "t/s1/c.txt", tmp / "t/./a.txt"}, nullptr,
                                   FALSE, Record, U(rec)));
    EXPECT_FALSE(Exists(tmp / "t"));
    ASSERT_EQ(5u, rec.calls.size());
    EXPECT_EQ(5, rec.calls.back().nTotalFiles);
}

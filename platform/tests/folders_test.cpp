#include "platform/folders.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/atomicfile.h"
#include "testsupport/testsupport.h"

using namespace platform;

TEST(Folders, ProgramAndModule) {
    std::string dir = ProgramDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(ProgramPath().substr(0, dir.size()), dir);
    EXPECT_EQ(ModuleDir(reinterpret_cast<const void*>(&ProgramDir)), dir);  // the library lies beside the program
}

TEST(Folders, HomeAndConfigFollowTheEnvironment) {
    testsupport::CTempDir dir;
    {
        testsupport::CEnvScope home("CORVANE_HOME", (dir.Path() + "home").c_str());
        EXPECT_EQ(HomeDir("QarServer"), dir.Path() + "home/QarServer/");
        EXPECT_EQ(HomeDir("../x"), dir.Path() + "home/.._x/");
    }
    {
        testsupport::CEnvScope home("CORVANE_HOME", nullptr);
        testsupport::CEnvScope data("XDG_DATA_HOME", (dir.Path() + "data").c_str());
        EXPECT_EQ(HomeDir("Lindar"), dir.Path() + "data/Corvane/Lindar/");
    }
    testsupport::CEnvScope cfg("XDG_CONFIG_HOME", (dir.Path() + "cfg").c_str());
    EXPECT_EQ(ConfigDir(), dir.Path() + "cfg/Corvane/");
    struct stat st{};
    EXPECT_EQ(stat((dir.Path() + "cfg/Corvane").c_str(), &st), 0);
}

TEST(Folders, PrivateTempIsOwnedAndNotALink) {
    testsupport::CTempDir dir;
    testsupport::CEnvScope tmp("TMPDIR", dir.Path().c_str());
    std::string t = PrivateTempDir();
    ASSERT_EQ(t, dir.Path() + "corvane-" + std::to_string(getuid()) + "/");
    struct stat st{};
    ASSERT_EQ(stat(t.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    std::string a = MakeTempFile("ekg", ".raw"), b = MakeTempFile("ekg", ".raw");
    EXPECT_NE(a, b);
    EXPECT_EQ(a.substr(0, t.size()), t);
    EXPECT_EQ(a.substr(a.size() - 4), ".raw");
    EXPECT_TRUE(testsupport::Exists(a));
    // An own folder that others could enter is closed again.
    ASSERT_EQ(chmod(t.c_str(), 0777), 0);
    EXPECT_EQ(PrivateTempDir(), t);
    ASSERT_EQ(stat(t.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A link planted where the folder belongs is refused.
    testsupport::CTempDir other;
    testsupport::CEnvScope tmp2("TMPDIR", other.Path().c_str());
    ASSERT_EQ(symlink(dir.Path().c_str(), (other.Path() + "corvane-" + std::to_string(getuid())).c_str()), 0);
    EXPECT_EQ(PrivateTempDir(), "");
}

TEST(AtomicFile, ReplacesWholeOrNothing) {
    testsupport::CTempDir dir;
    std::string f = dir / "rec.ekg";
    ASSERT_TRUE(WriteFileAtomically(f, "first"));
    {
        CAtomicFile file;
        ASSERT_TRUE(file.Open(f));
        ASSERT_TRUE(file.Write("second, not committed"));
    }  // discarded
    std::string data;
    ASSERT_TRUE(ReadWholeFile(f, data));
    EXPECT_EQ(data, "first");
    ASSERT_TRUE(WriteFileAtomically(f, "second"));
    ASSERT_TRUE(ReadWholeFile(f, data));
    EXPECT_EQ(data, "second");
    // No temporary file is left beside it.
    EXPECT_EQ(std::system(("test $(ls -A " + dir.Path() + " | wc -l) -eq 1").c_str()), 0);
    EXPECT_FALSE(WriteFileAtomically(dir / "missing/x", "y"));
    EXPECT_FALSE(ReadWholeFile(dir.Path(), data));
}

TEST(AtomicFile, PermissionsAndLongNames) {
    testsupport::CTempDir dir;
    mode_t saved = umask(027);
    std::string f = dir / "new.ekg";
    ASSERT_TRUE(WriteFileAtomically(f, "x"));
    struct stat st{};
    ASSERT_EQ(stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);  // a new file as the umask says
    ASSERT_EQ(chmod(f.c_str(), 0604), 0);
    ASSERT_TRUE(WriteFileAtomically(f, "y"));
    ASSERT_EQ(stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);  // a replaced file keeps its own
    umask(saved);
    // A name at the file system's limit still gets a temporary file beside it.
    std::string longName = dir / std::string(255, 'n');
    EXPECT_TRUE(WriteFileAtomically(longName, "z"));
    EXPECT_EQ(testsupport::ReadFile(longName), "z");
}

TEST(AtomicFile, AFailedWriteKeepsTheOldFile) {
    testsupport::CTempDir dir;
    std::string f = dir / "rec.ekg";
    ASSERT_TRUE(WriteFileAtomically(f, "old"));
    // A file size limit makes the write fail part-way, as a full disk would.
    struct sigaction ign{}, old{};
    ign.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ign, &old);
    rlimit lim{}, saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    lim = saved;
    lim.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &lim);
    CAtomicFile file;
    bool ok = file.Open(f) && file.Write(std::string(100, 'x')) && file.Commit();
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_FALSE(ok);
    // The write's own reason is kept (a full disk's is ENOSPC).
    EXPECT_EQ(file.Error(), EFBIG);
    std::string data;
    ASSERT_TRUE(ReadWholeFile(f, data));
    EXPECT_EQ(data, "old");
    EXPECT_EQ(std::system(("test $(ls -A " + dir.Path() + " | wc -l) -eq 1").c_str()), 0);
}

// A writer killed before its commit leaves no half file and no temporary one behind.
TEST(AtomicFile, AWriterKilledMidFileLeavesNothing) {
    testsupport::CTempDir dir;
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        CAtomicFile file;
        if (file.Open(dir / "rec.ekg") && file.Write(std::string(100000, 'x')))
            raise(SIGKILL);
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(std::system(("test $(ls -A " + dir.Path() + " | wc -l) -eq 0").c_str()), 0);
}

TEST(AtomicFile, CommitFreeNeverReplacesAndKeepsSameBytesOnce) {
    testsupport::CTempDir dir;
    const std::string f = dir / "P1_202603040506.ekg";
    auto commit = [](const std::string& path, const std::string& data, bool& bSame) {
        CAtomicFile file;
        EXPECT_TRUE(file.Open(path));
        EXPECT_TRUE(file.Write(data));
        EXPECT_TRUE(file.CommitFree());
        bSame = file.IsSame();
        return file.Target();
    };
    bool bSame = true;
    EXPECT_EQ(commit(f, "first", bSame), f);
    EXPECT_FALSE(bSame);
    // Other bytes of the same length go under the next free name; the first stays.
    EXPECT_EQ(commit(f, "other", bSame), dir / "P1_202603040506_2.ekg");
    EXPECT_FALSE(bSame);
    EXPECT_EQ(commit(f, "third bytes", bSame), dir / "P1_202603040506_3.ekg");
    // Bytes that already lie under a name are that file.
    EXPECT_EQ(commit(f, "other", bSame), dir / "P1_202603040506_2.ekg");
    EXPECT_TRUE(bSame);
    EXPECT_EQ(testsupport::ReadFile(f), "first");
    EXPECT_EQ(testsupport::ReadFile(dir / "P1_202603040506_2.ekg"), "other");
    // A folder in the way is passed over; names without an extension or with a dot in the
    // folder get the number at their end.
    ASSERT_EQ(mkdir((dir / "d.x").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir / "d.x/n").c_str(), 0700), 0);
    EXPECT_EQ(commit(dir / "d.x/n", "z", bSame), dir / "d.x/n_2");
    EXPECT_EQ(commit(dir / "d.x/n", "y", bSame), dir / "d.x/n_3");
    EXPECT_EQ(std::system(("test $(ls -A " + dir.Path() + " | wc -l) -eq 4").c_str()), 0);
}

// A promise keeps each free name before the file takes it: the file never lies under a
// name its promise did not keep, a name spoken for is passed over, and a refused promise
// leaves no file.
TEST(AtomicFile, CommitFreeKeepsItsPromiseBeforeTheFileTakesTheName) {
    struct CPromise : IPlacePromise {
        int Keep(const std::string& name) override {
            seen.push_back("keep " + name.substr(name.rfind('/') + 1) +
                           (testsupport::Exists(name) ? " (there)" : ""));
            if (nAnswers.empty())
                return 0;
            const int n = nAnswers.front();
            nAnswers.erase(nAnswers.begin());
            return n;
        }
        void Withdraw(const std::string& name) override {
            seen.push_back("withdraw " + name.substr(name.rfind('/') + 1));
        }
        std::vector<std::string> seen;
        std::vector<int> nAnswers;
    };
    testsupport::CTempDir dir;
    const std::string f = dir / "P1.ekg";
    auto commit = [](const std::string& path, const std::string& data, CPromise& promise) {
        CAtomicFile file;
        EXPECT_TRUE(file.Open(path));
        EXPECT_TRUE(file.Write(data));
        return file.CommitFree(&promise) ? file.Target() : std::string();
    };
    CPromise a;
    EXPECT_EQ(commit(f, "first", a), f);
    EXPECT_EQ(a.seen, std::vector<std::string>({"keep P1.ekg"}));
    // Taken by other bytes, then spoken for by another promise: the third name.
    CPromise b;
    b.nAnswers = {EEXIST};
    EXPECT_EQ(commit(f, "second", b), dir / "P1_3.ekg");
    EXPECT_EQ(b.seen, std::vector<std::string>({"keep P1_2.ekg", "keep P1_3.ekg"}));
    // The same bytes lie there already: nothing to keep.
    CPromise c;
    EXPECT_EQ(commit(f, "first", c), f);
    EXPECT_TRUE(c.seen.empty());
    // A promise that cannot be kept: the file is not placed.
    CPromise d;
    d.nAnswers = {EIO};
    EXPECT_EQ(commit(f, "fourth", d), "");
    EXPECT_EQ(std::system(("test $(ls -A " + dir.Path() + " | wc -l) -eq 2").c_str()), 0);
    // A name taken between the promise and the placing: withdrawn, the next one kept.
    struct CRacer : CPromise {
        int Keep(const std::string& name) override {
            if (seen.empty())
                testsupport::WriteFile(name, "a writer of its own");
            return CPromise::Keep(name);
        }
    } racer;
    EXPECT_EQ(commit(f, "fifth", racer), dir / "P1_4.ekg");
    EXPECT_EQ(racer.seen, std::vector<std::string>({"keep P1_2.ekg (there)", "withdraw P1_2.ekg",
                                                    "keep P1_4.ekg"}));
}

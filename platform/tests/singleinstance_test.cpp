#include "platform/singleinstance.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "testsupport/testsupport.h"

using platform::CSingleInstance;

namespace {

// Points XDG_RUNTIME_DIR at a folder of the test's own while it lives.
class CRuntimeDirScope {
public:
    explicit CRuntimeDirScope(const std::string& dir) {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        m_had = old != nullptr;
        if (old) m_old = old;
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    ~CRuntimeDirScope() {
        if (m_had) {
            setenv("XDG_RUNTIME_DIR", m_old.c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
    }

private:
    bool m_had = false;
    std::string m_old;
};

// Runs fn in a child process and returns its exit status.
template <class Fn>
int InChild(Fn fn) {
    pid_t pid = fork();
    if (pid == 0) _exit(fn());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(SingleInstance, OneHolderPerName) {
    testsupport::CTempDir dir;
    CRuntimeDirScope scope(dir.Path());
    CSingleInstance first("Pelvorn Corvane");
    ASSERT_TRUE(first.Acquire());
    EXPECT_TRUE(first.Acquire());  // holding it already
    EXPECT_EQ(first.LockPath(), dir / "corvane/Pelvorn Corvane.lock");

    // Another process is refused while the first holds it; another name is free.
    EXPECT_EQ(InChild([] { return CSingleInstance("Pelvorn Corvane").Acquire() ? 1 : 0; }), 0);
    EXPECT_EQ(InChild([] { return CSingleInstance("PulmetraFrame").Acquire() ? 1 : 0; }), 1);

    first.Release();
    EXPECT_FALSE(first.IsHeld());
    EXPECT_EQ(InChild([] { return CSingleInstance("Pelvorn Corvane").Acquire() ? 1 : 0; }), 1);
}

TEST(SingleInstance, KilledHolderDoesNotBlock) {
    testsupport::CTempDir dir;
    CRuntimeDirScope scope(dir.Path());
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t holder = fork();
    if (holder == 0) {
        CSingleInstance lock("Pelvorn Corvane");
        char c = lock.Acquire() ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    CSingleInstance second("Pelvorn Corvane");
    EXPECT_FALSE(second.Acquire());
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_TRUE(second.Acquire());
    close(ready[0]);
    close(ready[1]);
}

TEST(SingleInstance, NamesStayInTheFolder) {
    testsupport::CTempDir dir;
    CRuntimeDirScope scope(dir.Path());
    CSingleInstance lock("../x/y");
    ASSERT_TRUE(lock.Acquire());
    EXPECT_EQ(lock.LockPath(), dir / "corvane/.._x_y.lock");
}

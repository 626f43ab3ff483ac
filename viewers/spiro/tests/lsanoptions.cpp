// The leak checker of this test program: thread-local storage is not scanned. With it,
// the checker's own tracer crashes reading the dynamic TLS vector at exit in some runs
// (layout-dependent, outside our code). Without it, glib's per-thread blocks (held only
// from thread-local storage) and libcups' per-thread globals would read as leaks, so they
// are suppressed; our own code keeps nothing only in thread-local storage.
#include <QThreadPool>
#include <gtest/gtest.h>

extern "C" const char* __lsan_default_options() {
    return "use_tls=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libglib-2.0.so\n"
           "leak:_cupsGlobals\n";
}

namespace {

// The drawing pool's threads end before the check: a thread still alive at exit is known
// only to thread-local storage, and its per-thread data would read as a leak.
class CPoolEnd : public ::testing::Environment {
public:
    void TearDown() override { QThreadPool::globalInstance()->waitForDone(); }
};

[[maybe_unused]] ::testing::Environment* const g_pPoolEnd =
    ::testing::AddGlobalTestEnvironment(new CPoolEnd);

}  // namespace

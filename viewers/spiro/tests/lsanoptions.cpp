// The leak checker of this test program: thread-local storage is not scanned. With it,
// the checker's own tracer crashes reading the dynamic TLS vector at exit in some runs
// (layout-dependent, outside our code). Without it, glib's per-thread blocks (held only
// from thread-local storage) and libcups' per-thread globals (its own and its PPD part's)
// would read as leaks, so they are suppressed; our own code keeps nothing only in
// thread-local storage. Qt's own exit race of thread data is suppressed as in every test
// run (tools/testsupport/lsan.supp).
extern "C" const char* __lsan_default_options() {
    return "use_tls=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libglib-2.0.so\n"
           "leak:_cupsGlobals\n"
           "leak:_ppdGlobals\n"
           "leak:libQt6Core.so\n";
}

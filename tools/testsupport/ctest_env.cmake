# Read by ctest before it runs any test (see the root CMakeLists.txt): what every test gets in
# its environment, however ctest is started.
# The ECG control's device finder broadcasts when its library loads: keep it on loopback.
set(ENV{CORVANE_DISCOVERY} loopback)

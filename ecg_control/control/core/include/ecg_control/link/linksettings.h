#pragma once
// Ports, periods and time limits of the device link, the finder and the engine run. The
// system values hold unless the environment sets another at library load (tests do):
//   CORVANE_EKG_DEVICE_PORT (2000), CORVANE_EKG_MONITOR_PORT (2001),
//   CORVANE_EKG_FINDER_PORT (3003, answers), CORVANE_EKG_FINDER_TARGET_PORT (3000, requests),
//   CORVANE_EKG_FINDER_ADAPTERS (comma-separated IPv4 addresses in place of the system's),
//   CORVANE_EKG_STATUS_MS (2000), CORVANE_EKG_ENGINE_TIMEOUT_MS (120000).
// CORVANE_DISCOVERY=loopback keeps the finder on the loopback adapter alone.
#include <string>
#include <vector>

namespace ekglink {

struct CLinkSettings {
    int nDevicePort = 2000;
    int nMonitorPort = 2001;
    int nFinderPort = 3003;
    int nFinderTargetPort = 3000;
    std::vector<std::string> adapters;  // empty: the system's
    bool bLoopbackOnly = false;
    int nStatusMs = 2000;
    int nEngineTimeoutMs = 120000;

    // From the environment (system values where unset or not a number).
    static CLinkSettings FromEnvironment();
    // The values read when the library was loaded; tests may change them before use.
    static CLinkSettings& Current();
};

}  // namespace ekglink

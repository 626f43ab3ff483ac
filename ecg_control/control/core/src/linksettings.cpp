#include "ecg_control/link/linksettings.h"

#include <cstdlib>
#include <string>

namespace ekglink {
namespace {

int IntFromEnv(const char* name, int nDefault) {
    const char* value = std::getenv(name);
    if (!value || !*value) return nDefault;
    char* end = nullptr;
    const long n = std::strtol(value, &end, 10);
    return (*end == '\0' && n > 0 && n < 1000000000) ? static_cast<int>(n) : nDefault;
}

}  // namespace

CLinkSettings CLinkSettings::FromEnvironment() {
    CLinkSettings s;
    s.nDevicePort = IntFromEnv("CORVANE_EKG_DEVICE_PORT", s.nDevicePort);
    s.nMonitorPort = IntFromEnv("CORVANE_EKG_MONITOR_PORT", s.nMonitorPort);
    s.nFinderPort = IntFromEnv("CORVANE_EKG_FINDER_PORT", s.nFinderPort);
    s.nFinderTargetPort = IntFromEnv("CORVANE_EKG_FINDER_TARGET_PORT", s.nFinderTargetPort);
    s.nStatusMs = IntFromEnv("CORVANE_EKG_STATUS_MS", s.nStatusMs);
    s.nEngineTimeoutMs = IntFromEnv("CORVANE_EKG_ENGINE_TIMEOUT_MS", s.nEngineTimeoutMs);
    if (const char* list = std::getenv("CORVANE_EKG_FINDER_ADAPTERS")) {
        std::string text = list;
        std::size_t pos = 0;
        while (pos <= text.size()) {
            std::size_t end = text.find(',', pos);
            if (end == std::string::npos) end = text.size();
            if (end > pos) s.adapters.push_back(text.substr(pos, end - pos));
            pos = end + 1;
        }
    }
    const char* discovery = std::getenv("CORVANE_DISCOVERY");
    s.bLoopbackOnly = discovery && std::string(discovery) == "loopback";
    return s;
}

CLinkSettings& CLinkSettings::Current() {
    static CLinkSettings s_settings = FromEnvironment();
    return s_settings;
}

}  // namespace ekglink

#pragma once
// The library's log of today in a home folder: "LOG/Log_<yyyymmdd>.txt".
#include <ctime>
#include <string>

#include "testsupport/testsupport.h"

inline std::string TodaysLogPath(const std::string& strHome) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char day[16];
    std::strftime(day, sizeof day, "%Y%m%d", &tm);
    return strHome + "LOG/Log_" + day + ".txt";
}

inline std::string TodaysLog(const std::string& strHome) {
    return testsupport::ReadFile(TodaysLogPath(strHome));
}

#pragma once
// The two daily logs of the server library, in the folder "Log" of the host's home
// folder: "<YYYYMMDD>_oxu.log" (ECG server, database, DICOM) and "<YYYYMMDD>_file.log"
// (file server). Each line is opened, appended and closed, so lines of several threads
// stay whole; a log that cannot be opened is told through the notifier, never blocks.
#include <ctime>
#include <functional>

#include "oxucomm/oxucallbacks.h"

class OXU_EXPORT COxuServerLogger : public COxuSocketLogger {
public:
    explicit COxuServerLogger(LPCSTR lpszSuffix);
    ~COxuServerLogger() override;
    COxuServerLogger(const COxuServerLogger&) = default;
    COxuServerLogger& operator=(const COxuServerLogger&) = default;
    void LogWrite(LPCSTR lpszText) override;

    // Local time of "now" for every log (tests fix it).
    static void SetClock(std::function<std::time_t()> fnClock);

protected:
    CString GetFileName() override;
    CString FileNameAt(std::time_t t) const;
    CString m_strSuffix;
};

class OXU_EXPORT COxuEcgServerLogger : public COxuServerLogger {
public:
    COxuEcgServerLogger() : COxuServerLogger("_oxu.log") {}
};

class OXU_EXPORT COxuFileServerLogger : public COxuServerLogger {
public:
    COxuFileServerLogger() : COxuServerLogger("_file.log") {}
};

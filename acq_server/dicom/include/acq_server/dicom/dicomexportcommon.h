#pragma once
// What the ECG and spirometry exports share: the counters in the caller's profile, the UID
// texts, the date and time texts, the display window and the values turned into the forms
// the DICOM attributes take.
#include <ctime>
#include <functional>
#include <string>

#include "oxudcm/dcmrecords.h"
#include "platform/wintypes.h"

namespace dicomexport {
// Where the exports keep and read their settings.
struct CExportSettings {
    // The running program's profile key ("Corvane/Lindar"): section "Environment" holds the
    // counters "DCM STUDY ID", "DCM SERIES ID", "DCM INSTANCE ID"; section
    // "OXU DICOM Store SCU" the modality texts.
    std::string strProfileKey;
    // The key whose "Environment" holds "DICOM WIN_WIDTH" and "DICOM WIN_CENTER".
    std::string strWindowKey = "Corvane/Qar Server";
    // Seconds since 1970 for the UIDs; the system clock when empty.
    std::function<std::time_t()> clock;
};

struct CExportIds {
    LONG nStudy = 0, nSeries = 0, nInstance = 0;
};

// Reads the value (0 when absent), adds 1, writes it back and returns it.
LONG NextProfileCounter(const std::string& strProfileKey, const char* pszName);
// Study, series and instance numbers, in that order; every export takes three new ones.
CExportIds NextIds(const std::string& strProfileKey);
std::time_t Now(const CExportSettings& settings);
CString MakeStudyUid(const CExportIds& ids, std::time_t t);
CString MakeSeriesUid(const CExportIds& ids, std::time_t t);
CString MakeInstanceUid(const CExportIds& ids, std::time_t t);

// "YYYYMMDD" laid over "0000/00/00" (a short text cuts the template), then read as a date.
CDcmDateTime ParseDate(const CString& strText);
// "HHMM[SS]" laid over "00:01:01" (seconds only from a text longer than 4), read as a time.
CDcmDateTime ParseTime(const CString& strText);

// The display window of grey pictures: centre and width.
void ReadWindow(const CExportSettings& settings, int& nCenter, int& nWidth);
CString ReadModality(const CExportSettings& settings, const char* pszKey, const char* pszDefault);

// Age with its unit ("0" years, "1" weeks, "2" days) as "nnnY/W/D"; height in centimetres
// as metres; weight in kilograms, or in pounds when it ends in "L", as kilograms. Empty
// when the text holds no number.
CString DicomAge(const CString& strAge, const CString& strUnit);
CString DicomHeight(const CString& strCentimetres);
CString DicomWeight(const CString& strWeight);
// The first character of the sex text.
CString FirstCharacter(const CString& strText);

// A unique scratch file in the private temporary folder, removed with this object.
class CScratchFile {
public:
    CScratchFile(const char* pszPrefix, const char* pszSuffix);
    ~CScratchFile();
    CScratchFile(const CScratchFile&) = delete;
    CScratchFile& operator=(const CScratchFile&) = delete;
    const CString& Path() const { return m_strPath; }

private:
    CString m_strPath;
};
}  // namespace dicomexport

#include "acq_server/dicom/dicomexportcommon.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/folders.h"
#include "platform/settings.h"

namespace dicomexport {
namespace {
constexpr const char* kEnvironment = "Environment";
constexpr const char* kStoreSection = "OXU DICOM Store SCU";

// Lays the text's characters [nFrom, nFrom + nCount) over the template at nAt; characters
// the text lacks become NULs, which end the template there.
void Lay(std::string& strTemplate, const CString& strText, std::size_t nFrom, std::size_t nCount,
         std::size_t nAt) {
    for (std::size_t i = 0; i < nCount; ++i) {
        strTemplate[nAt + i] = nFrom + i < strText.size() ? strText[nFrom + i] : '\0';
    }
}

// Reads "n<sep>n[<sep>n]" strictly: every part digits, no locale.
bool ReadParts(const std::string& strText, char cSep, int anParts[3], int nWanted) {
    const std::string s = strText.substr(0, strText.find('\0'));
    int nPart = 0;
    std::size_t nPos = 0;
    while (nPart < 3) {
        const std::size_t nEnd = std::min(s.find(cSep, nPos), s.size());
        const std::string strPart = s.substr(nPos, nEnd - nPos);
        if (strPart.empty() || strPart.size() > 4 ||
            strPart.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        anParts[nPart++] = std::atoi(strPart.c_str());
        if (nEnd == s.size()) {
            break;
        }
        nPos = nEnd + 1;
    }
    return nPart >= nWanted && nPos <= s.size();
}

// A plain decimal number, optionally followed by one of the letters in pszSuffix; a text
// such as "5ft7" is no number of one unit.
double Number(const CString& s, bool& bOk, const char* pszSuffix = "") {
    std::size_t n = 0;
    while (n < s.size() && ((s[n] >= '0' && s[n] <= '9') || s[n] == '.')) {
        ++n;
    }
    CString strRest = s.substr(n);
    while (!strRest.empty() && strRest.back() == ' ') {
        strRest.pop_back();
    }
    bOk = n > 0 && s.find_first_of("0123456789") < n &&
          (strRest.empty() || (strRest.size() == 1 && std::strchr(pszSuffix, strRest[0])));
    return bOk ? std::atof(s.substr(0, n).c_str()) : 0.0;
}

CString Decimal(double d, int nDigits) {
    char sz[32];
    std::snprintf(sz, sizeof sz, "%.*f", nDigits, d);
    return sz;
}
}  // namespace

LONG NextProfileCounter(const std::string& strProfileKey, const char* pszName) {
    platform::CSettingsStore store(strProfileKey);
    const LONG n = store.GetInt(kEnvironment, pszName, 0) + 1;
    store.WriteInt(kEnvironment, pszName, static_cast<int>(n));
    return n;
}

CExportIds NextIds(const std::string& strProfileKey) {
    CExportIds ids;
    ids.nStudy = NextProfileCounter(strProfileKey, "DCM STUDY ID");
    ids.nSeries = NextProfileCounter(strProfileKey, "DCM SERIES ID");
    ids.nInstance = NextProfileCounter(strProfileKey, "DCM INSTANCE ID");
    return ids;
}

std::time_t Now(const CExportSettings& settings) {
    return settings.clock ? settings.clock() : std::time(nullptr);
}

namespace {
CString Uid(std::initializer_list<long long> anNumbers) {
    CString s = "1.2";
    s += ".";
    s += "840";
    s += ".";
    s += "2";
    s += ".";
    s += "3000";
    s += ".";
    s += "3";
    for (long long n : anNumbers) {
        s += ".";
        s += std::to_string(n);
    }
    return s;
}
}  // namespace

CString MakeStudyUid(const CExportIds& ids, std::time_t t) {
    return Uid({ids.nStudy, static_cast<long long>(t)});
}
CString MakeSeriesUid(const CExportIds& ids, std::time_t t) {
    return Uid({ids.nStudy, ids.nSeries, static_cast<long long>(t)});
}
CString MakeInstanceUid(const CExportIds& ids, std::time_t t) {
    return Uid({ids.nStudy, ids.nSeries, ids.nInstance, static_cast<long long>(t)});
}

CDcmDateTime ParseDate(const CString& strText) {
    std::string s = "0000/00/00";
    Lay(s, strText, 0, 4, 0);
    Lay(s, strText, 4, 2, 5);
    Lay(s, strText, 6, 2, 8);
    int an[3] = {0, 0, 0};
    if (!ReadParts(s, '/', an, 3)) {
        return CDcmDateTime::Invalid();
    }
    return CDcmDateTime::Date(an[0], an[1], an[2]);
}

CDcmDateTime ParseTime(const CString& strText) {
    std::string s = "00:01:01";
    Lay(s, strText, 0, 2, 0);
    Lay(s, strText, 2, 2, 3);
    if (strText.size() > 4) {
        Lay(s, strText, 4, 2, 6);
    }
    int an[3] = {0, 0, 0};
    if (!ReadParts(s, ':', an, 2)) {
        return CDcmDateTime::Invalid();
    }
    return CDcmDateTime::Time(an[0], an[1], an[2]);
}

void ReadWindow(const CExportSettings& settings, int& nCenter, int& nWidth) {
    platform::CSettingsStore store(settings.strWindowKey);
    nWidth = store.GetInt(kEnvironment, "DICOM WIN_WIDTH", 256);
    nCenter = store.GetInt(kEnvironment, "DICOM WIN_CENTER", 128);
}

CString ReadModality(const CExportSettings& settings, const char* pszKey, const char* pszDefault) {
    return platform::CSettingsStore(settings.strProfileKey).GetString(kStoreSection, pszKey, pszDefault);
}

CString DicomAge(const CString& strAge, const CString& strUnit) {
    bool bOk = false;
    const double d = Number(strAge, bOk);
    if (!bOk || d < 0 || d > 999) {
        return {};
    }
    const char cUnit = strUnit == "1" ? 'W' : strUnit == "2" ? 'D' : 'Y';
    char sz[8];
    std::snprintf(sz, sizeof sz, "%03d%c", static_cast<int>(d), cUnit);
    return sz;
}

CString DicomHeight(const CString& strCentimetres) {
    bool bOk = false;
    const double d = Number(strCentimetres, bOk);
    return bOk && d > 0 && d < 1000 ? Decimal(d / 100.0, 2) : CString();
}

CString DicomWeight(const CString& strWeight) {
    bool bOk = false;
    const double d = Number(strWeight, bOk, "L");
    if (!bOk || d <= 0 || d > 100000) {
        return {};
    }
    const bool bPounds = strWeight.find('L') != CString::npos;
    return Decimal(bPounds ? d * 0.45359237 : d, 1);
}

CString FirstCharacter(const CString& strText) {
    return strText.empty() ? CString() : strText.substr(0, 1);
}

CScratchFile::CScratchFile(const char* pszPrefix, const char* pszSuffix)
    : m_strPath(platform::MakeTempFile(pszPrefix, pszSuffix)) {}

CScratchFile::~CScratchFile() {
    if (!m_strPath.empty()) {
        std::remove(m_strPath.c_str());
    }
}
}  // namespace dicomexport

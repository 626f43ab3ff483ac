#include <cstring>
#include <strings.h>

#include "platform/codepage.h"
#include "spiro_control/spirosections.h"

using namespace spirotext;
using namespace spirofile;

namespace {

struct CTextField {
    int nLengthByte;  // offset of the field's length byte
    BYTE nLength;
};

// Information section: the length byte of each field, its text right behind it.
constexpr int kIdField = 12, kNameField = 29, kAgeField = 46, kSexField = 51, kHeightField = 58,
              kWeightField = 63, kRaceField = 68, kSmokerField = 70, kYearsField = 72,
              kPackField = 76, kAddField = 78;
constexpr int kHospitalField = 122, kDoctorField = 139, kCommentField = 156;

bool IsTrialCount(int n) {
    return n >= 1 && n <= 3;
}

}  // namespace

CSpiroTestInfo::CSpiroTestInfo(BOOL bServerBuild) : m_bServerBuild(bServerBuild) {
    m_strCompany = "Corvane Co.,Ltd.";
    m_strDevice = bServerBuild ? "Spirometer Ver 1.16" : "Spirometer Ver 1.15";
    Clear();
}

void CSpiroTestInfo::Clear() {
    m_nTestType = 0;
    m_nTrials = 0;
    m_nPostTrials = 0;
    m_nBestTrial = 1;
    m_nPostBestTrial = 1;
    m_nFormat = 2;
    m_nFormulaByte = 0;
    for (CString* p : {&m_strID, &m_strName, &m_strAddText, &m_strAge, &m_strSex, &m_strHeight,
                       &m_strWeight, &m_strSmokeYears, &m_strYear, &m_strMonth, &m_strDay,
                       &m_strHour, &m_strMinute, &m_strSecond, &m_strHospital, &m_strDoctor,
                       &m_strComment, &m_strAnalysis, &m_strAnalysisPost}) {
        p->clear();
    }
    m_nUnit = 0;
    m_cRace = m_cSmoker = m_cSmokePack = 0;
    m_bPound = FALSE;
}

void CSpiroTestInfo::TakeWeight(const CString& strWeight) {
    m_bPound = FALSE;
    m_strWeight = strWeight;
    if (!m_strWeight.empty() && (m_strWeight.back() == 'L' || m_strWeight.back() == 'l')) {
        m_strWeight.pop_back();
        m_bPound = TRUE;
    }
}

CString CSpiroTestInfo::StoredWeight() const {
    if (!m_bPound) {
        return platform::CutToRoom(m_strWeight, 4);
    }
    // The number gives way to the unit letter: a pound weight cut to the field keeps its L.
    return platform::CutToRoom(m_strWeight, 3) + "L";
}

short CSpiroTestInfo::Read(const BYTE* p, DWORD nLength) {
    if (nLength < kMinLength) {
        return kErrHeader;
    }
    if (p[kHeaderTag] != 0x70 || p[kVersion] < 5 || p[kVersion] > 7 || p[kType] < 1 ||
        p[kType] > 5) {
        return kErrHeader;
    }
    int nType = p[kType];
    int nFormat = 0;
    if (p[kVersion] != 5) {
        nFormat = p[kFormat] > 2 ? 0 : p[kFormat];
    }
    if (nType == kTypeFvcPost) {
        if (!IsTrialCount(p[kTrials] >> 4) || !IsTrialCount(p[kTrials] & 0x0F) ||
            !IsTrialCount(p[kBest] >> 4) || !IsTrialCount(p[kBest] & 0x0F)) {
            return kErrHeader;
        }
    } else if (!IsTrialCount(p[kTrials]) || !IsTrialCount(p[kBest])) {
        return kErrHeader;
    }
    if (p[kInfoTag] != 0x71 || p[kInfoTag + 1] != 0x44 || p[kDateTag] != 0x72 ||
        p[kDateTag + 1] != 0x10 || p[kSiteTag] != 0x73 || p[kSiteTag + 1] != 0x24) {
        return kErrHeader;
    }
    if (nType == kTypeFvc || nType == kTypeFvcExt) {
        if (p[kAnalysisTag] != 0x74 || p[kAnalysisTag + 1] != 3) {
            return kErrHeader;
        }
    } else if (nType == kTypeFvcPost) {
        if ((p[kAnalysisTag] != 0x74 && p[kAnalysisTag] != 0x78) ||
            p[kAnalysisTag + 1] != (nFormat == 0 ? 3 : 6)) {
            return kErrHeader;
        }
    }

    m_nTestType = static_cast<signed char>(nType);
    m_nFormat = static_cast<BYTE>(nFormat);
    m_nFormulaByte = p[kFormula];
    if (nType == kTypeFvcPost) {
        m_nTrials = static_cast<signed char>(p[kTrials] >> 4);
        m_nPostTrials = p[kTrials] & 0x0F;
        m_nBestTrial = static_cast<signed char>(p[kBest] >> 4);
        m_nPostBestTrial = p[kBest] & 0x0F;
    } else if (nType == kTypeMvv) {
        m_nTrials = 1;
        m_nBestTrial = 1;
    } else {
        m_nTrials = static_cast<signed char>(p[kTrials]);
        m_nBestTrial = static_cast<signed char>(p[kBest]);
    }

    m_strID = ReadField(p + kIdField + 1, 16);
    m_strName = ReadField(p + kNameField + 1, 16);
    m_strAge = ReadField(p + kAgeField + 1, 4);
    m_strSex = ReadField(p + kSexField + 1, 6);
    m_strHeight = ReadField(p + kHeightField + 1, 4);
    TakeWeight(ReadField(p + kWeightField + 1, 4));
    m_cRace = static_cast<char>(p[kRaceField + 1]);
    m_cSmoker = static_cast<char>(p[kSmokerField + 1]);
    m_strSmokeYears = ReadField(p + kYearsField + 1, 3);
    m_cSmokePack = static_cast<char>(p[kPackField + 1]);
    m_strAddText = ReadField(p + kAddField + 1, 16);

    m_strYear = ReadField(p + 102, 4);
    m_strMonth = ReadField(p + 106, 2);
    m_strDay = ReadField(p + 108, 2);
    m_strHour = ReadField(p + 110, 2);
    m_strMinute = ReadField(p + 112, 2);
    m_strSecond = ReadField(p + 114, 2);

    // The long forms lie beyond the information section; in format 0 the curve block
    // covers them, so only formats 1 and 2 can hold them.
    m_strHospital.clear();
    m_strDoctor.clear();
    if (p[kHospitalField] == 0x1C) {
        if (nFormat != 0) {
            m_strHospital = ReadField(p + kHospitalLong, 28);
        }
    } else {
        m_strHospital = ReadField(p + kHospitalField + 1, 16);
    }
    if (p[kDoctorField] == 0x1C) {
        if (nFormat != 0) {
            m_strDoctor = ReadField(p + kDoctorLong, 28);
        }
    } else {
        m_strDoctor = ReadField(p + kDoctorField + 1, 16);
    }
    m_strComment = ReadField(p + kCommentField + 1, 128);

    m_strAnalysis.clear();
    m_strAnalysisPost.clear();
    if (nType == kTypeFvc || nType == kTypeFvcExt) {
        m_strAnalysis = ReadField(p + kAnalysisTag + 2, 3);
    } else if (nType == kTypeFvcPost) {
        if (nFormat == 0) {
            m_strAnalysisPost = ReadField(p + kAnalysisTag + 2, 3);
            // The base block follows the post image; a short file is refused later.
            if (nLength >= static_cast<DWORD>(kPostBaseText) + 3) {
                m_strAnalysis = ReadField(p + kPostBaseText, 3);
            }
        } else {
            m_strAnalysis = ReadField(p + kAnalysisTag + 2, 3);
            m_strAnalysisPost = ReadField(p + kAnalysisTag + 5, 3);
        }
    }
    return kOk;
}

short CSpiroTestInfo::Write(BYTE* p, DWORD nLength) const {
    int nType = m_nTestType;
    int nFormat = m_nFormat;
    if (nType < 1 || nType > 5) {
        return kErrHeader;
    }
    if (nFormat > 2) {
        return kErrFormat;
    }
    if (nLength < FileLength(nType, nFormat)) {
        return kErrLength;
    }
    p[kHeaderTag] = 0x70;
    p[kVersion] = static_cast<BYTE>(5 + nFormat);
    p[kType] = static_cast<BYTE>(nType);
    if (nType == kTypeFvcPost) {
        p[kTrials] = static_cast<BYTE>(((m_nTrials & 0x0F) << 4) | (m_nPostTrials & 0x0F));
        p[kBest] = static_cast<BYTE>(((m_nBestTrial & 0x0F) << 4) | (m_nPostBestTrial & 0x0F));
    } else {
        p[kTrials] = static_cast<BYTE>(m_nTrials);
        p[kBest] = static_cast<BYTE>(m_nBestTrial);
    }
    p[kFormat] = static_cast<BYTE>(nFormat);
    p[kFormula] = m_nFormulaByte;

    p[kInfoTag] = 0x71;
    p[kInfoTag + 1] = 0x44;
    const struct {
        int nAt;
        BYTE nWidth;
        const CString* pText;
    } aFields[] = {
        {kIdField, 16, &m_strID},        {kNameField, 16, &m_strName},
        {kAgeField, 4, &m_strAge},       {kSexField, 6, &m_strSex},
        {kHeightField, 4, &m_strHeight}, {kYearsField, 3, &m_strSmokeYears},
    };
    for (const auto& f : aFields) {
        p[f.nAt] = f.nWidth;
        WriteField(p + f.nAt + 1, f.nWidth, *f.pText);
    }
    p[kWeightField] = 4;
    WriteField(p + kWeightField + 1, 4, StoredWeight());
    p[kRaceField] = 1;
    p[kRaceField + 1] = static_cast<BYTE>(m_cRace);
    p[kSmokerField] = 1;
    p[kSmokerField + 1] = static_cast<BYTE>(m_cSmoker);
    p[kPackField] = 1;
    p[kPackField + 1] = static_cast<BYTE>(m_cSmokePack);
    if (!m_bServerBuild) {
        p[kAddField] = 0x10;
        WriteField(p + kAddField + 1, 16, m_strAddText);
    }

    p[kDateTag] = 0x72;
    p[kDateTag + 1] = 0x10;
    WriteField(p + 102, 4, m_strYear);
    WriteField(p + 106, 2, m_strMonth);
    WriteField(p + 108, 2, m_strDay);
    WriteField(p + 110, 2, m_strHour);
    WriteField(p + 112, 2, m_strMinute);
    WriteField(p + 114, 2, m_strSecond);

    p[kSiteTag] = 0x73;
    p[kSiteTag + 1] = 0x24;
    // Long texts have a place of their own only in formats 1 and 2 (in format 0 the curve
    // block covers it); the server keeps to 16 characters.
    bool bLongRoom = !m_bServerBuild && nFormat != 0;
    auto writeSite = [&](int nField, int nLong, const CString& strText) {
        if (bLongRoom && strText.size() > 16) {
            p[nField] = 0x1C;
            WriteField(p + nLong, 28, strText);
        } else {
            p[nField] = 0x10;
            WriteField(p + nField + 1, 16, strText);
        }
    };
    writeSite(kHospitalField, kHospitalLong, m_strHospital);
    writeSite(kDoctorField, kDoctorLong, m_strDoctor);
    p[kCommentField] = 0x80;
    WriteField(p + kCommentField + 1, 128, m_strComment);

    if (nType == kTypeFvc || nType == kTypeFvcExt) {
        p[kAnalysisTag] = 0x74;
        p[kAnalysisTag + 1] = 3;
        WriteField(p + kAnalysisTag + 2, 3, m_strAnalysis);
    } else if (nType == kTypeFvcPost) {
        p[kAnalysisTag] = 0x74;
        if (nFormat == 0) {
            p[kAnalysisTag + 1] = 3;
            WriteField(p + kAnalysisTag + 2, 3, m_strAnalysisPost);
            WriteField(p + kPostBaseText, 3, m_strAnalysis);
        } else {
            p[kAnalysisTag + 1] = 6;
            WriteField(p + kAnalysisTag + 2, 3, m_strAnalysis);
            WriteField(p + kAnalysisTag + 5, 3, m_strAnalysisPost);
        }
    }
    return kOk;
}

CString CSpiroTestInfo::GetRaceString() const {
    switch (m_cRace) {
        case 'B':
            return "Black";
        case 'C':
            return "Caucasian";
        case 'O':
            return "Oriental";
        default:
            return "";
    }
}

CString CSpiroTestInfo::GetSmokeString() const {
    switch (m_cSmoker) {
        case 'N':
            return "No";
        case 'Y':
            return "Yes";
        default:
            return "";
    }
}

CString CSpiroTestInfo::GetSmokePackString() const {
    switch (m_cSmokePack) {
        case 'Q':
            return "Quarter pack/day";
        case 'H':
            return "Half pack/day";
        case 'O':
            return "One pack/day";
        case 'T':
            return "Two pack/day";
        case 'M':
            return "More two pack/day";
        default:
            return "";
    }
}

static CString AnalysisText(const CString& strCode) {
    static const char* const kTable[][2] = {
        {"NOR", "Normal"},
        {"BOO", "Borderline Obstruction"},
        {"MIO", "Mild Obstruction"},
        {"MOO", "Moderate Obstruction"},
        {"SEO", "Severe Obstruction"},
        {"MIR", "Mild Restriction"},
        {"MOR", "Moderate Restriction"},
        {"SER", "Severe Restriction"},
        {"VSO", "Very Severe Obstructive"},
        {"O_R", "Obstructive + Restriction"},
        {"BLK", "N/A"},
    };
    for (const auto& row : kTable) {
        if (strcasecmp(strCode.c_str(), row[0]) == 0) {
            return row[1];
        }
    }
    return "";
}

CString CSpiroTestInfo::GetAnalysisString() const {
    return AnalysisText(m_strAnalysis);
}

CString CSpiroTestInfo::GetAnalysisStringPost() const {
    return AnalysisText(m_strAnalysisPost);
}

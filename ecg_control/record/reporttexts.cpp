#include "ecg_control/reporttexts.h"

#include <charconv>
#include <cstdio>

namespace ekgreport {

namespace {

constexpr double kInchesPerCm = 0.393701;
constexpr double kPoundsPerKg = 2.20459;
constexpr double kKgPerPound = 0.45359908191545817;

// The leading number of a patient text (blanks and a plus sign skipped); 0 for none.
double Number(const CString& strText) {
    std::size_t i = 0;
    while (i < strText.size() && (strText[i] == ' ' || strText[i] == '\t')) ++i;
    if (i < strText.size() && strText[i] == '+') ++i;
    double dValue = 0.0;
    const auto result = std::from_chars(strText.data() + i, strText.data() + strText.size(), dValue);
    return result.ec == std::errc() ? dValue : 0.0;
}

CString WithoutL(const CString& strText) {
    CString strOut;
    for (char ch : strText) {
        if (ch != 'L') strOut += ch;
    }
    return strOut;
}

CString TwoDigitTime(const char* pszFormat, int a, int b, int c, int d, int e) {
    char sz[64];
    std::snprintf(sz, sizeof sz, pszFormat, a, b, c, d, e);
    return sz;
}

}  // namespace

const char* LeadName(int nLead) {
    static const char* const kNames[12] = {"I",  "II", "III", "aVR", "aVL", "aVF",
                                           "V1", "V2", "V3",  "V4",  "V5",  "V6"};
    return nLead >= 0 && nLead < 12 ? kNames[nLead] : "";
}

CString ScaleCaption(int nGain) {
    switch (nGain) {
        case 0: return "I-aVF:10mm/mV. V1-V6:5mm/mV.      25.0mm/sec.";
        case 1: return "All Channels:2.5mm/mV.    25.0mm/sec.";
        case 2: return "All Channels:5mm/mV.    25.0mm/sec.";
        case 3: return "All Channels:10mm/mV.    25.0mm/sec.";
        case 4: return "All Channels:20mm/mV.    25.0mm/sec.";
        default: return "";
    }
}

CString FilterText(const std::array<BYTE, 6>& filterItem) {
    const int nAC = filterItem[2], nLPF = filterItem[3], nBF = filterItem[4], nMF = filterItem[5];
    CString str = nBF == 1 ? "0.1Hz-" : "  0Hz-";
    str += nLPF == 0 ? "LPF Off, " : nLPF == 2 ? "100Hz, " : nLPF == 3 ? "150Hz, " : "40Hz, ";
    str += nAC == 0 ? "AC Off" : nAC == 1 ? "AC 50Hz" : "AC 60Hz";
    str += nMF == 1 ? ", EMG.    " : ".    ";
    return str;
}

CString DateText(const CEkgPatientInfo& p) {
    if (p.IsImperial()) {
        return TwoDigitTime("%02d-%02d-%04d  %02d:%02d", p.m_nMonth, p.m_nDay, p.m_nYear,
                            p.m_nHour, p.m_nMinute);
    }
    return TwoDigitTime("%04d-%02d-%02d  %02d:%02d", p.m_nYear, p.m_nMonth, p.m_nDay, p.m_nHour,
                        p.m_nMinute);
}

CString AgeText(const CEkgPatientInfo& p) {
    const char* pszUnit = p.m_strAgeUnit == "1" ? "weeks" : p.m_strAgeUnit == "2" ? "days" : "yrs.";
    return "Age : " + p.m_strAge + pszUnit + " Sex : " + p.m_strSex;
}

CString HeightWeightText(const CEkgPatientInfo& p) {
    const BOOL bImperial = p.IsImperial();
    const CBodySize size = ConvertBodySize(p.m_strHeight, p.m_strWeight, bImperial);
    if (bImperial) {
        return "H : " + std::to_string(size.nFeet) + "ft " + std::to_string(size.nInches) +
               "inch  W : " + std::to_string(size.nPounds) + "lbs";
    }
    return "H : " + p.m_strHeight + "cm  W : " + std::to_string(size.nKilograms) + "kg";
}

int RoundHalfUp(double dValue) { return static_cast<int>(dValue + 0.5); }

CBodySize ConvertBodySize(const CString& strHeight, const CString& strWeight, BOOL bImperial) {
    CBodySize size;
    const BOOL bPounds = strWeight.find('L') != CString::npos;
    if (bImperial) {
        const int nInches = RoundHalfUp(Number(strHeight) * kInchesPerCm);
        size.nFeet = nInches / 12;
        size.nInches = nInches % 12;
        size.nPounds = bPounds ? static_cast<int>(Number(WithoutL(strWeight)))
                               : RoundHalfUp(Number(strWeight) * kPoundsPerKg);
    } else {
        size.nKilograms = bPounds ? RoundHalfUp(Number(WithoutL(strWeight)) * kKgPerPound)
                                  : static_cast<int>(Number(strWeight));
    }
    return size;
}

}  // namespace ekgreport

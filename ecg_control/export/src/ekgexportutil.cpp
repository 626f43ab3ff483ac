#include "ecg_export/ekgexportutil.h"

#include <cmath>
#include <cstdlib>

namespace ekgexport {

namespace {
constexpr double kInchesPerCm = 0.393701;
constexpr double kPoundsPerKg = 2.20459;
constexpr double kKgPerPound = 0.45359908191545817;

// The number a patient text holds (leading blanks allowed, the rest ignored), 0 for none.
double Number(const CString& strText) {
    return std::atof(strText.c_str());
}

CString WithoutL(const CString& strText) {
    CString strOut;
    for (char ch : strText) {
        if (ch != 'L') {
            strOut += ch;
        }
    }
    return strOut;
}
}  // namespace

int RoundHalfUp(double dValue) {
    return static_cast<int>(std::trunc(dValue + 0.5));
}

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

const char* LeadName(int nLead) {
    static const char* const kNames[12] = {"I",  "II", "III", "aVR", "aVL", "aVF",
                                           "V1", "V2", "V3",  "V4",  "V5",  "V6"};
    return nLead >= 0 && nLead < 12 ? kNames[nLead] : "";
}

}  // namespace ekgexport

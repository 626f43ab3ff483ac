#include "spiro_control/spiroreporttext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "common/ZeqGF.h"

namespace spiroreport {

CString Int(long long n) {
    char sz[32];
    std::snprintf(sz, sizeof sz, "%lld", n);
    return sz;
}

CString Fixed(double dValue, int nDecimals) {
    char szText[400];
    const auto result =
        std::to_chars(szText, szText + sizeof szText, dValue, std::chars_format::fixed, nDecimals);
    return CString(szText, result.ptr);
}

double Number(const CString& strText) {
    const char* p = strText.c_str();
    const char* pEnd = p + strText.size();
    while (p < pEnd && *p == ' ') {
        ++p;
    }
    if (p < pEnd && *p == '+') {
        ++p;
    }
    double dValue = 0.0;
    const auto result = std::from_chars(p, pEnd, dValue);
    return (result.ec == std::errc() && std::isfinite(dValue)) ? dValue : 0.0;
}

long long ToInt(double dValue) {
    if (!std::isfinite(dValue)) {
        return 0;
    }
    return static_cast<long long>(std::clamp(dValue, -2e9, 2e9));
}

CString Info(const CSpiroTestFile& file, short nKind) {
    CString str = file.GetInformation(nKind);
    const std::size_t n = str.find('\0');
    return n == CString::npos ? str : str.substr(0, n);
}

CString HeightText(const CSpiroTestFile& file) {
    const CSpiroTestInfo& info = file.m_Info;
    if (info.m_nUnit != 0 || info.m_bPound) {
        const long long nInches = ToInt(Number(Info(file, 4)) * 0.393701 + 0.5);
        return "Height : " + Int(nInches / 12) + " ft " + Int(nInches % 12) + " inch";
    }
    return "Height : " + Info(file, 4) + " cm";
}

CString WeightText(const CSpiroTestFile& file) {
    const CSpiroTestInfo& info = file.m_Info;
    CString strText;
    for (char ch : Info(file, 5)) {
        if (ch != 'L') {
            strText += ch;
        }
    }
    if (info.m_bPound) {
        return "Weight : " + Int(ToInt(Number(strText))) + " lbs";
    }
    if (info.m_nUnit != 0) {
        return "Weight : " + Int(ToInt(Number(strText) * 2.20459 + 0.5)) + " lbs";
    }
    return "Weight : " + Int(ToInt(Number(strText))) + " Kg";
}

CString RaceText(const CSpiroTestFile& file) {
    const CString strRace = file.m_Info.GetRaceString();
    if (file.m_Info.m_nUnit != 0 && strRace == "Oriental") {
        return "Race : Asian";
    }
    return "Race : " + strRace;
}

CString SmokeText(const CSpiroTestFile& file) {
    const CString strSmoke = file.m_Info.GetSmokeString();
    if (!strSmoke.empty() && strSmoke[0] == 'Y') {
        return "Smoke : " + strSmoke + " ( " + file.m_Info.GetSmokePackString() + " : " +
               Info(file, 8) + " years )";
    }
    return "Smoke : " + strSmoke;
}

CString DateText(const CSpiroTestFile& file) {
    return Info(file, 11) + "/ " + Info(file, 12) + "/ " + Info(file, 10) + "  " + Info(file, 13) +
           ":" + Info(file, 14);
}

CResultLines ResultLines(const CSpiroTestFile& file, BOOL bPdf) {
    CResultLines lines;
    const short nType = file.GetTestType();
    const BOOL bExtended = file.GetFormat() >= 1;
    const CSpiroTestInfo& info = file.m_Info;
    auto v = [](double d) { return Fixed(d, 2); };
    if (nType == spirofile::kTypeFvc || nType == spirofile::kTypeFvcExt) {
        lines.strFormula = "FVC Prediction Formula : " + file.GetFormulaString();
        lines.strResult = "- Result : " + info.GetAnalysisString();
        if (bExtended) {
            lines.strExtrapolate = "Extrapolate Volume : " + v(file.m_Predict.GetFloat(46)) + "L";
            lines.strNormalRange = "- Normal range : within 0.15L or 5% of FVC (" +
                                   v(0.05 * file.m_Param.GetParam(nType, 0, 0)) + "L)";
        }
    } else if (nType == spirofile::kTypeFvcPost) {
        const CString strLead = bPdf ? " " : "";
        lines.strFormula = "FVC Prediction Formula : " + file.GetFormulaString();
        lines.strResult = strLead + "- Result : " + info.GetAnalysisString() + " / " +
                          info.GetAnalysisStringPost();
        if (bExtended) {
            lines.strExtrapolate = "Extrapolate Volume : " + v(file.m_Predict.GetFloat(46)) +
                                   "L / " + v(file.m_Predict.GetFloat(47)) + "L";
            lines.strNormalRange = strLead + "- Normal range : within 0.15L or 5% of FVC ( " +
                                   v(0.05 * file.m_Param.GetParam(5, 0, 0)) + "L / " +
                                   v(0.05 * file.m_Param.GetParam(5, 0, 2)) + "L )";
        }
    }
    return lines;
}

CString Ecode(const CSpiroParamTable& table, int nEntry) {
    CString str;
    for (int i = 0; i < CSpiroParamTable::kEcodeWidth; ++i) {
        const char ch = (nEntry >= 0 && nEntry < CSpiroParamTable::kEcodeTrials)
                            ? table.GetEcode(static_cast<short>(nEntry), static_cast<short>(i))
                            : 0;
        str += ch != 0 ? ch : ' ';
    }
    return str;
}

BOOL HasEcodeRow(const CSpiroTestFile& file) {
    return file.GetFormat() == 2 && spirofile::IsFvcType(file.GetTestType());
}

std::vector<CEcodeCell> EcodeRow(const CSpiroTestFile& file) {
    const CSpiroParamTable& table = file.m_Param;
    const CSpiroTestInfo& info = file.m_Info;
    auto pair = [&](int a, int b) { return Ecode(table, a) + " " + Ecode(table, b); };
    auto single = [&](int a) { return "_" + Ecode(table, a); };
    std::vector<CEcodeCell> cells;
    if (file.GetTestType() == spirofile::kTypeFvcPost) {
        cells.push_back({1, pair(7, info.m_nPostBestTrial + 3)});
        cells.push_back({3, pair(3, info.m_nBestTrial - 1)});
        for (int i = 0; i < 3; ++i) {
            cells.push_back({7 + i, single(4 + i)});
        }
        for (int i = 0; i < 3; ++i) {
            cells.push_back({10 + i, single(i)});
        }
    } else {
        cells.push_back({1, pair(3, info.m_nBestTrial - 1)});
        for (int i = 0; i < 3; ++i) {
            cells.push_back({4 + i, single(i)});
        }
    }
    return cells;
}

CString Heading(short nTestType, int k) {
    CString strHead = CSpiroParamTable::GetMeasureString(nTestType, static_cast<short>(k));
    return k > 5 ? ZeqGF::CompleteString(strHead.c_str(), 5) : strHead;
}

}  // namespace spiroreport

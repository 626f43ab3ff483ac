#include "acq_server/reports/spirotextreport.h"

#include <algorithm>
#include <cstdlib>

#include "platform/format.h"
#include "reporttext.h"

namespace acq_reports {

using namespace detail;

namespace {


const char* const kFvcRows[] = {
    "FVC                [L]     ",   "FIVC               [L]     ",
    "FEV 1              [L]     ",   "FEV 1/FVC          [%%]     ",
    "FEF 25-75%%        [LPS]    ",  "FEF 200-1200ml    [LPS]    ",
    "FIF 50%%           [LPS]    ",  "FEF 50%%/FIF 50%%    [ ]     ",
    "PEF               [LPS]    ",   "PEF 100%%          [sec]    ",
};
// FVC with flow-volume error codes (and before/after medication): ten rows, then four more
// in files of format 2 or later.
const char* const kFvlRows[] = {
    "FVC                [L]     ",   "FIV 1              [L]     ",
    "FEV 1/FVC          [%%]     ",  "FEV 200-1200ml    [LPS]    ",
    "FEF 25-75%%        [LPS]    ",  "FEF 75-85%%        [LPS]    ",
    "PEF               [LPS]    ",   "FEF 25%%           [LPS]    ",
    "FEF 50%%           [LPS]    ",  "FEF 75%%           [LPS]    ",
    "FIVC               [L]     ",   "FEV6               [L]     ",
    "PEFT              [sec]    ",   "FET 100%%          [sec]    ",
};
const char* const kSvcRows[] = {
    "SVC                [L]     ", "TV                 [L]     ", "ERV                [L]     ",
    "IRV                [L]     ", "EC                 [L]     ",
};
const char* const kMvvRows[] = {
    "MVV                [L]     ",
    "FB                [BPM]    ",
    "TV                 [L]     ",
};

const char kSixValues[] = "%6s %6s %6s     %6s %6s %6s\r\n";
const char kTwelveValues[] = "%6s  %6s %6s  %6s %6s %6s  %6s %6s %6s %6s %6s %6s\r\n";
const char kTwelveValuesInfo[] = "%6s %6s %6s %6s %6s %6s %6s %6s %6s %6s %6s %6s\r\n";
const char kFourValues[] = "%6s %6s %6s %6s\r\n";
const char kOneValue[] = "%6s\r\n";

const char kFvcHeader[] =
    "                             Best   Pred  %Pred      Meas1  Meas2  Meas2\r\n";
const char kPrePostHeader[] =
    "                             Base   %Pred   Post   %Pred   %CHG   Pred   M(B1)  M(B2)  "
    "M(B3)  M(P1)  M(P2)  M(P3)\r\n";
const char kPrePostHeaderInfo[] =
    "                             Base   %Pred   Post   %Pred  %CHG   Pred   M(B1)  M(B2)  "
    "M(B3)  M(P1)  M(P2)  M(P3)\r\n";
const char kSvcHeader[] = "                             Best  Meas1  Meas2  Meas3\r\n";

// One table row: the label, then each column's value as "%4.2f" in its "%6s" slot.
std::string Row(ISpiroReportValues& values, short nType, short nRow, const char* pszLabel,
                const char* pszValues, int nColumns) {
    std::string fmt = std::string(pszLabel) + pszValues;
    std::string cells[12];
    for (int c = 0; c < nColumns && c < 12; ++c) {
        cells[c] = Fixed2(values.GetParam(nType, nRow, static_cast<short>(c)));
    }
    return FillRow(fmt.c_str(), {cells[0], cells[1], cells[2], cells[3], cells[4], cells[5],
                                 cells[6], cells[7], cells[8], cells[9], cells[10], cells[11]});
}

template <std::size_t N>
void Rows(std::string& out, ISpiroReportValues& values, short nType, const char* const (&labels)[N],
          int nRows, const char* pszValues, int nColumns) {
    nRows = std::clamp(nRows, 0, static_cast<int>(N));
    for (int r = 0; r < nRows; ++r) {
        out += Row(values, nType, static_cast<short>(r), labels[r], pszValues, nColumns);
    }
}

// "%d%d%d %d%d%d" of two trials' three error digits.
std::string TwoCodes(ISpiroReportValues& values, short nFirst, short nSecond) {
    return platform::Format("%d%d%d %d%d%d", values.GetEcode(nFirst, 0), values.GetEcode(nFirst, 1),
                            values.GetEcode(nFirst, 2), values.GetEcode(nSecond, 0),
                            values.GetEcode(nSecond, 1), values.GetEcode(nSecond, 2));
}

// "   _ddd" for a trial with codes, "   _" for one whose first digit is negative.
std::string TrialCodes(ISpiroReportValues& values, short nTrial) {
    if (values.GetEcode(nTrial, 0) < 0) return "   _";
    return platform::Format("   _%d%d%d", values.GetEcode(nTrial, 0), values.GetEcode(nTrial, 1),
                            values.GetEcode(nTrial, 2));
}

// Rows of the error-code tables: fourteen in files of format 2 or later, else as many as
// the test's parameter table holds.
int FvlRowCount(ISpiroReportValues& values, short nType, short nVersion) {
    return nVersion >= 2 ? 14 : values.GetParamCount(nType, nVersion);
}

std::string TestTimeText(ISpiroReportValues& values) {
    // Asked in this order, so that a host sees year, month, day, hour and minute in turn.
    const std::string y = ZeroPad(values.GetInformation(10), 4);
    const std::string mo = ZeroPad(values.GetInformation(11), 2);
    const std::string d = ZeroPad(values.GetInformation(12), 2);
    const std::string h = ZeroPad(values.GetInformation(13), 2);
    const std::string mi = ZeroPad(values.GetInformation(14), 2);
    return y + "/" + mo + "/" + d + " " + h + ":" + mi;
}

bool IsImperial(ISpiroReportValues& values) {
    return std::atoi(values.GetInformation(27).c_str()) != 0;
}

std::string HeightWeight(ISpiroReportValues& values, const char* pszHeightKey,
                         const char* pszWeightKey, bool bAsStored = false) {
    const std::string strHeight = values.GetInformation(4);
    const std::string strWeight = values.GetInformation(5);
    if (!bAsStored && IsImperial(values)) return ImperialLines(strHeight, strWeight, pszHeightKey, pszWeightKey);
    return std::string(pszHeightKey) + strHeight + " cm\r\n" + pszWeightKey + strWeight + " kg\r\n";
}

}  // namespace

int WriteSpiroPatientSection(std::string& out, ISpiroReportValues& values) {
    out += "\r\n\n[Patient Information]\r\n";
    out += "- ID             = " + values.GetInformation(0) + "\r\n";
    out += "- Name           = " + values.GetInformation(1) + "\r\n";
    out += "- Age            = " + values.GetInformation(2) + "\r\n";
    out += "- Sex            = " + values.GetInformation(3) + "\r\n";
    out += HeightWeight(values, "- Height         = ", "- Weight         = ");
    out += "- Race           = " + values.GetRaceString() + "\r\n";
    out += "- Smoke          = " + values.GetSmokeString() + "\r\n";
    out += "- Smoke year     = " + values.GetInformation(8) + " year\r\n";
    out += "- Smoke pack     = " + values.GetSmokePackString() + "\r\n";
    out += "- Comment        = " + values.GetInformation(18) + "\r\n";
    return 1;
}

int WriteSpiroFvcTable(std::string& out, ISpiroReportValues& values) {
    out += "- Type           = FVC\r\n\n";
    out += "\r\n\r\n";
    out += kFvcHeader;
    Rows(out, values, 1, kFvcRows, 10, kSixValues, 6);
    return 1;
}

int WriteSpiroSvcTable(std::string& out, ISpiroReportValues& values) {
    out += "- Type           = SVC\r\n\n";
    out += kSvcHeader;
    Rows(out, values, 2, kSvcRows, 5, kFourValues, 4);
    return 1;
}

int WriteSpiroMvvTable(std::string& out, ISpiroReportValues& values) {
    out += "- Type           = MVV\r\n\n";
    Rows(out, values, 3, kMvvRows, 3, kOneValue, 1);
    return 1;
}

int WriteSpiroFvlTable(std::string& out, ISpiroReportValues& values) {
    const short nVersion = values.GetFileVersion();
    out += "- Type           = FVC\r\n\n";
    out += kFvcHeader;
    Rows(out, values, 4, kFvlRows, FvlRowCount(values, 4, nVersion), kSixValues, 6);
    if (nVersion >= 2) {
        const short b = static_cast<short>(values.GetBestNo() - 1);
        out += FillRow("FVL Ecode                 %7s                  ", {TwoCodes(values, 3, b)});
        for (short t = 0; t < 3; ++t) out += TrialCodes(values, t);
        out += "\r\n";
    }
    return 1;
}

int WriteSpiroFvcPrePostTable(std::string& out, ISpiroReportValues& values) {
    const short nVersion = values.GetFileVersion();
    out += "- Type           = FVC+\r\n\n";
    out += kPrePostHeader;
    Rows(out, values, 5, kFvlRows, FvlRowCount(values, 5, nVersion), kTwelveValues, 12);
    if (nVersion >= 2) {
        const short b = static_cast<short>(values.GetBestNo() - 1);
        const short p = static_cast<short>(values.GetBestNoPost() + 3);
        out += FillRow("FVL Ecode                 %7s        ", {TwoCodes(values, 7, p)});
        out += FillRow("%7s                       ", {TwoCodes(values, 3, b)});
        for (short t : {4, 5, 6, 0, 1, 2}) out += TrialCodes(values, t);
        out += "\r\n";
    }
    return 1;
}

int WriteSpiroDiagnosisSection(std::string& out, ISpiroReportValues& values) {
    out += "\r\n\n[Diagnosis Information]\r\n";
    const int nType = values.GetTestType();
    if (nType == 1 || nType == 4 || nType == 5) {
        out += "- Formula        = " + values.GetFormulaString() + "\r\n";
    }
    if (nType == 1 || nType == 4) {
        out += "- Result         = " + values.GetAnalysisString() + "\r\n";
    } else if (nType == 5) {
        const std::string strBase = values.GetAnalysisString();
        out += "- Result         = " + strBase + "/" + values.GetAnalysisStringPost() + "\r\n";
    }
    return 1;
}

int WriteSpiroHospitalSection(std::string& out, ISpiroReportValues& values) {
    out += "\r\n\n[Hospital Information]\r\n";
    out += "- Doctor         = " + values.GetInformation(17) + "\r\n";
    out += "- Hospital       = " + values.GetInformation(16) + "\r\n";
    return 1;
}

int WriteSpiroTextReport(const std::string& strPath, ISpiroReportValues& values,
                         const SReportSettings& settings, const SReportFiles& files,
                         std::time_t now) {
    const int nType = values.GetTestType();
    const bool bKnownType = nType >= 1 && nType <= 5;
    std::string out = "[Default Information]\r\n";
    out += "- Test Time      = " + TestTimeText(values) + "\r\n";
    out += "- Write Time     = " + MinuteText(now) + "\r\n";
    out += "- Company        = " + values.GetInformation(20) + "\r\n";
    out += "- S/W Ver.       = " + values.GetInformation(22) + "\r\n";
    // The MVV report's file line ends in a lone LF, as practice software has always read it.
    if (bKnownType) out += "- SPIRO FileName = " + files.strRecord + (nType == 3 ? "\n" : "\r\n");
    out += "- JPEG FileName  = " + (settings.bJpeg ? files.strJpeg : std::string()) + "\r\n";
    out += "- PDF FileName   = " + (settings.bPdf ? files.strPdf : std::string()) + "\r\n";
    out += "- DICOM FileName = " + (settings.bDicom ? files.strDicom : std::string()) + "\r\n";
    if (settings.bPatient) WriteSpiroPatientSection(out, values);
    if (settings.bParam && bKnownType) {
        out += "\r\n\n[Parameter Information]\r\n";
        switch (nType) {
        case 1: WriteSpiroFvcTable(out, values); break;
        case 2: WriteSpiroSvcTable(out, values); break;
        case 3: WriteSpiroMvvTable(out, values); break;
        case 4: WriteSpiroFvlTable(out, values); break;
        case 5: WriteSpiroFvcPrePostTable(out, values); break;
        }
    }
    if (settings.bDiag) WriteSpiroDiagnosisSection(out, values);
    if (settings.bHosp) WriteSpiroHospitalSection(out, values);
    out += "\r\n\nCompleteFlag   = 1";
    return WriteReportFile(strPath, out);
}

std::string SpiroInformationReportText(ISpiroReportValues& values, const SSpiroInfoOptions& options) {
    const int nType = values.GetTestType();
    const bool bPrePost = nType == 5 && options.bPrePostDiagnosis;
    std::string out = "[Information]\r\n";
    out += "Id=" + values.GetInformation(0) + "\r\n";
    out += "Name=" + values.GetInformation(1) + "\r\n";
    out += "Age=" + values.GetInformation(2) + "\r\n";
    out += "Sex=" + values.GetInformation(3) + "\r\n";
    out += HeightWeight(values, "Height=", "Weight=", options.bHeightWeightAsStored);
    out += "Race=" + values.GetRaceString() + "\r\n";
    out += "Smoke=" + values.GetSmokeString() + "\r\n";
    out += "Smoke year=" + values.GetInformation(8) + " year\r\n";
    out += "Smoke pack=" + values.GetSmokePackString() + "\r\n";
    out += "Doctor=" + values.GetInformation(17) + "\r\n";
    out += "Hospital=" + values.GetInformation(16) + "\r\n";
    out += "Test date=" + TestTimeText(values) + "\r\n";
    out += "Comment=" + values.GetInformation(18) + "\r\n";
    if (nType == 1 || nType == 4) {
        out += "Diagnosis=" + values.GetAnalysisString() + "\r\n";
    } else if (bPrePost) {
        const std::string strBase = values.GetAnalysisString();
        out += "Diagnosis=" + strBase + "/" + values.GetAnalysisStringPost() + "\r\n";
    }
    if (nType == 1 || nType == 4 || bPrePost) {
        out += "FVC Prediction Formula=" + values.GetFormulaString() + "\r\n";
    }
    switch (nType) {
    case 1:
        out += "\r\n[Parameter - FVC]\r\n";
        out += kFvcHeader;
        Rows(out, values, 1, kFvcRows, 10, kSixValues, 6);
        break;
    case 4:
        out += "\r\n[Parameter - FVC]\r\n";
        out += kFvcHeader;
        Rows(out, values, 4, kFvlRows, 10, kSixValues, 6);
        break;
    case 5:
        out += "\r\n[Parameter - FVC Base]\r\n";
        out += kPrePostHeaderInfo;
        Rows(out, values, 5, kFvlRows, 10, kTwelveValuesInfo, 12);
        break;
    case 2:
        out += "\r\n[Parameter - SVC]\r\n";
        out += kSvcHeader;
        Rows(out, values, 2, kSvcRows, 5, kFourValues, 4);
        break;
    case 3:
        out += "\r\n[Parameter - MVV]\r\n";
        Rows(out, values, 3, kMvvRows, 3, kOneValue, 1);
        break;
    default:
        break;
    }
    return out;
}

int WriteSpiroInformationReport(const std::string& strPath, ISpiroReportValues& values) {
    return WriteReportFile(strPath, SpiroInformationReportText(values));
}

}  // namespace acq_reports

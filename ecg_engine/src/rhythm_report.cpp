// The rhythm line of the text report: appended to the file that the engine's second
// argument names, in the working folder, with Windows text-mode line ends.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "ecg_engine/rhythm_stage.h"

namespace ecg_engine {

std::string ReportRecordName(const char* pszInputPath) {
    static const char* const kExtensions[] = {"rec", "REC", "dcd", "DCD",
                                              "ekg", "EKG", "raw", "RAW"};
    const std::string strPath = pszInputPath ? pszInputPath : "";
    std::size_t nEnd = strPath.size();
    for (std::size_t i = 0; i < strPath.size(); ++i) {
        if (strPath[i] != '.')
            continue;
        bool bMatch = false;
        for (const char* pszExt : kExtensions)
            bMatch = bMatch || strPath.compare(i + 1, 3, pszExt) == 0;
        if (bMatch) {
            nEnd = i;
            break;
        }
    }
    const std::size_t nSeparator = strPath.find_last_of("/\\", nEnd == 0 ? 0 : nEnd - 1);
    const std::size_t nStart =
        (nSeparator == std::string::npos || nSeparator >= nEnd) ? 0 : nSeparator + 1;
    return strPath.substr(nStart, nEnd - nStart);
}

bool WriteRhythmReport(const CEngineData& d, const char* pszInputPath, const char* pszReportPath) {
    const std::string strName = ReportRecordName(pszInputPath);
    std::string strLine = "\n- " + strName + " Rhy :  ";
    const int nCount = std::clamp(d.Finish.RhythmStatementCount, 0, kStatementSlots - 1);
    if (nCount == 0) {
        strLine += "Possible Normal Sinus Rhythm\n";
    } else {
        for (int k = 1; k <= nCount; ++k) {
            const auto& slot = d.RhythmStatementSlots[k];
            strLine.append(slot.data(), strnlen(slot.data(), kStatementSize - 1));
            strLine += k < nCount ? ", " : "\n";
        }
        if (d.Rhythm.VentricularMark == kVentricularMarkRhythm) {
            static const char* const kResult[5] = {
                "", "Normal ECG\n", "minimally abnormal or normal variation\n",
                "moderately abnormal\n", "markedly abnormal\n"};
            const int nSeverity = d.Finish.EcgSeverity;
            strLine += "- " + strName + " Res :  ";
            if (nSeverity >= 1 && nSeverity <= 4)
                strLine += kResult[nSeverity];
        }
    }
    // Text mode of the system the file is read on: every line feed as CR LF.
    std::string strBytes;
    strBytes.reserve(strLine.size() + 8);
    for (char c : strLine) {
        if (c == '\n')
            strBytes += '\r';
        strBytes += c;
    }

    std::FILE* pFile = (pszReportPath && *pszReportPath) ? std::fopen(pszReportPath, "ab") : nullptr;
    if (!pFile) {
        // The report is a side product: the result files are still written.
        std::printf("\n\n[%s] open error.\n", pszReportPath ? pszReportPath : "");
        std::fflush(stdout);
        return false;
    }
    const bool bWritten = std::fwrite(strBytes.data(), 1, strBytes.size(), pFile) == strBytes.size();
    return (std::fclose(pFile) == 0) && bWritten;
}

}  // namespace ecg_engine

// The morphology line of the text report: appended to the file of the rhythm line, with
// Windows text-mode line ends.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "ecg_engine/morphology_stage.h"
#include "ecg_engine/rhythm_stage.h"

namespace ecg_engine {

std::string MorphologyRecordName(const char* pszInputPath) {
    // The rhythm line's name (after the last folder, up to the record extension), cut at its
    // first dot: "a.b.ekg" is "a". Without a record extension the scan ends at the text's end.
    std::string strName = ReportRecordName(pszInputPath);
    const std::size_t nDot = strName.find('.');
    if (nDot != std::string::npos)
        strName.resize(nDot);
    return strName;
}

bool WriteMorphologyReport(const CEngineData& d, const char* pszInputPath,
                           const char* pszReportPath) {
    std::string strLine = "- " + MorphologyRecordName(pszInputPath) + " Mor :  ";
    const int nCount = std::clamp(d.Finish.WaveformStatementCount, 0, kStatementSlots - 1);
    for (int k = 1; k <= nCount; ++k) {
        const auto& slot = d.WaveformStatementSlots[k];
        strLine.append(slot.data(), strnlen(slot.data(), kStatementSize - 1));
        // A caveat stands on a line of its own after the statements.
        const bool bLineEnd = k == nCount || d.WaveformStatementSlots[k + 1][0] == '*';
        strLine += bLineEnd ? "\n" : ", ";
    }
    std::string strBytes;
    strBytes.reserve(strLine.size() + 8);
    for (char c : strLine) {
        if (c == '\n')
            strBytes += '\r';
        strBytes += c;
    }

    std::FILE* pFile =
        (pszReportPath && *pszReportPath) ? std::fopen(pszReportPath, "ab") : nullptr;
    if (!pFile) {
        // The report is a side product: the line is skipped and the result files are still
        // written.
        std::printf("\n\n[%s] open error.\n", pszReportPath ? pszReportPath : "");
        std::fflush(stdout);
        return false;
    }
    const bool bWritten =
        std::fwrite(strBytes.data(), 1, strBytes.size(), pFile) == strBytes.size();
    return (std::fclose(pFile) == 0) && bWritten;
}

}  // namespace ecg_engine

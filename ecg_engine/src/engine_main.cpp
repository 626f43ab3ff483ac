#include "ecg_engine/engine.h"

#include <unistd.h>

#include <climits>
#include <cstdio>

#include "ecg_engine/debug_output.h"
#include "ecg_engine/input_reader.h"
#include "ecg_engine/stages.h"
#include "ecg_engine/wave_stages.h"

namespace ecg_engine {

int ParseDecimal(const char* psz) {
    if (!psz)
        return 0;
    while (*psz == ' ' || (*psz >= '\t' && *psz <= '\r'))
        ++psz;
    bool bNegative = false;
    if (*psz == '+' || *psz == '-')
        bNegative = (*psz++ == '-');
    long long nValue = 0;
    for (; *psz >= '0' && *psz <= '9'; ++psz) {
        if (nValue <= static_cast<long long>(INT_MAX) + 1)
            nValue = nValue * 10 + (*psz - '0');
    }
    if (bNegative)
        nValue = -nValue;
    if (nValue > INT_MAX)
        return INT_MAX;
    if (nValue < INT_MIN)
        return INT_MIN;
    return static_cast<int>(nValue);
}

void ReportFatal(const char* pszLine) {
    std::fputs(pszLine, stdout);
    std::fputs("Press [Enter] to quit....", stdout);
    std::fflush(stdout);
    if (::isatty(STDIN_FILENO))
        (void)std::getchar();
}

int RunStep(CEngineData& d, int nStep) {
    if (nStep == 0)
        return 0;
    if (nStep == 1)
        return ReadInputRecord(d) != 0 ? -1 : 0;
    const bool bDebugStep =
        (nStep >= 2 && nStep <= 7) || nStep == 10 || (nStep >= 14 && nStep <= 16);
    if (!bDebugStep)
        return -1;
    // The older build writes no debug output at all.
    if (!d.WritesDebugOutput())
        return 0;
    switch (nStep) {
        case 2:
            return DumpRawLeads(d) > 0 ? -1 : 0;
        case 3:
            return DumpFilteredLeads(d) > 0 ? -1 : 0;
        case 4:
            return DumpDetection(d) > 0 ? -1 : 0;
        case 5:
            return DumpQrsRecognition(d) > 0 ? -1 : 0;
        case 6:
            return DumpTOffset(d) > 0 ? -1 : 0;
        case 7:
            return DumpPWave(d) > 0 ? -1 : 0;
        // Debug files are best effort: a file that cannot be made is reported by its writer
        // and never stops the analysis or its result files.
        case 10:
            (void)WriteDebugDataFile(d);
            return 0;
        case 14:
            (void)WriteSignalQualityLog(d);
            return 0;
        case 15:
            (void)WriteQrsRecognitionLog(d);
            return 0;
        case 16:
            (void)WriteMeasurementLog(d);
            return 0;
        default:
            return -1;
    }
}

int RunAnalysisPipeline(CEngineData& d) {
    InitAnalysis(d);
    const bool bFilter = d.Variant == EEngineVariant::Zorvik21 || d.AnalysisMode != 2;
    if (bFilter && RunFilterStage(d) != 0) {
        FinishAnalysis(d);
        return 0;
    }
    int (*const aStages[])(CEngineData&) = {RunQrsDetectionStage, RunQrsRecognitionStage,
                                            RunTOffsetStage,      RunPWaveStage,
                                            AssembleMeasurements, RunInterpretation};
    for (auto* pStage : aStages) {
        if (pStage(d) != 0)
            break;
    }
    FinishAnalysis(d);
    return 0;
}

int EngineMain(CEngineData& d, int argc, char** argv) {
    d.Arguments.clear();
    for (int i = 1; i < argc; ++i)
        d.Arguments.push_back(argv[i]);
    for (auto& row : d.InputLeads)
        row.fill(0);

    if (RunStep(d, 1) != 0)
        return -1;
    // Results of an earlier run must not pass for this record's if this run cannot write.
    RemoveEarlierResultFiles(d);
    if (RunStep(d, 2) != 0)
        return -1;

    // A number the launcher left out reads as 0.
    auto Number = [&d](std::size_t nIndex) {
        return nIndex < d.Arguments.size() ? ParseDecimal(d.Arguments[nIndex]) : 0;
    };
    d.FilterSettings.nAC = static_cast<std::uint8_t>(Number(1) & 0xFF);
    d.FilterSettings.nLPF = static_cast<std::uint8_t>(Number(2) & 0xFF);
    d.FilterSettings.nBF = static_cast<std::uint8_t>(Number(3) & 0xFF);
    d.FilterSettings.nMF = static_cast<std::uint8_t>(Number(4) & 0xFF);
    if (d.Variant == EEngineVariant::Zorvik31) {
        const int nMode = Number(5);
        d.AnalysisMode = (nMode < 0 || nMode > 2) ? 1 : nMode;
        d.InterpretationContext.nLanguage = Number(6);
    } else {
        // The older build has no mode or language: its own filter set, English statements.
        d.AnalysisMode = 1;
        d.InterpretationContext.nLanguage = 0;
    }
    RunAnalysisPipeline(d);
    // The control reads the result file on exit code 0 only: an incomplete one is a failure.
    return d.Finish.bResultFileWritten ? 0 : 1;
}

}  // namespace ecg_engine

#include "ecg_control/link/recordcompletion.h"

#include <ctime>

#include "ecg_control/ekgfile.h"

namespace ekglink {

CString ResultPathFor(const CString& strInput) {
    const std::size_t nSlash = strInput.find_last_of('/');
    const std::size_t nDot = strInput.find_last_of('.');
    const bool bHasExt = nDot != CString::npos && (nSlash == CString::npos || nDot > nSlash + 1);
    return (bHasExt ? strInput.substr(0, nDot) : strInput) + ".ksi";
}

int EngineModeFor(int nRecordMode) {
    return (nRecordMode >= 0 && nRecordMode <= 2) ? nRecordMode : 1;
}

CCompletionResult CompleteRecording(CWaveBuffer& wave, CEkgRecordInfo& info,
                                    CMorphologyTable& morph, int nItems,
                                    const CString& strEngineDir, int nLanguage,
                                    CEngineLauncher& launcher) {
    CCompletionResult result;
    if (nItems < kMinRecordItems) {
        result.outcome = ECompletion::kSignalNotGood;
        return result;
    }
    result.strInput = WriteEngineInputTo(&wave, strEngineDir);
    if (result.strInput.empty()) {
        result.outcome = ECompletion::kInputNotWritten;
        return result;
    }

    const auto& filter = info.GetFilterItem();  // 0x22, 4, nAC, nLPF, nBF, nMF
    auto setting = [&](int i) { return static_cast<int>(static_cast<signed char>(filter[2 + i])); };
    const int nExit = launcher.RunZorvik31Ex(result.strInput, setting(0), setting(1), setting(2),
                                             setting(3), EngineModeFor(info.GetAnalysisMode()),
                                             nLanguage);
    if (nExit != 0) return result;

    result.strResult = ResultPathFor(result.strInput);
    CEkgPatientInfo patient;
    patient.CopyValuesFrom(info.m_patient);
    patient.m_nUnit = info.m_patient.m_nUnit;
    const std::vector<DWORD> marks = wave.m_adwMarks;
    const short nMode = info.GetAnalysisMode();
    if (!ReadEkgFile(result.strResult, &wave, &info, &morph, 0)) return result;

    info.m_patient.CopyValuesFrom(patient);
    info.m_patient.m_nUnit = patient.m_nUnit;
    info.SetAnalysisMode(nMode);
    wave.m_adwMarks = marks;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    info.SetTime(static_cast<short>(local.tm_year + 1900), static_cast<short>(local.tm_mon + 1),
                 static_cast<short>(local.tm_mday), static_cast<short>(local.tm_hour),
                 static_cast<short>(local.tm_min));
    if (!marks.empty()) {
        info.RemoveAllStatements();
        info.AddStatement("Pacemaker Rhythm");
        info.AddStatement("[Abnormal ECG]");
    }
    result.outcome = ECompletion::kCompleted;
    return result;
}

}  // namespace ekglink

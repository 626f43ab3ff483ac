#include "ecg_control/link/enginelauncher.h"

#include <string>
#include <vector>

#include "ecg_control/link/linksettings.h"
#include "platform/folders.h"
#include "platform/process.h"

CEngineLauncher::CEngineLauncher()
    : m_nTimeoutMs(ekglink::CLinkSettings::Current().nEngineTimeoutMs), m_strEngine(EnginePath()) {}

CString CEngineLauncher::EnginePath() {
    return platform::ProgramDir() + "Zorvik31";
}

int CEngineLauncher::RunZorvik31Ex(const CString& strInput, int nAC, int nLPF, int nBF, int nMF,
                                   int nMode, int nLang) {
    if (nAC != -1) m_nAC = nAC;
    if (nLPF != -1) m_nLPF = nLPF;
    if (nBF != -1) m_nBF = nBF;
    if (nMF != -1) m_nMF = nMF;
    const CString& strEngine = m_strEngine;
    const std::size_t nSlash = strInput.find_last_of('/');
    const CString strWorkDir = nSlash == CString::npos ? CString() : strInput.substr(0, nSlash + 1);
    const std::vector<std::string> argv = {
        strEngine,           strInput,           std::to_string(m_nAC), std::to_string(m_nLPF),
        std::to_string(m_nBF), std::to_string(m_nMF), std::to_string(nMode), std::to_string(nLang)};
    const platform::ProcessResult result = platform::RunProcess(argv, m_nTimeoutMs, strWorkDir);
    if (!result.bStarted || result.bTimedOut || result.bSignalled) return -1;
    return result.nExitCode;
}

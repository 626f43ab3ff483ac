#pragma once
// Runs the analysis engine Zorvik31 on one record file and waits for it.
//
// The engine is the program "Zorvik31" in the folder of the host program (/proc/self/exe,
// never the control library's), started with eight arguments (path, input, four filter
// settings, mode, language; no quoting), standard input from /dev/null, the input file's
// folder as working folder (its report file lands there), and a time limit.
#include "platform/wintypes.h"

class CEngineLauncher {
public:
    CEngineLauncher();
    virtual ~CEngineLauncher() = default;

    // The engine's exit code; -1 when it did not start, was killed at the time limit or
    // ended by a signal. A filter argument of -1 keeps the stored setting.
    int RunZorvik31Ex(const CString& strInput, int nAC, int nLPF, int nBF, int nMF, int nMode,
                      int nLang);

    // Where the engine is looked for.
    static CString EnginePath();

    int m_nAC = 2, m_nLPF = 3, m_nBF = 1, m_nMF = 0;
    int m_nTimeoutMs;
    CString m_strEngine;  // EnginePath() unless a test puts another program there
};

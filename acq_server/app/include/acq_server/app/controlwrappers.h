#pragma once
// Thin wrappers of the two hidden controls the server hosts: each method is one call by
// dispatch identifier with fixed argument types, nothing more. A wrapper whose control
// could not be created answers every call with the failure value of its result.
#include <memory>
#include <string>

#include "ecg_control/host/wavelin.h"
#include "platform/dispatch.h"
#include "platform/wintypes.h"

class QWidget;

// CControlWrapper and CWavelin are the ECG control's host wrapper, shared with the viewer.

// The spirometry control, as far as the server calls it.
class CFlowlin : public CControlWrapper {
public:
    bool Create(QWidget* pParent, std::string* pError = nullptr);

    short Open(const char* pszPath, short nType);
    short GetTestType();
    short GetParamCount(short nTestType, short nFileVer);
    float GetParam(short nTestType, short nKind, short nDepth);
    CString GetInformation(short nKind);
    void SetInformation(short nKind, const char* pszValue);
    short SaveJPEG(const char* pszPath, short nWidth);
    CString GetRaceString();
    CString GetSmokeString();
    CString GetSmokePackString();
    CString GetAnalysisString();
    CString GetFormulaString();
    CString GetAnalysisStringPost();
    short GetFileVersion();
    short SavePDF(const char* pszPath, short nWidth);
    short GetEcode(short nTrial, short nPosition);
    short GetBestNo();
    short GetBestNoPost();
};

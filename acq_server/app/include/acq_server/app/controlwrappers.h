#pragma once
// Thin wrappers of the two hidden controls the server hosts: each method is one call by
// dispatch identifier with fixed argument types, nothing more. A wrapper whose control
// could not be created answers every call with the failure value of its result.
#include <memory>
#include <string>

#include "platform/dispatch.h"
#include "platform/wintypes.h"

class QWidget;

class CControlWrapper {
public:
    virtual ~CControlWrapper();
    // Creates the control by class identifier as a hidden child of parent. FALSE with the
    // reason in *pError when it cannot be had.
    bool Create(const char* pszClsid, QWidget* pParent, std::string* pError = nullptr);
    bool IsCreated() const { return m_pControl != nullptr; }
    void Destroy();
    platform::CDispatchControl* Control() const { return m_pControl.get(); }

protected:
    platform::Variant Call(platform::DISPID id, std::vector<platform::Variant> args = {});

private:
    std::unique_ptr<platform::CDispatchControl> m_pControl;
};

// The ECG control, as far as the server calls it.
class CWavelin : public CControlWrapper {
public:
    bool Create(QWidget* pParent, std::string* pError = nullptr);

    BOOL EKGOpenFile(const char* pszPath);
    BOOL EKGSetGraphPen(short nStyle, short nWidth, long crColor);
    BOOL EKGMakeImage(const char* pszPath, short nType, short nGain, short nRhythm, short nWidth,
                      short nFilter);
    short EKGGetRhythmParam(short nIndex);
    short EKGGetAnalysisCnt();
    CString EKGGetAnalysis(short nIndex);
    CString EKGGetPatientInfo(short nIndex);
    CString EKGGetMisc(short nIndex);
    void EKGSetMisc(short nIndex, const char* pszText);
    CString EKGGetTime();
    BOOL EKGMakePDF(const char* pszPath, short nType, short nGain, short nRhythm, short nWidth);
    // The control returns a count; the wrapper declares a BOOL.
    BOOL EKGConnectedSearch(short nTimeout);
    void EKGSetIPExchangeType(short nType);
    BOOL EKGMakeXML(const char* pszPath);
};

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

#pragma once
// The spirometry control as its hosts (the acquisition server and the spirometry viewer)
// call it: one member per dispatch member they use, each one late-bound call with the
// argument types of flowlin_dispids.h. Without a control a member gives its failure value
// (a negative result where the control answers with codes, otherwise 0, FALSE or an empty
// text).
#include "ecg_control/host/controlwrapper.h"

class CFlowlin : public CControlWrapper {
public:
    static constexpr const char* kLibraryName = "libFlowlin.so";
    // As CWavelin::Create: a host that carries the control library beside itself passes
    // kLibraryName so that a user without a control registry gets it registered.
    bool Create(QWidget* pParent, UINT nCtrlId = 0, std::string* pError = nullptr,
                const char* pszLibraryBeside = nullptr);
    bool Create(QWidget* pParent, std::string* pError) { return Create(pParent, 0, pError); }

    // Properties
    short GetFVCGraphType();
    void SetFVCGraphType(short n);
    void SetGridSize(short n);
    void SetPrintDiagnosis(BOOL b);
    void SetPrintComment(BOOL b);
    short GetFVCGraphNum();
    void SetFVCGraphNum(short n);

    // Methods
    void Clear();
    short Open(const char* pszPath, short nType);
    short Save(const char* pszPath);
    BOOL SetPenGrid(short nStyle, short nWidth, long crColor);
    BOOL SetPenGraph(short nStyle, short nWidth, long crColor);
    BOOL SetPenReference(short nStyle, short nWidth, long crColor);
    short GetTestType();
    short GetParamCount(short nTestType, short nFileVer);
    short GetParamDepth(short nTestType);
    CString GetParamLabelString(short nTestType, short nKind);
    CString GetParamUnitString(short nTestType, short nKind);
    CString GetMeasureString(short nTestType, short nKind);
    float GetParam(short nTestType, short nKind, short nDepth);
    CString GetInformation(short nKind);
    void SetInformation(short nKind, const char* pszValue);
    short SaveJPEG(const char* pszPath, short nWidth);
    short PrintEx(const char* pszPrinter, short nCopies);
    short PrintPreview();
    CString GetRaceString();
    CString GetSmokeString();
    CString GetSmokePackString();
    CString GetAnalysisString();
    CString GetFormulaString();
    BOOL IsPound();
    CString GetAnalysisStringPost();
    BOOL SetPenGraphPost(short nStyle, short nWidth, long crColor);
    short GetFileVersion();
    short SaveBMP(const char* pszPath, short nWidth);
    short SavePDF(const char* pszPath, short nWidth);
    short GetEcode(short nTrial, short nPosition);
    short GetTrialNum();
    short GetBestNo();
    short GetBestNoPost();
    BOOL SetPDFPenGrid(short nStyle, short nWidth, long crColor);
    BOOL SetPDFPenGraph(short nStyle, short nWidth, long crColor);
    BOOL SetPDFPenGraphPost(short nStyle, short nWidth, long crColor);
    BOOL SetPDFPenReference(short nStyle, short nWidth, long crColor);
};

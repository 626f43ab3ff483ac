#pragma once
// The ECG control as its hosts (the acquisition server and the ECG viewer) call it: one
// member per dispatch method they use, each one late-bound call with the argument types of
// wavelin_dispids.h; results are returned as the control gives them. Without a control a
// member gives its failure value (FALSE, 0, empty text).
#include "ecg_control/host/controlwrapper.h"

class CWavelin : public CControlWrapper {
public:
    static constexpr const char* kLibraryName = "libWavelin.so";
    // The control as a child of pParent with the host's control id nCtrlId. A host that
    // carries the control library beside itself passes kLibraryName, so that a user with
    // no control registry yet gets it registered from there; the server instead relies on
    // the registration its start script makes.
    bool Create(QWidget* pParent, UINT nCtrlId = 0, std::string* pError = nullptr,
                const char* pszLibraryBeside = nullptr);
    bool Create(QWidget* pParent, std::string* pError) { return Create(pParent, 0, pError); }

    void EKGInitialize(short nChType, short nGain, short nSpeed, short nRhyCh, short nCellSize,
                       short nBorderCount);
    void EKGSetCellSize(short nCellSize);
    BOOL EKGSetGridPen(short nStyle, short nWidth, long crColor);
    BOOL EKGSetGridInnerPen(short nStyle, short nWidth, long crColor);
    void EKGSetBackColor(long crColor);
    void EKGClearGraph();
    BOOL EKGOpenFile(const char* pszPath);
    BOOL EKGSaveFile(const char* pszPath);
    BOOL EKGStartMonitoring(const char* pszAddress, short nTimeout);
    BOOL EKGStopMonitoring();
    BOOL EKGStartRecording(const char* pszAddress, short nTimeout);
    void EKGSetChType(short n);
    void EKGSetRhyCh(short n);
    void EKGSetGain(short n);
    void EKGSetSpeed(short n);
    BOOL EKGSetGraphPen(short nStyle, short nWidth, long crColor);
    short EKGPrint(const char* pszPrinter, short nGain, short nChType, short nRhyCh);
    CString EKGGetPrintError();
    BOOL EKGSetPrintGraphPen(short nStyle, short nWidth, long crColor);
    BOOL EKGSetPrintGridPen(short nStyle, short nWidth, long crColor);
    BOOL EKGSetPrintGridInnerPen(short nStyle, short nWidth, long crColor);
    BOOL EKGMakeImage(const char* pszPath, short nChType, short nGain, short nRhyCh, short nWidth,
                      short nSmoothing);
    short EKGGetRhythmParam(short nKind);
    short EKGGetMorphologyParam(short nKind, short nLead);
    short EKGGetAnalysisCnt();
    CString EKGGetAnalysis(short nIndex);
    CString EKGGetPatientInfo(short nIndex);
    CString EKGGetComment();
    void EKGSetComment(const char* pszText);
    void EKGSetPatientInfo(short nIndex, const char* pszText);
    void EKGSetFilterInfo(short n1, short n2, short n3, short n4);
    CString EKGGetMisc(short nIndex);
    void EKGSetMisc(short nIndex, const char* pszText);
    void EKGEnableMagnifyGlass(short bOn, short nCellSize, short nGridCount);
    void EKGEnableMeasure(short bOn);
    CString EKGGetTime();
    void EKGSetPrintDiag(short n);
    void EKGSetPrintParam(short n);
    void EKGSetPrintComment(short n);
    short EKGPrintPreview(short nGain, short nChType, short nRhyCh);
    void EKGShowPacemaker(short n);
    void EKGSetPrintPacemaker(short n);
    BOOL EKGMakePDF(const char* pszPath, short nChType, short nGain, short nRhyCh, short nWidth);
    BOOL EKGMakeImageBMP(const char* pszPath, short nChType, short nGain, short nRhyCh,
                         short nWidth, short nSmoothing);
    short EKGGetConnectedEKGCnt();
    CString EKGGetConnectedEKGInfo(short nIndex);
    CString EKGGetConnectedEKGID(short nIndex);
    CString EKGGetConnectedEKGIP(short nIndex);
    short EKGConnectedSearch(short nTimeout);
    void EKGSetIPExchangeType(short nType);
    BOOL EKGMakeXML(const char* pszPath);
    void EKGSetLanguage(short nLanguage);
    BOOL SetBackColor(long crColor);
    BOOL SetGrid(short nStyle, short nWidth, long crColor);
    BOOL SetGrid_Inner(short nStyle, short nWidth, long crColor);
    BOOL SetGraph(short nStyle, short nWidth, long crColor);
};

#pragma once
// What the DICOM exports read of the control that holds the record: the few dispatch
// methods they call and, for ECG, the layout of the window that shows it. The hosts (the
// viewers, the server) implement these over their control wrappers; the exports never
// see the controls themselves.
#include "platform/wintypes.h"

// The ECG control with a record loaded.
class IEkgDicomSource {
public:
    virtual ~IEkgDicomSource() = default;
    virtual CString EKGGetPatientInfo(short nIndex) = 0;
    virtual CString EKGGetMisc(short nIndex) = 0;
    virtual CString EKGGetTime() = 0;
    virtual BOOL EKGMakeImage(const CString& strPath, short nChType, short nGain, short nRhyCh,
                              short nWidth, short bFilter) = 0;
    virtual BOOL EKGMakeImageBMP(const CString& strPath, short nChType, short nGain, short nRhyCh,
                                 short nWidth, short bFilter) = 0;
    // The graph window's current channel layout, gain and rhythm lead.
    virtual short GetChType() = 0;
    virtual short GetGain() = 0;
    virtual short GetRhyCh() = 0;
};

// The spirometry control holding the test.
class ISpiroDicomSource {
public:
    virtual ~ISpiroDicomSource() = default;
    virtual CString GetInformation(short nKind) = 0;
    virtual short GetTestType() = 0;
    virtual short SaveBMP(const CString& strPath, short nWidth) = 0;
    virtual short SaveJPEG(const CString& strPath, short nWidth) = 0;
};

#pragma once
// DICOM file of the spirometry test a control holds: a Secondary Capture object with the
// report page as its picture and the test's curves as 32-bit samples ("SL") in its
// waveform, built by OxuDcmLib. Same counters, UIDs, dates and times as the ECG export;
// no message is shown.
//
// The test kind comes from the control (GetTestType: 1, 4, 5 FVC; 2 SVC; 3 MVV), never
// from the DICOM file name, and the picture is made from the test the control holds: a
// name such as "exam.dcm" loses nothing and no other file is opened into the control.
#include "acq_server/dicom/dicomexportcommon.h"
#include "acq_server/dicom/dicomsource.h"

class CDcmDataPatient;
class CDcmDataStudy;
class CDcmDataSeries;
class CDcmDataInstance;
class CDcmDataWaveform;

class CSpiroDicomExport {
public:
    explicit CSpiroDicomExport(dicomexport::CExportSettings settings);
    virtual ~CSpiroDicomExport() = default;

    // strTestPath: the test file the control holds (the samples are read from it). Image
    // type 0 or 1: bitmap picture (grey or RGB), 2: JPEG. The value SaveAs returned (1)
    // when saved, else 0 (any other image type: 0 with no file made).
    int MakeDicomFile(const CString& strTestPath, const CString& strDicomPath,
                      ISpiroDicomSource& control, int nImageType);

    CString MakeStudyUid() const;
    CString MakeSeriesUid() const;
    CString MakeInstanceUid() const;

    LONG m_nStudy = 0, m_nSeries = 0, m_nInstance = 0;

private:
    void NextIds();
    void FillPatientData(CDcmDataPatient& patient, ISpiroDicomSource& control);
    void FillStudyData(CDcmDataStudy& study, ISpiroDicomSource& control);
    void FillSeriesData(CDcmDataSeries& series, ISpiroDicomSource& control);
    void FillInstanceData(CDcmDataInstance& instance, ISpiroDicomSource& control);
    bool FillWaveformData(CDcmDataWaveform& wave, short nTestType, const CString& strTestPath);

    dicomexport::CExportSettings m_settings;
    dicomexport::CExportIds m_ids;
};

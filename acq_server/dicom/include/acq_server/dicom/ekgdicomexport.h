#pragma once
// DICOM file of the ECG record a control holds: a Secondary Capture object with the report
// page as its picture and the record's 12 x 5000 samples as its waveform, built by
// OxuDcmLib. One object per export; no message is shown (the caller reports a 0).
//
// Unlike the design it follows, the file is judged by the library's own save alone: the
// Pixel Data length is never rewritten afterwards (the library's element is right), and
// the picture is a unique file in the private temporary folder, removed in every case.
#include "acq_server/dicom/dicomexportcommon.h"
#include "acq_server/dicom/dicomsource.h"

class CDcmDataPatient;
class CDcmDataStudy;
class CDcmDataSeries;
class CDcmDataInstance;
class CDcmDataWaveform;

class CEkgDicomExport {
public:
    explicit CEkgDicomExport(dicomexport::CExportSettings settings);
    virtual ~CEkgDicomExport() = default;

    // Image type 0 or 1: bitmap picture (grey or RGB), 2: JPEG picture. Samples come from
    // the record file at strRecordPath (the file the control has loaded). The value SaveAs
    // returned (1) when the file was saved, else 0.
    int MakeDicomFile(const CString& strDicomPath, IEkgDicomSource& control, int nImageType,
                      const CString& strRecordPath);

    static CDcmDateTime ParseDate(const CString& strText) { return dicomexport::ParseDate(strText); }
    static CDcmDateTime ParseTime(const CString& strText) { return dicomexport::ParseTime(strText); }
    CString MakeStudyUid() const;
    CString MakeSeriesUid() const;
    CString MakeInstanceUid() const;

    LONG m_nStudy = 0, m_nSeries = 0, m_nInstance = 0;

private:
    void NextIds();
    void FillPatientData(CDcmDataPatient& patient, IEkgDicomSource& control);
    void FillStudyData(CDcmDataStudy& study, IEkgDicomSource& control, const CString& strTime);
    void FillSeriesData(CDcmDataSeries& series, IEkgDicomSource& control, const CString& strTime);
    void FillInstanceData(CDcmDataInstance& instance, const CString& strTime);
    bool FillWaveformData(CDcmDataWaveform& wave, const CString& strRecordPath);
    bool MakeImageFiles(const CString& strPicture, IEkgDicomSource& control, bool bBitmap);

    dicomexport::CExportSettings m_settings;
    dicomexport::CExportIds m_ids;
};

// The record's DICOM file through the DICOM library: 12-lead ECG waveform storage filled
// from the rows, the picture of the converter when there is one.
#include <cstdlib>

#include "oxudcm/dcmtkdicomfile.h"
#include "server_lib/oxudbdatamanager.h"

namespace {

constexpr const char* kEcgWaveformStorage = "1.2.840.10008.5.1.4.1.1.9.1.1";

int Digits(const CString& s, std::size_t at, std::size_t n) {
    return std::atoi(s.substr(at, n).c_str());
}

bool AllDigits(const CString& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == CString::npos;
}

// "YYYYMMDD"; anything else is no date.
CDcmDateTime DateOf(const CString& s) {
    if (s.size() != 8 || !AllDigits(s))
        return CDcmDateTime();
    return CDcmDateTime::Date(Digits(s, 0, 4), Digits(s, 4, 2), Digits(s, 6, 2));
}

// "HHMMSS" or "HHMM"; anything else is no time.
CDcmDateTime TimeOf(const CString& s) {
    if ((s.size() != 6 && s.size() != 4) || !AllDigits(s))
        return CDcmDateTime();
    return CDcmDateTime::Time(Digits(s, 0, 2), Digits(s, 2, 2), s.size() == 6 ? Digits(s, 4, 2) : 0);
}

// "YYYYMMDDHHMMSS"; with only 12 digits the seconds are taken as 01.
CDcmDateTime DateTimeOf(const CString& s) {
    if ((s.size() != 14 && s.size() != 12) || !AllDigits(s))
        return CDcmDateTime();
    return CDcmDateTime::DateTime(Digits(s, 0, 4), Digits(s, 4, 2), Digits(s, 6, 2),
                                  Digits(s, 8, 2), Digits(s, 10, 2),
                                  s.size() == 14 ? Digits(s, 12, 2) : 1);
}

}  // namespace

BOOL OxuWriteDicom(const COxuDbDataManager::CRows& rows, const CString& strDicomPath,
                   const CString& strJpegPath, BOOL bWithJpeg, CString& strError) {
    CDcmTkEcgData dicom;

    CDcmDataPatient patient;
    patient.m_strPatientId = rows.patient.m_strPatientID;
    patient.m_strName = rows.patient.m_strName;
    patient.m_dtBirthDate = DateOf(rows.patient.m_strBirthDate);
    patient.m_strSex = rows.patient.m_strSex;
    patient.m_strComments = rows.patient.m_strComments;
    dicom.AddPatientData(patient);

    const COxuDbStudy& st = rows.study;
    CDcmDataStudy study;
    study.m_strStudyUid = st.m_strStudyUID;
    study.m_dtStudyDate = DateOf(st.m_strStudyDate);
    study.m_dtStudyTime = TimeOf(st.m_strStudyTime);
    study.m_strReferringPhysician = st.m_strDoctor;
    study.m_strStudyId = std::to_string(st.m_nStudyKey);
    study.m_strAccessionNumber = st.m_strAccessionNo;
    study.m_strDescription = st.m_strStudyType;
    study.m_strPatientAge = st.m_strAge;
    study.m_strPatientSize = st.m_strHeight;
    study.m_strPatientWeight = st.m_strWeight;
    dicom.AddStudyData(study);

    const COxuDbSeries& se = rows.series;
    CDcmDataSeries series;
    series.m_strModality = se.m_strModality;
    series.m_strSeriesUid = se.m_strSeriesUID;
    series.m_strSeriesNumber = std::to_string(se.m_nSeriesNumber);
    series.m_dtSeriesDate = DateOf(se.m_strSeriesDate);
    series.m_dtSeriesTime = TimeOf(se.m_strSeriesTime);
    series.m_strOperator = se.m_strOperator;
    series.m_strDescription = se.m_strSeriesDesc;
    series.m_strBodyPart = se.m_strBodyPart;
    series.m_strManufacturer = se.m_strManufacturer;
    series.m_strInstitution = se.m_strInstitution;
    series.m_strStationName = se.m_strStation;
    series.m_strModelName = se.m_strModel;
    series.m_strSoftwareVersions = se.m_strSoftware;
    dicom.AddSeriesData(series);

    const COxuDbInstance& in = rows.instance;
    CDcmDataInstance instance;
    instance.m_strInstanceNumber = std::to_string(in.m_nInstanceNumber);
    instance.m_dtContentDate = DateOf(in.m_strDate);
    instance.m_dtContentTime = TimeOf(in.m_strTime);
    instance.m_dtAcquisition = DateTimeOf(in.m_strDateTime);
    instance.m_strSopClassUid = kEcgWaveformStorage;
    instance.m_strSopInstanceUid = in.m_strInstanceUID;
    dicom.AddInstanceData(instance);

    const COxuDbWaveform& w = rows.waveform;
    CDcmDataWaveform wave;
    wave.SetOriginality(w.m_strOriginality);
    wave.SetChannelNo(static_cast<short>(w.m_nChannels));
    wave.SetSamplesNo(w.m_nSamples);
    wave.SetSampleFrequency(w.m_nFrequency);
    wave.SetWFBitsAllocated(static_cast<short>(w.m_nBitsAllocated));
    wave.SetSampleInterpretation(w.m_strInterpretation);
    // The row keeps padding 0; as Waveform Padding Value it would mark every 0 uV sample
    // missing, so the file leaves it out (the library writes no padding of 0).
    wave.SetiWFPad(w.m_nPadding);
    wave.SetWaveLength(static_cast<long>(w.m_abyData.size()));
    wave.SetWaveformData(w.m_abyData);
    dicom.AddWaveformData(wave);

    const bool bJpeg = bWithJpeg && dicom.AddJpegFile(strJpegPath.c_str()) == 1;
    if (dicom.SaveAs(strDicomPath.c_str(), bJpeg ? 4 : 2) != 1) {
        strError = dicom.GetLastError();
        return FALSE;
    }
    return TRUE;
}

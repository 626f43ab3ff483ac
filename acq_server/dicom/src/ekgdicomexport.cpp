#include "acq_server/dicom/ekgdicomexport.h"

#include <cctype>

#include "ecg_control/ekgfile.h"
#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "oxudcm/dcmtkdicomfile.h"

using namespace dicomexport;

namespace {
constexpr const char* kSecondaryCapture = "1.2.840.10008.5.1.4.1.1.7";
constexpr int kLeads = 12;
constexpr UINT kSamples = 5000;
constexpr short kPictureWidth = 1024;

// A test time without any non-zero digit is a record without a time: its date and time
// stay empty (read as they stand, the zeros gave the time 00:00:01).
CString TimeOrEmpty(const CString& strTime) {
    for (char c : strTime) {
        if (c >= '1' && c <= '9') {
            return strTime;
        }
    }
    return {};
}
CString Last4(const CString& s) { return s.size() > 4 ? s.substr(s.size() - 4) : s; }
CString First8(const CString& s) { return s.substr(0, 8); }

CString UpperExtension(const CString& strPath) {
    const std::size_t nDot = strPath.find_last_of('.');
    const std::size_t nSlash = strPath.find_last_of("/\\");
    CString s = nDot == CString::npos || (nSlash != CString::npos && nDot < nSlash)
                    ? CString()
                    : strPath.substr(nDot + 1);
    for (char& c : s) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return s;
}
}  // namespace

CEkgDicomExport::CEkgDicomExport(CExportSettings settings) : m_settings(std::move(settings)) {}

void CEkgDicomExport::NextIds() {
    m_ids = dicomexport::NextIds(m_settings.strProfileKey);
    m_nStudy = m_ids.nStudy;
    m_nSeries = m_ids.nSeries;
    m_nInstance = m_ids.nInstance;
}

CString CEkgDicomExport::MakeStudyUid() const { return dicomexport::MakeStudyUid(m_ids, Now(m_settings)); }
CString CEkgDicomExport::MakeSeriesUid() const { return dicomexport::MakeSeriesUid(m_ids, Now(m_settings)); }
CString CEkgDicomExport::MakeInstanceUid() const {
    return dicomexport::MakeInstanceUid(m_ids, Now(m_settings));
}

void CEkgDicomExport::FillPatientData(CDcmDataPatient& patient, IEkgDicomSource& control) {
    patient.m_strPatientId = control.EKGGetPatientInfo(0);
    patient.m_strName = control.EKGGetPatientInfo(1);
    patient.m_dtBirthDate = ParseDate("");
    patient.m_strSex = FirstCharacter(control.EKGGetPatientInfo(3));
    patient.m_strComments.clear();
}

void CEkgDicomExport::FillStudyData(CDcmDataStudy& study, IEkgDicomSource& control,
                                    const CString& strTime) {
    study.m_strStudyUid = MakeStudyUid();
    study.m_dtStudyDate = ParseDate(First8(strTime));
    study.m_dtStudyTime = ParseTime(Last4(strTime));
    study.m_strReferringPhysician = control.EKGGetMisc(0);
    study.m_strStudyId = std::to_string(m_nStudy);
    study.m_strAccessionNumber.clear();
    study.m_strDescription = "EKG";
    study.m_strPatientAge = DicomAge(control.EKGGetPatientInfo(2), control.EKGGetPatientInfo(9));
    study.m_strPatientSize = DicomHeight(control.EKGGetPatientInfo(4));
    study.m_strPatientWeight = DicomWeight(control.EKGGetPatientInfo(5));
}

void CEkgDicomExport::FillSeriesData(CDcmDataSeries& series, IEkgDicomSource& control,
                                     const CString& strTime) {
    series.m_strModality = ReadModality(m_settings, "DICOM MODALITY EKG", "EC");
    series.m_strSeriesUid = MakeSeriesUid();
    series.m_strSeriesNumber = "1";
    series.m_dtSeriesDate = ParseDate(First8(strTime));
    series.m_dtSeriesTime = ParseTime(Last4(strTime));
    series.m_strDescription = "EKG";
    series.m_strManufacturer = "Corvane Co., Ltd.";
    series.m_strInstitution = control.EKGGetMisc(1);
    series.m_strStationName = "EKG";
    series.m_strModelName = "EKG ####";
    series.m_strSoftwareVersions = "Qar Server 1.16";
}

void CEkgDicomExport::FillInstanceData(CDcmDataInstance& instance, const CString& strTime) {
    instance.m_strSopClassUid = kSecondaryCapture;
    instance.m_strInstanceNumber = "1";
    instance.m_dtContentDate = ParseDate("");
    instance.m_dtContentTime = ParseTime("");
    instance.m_dtAcquisition = ParseTime(Last4(strTime));
    instance.m_strSopInstanceUid = MakeInstanceUid();
}

bool CEkgDicomExport::FillWaveformData(CDcmDataWaveform& wave, const CString& strRecordPath) {
    wave.SetOriginality("ORIGIN");
    wave.SetChannelNo(kLeads);
    wave.SetSamplesNo(kSamples);
    wave.SetSampleFrequency(500);
    wave.SetWFBitsAllocated(16);
    wave.SetSampleInterpretation("SS");
    wave.SetWaveLength(kLeads * kSamples * 2);
    // The samples of the record file itself: the first 5000 of each lead, interleaved.
    CWaveBuffer samples;
    const CString strExt = UpperExtension(strRecordPath);
    const int nMains = strExt == "RAW" ? 1 : 0;
    BOOL bRead;
    if (strExt == "DCD") {
        bRead = ReadCseFile(strRecordPath, &samples, nMains);
    } else {
        CEkgRecordInfo info;
        CMorphologyTable morph;
        bRead = ReadEkgFile(strRecordPath, &samples, &info, &morph, nMains);
    }
    if (!bRead || samples.GetChannelCount() < kLeads || samples.GetSamplesPerChannel() < kSamples) {
        return false;
    }
    std::vector<std::uint8_t> ab;
    ab.reserve(kLeads * kSamples * 2);
    for (UINT k = 0; k < kSamples; ++k) {
        for (int lead = 0; lead < kLeads; ++lead) {
            const auto v = static_cast<std::uint16_t>(samples.GetSample(lead, k));
            ab.push_back(static_cast<std::uint8_t>(v & 0xFF));
            ab.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    }
    wave.SetWaveformData(ab);
    return true;
}

bool CEkgDicomExport::MakeImageFiles(const CString& strPicture, IEkgDicomSource& control,
                                     bool bBitmap) {
    const short nChType = control.GetChType(), nGain = control.GetGain(), nRhyCh = control.GetRhyCh();
    return bBitmap ? control.EKGMakeImageBMP(strPicture, nChType, nGain, nRhyCh, kPictureWidth, 0)
                   : control.EKGMakeImage(strPicture, nChType, nGain, nRhyCh, kPictureWidth, 0);
}

int CEkgDicomExport::MakeDicomFile(const CString& strDicomPath, IEkgDicomSource& control,
                                   int nImageType, const CString& strRecordPath) {
    CDcmTkEcgData data;
    CDcmDataPatient patient;
    CDcmDataStudy study;
    CDcmDataSeries series;
    CDcmDataInstance instance;
    CDcmDataWaveform wave;
    NextIds();  // the counters advance whatever follows
    if (nImageType < 0 || nImageType > 2) {
        return 0;
    }
    const CString strTime = TimeOrEmpty(control.EKGGetTime());
    FillPatientData(patient, control);
    FillStudyData(study, control, strTime);
    FillSeriesData(series, control, strTime);
    FillInstanceData(instance, strTime);
    if (!FillWaveformData(wave, strRecordPath)) {
        return 0;
    }
    data.AddPatientData(patient);
    data.AddStudyData(study);
    data.AddSeriesData(series);
    data.AddInstanceData(instance);
    data.AddWaveformData(wave);

    const bool bBitmap = nImageType != 2;
    CScratchFile picture("ekg_dcm", bBitmap ? ".bmp" : ".jpg");
    if (picture.Path().empty()) {
        return 0;
    }
    MakeImageFiles(picture.Path(), control, bBitmap);
    if (bBitmap) {
        int nCenter = 128, nWidth = 256;
        ReadWindow(m_settings, nCenter, nWidth);
        if (!data.AddBMPFile(picture.Path().c_str(), nImageType, nCenter, nWidth)) {
            return 0;
        }
        return data.SaveAs(strDicomPath.c_str(), 2, 0) == 1 ? 1 : 0;
    }
    if (!data.AddJpegFile(picture.Path().c_str())) {
        return 0;
    }
    return data.SaveAs(strDicomPath.c_str(), 4, 0) == 1 ? 1 : 0;
}

#include "acq_server/dicom/spirodicomexport.h"

#include "oxudcm/dcmtkdicomfile.h"
#include "spiro_control/spirotestfile.h"

using namespace dicomexport;

namespace {
constexpr const char* kSecondaryCapture = "1.2.840.10008.5.1.4.1.1.7";
constexpr short kPictureWidth = 768;

enum EKind { kNone, kFvc, kSvc, kMvv };
EKind KindOf(short nTestType) {
    switch (nTestType) {
        case 1: case 4: case 5: return kFvc;
        case 2: return kSvc;
        case 3: return kMvv;
        default: return kNone;
    }
}

void PutWord(std::vector<std::uint8_t>& ab, DWORD w) {
    for (int i = 0; i < 4; ++i) {
        ab.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
    }
}
}  // namespace

CSpiroDicomExport::CSpiroDicomExport(CExportSettings settings) : m_settings(std::move(settings)) {}

void CSpiroDicomExport::NextIds() {
    m_ids = dicomexport::NextIds(m_settings.strProfileKey);
    m_nStudy = m_ids.nStudy;
    m_nSeries = m_ids.nSeries;
    m_nInstance = m_ids.nInstance;
}

CString CSpiroDicomExport::MakeStudyUid() const { return dicomexport::MakeStudyUid(m_ids, Now(m_settings)); }
CString CSpiroDicomExport::MakeSeriesUid() const { return dicomexport::MakeSeriesUid(m_ids, Now(m_settings)); }
CString CSpiroDicomExport::MakeInstanceUid() const {
    return dicomexport::MakeInstanceUid(m_ids, Now(m_settings));
}

void CSpiroDicomExport::FillPatientData(CDcmDataPatient& patient, ISpiroDicomSource& control) {
    patient.m_strPatientId = control.GetInformation(0);
    patient.m_strName = control.GetInformation(1);
    patient.m_dtBirthDate = ParseDate("");
    patient.m_strSex = FirstCharacter(control.GetInformation(3));
}

void CSpiroDicomExport::FillStudyData(CDcmDataStudy& study, ISpiroDicomSource& control) {
    study.m_strStudyUid = MakeStudyUid();
    study.m_dtStudyDate = ParseDate(control.GetInformation(10) + control.GetInformation(11) +
                                    control.GetInformation(12));
    study.m_dtStudyTime = ParseTime(control.GetInformation(13) + control.GetInformation(14));
    study.m_strReferringPhysician = control.GetInformation(17);
    study.m_strStudyId = std::to_string(m_nStudy);
    study.m_strDescription = "SPIRO";
    study.m_strPatientAge = DicomAge(control.GetInformation(2), "0");
    study.m_strPatientSize = DicomHeight(control.GetInformation(4));
    study.m_strPatientWeight = DicomWeight(control.GetInformation(5));
}

void CSpiroDicomExport::FillSeriesData(CDcmDataSeries& series, ISpiroDicomSource& control) {
    series.m_strModality = ReadModality(m_settings, "DICOM MODALITY SPIRO", "PR");
    series.m_strSeriesUid = MakeSeriesUid();
    series.m_strSeriesNumber = "1";
    series.m_dtSeriesDate = ParseDate(control.GetInformation(10) + control.GetInformation(11) +
                                      control.GetInformation(12));
    series.m_dtSeriesTime = ParseTime(control.GetInformation(13) + control.GetInformation(14));
    series.m_strDescription = "SPIRO";
    series.m_strManufacturer = "Corvane Co., Ltd.";
    series.m_strInstitution = control.GetInformation(16);
    series.m_strStationName = "SPIRO";
    series.m_strModelName = "SPIRO ####";
    series.m_strSoftwareVersions = "Qar Server 1.16";
}

void CSpiroDicomExport::FillInstanceData(CDcmDataInstance& instance, ISpiroDicomSource& control) {
    instance.m_strSopClassUid = kSecondaryCapture;
    instance.m_strInstanceNumber = "1";
    instance.m_dtContentDate = ParseDate("");
    instance.m_dtContentTime = ParseTime("");
    instance.m_dtAcquisition = ParseTime(control.GetInformation(13) + control.GetInformation(14));
    instance.m_strSopInstanceUid = MakeInstanceUid();
}

bool CSpiroDicomExport::FillWaveformData(CDcmDataWaveform& wave, short nTestType,
                                         const CString& strTestPath) {
    const EKind eKind = KindOf(nTestType);
    if (eKind == kNone) {
        return false;
    }
    wave.SetOriginality("ORIGIN");
    // 32-bit samples: "SL" ("SS" would call them 16-bit and make them unreadable).
    wave.SetSampleInterpretation("SL");
    wave.SetSampleFrequency(200);
    wave.SetWFBitsAllocated(32);
    const int nChannels = eKind == kFvc ? 12 : eKind == kSvc ? 3 : 1;
    const long nSamples = eKind == kFvc ? 1500 : eKind == kSvc ? 8000 : 2400;
    wave.SetChannelNo(static_cast<short>(nChannels));
    wave.SetSamplesNo(nSamples);
    wave.SetWaveLength(nChannels * nSamples * 4);

    CSpiroTestFile test;
    if (test.Open(strTestPath, 0) <= 0 || KindOf(test.GetTestType()) != eKind) {
        return false;
    }
    // Channel c, sample k: area and byte offset of the curves in the table's order.
    auto word = [&](int c, long k) -> DWORD {
        const DWORD nByte = static_cast<DWORD>(4 * k);
        if (eKind == kFvc) {
            const auto eArea = c < 6 ? CSpiroCurveData::kBase : CSpiroCurveData::kPost;
            return test.m_Curve.GetWord(eArea, static_cast<DWORD>(c % 6) * CSpiroCurveData::kFvcTrialSize + nByte);
        }
        if (eKind == kSvc) {
            return test.m_Curve.GetWord(CSpiroCurveData::kSvc, static_cast<DWORD>(c) * CSpiroCurveData::kSvcTrialSize + nByte);
        }
        return test.m_Curve.GetWord(CSpiroCurveData::kMvv, nByte);
    };
    std::vector<std::uint8_t> ab;
    ab.reserve(static_cast<std::size_t>(nChannels * nSamples * 4));
    for (long k = 0; k < nSamples; ++k) {
        for (int c = 0; c < nChannels; ++c) {
            PutWord(ab, word(c, k));
        }
    }
    wave.SetWaveformData(ab);
    return true;
}

int CSpiroDicomExport::MakeDicomFile(const CString& strTestPath, const CString& strDicomPath,
                                     ISpiroDicomSource& control, int nImageType) {
    CDcmTkEcgData data;
    CDcmDataPatient patient;
    CDcmDataStudy study;
    CDcmDataSeries series;
    CDcmDataInstance instance;
    CDcmDataWaveform wave;
    NextIds();  // one numbering with the ECG export; it advances whatever follows
    if (nImageType < 0 || nImageType > 2) {
        return 0;
    }
    FillPatientData(patient, control);
    FillStudyData(study, control);
    FillSeriesData(series, control);
    FillInstanceData(instance, control);
    if (!FillWaveformData(wave, control.GetTestType(), strTestPath)) {
        return 0;
    }
    data.AddPatientData(patient);
    data.AddStudyData(study);
    data.AddSeriesData(series);
    data.AddInstanceData(instance);
    data.AddWaveformData_SPR(wave);

    const bool bBitmap = nImageType != 2;
    CScratchFile picture("spiro_dcm", bBitmap ? ".bmp" : ".jpg");
    if (picture.Path().empty()) {
        return 0;
    }
    if (bBitmap) {
        control.SaveBMP(picture.Path(), kPictureWidth);
        int nCenter = 128, nWidth = 256;
        ReadWindow(m_settings, nCenter, nWidth);
        data.AddBMPFile(picture.Path().c_str(), nImageType, nCenter, nWidth);
        return data.SaveAs(strDicomPath.c_str(), 2, 0) == 1 ? 1 : 0;
    }
    control.SaveJPEG(picture.Path(), kPictureWidth);
    data.AddJpegFile(picture.Path().c_str());
    return data.SaveAs(strDicomPath.c_str(), 4, 0) == 1 ? 1 : 0;
}

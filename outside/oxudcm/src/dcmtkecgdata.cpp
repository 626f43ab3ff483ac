// The modules of the objects CDcmTkEcgData builds (the choices are listed in its header).
#include <cstdio>
#include <cstring>
#include <memory>

#include "dcmpicture.h"
#include "dcmputs.h"
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdatset.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcpixel.h"
#include "dcmtk/dcmdata/dcpixseq.h"
#include "dcmtk/dcmdata/dcpxitem.h"
#include "dcmtk/dcmdata/dcsequen.h"
#include "dcmtk/dcmdata/dcuid.h"
#include "dcmtk/dcmdata/dcvrobow.h"
#include "oxudcm/dcmtkdicomfile.h"

using namespace oxudcm;

namespace {
constexpr const char* kSecondaryCapture = "1.2.840.10008.5.1.4.1.1.7";
constexpr const char* kWaveformPrefix = "1.2.840.10008.5.1.4.1.1.9.";
constexpr const char* kEcgSensitivity = "2.44140625";  // uV per unit

struct CLeadCode {
    const char* pszCode;
    const char* pszMeaning;
    const char* pszLabel;
};
// Lead order of the record: I, II, III, aVR, aVL, aVF, V1..V6.
constexpr CLeadCode kLeads[12] = {
    {"5.6.3-9-1", "Lead I", "I"},      {"5.6.3-9-2", "Lead II", "II"},
    {"5.6.3-9-61", "Lead III", "III"}, {"5.6.3-9-62", "Lead aVR", "aVR"},
    {"5.6.3-9-63", "Lead aVL", "aVL"}, {"5.6.3-9-64", "Lead aVF", "aVF"},
    {"5.6.3-9-3", "Lead V1", "V1"},    {"5.6.3-9-4", "Lead V2", "V2"},
    {"5.6.3-9-5", "Lead V3", "V3"},    {"5.6.3-9-6", "Lead V4", "V4"},
    {"5.6.3-9-7", "Lead V5", "V5"},    {"5.6.3-9-8", "Lead V6", "V6"},
};

std::string SpiroLabel(int nChannels, int n) {
    char sz[48];
    if (nChannels == 12) {
        std::snprintf(sz, sizeof sz, "%s %d trial %d", n < 6 ? "Base" : "Post",
                      (n % 6) / 3 + 1, n % 3 + 1);
    } else if (nChannels == 3) {
        std::snprintf(sz, sizeof sz, "SVC trial %d", n + 1);
    } else if (nChannels == 1) {
        std::snprintf(sz, sizeof sz, "MVV");
    } else {
        std::snprintf(sz, sizeof sz, "Curve %d", n + 1);
    }
    return sz;
}

std::string Originality(const std::string& s) {
    return s.rfind("DERIV", 0) == 0 ? "DERIVED" : "ORIGINAL";
}

std::string Sex(const std::string& s) {
    if (s.empty()) {
        return {};
    }
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    return c == 'M' || c == 'F' || c == 'O' ? std::string(1, c) : std::string();
}

// An age of digits alone counts years.
std::string Age(const std::string& s) {
    if (!s.empty() && s.size() <= 3 && s.find_first_not_of("0123456789") == std::string::npos) {
        char sz[8];
        std::snprintf(sz, sizeof sz, "%03dY", std::atoi(s.c_str()));
        return sz;
    }
    return s;
}

int BitsFor(const std::string& strInterpretation) {
    if (strInterpretation == "SB" || strInterpretation == "UB" || strInterpretation == "MB" ||
        strInterpretation == "AB") {
        return 8;
    }
    if (strInterpretation == "SS" || strInterpretation == "US") {
        return 16;
    }
    if (strInterpretation == "SL" || strInterpretation == "UL") {
        return 32;
    }
    return 0;
}

bool AddCode(DcmItem& parent, const DcmTagKey& seqTag, const char* pszValue,
             const char* pszScheme, const char* pszVersion, const char* pszMeaning) {
    DcmItem* pItem = nullptr;
    if (parent.findOrCreateSequenceItem(seqTag, pItem, -2).bad() || !pItem) {
        return false;
    }
    pItem->putAndInsertString(DCM_CodeValue, pszValue);
    pItem->putAndInsertString(DCM_CodingSchemeDesignator, pszScheme);
    if (pszVersion) {
        pItem->putAndInsertString(DCM_CodingSchemeVersion, pszVersion);
    }
    pItem->putAndInsertString(DCM_CodeMeaning, pszMeaning);
    return true;
}

bool PutWaveform(DcmDataset& ds, const CDcmDataWaveform& w, CDcmTkEcgData::EWaveKind eKind,
                 std::string& strError) {
    const int nBits = BitsFor(w.m_strSampleInterpretation);
    if (w.m_nChannelNo <= 0 || w.m_nSamplesNo <= 0 || w.m_nSampleFrequency <= 0) {
        strError = "the waveform has no channels, samples or sampling frequency";
        return false;
    }
    if (nBits == 0 || nBits != w.m_nWFBitsAllocated) {
        strError = "sample interpretation \"" + w.m_strSampleInterpretation + "\" does not fit " +
                   std::to_string(w.m_nWFBitsAllocated) + "-bit samples";
        return false;
    }
    const long long nBytes =
        static_cast<long long>(w.m_nChannelNo) * w.m_nSamplesNo * (nBits / 8);
    if (nBytes != w.m_nWaveLength ||
        (!w.m_abData.empty() && static_cast<long long>(w.m_abData.size()) != nBytes)) {
        strError = "waveform data of " + std::to_string(w.m_abData.size()) + " bytes, length " +
                   std::to_string(w.m_nWaveLength) + ", counts give " + std::to_string(nBytes);
        return false;
    }
    if (nBytes > 0x7FFFFFF0LL) {
        strError = "the waveform is too large";
        return false;
    }
    DcmItem* pGroup = nullptr;
    if (ds.findOrCreateSequenceItem(DCM_WaveformSequence, pGroup, -2).bad() || !pGroup) {
        strError = "cannot make the waveform sequence";
        return false;
    }
    char sz[32];
    pGroup->putAndInsertString(DCM_WaveformOriginality, Originality(w.m_strOriginality).c_str());
    pGroup->putAndInsertUint16(DCM_NumberOfWaveformChannels, static_cast<Uint16>(w.m_nChannelNo));
    pGroup->putAndInsertUint32(DCM_NumberOfWaveformSamples, static_cast<Uint32>(w.m_nSamplesNo));
    std::snprintf(sz, sizeof sz, "%ld", w.m_nSampleFrequency);
    pGroup->putAndInsertString(DCM_SamplingFrequency, sz);
    pGroup->putAndInsertString(DCM_MultiplexGroupLabel,
                               eKind == CDcmTkEcgData::kEcgWave ? "RHYTHM" : "SPIROMETRY");
    for (int n = 0; n < w.m_nChannelNo; ++n) {
        DcmItem* pChannel = nullptr;
        if (pGroup->findOrCreateSequenceItem(DCM_ChannelDefinitionSequence, pChannel, -2).bad() ||
            !pChannel) {
            strError = "cannot make a channel definition";
            return false;
        }
        if (eKind == CDcmTkEcgData::kEcgWave && n < 12) {
            const CLeadCode& lead = kLeads[n];
            pChannel->putAndInsertString(DCM_ChannelLabel, lead.pszLabel);
            AddCode(*pChannel, DCM_ChannelSourceSequence, lead.pszCode, "SCPECG", "1.3",
                    lead.pszMeaning);
            pChannel->putAndInsertString(DCM_ChannelSensitivity, kEcgSensitivity);
            AddCode(*pChannel, DCM_ChannelSensitivityUnitsSequence, "uV", "UCUM", nullptr,
                    "microvolt");
            pChannel->putAndInsertString(DCM_ChannelSensitivityCorrectionFactor, "1");
            pChannel->putAndInsertString(DCM_ChannelBaseline, "0");
        } else {
            const std::string strLabel = eKind == CDcmTkEcgData::kSpiroWave
                                             ? SpiroLabel(w.m_nChannelNo, n)
                                             : "Channel " + std::to_string(n + 1);
            pChannel->putAndInsertString(DCM_ChannelLabel, strLabel.c_str());
            AddCode(*pChannel, DCM_ChannelSourceSequence,
                    eKind == CDcmTkEcgData::kSpiroWave ? "SPIRO-CURVE" : "CHANNEL", "99OXUDCM",
                    nullptr, eKind == CDcmTkEcgData::kSpiroWave ? "Spirometry curve" : "Channel");
        }
        pChannel->putAndInsertString(DCM_ChannelTimeSkew, "0");
        pChannel->putAndInsertUint16(DCM_WaveformBitsStored, static_cast<Uint16>(nBits));
    }
    pGroup->putAndInsertUint16(DCM_WaveformBitsAllocated, static_cast<Uint16>(nBits));
    pGroup->putAndInsertString(DCM_WaveformSampleInterpretation,
                               w.m_strSampleInterpretation.c_str());
    if (w.m_niWFPad != 0 && nBits == 16) {
        const Uint16 nPad = static_cast<Uint16>(w.m_niWFPad);
        DcmElement* pPad = DcmItem::newDicomElement(DcmTag(DCM_WaveformPaddingValue, EVR_OW));
        pPad->putUint16Array(&nPad, 1);
        pGroup->insert(pPad, OFTrue);
    }
    std::vector<std::uint8_t> abZero;
    const std::vector<std::uint8_t>& ab =
        w.m_abData.empty() ? (abZero.assign(static_cast<std::size_t>(nBytes), 0), abZero) : w.m_abData;
    OFCondition cond;
    if (nBits == 8) {
        auto* pData = new DcmOtherByteOtherWord(DcmTag(DCM_WaveformData, EVR_OB));
        cond = pData->putUint8Array(ab.data(), static_cast<unsigned long>(ab.size()));
        pGroup->insert(pData, OFTrue);
    } else {
        // Little-endian words on a little-endian host: the bytes go in as they are.
        std::vector<Uint16> aw(ab.size() / 2);
        std::memcpy(aw.data(), ab.data(), aw.size() * 2);
        auto* pData = new DcmOtherByteOtherWord(DcmTag(DCM_WaveformData, EVR_OW));
        cond = pData->putUint16Array(aw.data(), static_cast<unsigned long>(aw.size()));
        pGroup->insert(pData, OFTrue);
    }
    if (cond.bad()) {
        strError = std::string("cannot store the waveform data: ") + cond.text();
        return false;
    }
    return true;
}

bool PutPicture(DcmDataset& ds, const CDcmTkDicomFile::CPicture& pic, std::string& strError) {
    using P = CDcmTkDicomFile::CPicture;
    const bool bColour = pic.nComponents == 3;
    ds.putAndInsertUint16(DCM_SamplesPerPixel, static_cast<Uint16>(pic.nComponents));
    const char* pszPhotometric = !bColour ? "MONOCHROME2" : pic.eKind == P::kJpeg ? "YBR_FULL_422" : "RGB";
    ds.putAndInsertString(DCM_PhotometricInterpretation, pszPhotometric);
    if (bColour) {
        ds.putAndInsertUint16(DCM_PlanarConfiguration, 0);
    }
    ds.putAndInsertUint16(DCM_Rows, static_cast<Uint16>(pic.nRows));
    ds.putAndInsertUint16(DCM_Columns, static_cast<Uint16>(pic.nColumns));
    ds.putAndInsertUint16(DCM_BitsAllocated, 8);
    ds.putAndInsertUint16(DCM_BitsStored, 8);
    ds.putAndInsertUint16(DCM_HighBit, 7);
    ds.putAndInsertUint16(DCM_PixelRepresentation, 0);
    if (pic.eKind == P::kGrey) {
        char sz[32];
        std::snprintf(sz, sizeof sz, "%g", pic.dWindowCenter);
        ds.putAndInsertString(DCM_WindowCenter, sz);
        std::snprintf(sz, sizeof sz, "%g", pic.dWindowWidth < 1 ? 1.0 : pic.dWindowWidth);
        ds.putAndInsertString(DCM_WindowWidth, sz);
    }
    if (pic.eKind == P::kJpeg) {
        ds.putAndInsertString(DCM_LossyImageCompression, "01");
        ds.putAndInsertString(DCM_LossyImageCompressionMethod, "ISO_10918_1");
        auto* pSeq = new DcmPixelSequence(DCM_PixelSequenceTag);
        pSeq->insert(new DcmPixelItem(DCM_PixelItemTag));  // empty offset table
        auto* pFragment = new DcmPixelItem(DCM_PixelItemTag);
        std::vector<Uint8> ab(pic.abData.begin(), pic.abData.end());
        if (ab.size() % 2) {
            ab.push_back(0);  // fragments are of even length
        }
        OFCondition cond = pFragment->putUint8Array(ab.data(), static_cast<unsigned long>(ab.size()));
        pSeq->insert(pFragment);
        auto* pPixel = new DcmPixelData(DCM_PixelData);
        pPixel->putOriginalRepresentation(EXS_JPEGProcess1, nullptr, pSeq);
        ds.insert(pPixel, OFTrue);
        if (cond.bad()) {
            strError = std::string("cannot store the JPEG picture: ") + cond.text();
            return false;
        }
        return true;
    }
    auto* pPixel = new DcmPixelData(DcmTag(DCM_PixelData, EVR_OB));
    OFCondition cond =
        pPixel->putUint8Array(pic.abData.data(), static_cast<unsigned long>(pic.abData.size()));
    ds.insert(pPixel, OFTrue);
    if (cond.bad()) {
        strError = std::string("cannot store the picture: ") + cond.text();
        return false;
    }
    return true;
}
}  // namespace

int CDcmTkEcgData::AddPatientData(const CDcmDataPatient& data) {
    m_patient = data;
    return 1;
}
int CDcmTkEcgData::AddStudyData(const CDcmDataStudy& data) {
    m_study = data;
    return 1;
}
int CDcmTkEcgData::AddSeriesData(const CDcmDataSeries& data) {
    m_series = data;
    return 1;
}
int CDcmTkEcgData::AddInstanceData(const CDcmDataInstance& data) {
    m_instance = data;
    return 1;
}
int CDcmTkEcgData::AddWaveformData(const CDcmDataWaveform& data) {
    m_waveform = data;
    m_eWave = kEcgWave;
    return 1;
}
int CDcmTkEcgData::AddWaveformData_SPR(const CDcmDataWaveform& data) {
    m_waveform = data;
    m_eWave = kSpiroWave;
    return 1;
}

int CDcmTkEcgData::AddJpegFile(const char* pszPath) {
    std::string strError;
    CPicture pic;
    if (!pszPath || !ReadJpegPicture(pszPath, pic, strError)) {
        m_picture = {};
        SetLastError(pszPath ? strError : "no JPEG path");
        return 0;
    }
    m_picture = std::move(pic);
    return 1;
}

int CDcmTkEcgData::AddBMPFile(const char* pszPath, int nImageKind, double dCenter, double dWidth) {
    std::string strError;
    CPicture pic;
    if (!pszPath || !ReadBmpPicture(pszPath, nImageKind, pic, strError)) {
        m_picture = {};
        SetLastError(pszPath ? strError : "no bitmap path");
        return 0;
    }
    pic.dWindowCenter = dCenter;
    pic.dWindowWidth = dWidth;
    m_picture = std::move(pic);
    return 1;
}

bool CDcmTkEcgData::BuildDataset(DcmDataset& ds, std::string& e) const {
    const std::string& strClass = m_instance.m_strSopClassUid;
    const bool bSc = strClass == kSecondaryCapture;
    const bool bWaveformObject = strClass.rfind(kWaveformPrefix, 0) == 0;
    const EType eUid = kType1;

    ds.putAndInsertString(DCM_SpecificCharacterSet, "ISO_IR 192");
    if (!PutAscii(ds, DCM_SOPClassUID, strClass, eUid, e) ||
        !PutAscii(ds, DCM_SOPInstanceUID, m_instance.m_strSopInstanceUid, eUid, e)) {
        return false;
    }
    // Patient
    bool bOk = PutText(ds, DCM_PatientName, m_patient.m_strName, kType2, e) &&
               PutText(ds, DCM_PatientID, m_patient.m_strPatientId, kType2, e) &&
               PutDate(ds, DCM_PatientBirthDate, m_patient.m_dtBirthDate, kType2, e) &&
               PutAscii(ds, DCM_PatientSex, Sex(m_patient.m_strSex), kType2, e) &&
               PutText(ds, DCM_PatientComments, m_patient.m_strComments, kType3, e);
    // General study and patient study
    bOk = bOk && PutAscii(ds, DCM_StudyInstanceUID, m_study.m_strStudyUid, eUid, e) &&
          PutDate(ds, DCM_StudyDate, m_study.m_dtStudyDate, kType2, e) &&
          PutTime(ds, DCM_StudyTime, m_study.m_dtStudyTime, kType2, e) &&
          PutText(ds, DCM_ReferringPhysicianName, m_study.m_strReferringPhysician, kType2, e) &&
          PutText(ds, DCM_StudyID, m_study.m_strStudyId, kType2, e) &&
          PutText(ds, DCM_AccessionNumber, m_study.m_strAccessionNumber, kType2, e) &&
          PutText(ds, DCM_StudyDescription, m_study.m_strDescription, kType3, e) &&
          PutText(ds, DCM_NameOfPhysiciansReadingStudy, m_study.m_strReadingPhysician, kType3, e) &&
          PutText(ds, DCM_AdmittingDiagnosesDescription, m_study.m_strAdmittingDiagnosis, kType3, e) &&
          PutAscii(ds, DCM_PatientAge, Age(m_study.m_strPatientAge), kType3, e) &&
          PutAscii(ds, DCM_PatientSize, m_study.m_strPatientSize, kType3, e) &&
          PutAscii(ds, DCM_PatientWeight, m_study.m_strPatientWeight, kType3, e) &&
          PutText(ds, DCM_Occupation, m_study.m_strOccupation, kType3, e) &&
          PutText(ds, DCM_AdditionalPatientHistory, m_study.m_strAdditionalHistory, kType3, e);
    // General series and equipment
    bOk = bOk && PutText(ds, DCM_Modality, m_series.m_strModality, kType1, e) &&
          PutAscii(ds, DCM_SeriesInstanceUID, m_series.m_strSeriesUid, eUid, e) &&
          PutAscii(ds, DCM_SeriesNumber, m_series.m_strSeriesNumber, kType2, e) &&
          PutDate(ds, DCM_SeriesDate, m_series.m_dtSeriesDate, kType3, e) &&
          PutTime(ds, DCM_SeriesTime, m_series.m_dtSeriesTime, kType3, e) &&
          PutText(ds, DCM_PerformingPhysicianName, m_series.m_strPerformingPhysician, kType3, e) &&
          PutText(ds, DCM_OperatorsName, m_series.m_strOperator, kType3, e) &&
          PutText(ds, DCM_SeriesDescription, m_series.m_strDescription, kType3, e) &&
          PutText(ds, DCM_BodyPartExamined, m_series.m_strBodyPart, kType3, e) &&
          PutText(ds, DCM_Manufacturer, m_series.m_strManufacturer, kType2, e) &&
          PutText(ds, DCM_InstitutionName, m_series.m_strInstitution, kType3, e) &&
          PutText(ds, DCM_StationName, m_series.m_strStationName, kType3, e) &&
          PutText(ds, DCM_ManufacturerModelName, m_series.m_strModelName, kType3, e) &&
          PutText(ds, DCM_SoftwareVersions, m_series.m_strSoftwareVersions, kType3, e);
    if (!bOk) {
        return false;
    }
    // Instance
    if (bWaveformObject) {
        // The waveform identification needs a content date and time: the study's stand in
        // for missing ones.
        const CDcmDateTime& date =
            m_instance.m_dtContentDate.HasDate() ? m_instance.m_dtContentDate : m_study.m_dtStudyDate;
        const CDcmDateTime& time =
            m_instance.m_dtContentTime.HasTime() ? m_instance.m_dtContentTime : m_study.m_dtStudyTime;
        bOk = PutAscii(ds, DCM_InstanceNumber, m_instance.m_strInstanceNumber, kType2, e) &&
              PutDate(ds, DCM_ContentDate, date, kType2, e) &&
              PutTime(ds, DCM_ContentTime, time, kType2, e);
        ds.insertEmptyElement(DCM_AcquisitionContextSequence);
    } else {
        bOk = PutAscii(ds, DCM_InstanceNumber, m_instance.m_strInstanceNumber, kType2, e) &&
              PutDate(ds, DCM_ContentDate, m_instance.m_dtContentDate, kType3, e) &&
              PutTime(ds, DCM_ContentTime, m_instance.m_dtContentTime, kType3, e);
    }
    if (bOk && m_instance.m_dtAcquisition.HasDate()) {
        bOk = PutAscii(ds, DCM_AcquisitionDateTime, m_instance.m_dtAcquisition.DicomDateTime(),
                       kType3, e);
    }
    if (!bOk) {
        return false;
    }
    if (bSc) {
        ds.putAndInsertString(DCM_ConversionType, "WSD");
        ds.insertEmptyElement(DCM_PatientOrientation);
        ds.insertEmptyElement(DCM_Laterality);
        if (m_picture.eKind == CPicture::kNone) {
            e = "a secondary capture object needs a picture";
            return false;
        }
    }
    if (m_picture.eKind != CPicture::kNone && !PutPicture(ds, m_picture, e)) {
        return false;
    }
    if (m_eWave != kNoWave && !PutWaveform(ds, m_waveform, m_eWave, e)) {
        return false;
    }
    return true;
}

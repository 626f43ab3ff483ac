#pragma once
// The plain records callers fill for the DICOM file builder (CDcmTkEcgData). Texts are 8-bit
// text in the installation code page; the builder converts them to UTF-8 when it saves.
// Which attribute each field becomes is told beside it.
#include <cstdint>
#include <string>
#include <vector>

#include "oxudcm/oxudcmexport.h"

// A date, a time of day or both, with a validity state. An invalid value is written as an
// empty attribute where the object allows it, never as a zero date.
class OXUDCM_EXPORT CDcmDateTime {
public:
    enum EStatus { kValid = 0, kInvalid = 1, kNull = 2 };

    CDcmDateTime() = default;
    static CDcmDateTime Date(int nYear, int nMonth, int nDay);  // invalid when no real date
    static CDcmDateTime Time(int nHour, int nMinute, int nSecond);
    static CDcmDateTime DateTime(int nYear, int nMonth, int nDay, int nHour, int nMinute,
                                 int nSecond);
    static CDcmDateTime Invalid();

    EStatus GetStatus() const { return m_eStatus; }
    bool IsValid() const { return m_eStatus == kValid; }
    bool HasDate() const { return IsValid() && m_bDate; }
    bool HasTime() const { return IsValid() && m_bTime; }
    // "YYYYMMDD", "HHMMSS", "YYYYMMDDHHMMSS"; empty when that part is missing or invalid.
    std::string DicomDate() const;
    std::string DicomTime() const;
    std::string DicomDateTime() const;

    int m_nYear = 0, m_nMonth = 0, m_nDay = 0, m_nHour = 0, m_nMinute = 0, m_nSecond = 0;

private:
    EStatus m_eStatus = kNull;
    bool m_bDate = false;
    bool m_bTime = false;
};

class OXUDCM_EXPORT CDcmDataPatient {
public:
    virtual ~CDcmDataPatient() = default;
    std::string m_strPatientId;  // (0010,0020)
    std::string m_strName;       // (0010,0010)
    CDcmDateTime m_dtBirthDate;  // (0010,0030)
    std::string m_strSex;        // (0010,0040): first letter M, F or O, else empty
    std::string m_strComments;   // (0010,4000)
};

class OXUDCM_EXPORT CDcmDataStudy {
public:
    virtual ~CDcmDataStudy() = default;
    std::string m_strStudyUid;           // (0020,000D)
    CDcmDateTime m_dtStudyDate;          // (0008,0020)
    CDcmDateTime m_dtStudyTime;          // (0008,0030)
    std::string m_strReferringPhysician; // (0008,0090)
    std::string m_strStudyId;            // (0020,0010)
    std::string m_strAccessionNumber;    // (0008,0050)
    std::string m_strDescription;        // (0008,1030)
    std::string m_strReadingPhysician;   // (0008,1060)
    std::string m_strAdmittingDiagnosis; // (0008,1080)
    std::string m_strPatientAge;         // (0010,1010) as "nnnY" (digits alone are years)
    std::string m_strPatientSize;        // (0010,1020) metres
    std::string m_strPatientWeight;      // (0010,1030) kilograms
    std::string m_strOccupation;         // (0010,2180)
    std::string m_strAdditionalHistory;  // (0010,21B0)
};

class OXUDCM_EXPORT CDcmDataSeries {
public:
    virtual ~CDcmDataSeries() = default;
    std::string m_strModality;            // (0008,0060)
    std::string m_strSeriesUid;           // (0020,000E)
    std::string m_strSeriesNumber;        // (0020,0011)
    CDcmDateTime m_dtSeriesDate;          // (0008,0021)
    CDcmDateTime m_dtSeriesTime;          // (0008,0031)
    std::string m_strPerformingPhysician; // (0008,1050)
    std::string m_strOperator;            // (0008,1070)
    std::string m_strDescription;         // (0008,103E)
    std::string m_strBodyPart;            // (0018,0015)
    std::string m_strManufacturer;        // (0008,0070)
    std::string m_strInstitution;         // (0008,0080)
    std::string m_strStationName;         // (0008,1010)
    std::string m_strModelName;           // (0008,1090)
    std::string m_strSoftwareVersions;    // (0018,1020)
};

class OXUDCM_EXPORT CDcmDataInstance {
public:
    virtual ~CDcmDataInstance() = default;
    std::string m_strInstanceNumber;  // (0020,0013)
    CDcmDateTime m_dtContentDate;     // (0008,0023)
    CDcmDateTime m_dtContentTime;     // (0008,0033)
    CDcmDateTime m_dtAcquisition;     // (0008,002A), written only with a date
    std::string m_strSopClassUid;     // (0008,0016): selects the object's modules
    std::string m_strSopInstanceUid;  // (0008,0018)
};

class OXUDCM_EXPORT CDcmDataWaveform {
public:
    virtual ~CDcmDataWaveform() = default;
    void SetOriginality(const std::string& s) { m_strOriginality = s; }
    void SetChannelNo(short n) { m_nChannelNo = n; }
    void SetSamplesNo(long n) { m_nSamplesNo = n; }
    void SetSampleFrequency(long n) { m_nSampleFrequency = n; }
    void SetWFBitsAllocated(short n) { m_nWFBitsAllocated = n; }
    void SetSampleInterpretation(const std::string& s) { m_strSampleInterpretation = s; }
    void SetiWFPad(long n) { m_niWFPad = n; }
    void SetWaveLength(long n) { m_nWaveLength = n; }
    // The samples, channel values interleaved sample by sample, little-endian.
    void SetWaveformData(const std::vector<std::uint8_t>& abData) { m_abData = abData; }

    std::string m_strOriginality;         // "ORIGIN..." is ORIGINAL, "DERIV..." DERIVED
    short m_nChannelNo = 0;
    long m_nSamplesNo = 0;
    long m_nSampleFrequency = 0;
    short m_nWFBitsAllocated = 0;
    std::string m_strSampleInterpretation;  // SS/US with 16 bits, SL/UL with 32, SB/UB with 8
    long m_nWaveLength = 0;                 // bytes; must match the counts
    long m_niWFPad = 0;                     // (5400,100A), written when not 0
    std::vector<std::uint8_t> m_abData;     // empty: the declared length of zeros
};

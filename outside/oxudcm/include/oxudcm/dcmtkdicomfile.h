#pragma once
// The DICOM file builders of OxuDcmLib.
//
// Our choices, fixed here for every caller:
// - The modules follow the instance's SOP class: Secondary Capture ("1.2.840.10008.5.1.4.1.1.7")
//   is an SC image whose waveform, when one was added, stands in a Waveform Sequence beside
//   the picture; the waveform classes ("1.2.840.10008.5.1.4.1.1.9.*", 12-lead ECG among them)
//   get the waveform object's modules; any other class the common modules only.
// - An ECG waveform (AddWaveformData) has one channel definition per lead, I..V6 by their
//   SCP-ECG lead codes, 2.44140625 uV per unit (the XML export's scale); a spirometry waveform
//   (AddWaveformData_SPR) names its curves by its channel count (12 FVC, 3 SVC, 1 MVV).
// - A JPEG picture is stored as it is, one fragment under JPEG Baseline, whatever the
//   transfer choice; a bitmap (or no picture) is written explicit VR little endian. The
//   transfer choice is 2 or 4 (the callers pass 4 after a JPEG, 2 otherwise); any other
//   choice fails the save.
// - Bitmap image kind 0 = 8-bit MONOCHROME2 (luminance 0.299 R + 0.587 G + 0.114 B, rounded)
//   with the given window, 1 = RGB.
// - Texts come in the installation code page and are written as UTF-8 ("ISO_IR 192"); a
//   text longer than its attribute holds is cut on a whole character; sex is M, F, O or
//   empty. An invalid date or time is an empty attribute where the object allows it (never
//   a zero date) and is left out where the attribute is optional.
// - The file is written to a temporary file beside the target and renamed over it: a
//   failed save leaves no file and keeps an earlier one.
#include <cstdint>
#include <string>
#include <vector>

#include "oxudcm/dcmrecords.h"
#include "oxudcm/dcmtkitem.h"
#include "oxudcm/oxudcmexport.h"

class DcmDataset;

class OXUDCM_EXPORT CDcmTkDicomFile {
public:
    CDcmTkDicomFile() = default;
    CDcmTkDicomFile(const CDcmTkDicomFile&) = default;
    CDcmTkDicomFile& operator=(const CDcmTkDicomFile&) = default;
    virtual ~CDcmTkDicomFile() = default;

    // 1 when the file was written, 0 on failure (GetLastError says why).
    int SaveAs(const char* pszPath, int nTransfer, int nReserved = 0);
    // Copies the items; at the save each is stored with its tag's VR from the dictionary,
    // replacing an attribute the builder made. A value the VR cannot hold (or an unknown
    // tag) fails the save. Returns the number of items taken.
    int InsertValues(const CDcmTkItemPtrArray& items);
    const std::string& GetLastError() const { return m_strLastError; }

    // A picture read in by a builder: pixels as they will be stored.
    struct CPicture {
        enum EKind { kNone, kJpeg, kGrey, kRgb };
        EKind eKind = kNone;
        int nRows = 0, nColumns = 0, nComponents = 0;
        std::vector<std::uint8_t> abData;  // JPEG stream, or packed 8-bit pixels
        double dWindowCenter = 0, dWindowWidth = 0;
    };

protected:
    // Fills the dataset; FALSE (with the reason in strError) when it cannot be built.
    virtual bool BuildDataset(DcmDataset& dataset, std::string& strError) const;
    const CPicture& Picture() const { return m_picture; }
    void SetLastError(const std::string& s) { m_strLastError = s; }

    CPicture m_picture;

private:
    struct CInserted {
        std::uint16_t nGroup, nElement;
        bool bBinary;
        std::string strText;
        std::vector<std::uint8_t> abBytes;
    };
    bool InsertInto(DcmDataset& dataset, std::string& strError) const;

    std::vector<CInserted> m_aInserted;
    std::string m_strLastError;
};

// The builder of ECG and spirometry objects: callers add patient, study, series, instance
// and waveform, then a picture, and save.
class OXUDCM_EXPORT CDcmTkEcgData : public CDcmTkDicomFile {
public:
    CDcmTkEcgData() = default;
    CDcmTkEcgData(const CDcmTkEcgData&) = default;
    CDcmTkEcgData& operator=(const CDcmTkEcgData&) = default;
    ~CDcmTkEcgData() override = default;

    int AddPatientData(const CDcmDataPatient& data);
    int AddStudyData(const CDcmDataStudy& data);
    int AddSeriesData(const CDcmDataSeries& data);
    int AddInstanceData(const CDcmDataInstance& data);
    int AddWaveformData(const CDcmDataWaveform& data);      // 12-lead ECG
    int AddWaveformData_SPR(const CDcmDataWaveform& data);  // spirometry curves
    // 1 when the picture was read (baseline JPEG; BMP of 8, 24 or 32 bits), else 0 and
    // the object keeps no picture.
    int AddJpegFile(const char* pszPath);
    int AddBMPFile(const char* pszPath, int nImageKind, double dWindowCenter, double dWindowWidth);

    enum EWaveKind { kNoWave, kEcgWave, kSpiroWave };

protected:
    bool BuildDataset(DcmDataset& dataset, std::string& strError) const override;

private:
    CDcmDataPatient m_patient;
    CDcmDataStudy m_study;
    CDcmDataSeries m_series;
    CDcmDataInstance m_instance;
    CDcmDataWaveform m_waveform;
    EWaveKind m_eWave = kNoWave;
};

#pragma once
// The conversions of a stored record into report files, as the server's settings ask:
// the controls render the image, PDF and XML files, the text reports are written from
// the values they give. The main frame lists the record first and then calls these; a
// failing step never stops the later ones.
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "acq_server/reports/reportvalues.h"

namespace acq_reports {

// What the conversions call of the ECG control (through the server's wrapper).
class IEkgConversionControl : public IEkgReportValues {
public:
    virtual bool EKGOpenFile(const std::string& strPath) = 0;
    virtual bool EKGSetGraphPen(short nStyle, short nWidth, std::uint32_t color) = 0;
    virtual bool EKGMakeImage(const std::string& strPath, short nChType, short nGain, short nRhyCh,
                              short nWidth, short bFilter) = 0;
    virtual bool EKGMakePDF(const std::string& strPath, short nChType, short nGain, short nRhyCh,
                            short nWidth) = 0;
    virtual bool EKGMakeXML(const std::string& strPath) = 0;
};

// What the conversions call of the spirometry control.
class ISpiroConversionControl : public ISpiroReportValues {
public:
    virtual short Open(const std::string& strPath, short nType) = 0;
    virtual short SaveJPEG(const std::string& strPath, short nWidth) = 0;
    virtual short SavePDF(const std::string& strPath, short nWidth) = 0;
};

// The main frame's settings the conversions read.
struct SConversionSettings {
    bool bJpegEkg = false, bPdfEkg = false, bTxtEkg = false, bXmlEkg = false;
    bool bJpegSpr = false, bPdfSpr = false, bTxtSpr = false;
    short nJpegType = 0, nJpegGain = 0, nJpegRhythm = 0, nJpegWidthEkg = 800;
    short nPdfType = 0, nPdfGain = 0, nPdfRhythm = 0, nPdfWidthEkg = 800;
    short nJpegWidthSpr = 600, nPdfWidthSpr = 600;  // widths of the size settings
    int nFolderType = 0;
    // The server makes no DICOM file; the reports name one only when these are on.
    bool bDicomEkg = false, bDicomSpr = false;
    bool bTxtPatEkg = false, bTxtParamEkg = false, bTxtDiagEkg = false, bTxtHospEkg = false;
    bool bTxtPatSpr = false, bTxtParamSpr = false, bTxtDiagSpr = false, bTxtHospSpr = false;
};

using ConversionLog = std::function<void(const std::string&)>;

// The ECG conversion after listing: nothing without a control or for a record that is not
// ".ekg" (in any case); the record opened, then the image, PDF, text report and XML.
void ConvertEkgRecord(IEkgConversionControl* pControl, const std::string& strPath,
                      const SConversionSettings& settings, const ConversionLog& log,
                      std::time_t now);
// The spirometry conversion after listing: nothing without a control, for another
// extension than ".fvc", ".svc", ".mvv" (in any case) or a test the control refuses.
void ConvertSpiroRecord(ISpiroConversionControl* pControl, const std::string& strPath,
                        const SConversionSettings& settings, std::time_t now);

}  // namespace acq_reports

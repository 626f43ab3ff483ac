#include "acq_server/reports/conversions.h"

#include "acq_server/reports/ekgtextreport.h"
#include "acq_server/reports/outputpaths.h"
#include "acq_server/reports/spirotextreport.h"
#include "platform/format.h"

namespace acq_reports {

namespace {

void Log(const ConversionLog& log, const std::string& text) {
    if (log) log(text);
}

}  // namespace

void ConvertEkgRecord(IEkgConversionControl* pControl, const std::string& strPath,
                      const SConversionSettings& s, const ConversionLog& log, std::time_t now) {
    using platform::Format;
    const int nFolder = s.nFolderType;
    // A ".raw" record (or anything else) is listed but never converted.
    if (!pControl || OutputPath(kOutJpeg, strPath, kRecordEkg, 0).empty()) return;
    if (!pControl->EKGOpenFile(strPath)) {
        Log(log, Format("\nCMainFrame::MakeFile FAIL - m_Wavelin.EKGOpenFile(%s)\n", strPath.c_str()));
        return;
    }
    Log(log, Format("\nCMainFrame::MakeFile Open - m_Wavelin.EKGOpenFile(%s)\n", strPath.c_str()));

    SReportFiles files;
    files.strRecord = strPath;
    files.strJpeg = s.bJpegEkg ? OutputPath(kOutJpeg, strPath, kRecordEkg, nFolder) : "";
    files.strPdf = s.bPdfEkg ? OutputPath(kOutPdf, strPath, kRecordEkg, nFolder) : "";
    files.strDicom = s.bDicomEkg ? OutputPath(kOutDicom, strPath, kRecordEkg, nFolder) : "";
    if (s.bJpegEkg) {
        // Solid black traces of width 2 on every image.
        pControl->EKGSetGraphPen(0, 2, 0);
        if (!pControl->EKGMakeImage(files.strJpeg, s.nJpegType, s.nJpegGain, s.nJpegRhythm,
                                    s.nJpegWidthEkg, 0)) {
            Log(log, Format("\nCMainFrame::MakeFile EKGMakeImage FAIL (%s)\n", files.strJpeg.c_str()));
        }
    }
    if (s.bPdfEkg && !pControl->EKGMakePDF(files.strPdf, s.nPdfType, s.nPdfGain, s.nPdfRhythm,
                                           s.nPdfWidthEkg)) {
        Log(log, Format("\nCMainFrame::MakeFile EKGMakePDF FAIL (%s)\n", files.strPdf.c_str()));
    }
    if (s.bTxtEkg) {
        const std::string strText = OutputPath(kOutText, strPath, kRecordEkg, nFolder);
        SReportSettings report;
        report.bJpeg = s.bJpegEkg;
        report.bPdf = s.bPdfEkg;
        report.bDicom = s.bDicomEkg;
        report.bPatient = s.bTxtPatEkg;
        report.bParam = s.bTxtParamEkg;
        report.bDiag = s.bTxtDiagEkg;
        report.bHosp = s.bTxtHospEkg;
        if (!WriteEkgTextReport(strText, *pControl, report, files, now)) {
            Log(log, Format("\nCMainFrame::MakeFile WriteEkgTextReport FAIL (%s)\n", strText.c_str()));
        }
    }
    if (s.bXmlEkg) {
        const std::string strXml = OutputPath(kOutXml, strPath, kRecordEkg, nFolder);
        if (!pControl->EKGMakeXML(strXml)) {
            Log(log, Format("\nCMainFrame::MakeFile EKGMakeXML FAIL (%s)\n", strXml.c_str()));
        }
    }
}

void ConvertSpiroRecord(ISpiroConversionControl* pControl, const std::string& strPath,
                        const SConversionSettings& s, std::time_t now) {
    const int nFolder = s.nFolderType;
    if (!pControl || OutputPath(kOutJpeg, strPath, kRecordSpiro, 0).empty()) return;
    // A negative answer is one of the control's file error codes: no output.
    if (pControl->Open(strPath, 0) < 0) return;

    SReportFiles files;
    files.strRecord = strPath;
    files.strJpeg = s.bJpegSpr ? OutputPath(kOutJpeg, strPath, kRecordSpiro, nFolder) : "";
    files.strPdf = s.bPdfSpr ? OutputPath(kOutPdf, strPath, kRecordSpiro, nFolder) : "";
    files.strDicom = s.bDicomSpr ? OutputPath(kOutDicom, strPath, kRecordSpiro, nFolder) : "";
    if (s.bJpegSpr) pControl->SaveJPEG(files.strJpeg, s.nJpegWidthSpr);
    if (s.bPdfSpr) pControl->SavePDF(files.strPdf, s.nPdfWidthSpr);
    if (s.bTxtSpr) {
        SReportSettings report;
        report.bJpeg = s.bJpegSpr;
        report.bPdf = s.bPdfSpr;
        report.bDicom = s.bDicomSpr;
        report.bPatient = s.bTxtPatSpr;
        report.bParam = s.bTxtParamSpr;
        report.bDiag = s.bTxtDiagSpr;
        report.bHosp = s.bTxtHospSpr;
        WriteSpiroTextReport(OutputPath(kOutText, strPath, kRecordSpiro, nFolder), *pControl,
                             report, files, now);
    }
}

}  // namespace acq_reports

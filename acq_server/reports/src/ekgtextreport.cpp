#include "acq_server/reports/ekgtextreport.h"

#include "platform/format.h"
#include "reporttext.h"

namespace acq_reports {

using namespace detail;

namespace {

// Characters [from, from + count) of the text; empty past its end.
std::string Piece(const std::string& text, std::size_t from, std::size_t count) {
    return from < text.size() ? text.substr(from, count) : std::string();
}

// The report is specified as a text-mode file: each LF reaches the disk as CR LF.
std::string TextMode(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

int WriteEkgPatientSection(std::string& out, IEkgReportValues& values) {
    out += "\r\n\n[Patient Information]\r\n";
    out += "- ID             = " + values.GetPatientInfo(0) + "\r\n";
    out += "- Name           = " + values.GetPatientInfo(1) + "\r\n";
    out += "- Age            = " + values.GetPatientInfo(2) + "\r\n";
    out += "- Sex            = " + values.GetPatientInfo(3) + "\r\n";
    const std::string strHeight = values.GetPatientInfo(4);
    const std::string strWeight = values.GetPatientInfo(5);
    if (strWeight.find('L') == std::string::npos) {
        out += "- Height         = " + strHeight + " cm\r\n";
        out += "- Weight         = " + strWeight + " kg\r\n";
    } else {
        out += ImperialLines(strHeight, strWeight, "- Height         = ", "- Weight         = ");
    }
    out += "- History        = " + values.GetPatientInfo(6) + "\r\n";
    return 1;
}

int WriteEkgParameterSection(std::string& out, IEkgReportValues& values) {
    using platform::Format;
    out += "\r\n\n[Parameter Information]\r\n";
    out += Format("- HR             = %d bpm\r\n", values.GetRhythmParam(0));
    out += Format("- PR int.        = %d ms\r\n", values.GetRhythmParam(1));
    out += Format("- QRS dur.       = %d ms\r\n", values.GetRhythmParam(2));
    const int nQt = values.GetRhythmParam(3);
    const int nQtc = values.GetRhythmParam(4);
    out += Format("- QT/QTc         = %d/%d ms\r\n", nQt, nQtc);
    const int nP = values.GetRhythmParam(5);
    const int nQrs = values.GetRhythmParam(6);
    const int nT = values.GetRhythmParam(7);
    out += Format("- PRT axis       = %d %d %d \r\n", nP, nQrs, nT);
    return 1;
}

int WriteEkgDiagnosisSection(std::string& out, IEkgReportValues& values) {
    out += "\r\n\n[Diagnosis Information]\r\n";
    const int nCount = values.GetAnalysisCnt();
    out += platform::Format("%d\n", nCount);
    for (int i = 0; i < nCount; ++i) out += values.GetAnalysis(i) + "\r\n";
    return 1;
}

int WriteEkgHospitalSection(std::string& out, IEkgReportValues& values) {
    out += "\r\n\n[Hospital Information]\r\n";
    out += "- Doctor         = " + values.GetMisc(0) + "\r\n";
    out += "- Hospital       = " + values.GetMisc(1) + "\r\n";
    return 1;
}

int WriteEkgTextReport(const std::string& strPath, IEkgReportValues& values,
                       const SReportSettings& settings, const SReportFiles& files,
                       std::time_t now) {
    const std::string strTime = values.GetTime();
    std::string out = "[Default Information]\r\n";
    out += "- Test Time      = " + Piece(strTime, 0, 4) + "/" + Piece(strTime, 4, 2) + "/" +
           Piece(strTime, 6, 2) + " " + Piece(strTime, 8, 2) + ":" + Piece(strTime, 10, 2) +
           "\r\n";
    out += "- Write Time     = " + MinuteText(now) + "\r\n";
    out += "- Company        = " + values.GetMisc(2) + "\r\n";
    out += "- S/W Ver.       = " + values.GetMisc(3) + "\r\n";
    out += "- EKG FileName   = " + files.strRecord + "\r\n";
    out += "- JPEG FileName  = " + (settings.bJpeg ? files.strJpeg : std::string()) + "\r\n";
    out += "- PDF FileName   = " + (settings.bPdf ? files.strPdf : std::string()) + "\r\n";
    out += "- DICOM FileName = " + (settings.bDicom ? files.strDicom : std::string()) + "\r\n";
    if (settings.bPatient) WriteEkgPatientSection(out, values);
    if (settings.bParam) WriteEkgParameterSection(out, values);
    if (settings.bDiag) WriteEkgDiagnosisSection(out, values);
    if (settings.bHosp) WriteEkgHospitalSection(out, values);
    out += "\r\n\nCompleteFlag   = 1";
    return WriteReportFile(strPath, TextMode(out));
}

}  // namespace acq_reports

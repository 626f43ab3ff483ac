#pragma once
// What the text reports read of a record: the values the ECG and spirometry controls give
// for the record they hold open. The server fills them from its control wrappers; tests
// fill them from tables. Texts are 8-bit text in the installation code page, as the
// controls give them.
#include <string>

namespace acq_reports {

class IEkgReportValues {
public:
    virtual ~IEkgReportValues() = default;
    virtual std::string GetTime() = 0;                // digits: yyyymmddhhmm...
    virtual std::string GetMisc(int nIndex) = 0;      // 0 doctor, 1 hospital, 2 company, 3 version
    virtual std::string GetPatientInfo(int nIndex) = 0;  // 0 ID .. 6 history
    virtual short GetRhythmParam(int nIndex) = 0;     // 0 HR .. 7 T axis
    virtual short GetAnalysisCnt() = 0;
    virtual std::string GetAnalysis(int nIndex) = 0;
};

class ISpiroReportValues {
public:
    virtual ~ISpiroReportValues() = default;
    virtual std::string GetInformation(int nKind) = 0;
    virtual std::string GetRaceString() = 0;
    virtual std::string GetSmokeString() = 0;
    virtual std::string GetSmokePackString() = 0;
    virtual std::string GetFormulaString() = 0;
    virtual std::string GetAnalysisString() = 0;
    virtual std::string GetAnalysisStringPost() = 0;
    virtual short GetTestType() = 0;
    virtual short GetFileVersion() = 0;
    virtual short GetParamCount(short nTestType, short nFileVer) = 0;
    virtual float GetParam(short nTestType, short nKind, short nDepth) = 0;
    virtual short GetEcode(short nTrial, short nPosition) = 0;
    virtual short GetBestNo() = 0;
    virtual short GetBestNoPost() = 0;
};

// The main frame's settings that shape a report.
struct SReportSettings {
    bool bJpeg = false;   // the report names the image file
    bool bPdf = false;
    bool bDicom = false;
    bool bPatient = false;
    bool bParam = false;
    bool bDiag = false;
    bool bHosp = false;
};

// The files a report names: the record by its own path and the outputs by the paths the
// conversions write (the output path function gives them). A line stays empty when its
// output is switched off.
struct SReportFiles {
    std::string strRecord;
    std::string strJpeg;
    std::string strPdf;
    std::string strDicom;
};

}  // namespace acq_reports

#pragma once
// The spirometry text report ("<test>_fvc.txt", ...), written as bytes, and the shorter
// information report the spirometry viewer exports. Both whole or not at all.
#include <ctime>
#include <string>

#include "acq_server/reports/reportvalues.h"

namespace acq_reports {

// 1 when written, 0 when the file could not be written (nothing is left then).
int WriteSpiroTextReport(const std::string& strPath, ISpiroReportValues& values,
                         const SReportSettings& settings, const SReportFiles& files,
                       std::time_t now);

// The sections, each appended to the report's text; each returns 1.
int WriteSpiroPatientSection(std::string& out, ISpiroReportValues& values);
int WriteSpiroFvcTable(std::string& out, ISpiroReportValues& values);
int WriteSpiroSvcTable(std::string& out, ISpiroReportValues& values);
int WriteSpiroMvvTable(std::string& out, ISpiroReportValues& values);
int WriteSpiroFvlTable(std::string& out, ISpiroReportValues& values);
int WriteSpiroFvcPrePostTable(std::string& out, ISpiroReportValues& values);
int WriteSpiroDiagnosisSection(std::string& out, ISpiroReportValues& values);
int WriteSpiroHospitalSection(std::string& out, ISpiroReportValues& values);

// The information report's text, and the file: 1 when written, 0 otherwise.
// Where the spirometry viewer's own information report differs from the server's.
struct SSpiroInfoOptions {
    bool bHeightWeightAsStored = false;  // " cm"/" kg" after the stored values, whatever the unit flag
    bool bPrePostDiagnosis = true;       // pre/post tests get their diagnosis and formula lines
};
std::string SpiroInformationReportText(ISpiroReportValues& values, const SSpiroInfoOptions& options = {});
int WriteSpiroInformationReport(const std::string& strPath, ISpiroReportValues& values);

}  // namespace acq_reports

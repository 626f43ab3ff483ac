#pragma once
// The ECG text report for practice software: "<record>_ekg.txt". Written as a text-mode
// file would be (every LF becomes CR LF, so "\r\n" ends in CR CR LF), whole or not at all.
#include <ctime>
#include <string>

#include "acq_server/reports/reportvalues.h"

namespace acq_reports {

// 1 when written, 0 when the file could not be written (nothing is left then).
int WriteEkgTextReport(const std::string& strPath, IEkgReportValues& values,
                       const SReportSettings& settings, const SReportFiles& files,
                       std::time_t now);

// The sections, each appended to the report's text; each returns 1.
int WriteEkgPatientSection(std::string& out, IEkgReportValues& values);
int WriteEkgParameterSection(std::string& out, IEkgReportValues& values);
int WriteEkgDiagnosisSection(std::string& out, IEkgReportValues& values);
int WriteEkgHospitalSection(std::string& out, IEkgReportValues& values);

}  // namespace acq_reports

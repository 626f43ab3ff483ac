#pragma once
// A record in memory for the export tests: synthetic beats on all 12 leads, patient
// values, measurements, statements and filter settings.
#include <string>

#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "ecg_export/ekgexportutil.h"

struct CTestRecord {
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;

    // nSamples 5000 (".ekg") or 6000 (".raw").
    explicit CTestRecord(unsigned nSamples = 5000);
    CEkgRecordSources Sources() { return {&wave, &info, &morph, nullptr}; }
};

// Runs a command line and returns its standard output (standard error appended).
std::string Shell(const std::string& strCommand, int* pStatus = nullptr);
// Counts the occurrences of a text.
int CountOf(const std::string& strText, const std::string& strWhat);

#include "ecg_engine/engine_data.h"

#include <algorithm>

namespace ecg_engine {

const char* const kLeadNames[kLeads] = {"I",  "II", "III", "aVR", "aVL", "aVF",
                                        "V1", "V2", "V3",  "V4",  "V5",  "V6"};
const char* const kLeadLabels[kLeads] = {"  I", " II", "III", "aVR", "aVL", "aVF",
                                         " V1", " V2", " V3", " V4", " V5", " V6"};
const int kInputRowLead[kIndependentLeads] = {LeadI,  LeadII, LeadV1, LeadV2,
                                              LeadV3, LeadV4, LeadV5, LeadV6};

std::unique_ptr<CEngineData> CreateEngineData(EEngineVariant variant) {
    auto d = std::make_unique<CEngineData>();
    d->Variant = variant;
    return d;
}

void SetupFilterSwitches(CEngineData& d) {
    d.DetectionFlag = 1;
}

// The detection and QRS tables are about a megabyte each: copy from one preset instance
// instead of building a temporary on the stack.
void ResetDetectionTables(CEngineData& d) {
    static const SDetectionTables s_preset{};
    d.Detection = s_preset;
}

void ResetQrsTables(CEngineData& d) {
    static const SQrsTables s_preset{};
    d.Qrs = s_preset;
}

// The wave tables are large too: copy from preset instances as well.
void ResetPWaveTables(CEngineData& d) {
    static const SPWaveTables s_preset = [] {
        SPWaveTables t{};
        t.Paxis.fill(MissingValue);
        t.RecordPAxis = MissingValue;
        return t;
    }();
    d.PWave = s_preset;
}

void ResetTOffsetTables(CEngineData& d) {
    static const STOffsetTables s_preset = [] {
        STOffsetTables t{};
        t.TOffset.fill(MissingValue);
        t.Taxis.fill(MissingValue);
        t.RecordTAxis = MissingValue;
        return t;
    }();
    d.TWave = s_preset;
}

void ResetMeasurementTables(CEngineData& d) {
    d.BeatCount = 0;
    d.HeartRate = 0;
    static const SMeasurementTables s_preset{};
    d.Measurements = s_preset;
    auto& m = d.Measurements;
    m.Paxis.fill(MissingValue);
    m.Raxis.fill(MissingValue);
    m.Raxis60.fill(MissingValue);
    m.Taxis.fill(MissingValue);
    // Intervals start at 0, the three axes as not found.
    m.GlobalMeasurements = {0, 0, 0, 0, 0, MissingValue, MissingValue, MissingValue};
}

void ResetFinishTables(CEngineData& d) {
    d.Finish = SFinishTables{};
    d.ResultStatements.nCount = 0;
    for (auto& s : d.ResultStatements.aText)
        s.fill('\0');
}

int InitAnalysis(CEngineData& d) {
    for (auto& row : d.AnalysisLeads)
        row.fill(0);
    SetupFilterSwitches(d);
    ResetDetectionTables(d);
    ResetQrsTables(d);
    ResetPWaveTables(d);
    ResetTOffsetTables(d);
    ResetMeasurementTables(d);
    ResetFinishTables(d);
    d.PWave.nCounter = 0;
    d.Rhythm = SRhythmTables{};
    for (auto& s : d.RhythmStatementSlots)
        s.fill('\0');
    for (auto& s : d.WaveformStatementSlots)
        s.fill('\0');
    d.RhythmStatementLevels.fill(0);
    d.WaveformStatementLevels.fill(0);
    return 0;
}

}  // namespace ecg_engine

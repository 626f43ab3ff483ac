#pragma once
// Steps of the wave stages (T-wave end, P wave, measurements) and the finish step, each
// callable alone so that it can be checked on working data filled by hand.
#include "ecg_engine/engine_data.h"

namespace ecg_engine {

// Middle-value pick of a counted list (values 1..n in aValue[0..n-1]); the result is also
// left in the count place.
std::int32_t MiddleValueOf(SWorkList& list);
// The same pick over nCount plain values (sorted in place), for the record values, whose
// lists can be longer than a work list: up to 66 beats, up to 660 P axes.
std::int32_t MiddleValueOf(std::int32_t* pValue, int nCount);
// Adds a value to a counted list while it has room.
void AddToWorkList(SWorkList& list, std::int32_t nValue);
// Chord rule of the T and P waves: the first sample of y[s..e] farthest from the straight
// line between y[s] and y[e] (e = s + 1 when they meet), its position and signed amplitude
// in microvolts. Both are left as they were when no sample leaves the line or the span is not
// inside the record.
void FindChordPeak(const std::int32_t* y, int s, int e, std::int32_t& nPeak, std::int32_t& nAmp);
// The frontal axis rule is the QRS stage's AxisFromLimbLeads (qrs_stages.h).

// T-wave end stage.
void PrepareTOffsetSearch(CEngineData& d);
void FindTOffsets(CEngineData& d);
void FinishTWave(CEngineData& d);

// P-wave stage.
void BuildTwelveLeadBuffer(CEngineData& d);
void FindIsoelectricPoints(CEngineData& d);
void FilterPWaveSignal(CEngineData& d);
void DetectPWaves(CEngineData& d);
void MeasurePWaves(CEngineData& d);
void CountAtrialActivity(CEngineData& d);
void MeasureAtrialWaveEcho(CEngineData& d);
// The lead with the most P waves in kept beat j (first in lead order on ties); -1 when none.
int LeadWithMostPWaves(const CEngineData& d, int j);

// Measurements: each beat's QRS matched against the dominant beat's (QrsLikeness).
void MeasureQrsLikeness(CEngineData& d);

// Finish step pieces: the statements and the lead result table.
void CollectResultStatements(CEngineData& d);
void BuildLeadResultTable(CEngineData& d);
// The result file image (133400 bytes; 132900 + 48 for Zorvik31's further values).
std::string BuildResultFileImage(CEngineData& d);
// Removes the result files of an earlier run of the same base name.
void RemoveEarlierResultFiles(const CEngineData& d);

}  // namespace ecg_engine

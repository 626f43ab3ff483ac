#pragma once
// Steps of the detection stage (lead quality, QRS windows, beat list) and of the QRS
// recognition stage (turning points, complex types, waves, beat measures). Each returns 0
// unless said otherwise; the stage drivers are in stages.h.
#include <cstdint>

#include "ecg_engine/engine_data.h"

namespace ecg_engine {

// Lead quality and detection.
int ComputeSquaredSlope(CEngineData& d);  // -1 when every lead is without signal
int BuildQrsFeatureSignal(CEngineData& d);
int DetectQrsWindows(CEngineData& d);
int DetectAndRefineQrsWindows(CEngineData& d);
// After the long-window pass: each lead scanned and refined once more at half its
// threshold; windows that overlap none of the lead's own are added (wide beats whose
// feature peak stays below the full threshold).
int AddLowThresholdWindows(CEngineData& d);
// Whether lead r holds a beat over [nFrom, nTo] (detection frame) under the lowered threshold:
// its feature reaches half the lead's detection threshold, and it is not the T wave of the QRS
// over [nPrevFrom, nPrevTo] (-1: none before): within 360 ms of that QRS's energy, a wave
// less than half as steep, or less steep and twice as slow to swing through its amplitude.
bool IsLowThresholdBeat(const CEngineData& d, int r, int nFrom, int nTo, int nPrevFrom,
                        int nPrevTo);
int RefineQrsWindows(CEngineData& d);
int CheckLeadAgreement(CEngineData& d);  // -1 when no lead is left of good quality

// Beat list.
int GroupBeats(CEngineData& d);  // -1 when the beats do not fit the beat list
int CleanBeatList(CEngineData& d);
// Removes beat i of the detection list; the later beats move down one place.
void RemoveDetectionBeat(CEngineData& d, int i);
int DeriveOutputLeads(CEngineData& d);
// The ratings of the eight recorded leads spread over the twelve output leads.
void MapRatingsToLeads(const std::array<std::int32_t, kIndependentLeads>& aRating,
                       std::array<std::int32_t, kLeads>& aLead);
// The picks of the stages: the values sorted in descending order, then the value nShift
// places after the n/2-th (n even) or (n+1)/2-th (n odd); the first value when n < 3, 0 for an
// empty list.
std::int32_t PickFromWorkList(SWorkList& list, int nShift);
// The same pick on the first nCount values of an array (sorted in place).
std::int32_t PickFromValues(std::int32_t* pValue, int nCount, int nShift);
// Pick of the beat grouping: the n/2-th or (n+1)/2-th itself.
std::int32_t MedianOfWorkLists(SWorkList& list);

// QRS recognition.
int BuildExtremumLists(CEngineData& d);
int PruneExtrema(CEngineData& d);
int ClassifyComplexShape(CEngineData& d);
int RefineQrsBoundaries(CEngineData& d);
int ComputeGlobalQrsBoundaries(CEngineData& d);
// Picks of the global boundaries: the onset one place below the middle of the descending
// order, the offset one place above it; the first values when n < 3.
void PickGlobalBoundaries(SWorkList& onsets, SWorkList& offsets, std::int32_t& nOnset,
                          std::int32_t& nOffset);
int MeasureQrsWaves(CEngineData& d);
void ValidateQrsWave(CEngineData& d, int nWaveBit, int nLead, int nBeat);
void CloseWaveGaps(CEngineData& d, int nLead, int nBeat);
int ComputeQrsBeatMeasures(CEngineData& d);
// Pick of the beat measures: one place below the middle of the descending order (m/2+1-th
// for m even, (m+1)/2+1-th for m odd); the first value when m < 3, 0 for an empty list.
// The pick is also left in the list's count.
std::int32_t MedianOfList(SWorkList& list);
// Frontal axis in whole degrees from the values of leads I, II and III.
std::int32_t AxisFromLimbLeads(std::int64_t nI, std::int64_t nII, std::int64_t nIII);

}  // namespace ecg_engine

#pragma once
// The interpretation driver and the rhythm stage: beat classification, rhythm criteria,
// premature and escape beats, statement selection, representative beats and the rhythm
// line of the text report. Beats are numbered 1..N with N = RhythmBeats(d); the inputs are
// the counted lists of the measurements (RRint, PRint, QRSdur, Raxis, ...).
#include "ecg_engine/engine_data.h"

namespace ecg_engine {

// Thresholds of one patient group; the driver always selects group 0.
struct SRhythmThresholds {
    int nNarrowQrs;         // ms: below it a QRS is narrow (class 1)
    int nSinusPrMin;        // ms: a PR from here to nSinusPrMax keeps the beat's own label
    int nSinusPrMax;
    int nVentricularPrMax;  // ms: a wide beat with PR above it has no conducted P
    int nNoPrLimit;         // ms: label 3 with a PR above it (or none) becomes label 4
    int nBradycardia;       // per minute
    int nTachycardia;
    double dPrematureRatio;  // RR below this times the median RR is premature
    double dPauseRatio;      // times the base interval
    // A QRS less like the dominant beat's than this (percent, QrsLikeness) is not the
    // dominant beat's; it is ventricular when it is this much wider (ms) or no P wave at the
    // dominant beats' PR, within this spread (ms), conducted it.
    int nLikeDominant;
    int nWiderThanDominant;
    int nConductedPrSpread;
    // ms: a narrow QRS whose activation time reaches this spread through the ventricles' muscle
    // from a focus of their own; a faster one came down the conduction system.
    int nSlowActivation;
    // A ventricular beat is premature when its RR is below this times the median of the
    // intervals that end in a beat of the atria.
    double dPvcPrematureRatio;
};
const SRhythmThresholds& RhythmThresholds(const CEngineData& d);

// Beats the rhythm stage looks at: BeatCount, at most the 65 a counted list holds.
int RhythmBeats(const CEngineData& d);

// Interpretation driver: language, rhythm stage, rate-selected ST levels, waveform stage.
int RunInterpretation(CEngineData& d);
void SelectStatementLanguage(CEngineData& d);
// The waveform stage; absent until it is built (no statements).
int RunMorphologyAnalysis(CEngineData& d);

// Rhythm stage driver; returns 0.
int RunRhythmAnalysis(CEngineData& d);

// Beat classification.
void MarkVentricularBeats(CEngineData& d);
void ClassifyBeatQrs(CEngineData& d);
void MarkSinusPAxis(CEngineData& d);
void TypeBeats(CEngineData& d);

// Shared helpers. A counted list holds its count in slot 0 and beats 1..65.
// 1 when the marked list holds a run of at least nMin consecutive beats (fills BeatRun).
int FindBeatRun(CEngineData& d, const BeatList& list, int nMin);
// Median pick of values 1..n of a counted list (one place above the middle for n > 5);
// 0 for an empty list, which callers treat as no value.
int MedianOf(CEngineData& d, const BeatList& list, int n);
int HasBigeminy(const CEngineData& d, int nFirst, const BeatList& marks);
int HasTrigeminy(const CEngineData& d, int nFirst, const BeatList& marks);

// Rhythm criteria.
void ClassifySinusRate(CEngineData& d, int S, int E);
void DetectSinusPause(CEngineData& d, int S, int E);
int CountPAxisDeviations(const CEngineData& d, int S, int E, int nMean);
void ClassifyAtrialRun(CEngineData& d, int S, int E);
void ClassifyJunctionalRun(CEngineData& d, int S, int E);
void ClassifyVentricularRun(CEngineData& d, int S, int E);
void DetectAtrialFlutter(CEngineData& d);
void DetectAtrialFibrillation(CEngineData& d);
void DetectFirstDegreeBlock(CEngineData& d);
void DetectWenckebach(CEngineData& d);
void DetectMobitzII(CEngineData& d);
void DetectTwoToOneBlock(CEngineData& d);
void DetectCompleteBlock(CEngineData& d);

// Premature and escape beats.
void DetectPvc(CEngineData& d);
void DetectPac(CEngineData& d);
void DetectPjc(CEngineData& d);
void DetectEscapeAtrial(CEngineData& d);
void DetectEscapeJunctional(CEngineData& d);
void DetectEscapeVentricular(CEngineData& d);

// Statement selection: fills RhythmStatementSlots 1.., raises EcgSeverity, sets
// VentricularMark; returns the number of statements.
int SelectRhythmStatements(CEngineData& d);

// Representative beats.
void KeepDominantBeatLabel(CEngineData& d);
void ScoreMedianBeats(CEngineData& d, const BeatList& values, int nWeight);
int BestScoredBeat(const CEngineData& d);
int MedianBeatIndex(CEngineData& d, const BeatList& values);
void SelectRepresentativeBeats(CEngineData& d);

// Appends the rhythm line to the report file (pszReportPath in the working folder).
// False, with a console message and no line, when the file cannot be opened.
bool WriteRhythmReport(const CEngineData& d, const char* pszInputPath, const char* pszReportPath);
// The record name of the report lines: the last path component ("/" or "\") up to the dot
// of its record extension.
std::string ReportRecordName(const char* pszInputPath);

}  // namespace ecg_engine

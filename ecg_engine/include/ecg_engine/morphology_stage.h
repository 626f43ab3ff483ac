#pragma once
// The waveform (morphology) stage: the criteria that judge the representative beats, the
// selection of the waveform statements and the morphology line of the text report.
//
// Every criterion only sets (and some clear) flags of d.Morphology.MorphologyFindings; the
// order in which RunMorphologyAnalysis calls them is binding, since later criteria read and
// clear findings of earlier ones. Amplitudes are microvolts, durations ms, axes degrees.
#include <string>

#include "ecg_engine/engine_data.h"

namespace ecg_engine {

// Thresholds of the voltage and axis classes, per patient group.
struct SVoltageAxisThresholds {
    int nLimbLowVoltage;   // |sumQRS| of I, II, III below it
    int nChestLowVoltage;  // |sumQRS| of V1..V6 below it
    int nLeftAxisFrom;     // left: nLeftAxisFrom <= a < nNormalAxisFrom
    int nNormalAxisFrom;   // normal: nNormalAxisFrom <= a <= nNormalAxisTo
    int nNormalAxisTo;
    int nRightAxisTo;    // right: nNormalAxisTo < a <= nRightAxisTo
    int nNorthwestFrom;  // northwest: nNorthwestFrom < a < nLeftAxisFrom
};

// Thresholds of atrial enlargement and ventricular hypertrophy, per patient group (the left
// ventricular voltages are those of criteria set 2).
struct SHypertrophyThresholds {
    int nRaePaII, nRaePaAvf;  // P amplitude in II, aVF
    int nLaePdII, nLaePaV1;   // P duration in II, negative P in V1
    int nRvhMaxQrs;           // median QRS duration up to which RVH is scored
    int nRvhSumQrsV1, nRvhRaV1, nRvhSaV1;
    int nRvhSToRTenths;  // |S| > tenths/10 x R in V5 or V6
    int nRvhSumQrsV56;
    int nRvhAxisRight, nRvhAxisNorthwest;  // axis > right, or -180 < axis < northwest
    int nLvhSv1R56, nLvhRv56Sv2, nLvhR56, nLvhRaVl;
};

// Thresholds of the conduction blocks and pre-excitation, per patient group.
struct SConductionThresholds {
    int nNarrowQrs;    // median QRS duration up to which only an incomplete RBBB is found
    int nMinRPrime;    // smaller of R and R' in V1
    int nQrQDuration;  // QR in V1: a Q longer than this ...
    int nQrRToQ;       // ... and deeper than R / this is no incomplete RBBB
    int nLpfbFrom, nLpfbTo, nLafbFrom, nLafbTo;  // initial axis
    int nLbbbRaV1, nLbbbRdV1;
    int nNivcdFlutterQrs;  // with flutter or fibrillation NIVCD needs a QRS above this
    int nRvhRaV2;          // R in V2 that lets (probable) RVH explain a right bundle pattern
    // Pre-excitation.
    int nPrFrom, nPrTo;  // 30 < PR < 150
    int nMinQrs;         // QRS above it
    int nBeatPercent;    // pre-excitation when more than this share of the beats counts
};

// Thresholds of the infarction criteria, per patient group.
struct SInfarctionThresholds {
    int nQDuration, nQDurationAvl;  // pathological Q
    int nRToQ, nRToQAvl;            // R < factor x |Q|
    int nSeptalQAmplitude;          // |QA| above it in V1..V3
    int nRaV6;                      // R in V6 below it
    int nLateralMaxQrs;             // lateral only for a median QRS below it
    int nLimbSumQrs, nAvfSumQrs;    // |sumQRS| above it
    int nMaxQDuration;              // QD below it in the limb leads
    int nInferiorQa;                // the third lead's Q below it
    int nPosteriorRd, nPosteriorSumQrs;
};

// Thresholds of the repolarisation criteria, per patient group; QTc of criteria set 2.
struct SRepolarisationThresholds {
    int nLimbStDepression, nChestStDepression;
    int nLimbStElevation, nSeptalStElevation, nLateralStElevation;
    int nStStability;  // |SecondStLevel - STj| below it
    int nTInversion;
    int nProlongedQtc;
    int nCriteriaSet1QtcExtra;
};

const SVoltageAxisThresholds& VoltageAxisThresholds(const CEngineData& d);
const SHypertrophyThresholds& HypertrophyThresholds(const CEngineData& d);
const SConductionThresholds& ConductionThresholds(const CEngineData& d);
const SInfarctionThresholds& InfarctionThresholds(const CEngineData& d);
const SRepolarisationThresholds& RepolarisationThresholds(const CEngineData& d);

// Driver: shape flags, the eleven criteria in order, statements, report line; returns 0.
// A record without beats (or marked as a ventricular rhythm) gets no waveform statement.
int RunMorphologyAnalysis(CEngineData& d);
void FillLeadShapeFlags(CEngineData& d);
// The beat whose measures stand for the lead (the representative beat, or the beat the
// result file describes when none was chosen); 0 when the record has no beats.
int RepresentativeBeatOf(const CEngineData& d, int nLead);

void FindLowVoltage(CEngineData& d);
void ClassifyAxis(CEngineData& d);
void FindAtrialEnlargement(CEngineData& d);
void FindVentricularHypertrophy(CEngineData& d);
void FindConductionBlocks(CEngineData& d);
void FindPreexcitation(CEngineData& d);
void FindInfarction(CEngineData& d);
void FindStDepression(CEngineData& d);
void FindStElevation(CEngineData& d);
void FindTInversion(CEngineData& d);
void FindProlongedQt(CEngineData& d);

// Third moment of the R wave over samples nOn..nOff of a row, taken above the level nLevel,
// around the centroid dCentroid, divided by nDivisor (integer quotient toward zero), computed
// in double precision and saturated to the 32-bit range.
std::int32_t RThirdMoment(const std::int32_t* pRow, int nOn, int nOff, std::int32_t nLevel,
                          double dCentroid, std::int64_t nDivisor);

// Fills WaveformStatementSlots 1.., raises EcgSeverity; returns the number of the last slot.
int SelectWaveformStatements(CEngineData& d);

// Appends the morphology line to the report file. False, with a console message and no
// line, when the file cannot be opened.
bool WriteMorphologyReport(const CEngineData& d, const char* pszInputPath,
                           const char* pszReportPath);
// Record name of the morphology line: the last path component ("/" or "\") up to its first
// dot.
std::string MorphologyRecordName(const char* pszInputPath);

}  // namespace ecg_engine

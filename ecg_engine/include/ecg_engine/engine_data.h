#pragma once
// Working data of one analysis run. Every stage reads and fills this one object; nothing is
// passed from stage to stage in any other way, so each stage can be run and checked alone.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ecg_engine/morphology_data.h"
#include "ecg_engine/rhythm_data.h"

namespace ecg_engine {

// Which engine program runs: the current one or the older four-argument build.
enum class EEngineVariant { Zorvik31, Zorvik21 };

constexpr int kSampleRate = 500;
constexpr int kRecordSamples = 5000;  // samples per lead in a record
constexpr int kLeadIn = 500;          // padding before and after the record in InputLeads
constexpr int kInputSamples = 6000;   // kLeadIn + kRecordSamples + kLeadIn
constexpr int kIndependentLeads = 8;  // I, II, V1..V6
constexpr int kLeads = 12;            // EngineLeadOrder
constexpr int kMaxBeats = 66;
constexpr int kMaxPWavesPerBeat = 10;
constexpr int kTextSize = 1000;  // InputPath, OutputBaseName, DebugFolderPrefix
constexpr int kStatementSlots = 20;
constexpr int kStatementSize = 200;
constexpr int kResultStatementSlots = 50;
constexpr int kMaxDebugRows = 1536;
constexpr int MissingValue = -400;

// EngineLeadOrder.
enum EngineLead {
    LeadI,
    LeadII,
    LeadIII,
    LeadAVR,
    LeadAVL,
    LeadAVF,
    LeadV1,
    LeadV2,
    LeadV3,
    LeadV4,
    LeadV5,
    LeadV6
};

// Leads whose atrial waves are counted one by one beside the eight leads' sum, which cancels
// flutter waves of some directions: II first, the other inferior leads, I, and V1 (where the
// chest leads show flutter waves best).
constexpr int kFlutterLeads = 5;
inline constexpr EngineLead kFlutterLeadList[kFlutterLeads] = {LeadII, LeadIII, LeadAVF, LeadI,
                                                               LeadV1};
// Atrial cycles of flutter, 240 to 350 a minute, in samples of 2 ms.
constexpr int kShortestAtrialCycle = 86, kLongestAtrialCycle = 125;

// Lead names as debug row and file names use them, in EngineLeadOrder.
extern const char* const kLeadNames[kLeads];
// Three-character right-aligned labels of the logs, in EngineLeadOrder.
extern const char* const kLeadLabels[kLeads];
// EngineLeadOrder index of each InputLeads row (I, II, V1..V6).
extern const int kInputRowLead[kIndependentLeads];

// The four filter switches in their memory order; the filters compare them as unsigned bytes.
struct SFilterSettings {
    std::uint8_t nAC = 0;   // 0 off, 1 = 50 Hz, 2 = 60 Hz
    std::uint8_t nLPF = 0;  // 0 off, 1..3 kernel row
    std::uint8_t nMF = 0;   // 1 = muscle filter
    std::uint8_t nBF = 0;   // 1 = second baseline step of set B
};

using StatementText = std::array<char, kStatementSize>;

struct SResultStatements {
    int nCount = 0;
    std::array<StatementText, kResultStatementSlots> aText{};
};

struct SInterpretationContext {
    int PatientGroup = 0;  // index into the threshold tables; the driver always sets 0
    int CriteriaSet = 2;
    // Per lead (EngineLeadOrder) the ST level of the representative beat that the ST
    // criteria judge: STj when HeartRate > 120, else SecondStLevel (rhythm_data.h).
    std::array<std::int32_t, kLeads> RateSelectedLeadValues{};
    int nLanguage = 0;  // command-line language; 0..11, any other value English
};

// Named signal rows of the debug data file. Rows are allocated only when a dump appends
// them, so a run that dumps sixteen rows does not carry the full capacity.
struct SDebugDumpRows {
    std::vector<std::unique_ptr<std::int32_t[]>> aRows;
    std::vector<std::string> aNames;
    int RowCount() const { return static_cast<int>(aRows.size()); }
    void Clear() {
        aRows.clear();
        aNames.clear();
    }
};

using LeadBeatTable = std::array<std::array<std::int32_t, kMaxBeats>, kLeads>;
using BeatTable = std::array<std::int32_t, kMaxBeats>;

// Lead quality states; after the detection stage only Good and Poor remain.
enum ELeadQuality {
    LeadGoodQuality = 0,
    LeadPoorQuality = 1,
    LeadLoosed = 2,
    LeadFaulted = 3,
    LeadNoSignal = 4
};

using InputRow32 = std::array<std::int32_t, kInputSamples>;
using InputRows32 = std::array<InputRow32, kIndependentLeads>;
constexpr int kHistogramBins = 102;  // the last bin collects values beyond the range

// A counted work list for the picks of the stages.
struct SWorkList {
    std::int32_t nCount = 0;
    std::array<std::int32_t, kMaxBeats - 1> aValue{};
};

// Tables of the lead quality check and detection stage (InputLeads frame, rows in
// InputLeads order).
struct SDetectionTables {
    std::array<std::int32_t, kIndependentLeads> LeadQuality{};
    std::array<std::int32_t, kLeads> LeadQuality12{};
    std::array<std::int32_t, kIndependentLeads> MaxPower{};
    std::array<std::int32_t, kIndependentLeads> SymbolicPower{};
    // The record's beat list in the InputLeads frame.
    struct {
        std::int32_t qrs_num = 0;
        BeatTable qrs_onset{};
        BeatTable qrs_offset{};
    } IOQm;

    // Signal presence check.
    InputRows32 SquaredSlope{};
    std::array<std::array<std::int32_t, kHistogramBins>, kIndependentLeads> SlopeHistogram{};
    // Feature signal of the QRS detection.
    InputRows32 SmoothedRow{};
    InputRows32 DerivativeRow{};
    InputRows32 SquaredRow{};
    InputRows32 QrsFeature{};
    std::array<std::array<std::int32_t, kHistogramBins>, kIndependentLeads> FeatureHistogram{};
    std::array<std::int32_t, kIndependentLeads> DetectionThreshold{};
    // QRS windows per lead (inclusive sample indices).
    struct {
        std::array<std::int32_t, kIndependentLeads> nCount{};
        std::array<BeatTable, kIndependentLeads> start{};
        std::array<BeatTable, kIndependentLeads> end{};
    } QrsWindowList;
    // Agreement check: per lead, window and other lead, the overlapping windows.
    std::array<std::array<std::array<std::int32_t, kIndependentLeads>, kMaxBeats>,
               kIndependentLeads>
        OverlapMatrix{};
    // Beat grouping: per lead a cursor into its windows and its merged window per beat.
    struct {
        std::array<std::int32_t, kIndependentLeads> nCursor{};
        std::array<BeatTable, kIndependentLeads> start{};
        std::array<BeatTable, kIndependentLeads> end{};
    } Grouping;
    SWorkList OnsetWorkList, OffsetWorkList;
};

// One QRS wave: position, amplitude, onset, offset.
struct SQrsWave {
    std::int32_t nPos = 0, nAmp = 0, nOn = 0, nOff = 0;
};
enum QrsWaveIndex { WaveQ, WaveR, WaveS, WaveR2, WaveS2, kQrsWaves };

constexpr int kMaxExtrema = 100;  // turning points per lead and beat

// One turning point: kind 0 marks the onset and the offset, +1 a maximum, -1 a minimum.
struct SExtremum {
    std::int32_t nPos = 0, nValue = 0, nKind = 0;
};
struct SExtremumList {
    std::int32_t nCount = 0;
    std::array<SExtremum, kMaxExtrema> aEntry{};
};

// Complex type bits.
constexpr int kQrsTypeQ = 0x10, kQrsTypeR = 0x08, kQrsTypeS = 0x04, kQrsTypeR2 = 0x02,
              kQrsTypeS2 = 0x01, kQrsTypeNotch = 0x80, kQrsTypeUnknown = 0xFF;

// Tables of QRS recognition, complex typing and beat measures (analysis frame).
struct SQrsTables {
    struct {
        std::array<std::int32_t, kLeads> nCount{};
        LeadBeatTable onset{};
        LeadBeatTable offset{};
    } LeadBeatList;
    std::array<std::array<std::int32_t, kRecordSamples>, kLeads> SmoothedLeads{};
    LeadBeatTable QrsBaseline{};
    std::array<std::array<SExtremumList, kMaxBeats>, kLeads> ExtremumList{};
    LeadBeatTable QrsComplexType{};
    std::array<std::array<std::array<SQrsWave, kQrsWaves>, kMaxBeats>, kLeads> QrsWaveTable{};
    BeatTable GlobalQrsOnset{};
    BeatTable GlobalQrsOffset{};
    BeatTable DeltaWave{};  // 1 where the QRS starts with a delta wave
    // Where the pick over all leads lies on the delta wave: its start in the leads that show
    // it (0 elsewhere); the PR interval ends there.
    BeatTable DeltaQrsStart{};
    std::array<float, kRecordSamples> AreaWork{};
    SWorkList OnsetWorkList, OffsetWorkList;

    // Beat measures (microvolts, ms, degrees).
    std::array<std::array<std::array<std::int32_t, 3>, kMaxBeats>, kLeads>
        JPointAmplitude{};  // at the QRS offset, 60 ms and 80 ms after it
    LeadBeatTable DominantQrsAmplitude{};
    LeadBeatTable QrsPeakToPeak{};
    BeatTable BeatRR{};
    BeatTable BeatQrsAxis{};
    BeatTable BeatInitialAxis{};
    BeatTable BeatQrsDuration{};
    std::int32_t QrsRate = 0;  // per minute, -1 when there is none
    std::int32_t MedianQrsDuration = 0;
    std::int32_t MedianQrsAxis = 0;
    SWorkList MedianWorkList;
};

// Tables of the T-wave end stage. Rows of the independent leads are in InputLeads order;
// per-lead results in EngineLeadOrder.
using IndependentBeatTable = std::array<BeatTable, kIndependentLeads>;
struct STOffsetTables {
    IndependentBeatTable WindowStart{}, WindowEnd{};  // search window per beat (frame)
    IndependentBeatTable WindowMax{};
    IndependentBeatTable TEndThreshold{};
    IndependentBeatTable LeadEnd{};  // each lead's own end, then the common one
    InputRows32 MeanRow{}, SlopeRow{}, SquareRow{}, TEnvelope{};
    std::array<std::array<std::int32_t, kHistogramBins>, kIndependentLeads> Histogram{};
    BeatTable TOffset{};          // InputLeads frame; MissingValue until found
    BeatTable TOffsetQrsOffset{};  // the beat's QRS offset beside it (frame)
    // Per lead and kept beat (analysis frame, microvolts, ms, degrees).
    LeadBeatTable LeadTOffset{};
    LeadBeatTable LeadQrsOffset{};
    LeadBeatTable TPeak{};
    LeadBeatTable TA{};
    LeadBeatTable QT{}, QTc{};
    BeatTable QTint{}, QTcint{};  // per beat, 0-based
    BeatTable Taxis{};            // per beat, 0-based; MissingValue when none
    std::int32_t RecordQT = 0, RecordQTc = 0;
    std::int32_t RecordTAxis = MissingValue;
    SWorkList MiddleWorkList;
};

// Tables of the P-wave stage. Frame rows are InputLeads positions (record + 500) in
// EngineLeadOrder; P waves after the final step are record positions.
using FrameRows32 = std::array<InputRow32, kLeads>;
using LeadBeatPTable =
    std::array<std::array<std::array<std::int32_t, kMaxPWavesPerBeat>, kMaxBeats>, kLeads>;
using BeatPTable = std::array<std::int32_t, kMaxBeats * kMaxPWavesPerBeat>;
// The wave before the QRS looked for again one atrial cycle (half, a third or a quarter of
// the interval) earlier, in the averaged beat along the wave's own direction freed of the T
// wave's: the wave's size there (uV), what one cycle earlier holds (percent of it), how far the
// wave's and the T's directions lie apart (percent, 0 when alike), how alike the directions of
// the wave and of what one cycle earlier holds are, the T's left out (percent, 100 when the
// same), how alike their courses run (correlation in percent), what the whole stretch between
// the QRS and the wave holds along the wave's direction (percent of the wave) and the part of
// the interval taken for the cycle (2, 3 or 4); all 0 when not measured.
struct SWaveEcho {
    std::int32_t nWaveSize = 0, nEcho = 0, nApart = 0, nAlike = 0, nCourse = 0, nRest = 0;
    std::int32_t nDivisor = 0;
};

struct SPWaveTables {
    FrameRows32 TwelveLeads{};   // the twelve leads in the frame
    FrameRows32 LinearRow{};     // QRS-T removed copy
    FrameRows32 EnergyRow{};     // detection signal
    InputRow32 WorkRow{};        // scratch row of the filter steps
    InputRow32 CombinedRow{};    // "prz_sum"
    InputRow32 CombinedThresholdRow{};
    InputRow32 SlopeRow{};
    LeadBeatTable IsoAfterT{}, IsoBeforeQrs{};
    // Per beat the latest point after a U wave of the previous T, or the trough where the T's
    // tail or a U wave runs into a P wave not conducted (frame), 0 when none was seen.
    BeatTable AfterUWave{};
    // Per beat where a P wave not conducted before the P wave of the QRS reaches half its
    // height (frame), 0 when none was found.
    BeatTable BlockedPWave{};
    LeadBeatTable WindowStart{}, WindowEnd{};
    LeadBeatTable WindowMax{};
    LeadBeatTable PStatus{};
    LeadBeatTable CandidateCount{};
    LeadBeatPTable CandidateOn{}, CandidateOff{};  // frame positions
    BeatTable CombinedThreshold{};
    std::array<std::int32_t, 101> Histogram{};
    // Final P waves per lead and kept beat (record positions, microvolts, ms, degrees).
    LeadBeatTable PCount{};
    LeadBeatPTable POn{}, POff{}, PPeak{}, PAmp{}, PDur{}, PPint{};
    LeadBeatTable PR{};
    BeatTable PRint{};  // per beat, 0-based
    BeatPTable Paxis{};  // 10 per beat; MissingValue when none
    BeatTable PaxisCount{};
    std::int32_t RecordPR = 0;
    std::int32_t RecordPAxis = MissingValue;
    // P-wave list of each beat for the result file (lead with the most P waves).
    BeatTable ResultCount{};
    BeatPTable ResultOn{}, ResultOff{};
    // Atrial activity between consecutive beats (10 waves per interval at most).
    std::array<std::int32_t, kRecordSamples> SumRow{};
    BeatTable AtrialCount{};
    BeatPTable AtrialOn{}, AtrialOff{}, AtrialPeak{}, AtrialAmp{}, AtrialAxis{}, AtrialInterval{};
    // The same count on single leads (smoothed alike), which show flutter waves of directions
    // that the sum cancels: each wave's end and fall from its peak.
    std::array<std::int32_t, kRecordSamples> LeadRow{};
    std::array<BeatTable, kFlutterLeads> AtrialCountLead{};
    std::array<BeatPTable, kFlutterLeads> AtrialOffLead{}, AtrialFallLead{};
    // The wave before the QRS looked for again one atrial cycle earlier (see SWaveEcho).
    SWaveEcho Echo{};
    SWorkList MiddleWorkList;
    std::int32_t nCounter = 0;
};

// Output tables of the measurements: counted lists (element 0 the count, then the beats).
struct SMeasurementTables {
    BeatTable RRint{}, PRint{}, QTint{}, QTcint{}, QRSdur{};
    BeatTable Raxis{}, Raxis60{}, Taxis{};
    std::array<std::int32_t, kMaxBeats * kMaxPWavesPerBeat> Paxis{};  // 10 per beat
    BeatTable PaxisCount{};  // per beat (0-based): the P axes of the beat
    std::array<std::int32_t, kMaxBeats * kMaxPWavesPerBeat> PPint{};  // 10 per beat
    BeatTable PPintCount{};
    // Counted list: how like the dominant beat's each QRS is, in percent (100 alike; what is
    // left after the dominant beat's average is taken away lowers it, below 0 when more is
    // left than the average holds).
    BeatTable QrsLikeness{};
    // Counted list: where each QRS's slope energy has its centre (record position); noise moves
    // it less than it moves an onset.
    BeatTable QrsCentre{};
    // Counted list: ms from each QRS's onset to the first peak or trough of lead II that
    // reaches 0.3 of the complex's largest deflection (its activation time).
    BeatTable QrsActivationTime{};
    // Per lead: durations (ms) and amplitudes (uV).
    LeadBeatTable PD{}, QD{}, RD{}, SD{}, R2D{}, S2D{}, QLRD{}, QRSD{};
    LeadBeatTable PA{}, QA{}, RA{}, SA{}, R2A{}, S2A{}, ampQRS{}, sumQRS{}, TA{}, STA{};
    LeadBeatTable ST60A{}, ST80A{};  // J-point levels 30 and 40 samples after the offset
    LeadBeatTable QrsType{};
    LeadBeatTable QOnlyFlag{}, RSR2Flag{};
    std::array<std::int32_t, 8> GlobalMeasurements{};  // HR, PR, QRS, QT, QTc, P, R, T axis
};

// Tables of the finish step.
constexpr int kLeadResultValues = 18;
constexpr int kLeadResultFurther = 2;
constexpr int kRecordStatementEntries = 19;  // directory room of the record layout
struct SFinishTables {
    std::array<std::int32_t, kLeads> RepresentativeBeat{};
    // Filled by the interpretation; absent until it runs (no statements, no class).
    std::int32_t RhythmStatementCount = 0;
    std::int32_t WaveformStatementCount = 0;
    std::int32_t EcgSeverity = 0;
    std::array<std::array<std::int32_t, kLeadResultValues + kLeadResultFurther>, kLeads>
        LeadResultTable{};
    // The 12-lead ratings as rated, before the detection folds them to good or poor; -1 when
    // the detection stage did not keep them. The poor-lead statement is decided from these.
    std::array<std::int32_t, kLeads> LeadRatingBeforeFold{-1, -1, -1, -1, -1, -1,
                                                         -1, -1, -1, -1, -1, -1};
    std::array<std::int32_t, kLeads> ChosenBeat{};
    std::array<std::int32_t, kLeads> WindowStart{}, WindowEnd{};
    bool bFinished = false;          // the finish step runs once per run
    bool bResultFileWritten = false;  // the ".ksi" was written completely
};

struct CEngineData {
    EEngineVariant Variant = EEngineVariant::Zorvik31;

    // Argument copy: the arguments after the program name.
    std::vector<const char*> Arguments;
    const char* pszInputArgument = nullptr;   // first argument (the input path)
    const char* pszSecondArgument = nullptr;  // second argument (text of the first number)

    std::array<std::array<std::int16_t, kInputSamples>, kIndependentLeads> InputLeads{};
    std::array<std::array<std::int32_t, kRecordSamples>, kLeads> AnalysisLeads{};
    std::array<std::int16_t, kInputSamples + 1> ScratchSamples{};
    SFilterSettings FilterSettings;
    std::int32_t AnalysisMode = 0;
    std::array<char, kTextSize> InputPath{};
    std::array<char, kTextSize> OutputBaseName{};
    std::array<char, kTextSize> DebugFolderPrefix{};
    std::int32_t HeartRate = 0;
    std::int32_t BeatCount = 0;
    std::int32_t DetectionFlag = 0;
    std::array<StatementText, kStatementSlots> RhythmStatementSlots{};
    std::array<StatementText, kStatementSlots> WaveformStatementSlots{};
    // The severity (0..4) each filled slot was stated with; the result file drops the least
    // severe statements first when they do not all fit.
    std::array<std::int32_t, kStatementSlots> RhythmStatementLevels{};
    std::array<std::int32_t, kStatementSlots> WaveformStatementLevels{};
    SResultStatements ResultStatements;
    SInterpretationContext InterpretationContext;
    const char* const* RhythmStatementTable = nullptr;
    const char* const* WaveformStatementTable = nullptr;
    SDebugDumpRows DebugDumpRows;

    SDetectionTables Detection;
    SQrsTables Qrs;
    STOffsetTables TWave;
    SPWaveTables PWave;
    SMeasurementTables Measurements;
    SFinishTables Finish;
    SRhythmTables Rhythm;
    SMorphologyTables Morphology;

    // Debug output is written by Zorvik31 only; the benchmark also measures a run without it.
    bool bDebugOutput = true;
    bool WritesDebugOutput() const { return Variant == EEngineVariant::Zorvik31 && bDebugOutput; }
};

// The working data are large (about 1 MB before debug rows): keep them on the heap.
std::unique_ptr<CEngineData> CreateEngineData(EEngineVariant variant);

// Puts every result table into its starting state before a run; returns 0.
int InitAnalysis(CEngineData& d);
void SetupFilterSwitches(CEngineData& d);

// Per-stage presets, called by InitAnalysis in pipeline order.
void ResetDetectionTables(CEngineData& d);
void ResetQrsTables(CEngineData& d);
void ResetPWaveTables(CEngineData& d);
void ResetTOffsetTables(CEngineData& d);
void ResetMeasurementTables(CEngineData& d);
void ResetFinishTables(CEngineData& d);

// Copies text into a fixed buffer, cut to fit; false when it had to be cut.
template <std::size_t N>
bool CopyText(std::array<char, N>& dst, const char* src) {
    std::size_t i = 0;
    for (; src && src[i] && i + 1 < N; ++i)
        dst[i] = src[i];
    dst[i] = '\0';
    return !(src && src[i]);
}

}  // namespace ecg_engine

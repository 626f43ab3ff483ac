#pragma once
// Working data of the rhythm stage and what it hands to the waveform stage.
//
// The rhythm stage reads only the counted lists of the measurements (element 0 the count,
// elements 1..65 beats 1..65) and HeartRate. Its own per-beat lists follow the same layout:
// slot 0 holds a count (or nothing), slots 1..65 beats 1..65. A record may hold 66 beats;
// the lists have room for 65, so the stage looks at beats 1..RhythmBeats(d) only.
//
// What the waveform stage reads from here:
//  - RhythmFindings: flags by finding number (111 sinus rhythm .. 186 escape ventricular
//    rhythm); 124 atrial flutter and 125 atrial fibrillation are read by the waveform
//    criteria.
//  - RepresentativeMeasures: per lead the values of the lead's representative beat, and
//    the median-beat values of the record (see SRepresentativeMeasures).
//  - InterpretationContext.RateSelectedLeadValues (engine_data.h): per lead the ST level
//    of the representative beat, STj when HeartRate > 120, else SecondStLevel.
#include <array>
#include <cstdint>

namespace ecg_engine {

constexpr int kRhythmFindings = 300;
constexpr int kRhythmBeats = 65;    // beats a counted per-beat list holds (slots 1..65)
constexpr int kBeatListSlots = 66;  // slot 0 and beats 1..65
constexpr int kPAxisSlots = 10;     // slot 0 unused, P waves 1..9
constexpr int kBeatTypeLists = 9;

// Same shape as the measurements' counted lists (BeatTable).
using BeatList = std::array<std::int32_t, kBeatListSlots>;

// Rows of BeatTypeLists.
enum EBeatTypeList {
    TypeListBeatType = 0,  // BeatType itself
    // rows 1..6: one per BeatType
    TypeListSupraventricular = 7,  // class 1 or 2, and every type-3 beat
    TypeListVentricular = 8        // types 5 and 6
};

// Values of QrsClass.
enum EQrsClass { QrsNarrow = 1, QrsWideSupraventricular = 2, QrsWideVentricular = 3 };

// Values of EctopicKind.
enum EEctopicKind {
    EctopicNone = 0,
    EctopicPac = 1,
    EctopicPjc = 2,
    EctopicPvc = 3,
    EctopicEscapeAtrial = 4,
    EctopicEscapeJunctional = 5,
    EctopicEscapeVentricular = 6
};

// VentricularMark values.
constexpr int kVentricularMarkPvc = 333;   // a PVC statement was made
constexpr int kVentricularMarkRhythm = 999;  // ventricular rhythm: no waveform stage

// Values of one lead's representative beat, copied from the measurement tables.
// Amplitudes in microvolts (negative or 0 for Q, S, S'), durations in ms.
struct SLeadRepresentative {
    std::int32_t PA = 0, PD = 0;  // last P wave of the beat
    std::int32_t QA = 0, QD = 0;
    std::int32_t RA = 0, RD = 0;
    std::int32_t SA = 0, SD = 0;  // a QS complex reports its deflection here as well
    std::int32_t RPrimeAmplitude = 0, RPrimeDuration = 0;
    std::int32_t SPrimeAmplitude = 0, SPrimeDuration = 0;
    std::int32_t sumQRS = 0;  // peak-to-peak QRS amplitude
    std::int32_t TA = 0;
    std::int32_t STA = 0;            // level at the J point (QRS offset)
    std::int32_t STj = 0;            // level 30 samples (60 ms) after the J point
    std::int32_t SecondStLevel = 0;  // level 40 samples (80 ms) after the J point
    // QrsComplexType of the beat; for V1 the most frequent type over all its beats
    // (DominantShape), as the waveform criteria read it.
    std::int32_t QrsComplexType = 0;
};

// Input of the waveform criteria, filled by SelectRepresentativeBeats. All zero when no
// representative beats were chosen (VentricularMark 999, or no beats).
struct SRepresentativeMeasures {
    std::array<SLeadRepresentative, 12> Lead{};  // EngineLeadOrder
    // Values of the median beats over the beats of the dominant label.
    std::int32_t MedianRaxis = 0;     // QRS axis, degrees
    std::int32_t MedianQRSdur = 0;    // QRS duration, ms
    std::int32_t MedianRaxis60 = 0;   // axis of the first 62 ms of the QRS, degrees
    std::int32_t MedianPRint = 0;     // PR, ms
    std::int32_t DominantShape = 0;   // most frequent QrsComplexType of V1 (later beat on ties)
};

// The run FindBeatRun found: beats first..last (1-based), length = last - first + 1.
struct SBeatRun {
    std::int32_t nFirst = 0, nLast = 0, nLength = 0;
};

struct SRhythmTables {
    std::array<std::int32_t, kRhythmFindings> RhythmFindings{};
    BeatList QrsClass{};
    // 1 for a beat whose QRS the ventricles made themselves: unlike the dominant beat's and
    // wider than it, or wide and not conducted by a P wave (MarkVentricularBeats); slot 0 the
    // count.
    BeatList VentricularQrs{};
    std::array<std::array<std::int32_t, kPAxisSlots>, kBeatListSlots> PAxisOk{};
    BeatList BeatType{};
    BeatList BeatLabel{};  // slot 0: number of kept beats after KeepDominantBeatLabel
    std::array<BeatList, kBeatTypeLists> BeatTypeLists{};
    BeatList EctopicKind{};
    BeatList PvcList{};  // slot 0: number of marked beats
    SBeatRun BeatRun;
    std::int32_t PauseLength = 0;  // ms
    std::int32_t VentricularMark = 0;
    // Flutter waves reported by the P-wave step; no step sets it, so the flutter criterion
    // always decides.
    std::int32_t FlutterIndicator = 0;
    // Shared work list of MedianOf and the representative-beat functions.
    std::array<std::int32_t, kBeatListSlots> WorkList{};
    std::array<std::int32_t, kBeatListSlots> BeatScore{};
    SRepresentativeMeasures RepresentativeMeasures;
};

}  // namespace ecg_engine

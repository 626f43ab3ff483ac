#pragma once
// Working data of the waveform (morphology) stage: the findings of its criteria, the shape
// flags of the representative beats and the region lists of the repolarisation groups.
// The rhythm stage clears the findings together with RhythmFindings at the start of every
// interpretation, so every finding starts at 0.
#include <array>
#include <cstdint>

namespace ecg_engine {

// Lead regions of the repolarisation criteria, in the order they are examined and stated.
enum ERegion {
    RegionHighLateral,
    RegionInferior,
    RegionAnteroseptal,
    RegionAnterolateral,
    RegionAnterior,
    kRegions
};

// One repolarisation group (ST depression, ST elevation or T inversion): a flag per region
// and the number of flagged regions.
struct SRegionFindings {
    std::array<std::int32_t, kRegions> Region{};
    std::int32_t RegionCount = 0;
};

// One 0/1 flag per finding.
struct SMorphologyFindings {
    // Voltage and axis.
    std::int32_t LowVoltageLimb = 0, LowVoltageChest = 0, LowVoltageQrs = 0;
    std::int32_t AxisNormal = 0, AxisRight = 0, AxisLeft = 0, AxisNorthwest = 0;
    // Enlargement and hypertrophy.
    std::int32_t RightAtrialEnlargement = 0, LeftAtrialEnlargement = 0, BiatrialEnlargement = 0;
    std::int32_t RightVentricularHypertrophy = 0, ProbableRvh = 0, LeftVentricularHypertrophy = 0,
                 BiventricularHypertrophy = 0;
    // Conduction.
    std::int32_t IncompleteRbbb = 0, CompleteRbbb = 0, BifascicularRbbbLafb = 0,
                 BifascicularRbbbLpfb = 0, Lbbb = 0, Nivcd = 0, Preexcitation = 0;
    // Infarction.
    std::int32_t PossibleAnteroseptalMi = 0, AnteroseptalMi = 0, AnteriorMi = 0, LateralMi = 0,
                 HighLateralMi = 0, AnterolateralMi = 0, AnteriorExtensiveMi = 0, InferiorMi = 0,
                 PosteriorMi = 0;
    // Repolarisation.
    SRegionFindings StDepression, StElevation, TInversion;
    std::int32_t ProlongedQt = 0;
};

constexpr int kRegionWorkTextSize = 120;

struct SMorphologyTables {
    SMorphologyFindings MorphologyFindings;
    // LeadShapeFlags: QS and RSR' complex of each lead's representative beat (EngineLeadOrder).
    std::array<std::int32_t, 12> QsFlag{};
    std::array<std::int32_t, 12> RsrPrimeFlag{};
    // Region lists of the repolarisation statements.
    std::array<std::array<char, kRegionWorkTextSize>, 3> RegionWorkText{};
    // Pre-excitation: per beat (0-based) the third moment of the R wave in leads I and II.
    std::array<std::array<std::int32_t, 66>, 2> ThirdMoment{};
};

}  // namespace ecg_engine

// Low voltage and the QRS axis classes.
#include "morphology_internal.h"

namespace ecg_engine {

using namespace morphology;

namespace {

// Patient group 0 (the only group the driver selects).
const SVoltageAxisThresholds kVoltageAxisThresholds[] = {
    {500, 1000, -90, -30, 100, 180, -180},
};

}  // namespace

const SVoltageAxisThresholds& VoltageAxisThresholds(const CEngineData& d) {
    (void)d.InterpretationContext.PatientGroup;
    return kVoltageAxisThresholds[0];
}

void FindLowVoltage(CEngineData& d) {
    const auto& t = VoltageAxisThresholds(d);
    auto& f = Findings(d);
    int nLimb = 0, nChest = 0;
    for (int l : {LeadI, LeadII, LeadIII})
        nLimb += Abs(Rep(d, l).sumQRS) < t.nLimbLowVoltage;
    for (int l = LeadV1; l <= LeadV6; ++l)
        nChest += Abs(Rep(d, l).sumQRS) < t.nChestLowVoltage;
    if (nLimb == 3)
        f.LowVoltageLimb = 1;
    if (nChest == 6)
        f.LowVoltageChest = 1;
    if (f.LowVoltageLimb && f.LowVoltageChest) {
        f.LowVoltageQrs = 1;
        f.LowVoltageLimb = f.LowVoltageChest = 0;
    }
}

void ClassifyAxis(CEngineData& d) {
    const auto& t = VoltageAxisThresholds(d);
    auto& f = Findings(d);
    const int a = d.Rhythm.RepresentativeMeasures.MedianRaxis;
    if (a >= t.nLeftAxisFrom && a < t.nNormalAxisFrom)
        f.AxisLeft = 1;
    else if (a >= t.nNormalAxisFrom && a <= t.nNormalAxisTo)
        f.AxisNormal = 1;
    else if (a > t.nNormalAxisTo && a <= t.nRightAxisTo)
        f.AxisRight = 1;
    else if (a > t.nNorthwestFrom && a < t.nLeftAxisFrom)
        f.AxisNorthwest = 1;
    // A missing axis (-400) or one beyond +-180 has no class.
}

}  // namespace ecg_engine

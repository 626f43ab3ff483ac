// The waveform (morphology) stage.
#include "ecg_engine/rhythm_stage.h"

namespace ecg_engine {

// Not built yet: no waveform statement.
int RunMorphologyAnalysis(CEngineData& d) {
    d.Finish.WaveformStatementCount = 0;
    return 0;
}

}  // namespace ecg_engine

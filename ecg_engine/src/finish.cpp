// Finish step: the debug data file, the statements and the result files.
#include "ecg_engine/engine.h"
#include "ecg_engine/stages.h"

namespace ecg_engine {

int FinishAnalysis(CEngineData& d) {
    if (RunStep(d, 10) != 0)
        return -1;
    (void)WriteResultFiles(d);
    return 0;
}

// Not built yet: the result file and the beat list come with the result writer.
int WriteResultFiles(CEngineData&) {
    return 0;
}

}  // namespace ecg_engine

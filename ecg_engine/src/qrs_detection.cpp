// Lead quality check, QRS detection and the beat list.
#include "ecg_engine/stages.h"

namespace ecg_engine {

// Not built yet: reports success so that the chain runs on to the finish step.
int RunQrsDetectionStage(CEngineData&) {
    return 0;
}

}  // namespace ecg_engine

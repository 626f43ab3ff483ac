// T-wave ends.
#include "ecg_engine/stages.h"

namespace ecg_engine {

// Not built yet: reports success so that the chain runs on to the finish step.
int RunTOffsetStage(CEngineData&) {
    return 0;
}

}  // namespace ecg_engine

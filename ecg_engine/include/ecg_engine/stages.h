#pragma once
// The analysis stages of the chain, each 0 for success and non-zero for failure.
#include "ecg_engine/engine_data.h"

namespace ecg_engine {

int RunFilterStage(CEngineData& d);
int RunQrsDetectionStage(CEngineData& d);
int RunQrsRecognitionStage(CEngineData& d);
int RunTOffsetStage(CEngineData& d);
int RunPWaveStage(CEngineData& d);
int AssembleMeasurements(CEngineData& d);
int RunInterpretation(CEngineData& d);

// Last step of every run: the debug data file, then statements and result files.
int FinishAnalysis(CEngineData& d);
// Writes the result file and the beat list beside the input.
int WriteResultFiles(CEngineData& d);

}  // namespace ecg_engine

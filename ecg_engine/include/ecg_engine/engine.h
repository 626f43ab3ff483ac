#pragma once
// Command line, driver and stage chain of the engine programs.
#include "ecg_engine/engine_data.h"

namespace ecg_engine {

// Program entry: argc/argv as the C runtime gives them (argv[0] the program path).
// 0 after an analysis run, -1 when the input cannot be read.
int EngineMain(CEngineData& d, int argc, char** argv);

// Runs one numbered step (the reader and the debug dumps and files); 0 or -1.
int RunStep(CEngineData& d, int nStep);

// InitAnalysis, the filters unless the mode is 2, the stages, the finish step; returns 0.
int RunAnalysisPipeline(CEngineData& d);

// Decimal text with atoi rules (blanks, sign, digits up to the first other character);
// out-of-range values saturate instead of overflowing. Null or no digits give 0.
int ParseDecimal(const char* psz);

// Prints a fatal error line and the quit prompt on standard output, and waits for one key
// only when standard input is a terminal, so a launcher without a console is not held up.
void ReportFatal(const char* pszLine);

}  // namespace ecg_engine

// The converted tables the generator writes (one array per kind, languages by index).
#pragma once

#include "ecg_engine/statement_tables.h"

namespace ecg_engine::statements {

extern const char* const kRhythmTables[kStatementLanguages][kRhythmRows];
extern const char* const kWaveformTables[kStatementLanguages][kWaveformRows];
extern const char* const kZorvik21RhythmTable[kZorvik21RhythmRows];

}  // namespace ecg_engine::statements

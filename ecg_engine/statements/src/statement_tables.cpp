#include "ecg_engine/statement_tables.h"

#include "statement_languages.h"
#include "statement_rows.h"

namespace ecg_engine {
namespace {

// Any index outside the known languages, a negative one too, reads English.
int KnownLanguage(int language) {
    return language >= 0 && language < kStatementLanguages ? language : 0;
}

}  // namespace

const char* const* RhythmStatementRows(int language) {
    return statements::kRhythmTables[KnownLanguage(language)];
}

const char* const* WaveformStatementRows(int language) {
    return statements::kWaveformTables[KnownLanguage(language)];
}

const char* const* Zorvik21RhythmStatementRows() {
    return statements::kZorvik21RhythmTable;
}

const char* StatementCodePage(int language) {
    return statements::kLanguageSources[KnownLanguage(language)].codePage;
}

}  // namespace ecg_engine

#pragma once
// Statement texts of the interpretation: per language a rhythm table of 72 rows and a
// waveform table of 78 rows with the same numbering in every language, and the older
// build's 71-row English rhythm table. Rows are byte strings in the code page that
// StatementCodePage names; they are copied into the result file unchanged.
namespace ecg_engine {

constexpr int kRhythmRows = 72, kWaveformRows = 78, kZorvik21RhythmRows = 71,
              kStatementLanguages = 12;

// Language outside 0..11: English.
const char* const* RhythmStatementRows(int language);
const char* const* WaveformStatementRows(int language);
// English, 71 rows: the row "Pause" is missing, so the rows from "SA Block" on sit one lower.
const char* const* Zorvik21RhythmStatementRows();
// iconv name of the bytes of the language's rows.
const char* StatementCodePage(int language);

}  // namespace ecg_engine

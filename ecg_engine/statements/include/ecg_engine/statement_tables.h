// The statement tables of the interpretation: per language one rhythm table (72 rows) and
// one waveform table (78 rows), numbered alike in every language, plus the older engine's
// 71-row English rhythm table (no "Pause" row, so rows from "SA Block" on sit one lower).
//
// Rows are constant byte strings in the language's code page (StatementCodePage), ready to
// be copied into the result file unchanged. Every row is at most 199 bytes, carries none of
// the bytes 0xA9, 0xAA, 0xAC (the record reader takes them as pair prefixes), and only
// waveform row 38 holds a format argument, one "%s". Marker rows (words and underscores)
// are the English ones in every language.
//
// Languages: 0 English, 1 English in capitals, 2 Chinese, 3 German, 4 French, 5 Russian,
// 6 Spanish, 7 Italian, 8 Turkish, 9 Polish, 10 Romanian, 11 Portuguese; any other index
// (also a negative one) gives English.
#pragma once

namespace ecg_engine {

constexpr int kRhythmRows = 72;
constexpr int kWaveformRows = 78;
constexpr int kZorvik21RhythmRows = 71;
constexpr int kStatementLanguages = 12;

// kRhythmRows rows of the language (English outside 0..11).
const char* const* RhythmStatementRows(int language);
// kWaveformRows rows of the language (English outside 0..11).
const char* const* WaveformStatementRows(int language);
// kZorvik21RhythmRows rows, English.
const char* const* Zorvik21RhythmStatementRows();
// The iconv name of the code page the language's rows are written in (English outside
// 0..11). The installation's code page must be this one for the texts to read right.
const char* StatementCodePage(int language);

}  // namespace ecg_engine

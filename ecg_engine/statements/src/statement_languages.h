// The languages of the statement tables: the source file of each and the code page its
// rows are converted to. Shared by the table generator and the library.
#pragma once

namespace ecg_engine::statements {

struct LanguageSource {
    int index;
    const char* file;      // UTF-8 source in the tables folder
    const char* codePage;  // iconv name of the converted bytes
};

// Index 1 (English in capitals) has no source of its own: it is made from English.
inline constexpr LanguageSource kLanguageSources[] = {
    {0, "english.txt", "ASCII"},  {1, nullptr, "ASCII"},          {2, "chinese.txt", "CP936"},
    {3, "german.txt", "CP1252"},  {4, "french.txt", "CP1252"},    {5, "russian.txt", "CP1251"},
    {6, "spanish.txt", "CP1252"}, {7, "italian.txt", "CP1252"},   {8, "turkish.txt", "CP1254"},
    {9, "polish.txt", "CP1250"},  {10, "romanian.txt", "CP1250"}, {11, "portuguese.txt", "CP1252"},
};

// Rows made of words and underscores that carry no statement; the same in every language.
inline constexpr int kRhythmMarkerRows[] = {0, 1, 6, 14, 18, 25, 35, 48, 55, 57, 71};
inline constexpr int kWaveformMarkerRows[] = {0, 1, 10, 18, 26, 35, 45, 47, 77};

// Rows the capitals table keeps as in English besides the markers (in the waveform table
// only the markers, the end row among them).
inline constexpr int kRhythmRowsNotCapitalised[] = {7, 67, 68};

// The one row with a format argument, and the row the older rhythm table lacks.
inline constexpr int kWaveformFormatRow = 38;
inline constexpr int kPauseRow = 32;

}  // namespace ecg_engine::statements

// Reading the UTF-8 statement sources and turning them into the bytes of a code page.
// Used by the build-time table generator and by the tests that check its output.
//
// A source file holds two sections, "[rhythm]" and "[waveform]"; each row is a line
//   <number> "<text>"
// with the numbers counting up from 0 and \" and \\ the only escapes inside the quotes,
// so that trailing blanks stay visible. Lines starting with '#' and empty lines are skipped.
#pragma once

#include <string>
#include <vector>

namespace ecg_engine::statements {

struct TableSource {
    std::vector<std::string> rhythm;
    std::vector<std::string> waveform;
};

// False with a message naming the line on any malformed line or row number.
bool ParseTableSource(const std::string& text, TableSource& tables, std::string& error);

// Converts UTF-8 text to the code page; false when a character has no byte there.
bool ConvertFromUtf8(const std::string& utf8, const char* codePage, std::string& bytes);

// The capitals table: every letter of the English rows in capitals but for the marker rows,
// the rows the language keeps as they are, and format arguments ("%s").
TableSource MakeCapitals(const TableSource& english);

// The older engine's rhythm table: the rhythm rows without "Pause".
std::vector<std::string> WithoutPauseRow(const std::vector<std::string>& rhythm);

// Empty when the translated tables keep English's row counts, marker rows and format
// argument; otherwise what is wrong.
std::string CheckLikeEnglish(const TableSource& english, const TableSource& tables);

// Empty when a converted row may go into a result file; otherwise what is wrong.
std::string CheckConvertedRow(const std::string& bytes);

}  // namespace ecg_engine::statements

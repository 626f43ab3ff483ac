#pragma once
// The texts that the report page, the printed page and the PDF report show of a test: the
// patient fields with their unit rules, the result lines, the date line and the
// error-code row. Texts are 8-bit in the installation code page; numbers are written with a
// decimal point whatever the process locale.
#include "platform/wintypes.h"
#include "spiro_control/spirotestfile.h"

namespace spiroreport {

// Information by kind, ended at a NUL.
CString Info(const CSpiroTestFile& file, short nKind);
// "Height : %d ft %d inch" (unit selector non-zero or pound flag) or "Height : %s cm".
CString HeightText(const CSpiroTestFile& file);
// "Weight : %d lbs" or "Weight : %d Kg" by unit selector and pound flag.
CString WeightText(const CSpiroTestFile& file);
// "Race : Asian" for "Oriental" with a non-zero unit selector, else "Race : %s".
CString RaceText(const CSpiroTestFile& file);
// "Smoke : %s ( %s : %s years )" for a smoker, else "Smoke : %s".
CString SmokeText(const CSpiroTestFile& file);
// "%s/ %s/ %s  %s:%s" of month, day, year, hour, minute.
CString DateText(const CSpiroTestFile& file);

// The lines of the diagnosis block by test type (empty for types 2 and 3): formula,
// result, and for format index 1 or higher the extrapolated volume and the normal range.
// bPdf selects the PDF's forms of the pre/post lines (they start with a blank).
struct CResultLines {
    CString strFormula, strResult, strExtrapolate, strNormalRange;
};
CResultLines ResultLines(const CSpiroTestFile& file, BOOL bPdf);

// One error-code entry of three characters; blanks for an entry outside 0..7 and for an
// empty character, so that no NUL cuts the text.
CString Ecode(const CSpiroParamTable& table, int nEntry);
// The error-code row: (value column 1-based, text) pairs, by test type.
struct CEcodeCell {
    int nColumn;
    CString strText;
};
std::vector<CEcodeCell> EcodeRow(const CSpiroTestFile& file);
// Whether the table ends with an error-code row: FVC types in format index 2.
BOOL HasEcodeRow(const CSpiroTestFile& file);
// Column heading k, cut to 5 characters (whole characters) past the sixth.
CString Heading(short nTestType, int k);

// "%d" and fixed decimals, locale-independent.
CString Int(long long n);
CString Fixed(double dValue, int nDecimals);
// The leading number of a text in the "C" locale (0 when none), and a real truncated
// toward zero within the int range.
double Number(const CString& strText);
long long ToInt(double dValue);

}  // namespace spiroreport

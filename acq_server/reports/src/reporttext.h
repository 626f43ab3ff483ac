#pragma once
// Pieces both text reports are made of.
#include <ctime>
#include <initializer_list>
#include <string>

namespace acq_reports::detail {

// Fills a row format of the reports: "%%" is a percent sign, "%Ns" and "%s" take the next
// argument right-aligned in N characters. Nothing else is a conversion, so any text a
// control hands over is taken as it stands.
std::string FillRow(const char* pszFormat, std::initializer_list<std::string> args);

// "%4.2f" with a decimal point whatever the process locale.
std::string Fixed2(float value);
// The text right-aligned in width characters, padded with '0' ("%04s" as the reports mean it).
std::string ZeroPad(const std::string& text, std::size_t width);
// Local time as "%Y/%m/%d %H:%M".
std::string MinuteText(std::time_t now);
// The number the text starts with (decimal digits), 0 when none.
long LeadingNumber(const std::string& text);
// The height and weight lines in feet and inches and pounds (prefixes "- Height         = "
// and so on, or "Height=" in the information report). A weight in pounds is printed as it
// stands: its "L" removed, never converted again.
std::string ImperialLines(const std::string& strHeight, const std::string& strWeight,
                          const char* pszHeightKey, const char* pszWeightKey);
// Whole file or nothing; 1 when written.
int WriteReportFile(const std::string& strPath, const std::string& strText);

}  // namespace acq_reports::detail

#pragma once
// Texts that the report page, the PDF report and the XML export print alike, so that a
// record reads the same on screen, on paper and in every export.
#include <array>

#include "ecg_control/ekgrecord.h"
#include "platform/wintypes.h"

namespace ekgreport {

// Lead names in lead order 0..11 ("I" .. "V6"); an empty text outside.
const char* LeadName(int nLead);

// Gain caption of the page footer; empty for a gain outside 0..4.
CString ScaleCaption(int nGain);
// Filter line of the page footer from the record's filter item.
CString FilterText(const std::array<BYTE, 6>& filterItem);
// Acquisition time: year first, or month first with the imperial unit.
CString DateText(const CEkgPatientInfo& patient);
// "Age : 42yrs. Sex : M", the age unit text "1" weeks, "2" days, anything else years.
CString AgeText(const CEkgPatientInfo& patient);
// "H : 170cm  W : 70kg" or "H : 5ft 7inch  W : 154lbs".
CString HeightWeightText(const CEkgPatientInfo& patient);

// Adds 0.5 and truncates, as the reports round.
int RoundHalfUp(double dValue);

// Height and weight in the units the reports print. Imperial: the height text (cm) in
// feet and inches, the weight in pounds (a text with "L" already is pounds, any other is
// kilograms). Metric: the weight in kilograms (a text with "L" is pounds and converted).
// Numbers are read without regard to the process locale.
struct CBodySize {
    int nFeet = 0;
    int nInches = 0;
    int nPounds = 0;
    int nKilograms = 0;
};
CBodySize ConvertBodySize(const CString& strHeight, const CString& strWeight, BOOL bImperial);

}  // namespace ekgreport

#pragma once
// The stored settings of "ZeqGDT.ini", in file order, with the value each takes when
// missing: what CGDTConfig reads and writes, and what the hand-over of an old settings
// file compares.
#include <vector>

#include "zeqgdt/gdtconfig.h"

namespace gdtsettings {

constexpr char kSection[] = "SECTION GDT";

struct CSetting {
    const char* pszKey;
    CString CGDTConfig::*pText;  // a text setting, or
    BOOL CGDTConfig::*pFlag;     // a switch, stored as 0 or 1
    const char* pszDefault;      // a path setting: the name in the home folder
    bool bPath;
};

const std::vector<CSetting>& Settings();

// The value a file in that home folder holds when the setting was never changed, as text.
CString DefaultText(const CSetting& s, const CString& strHome);

}  // namespace gdtsettings

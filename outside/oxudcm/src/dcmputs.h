#pragma once
// Writing record values into a dataset by attribute type: type 1 must hold a valid value,
// type 2 is written empty when the value is missing or invalid, type 3 is then left out.
#include <string>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcitem.h"
#include "oxudcm/dcmrecords.h"

namespace oxudcm {
enum EType { kType1 = 1, kType2 = 2, kType3 = 3 };

// Text in the installation code page: converted to UTF-8, cut to the VR's room on a whole
// character, checked against the VR. FALSE only for a type-1 value that cannot be written.
bool PutText(DcmItem& item, const DcmTagKey& tag, const std::string& strText, EType eType,
             std::string& strError);
// A text that is already DICOM-ready ASCII (UIDs, codes, numbers).
bool PutAscii(DcmItem& item, const DcmTagKey& tag, const std::string& strText, EType eType,
              std::string& strError);
bool PutDate(DcmItem& item, const DcmTagKey& tag, const CDcmDateTime& dt, EType eType,
             std::string& strError);
bool PutTime(DcmItem& item, const DcmTagKey& tag, const CDcmDateTime& dt, EType eType,
             std::string& strError);
// Checks a value against the dictionary VR of its tag (the value must already be UTF-8).
bool CheckValue(const DcmTagKey& tag, const std::string& strValue, std::string& strError);
// Cuts UTF-8 text to at most nBytes without splitting a character.
std::string CutUtf8(const std::string& s, std::size_t nBytes);
}  // namespace oxudcm

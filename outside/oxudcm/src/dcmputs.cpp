#include "dcmputs.h"

#include <memory>

#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcelem.h"
#include "dcmtk/dcmdata/dcvr.h"
#include "platform/codepage.h"

namespace oxudcm {

std::string CutUtf8(const std::string& s, std::size_t nBytes) {
    if (s.size() <= nBytes) {
        return s;
    }
    std::size_t n = nBytes;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) {
        --n;
    }
    return s.substr(0, n);
}

bool CheckValue(const DcmTagKey& tag, const std::string& strValue, std::string& strError) {
    DcmTag dcmTag(tag);
    std::unique_ptr<DcmElement> pElem(DcmItem::newDicomElement(dcmTag));
    char szTag[32];
    std::snprintf(szTag, sizeof szTag, "(%04X,%04X)", tag.getGroup(), tag.getElement());
    if (!pElem) {
        strError = std::string("no element can be made for ") + szTag;
        return false;
    }
    OFCondition cond = pElem->putString(strValue.c_str());
    if (cond.good()) {
        cond = pElem->checkValue("1-n");
    }
    if (cond.bad()) {
        strError = std::string("the value \"") + strValue + "\" does not fit " + szTag + " (" +
                   dcmTag.getVR().getVRName() + "): " + cond.text();
        return false;
    }
    return true;
}

bool PutAscii(DcmItem& item, const DcmTagKey& tag, const std::string& strText, EType eType,
              std::string& strError) {
    std::string strCheck;
    const bool bValid = !strText.empty() && CheckValue(tag, strText, strCheck);
    if (bValid) {
        return item.putAndInsertString(tag, strText.c_str()).good();
    }
    if (eType == kType1) {
        DcmTag dcmTag(tag);
        strError = strText.empty() ? std::string("a required value is missing: ") + dcmTag.getTagName()
                                   : strCheck;
        return false;
    }
    if (eType == kType2) {
        return item.putAndInsertString(tag, "").good();
    }
    return true;
}

bool PutText(DcmItem& item, const DcmTagKey& tag, const std::string& strText, EType eType,
             std::string& strError) {
    std::string s = platform::ToUtf8(strText);
    DcmTag dcmTag(tag);
    DcmVR vr = dcmTag.getVR();
    // A backslash would split a single value into several.
    if (vr.getEVR() != EVR_LT && vr.getEVR() != EVR_ST && vr.getEVR() != EVR_UT) {
        for (char& c : s) {
            if (c == '\\') {
                c = '/';
            }
        }
    }
    while (!s.empty() && s.back() == ' ') {
        s.pop_back();
    }
    s = CutUtf8(s, vr.getMaxValueLength());
    return PutAscii(item, tag, s, eType, strError);
}

bool PutDate(DcmItem& item, const DcmTagKey& tag, const CDcmDateTime& dt, EType eType,
             std::string& strError) {
    return PutAscii(item, tag, dt.DicomDate(), eType, strError);
}

bool PutTime(DcmItem& item, const DcmTagKey& tag, const CDcmDateTime& dt, EType eType,
             std::string& strError) {
    return PutAscii(item, tag, dt.DicomTime(), eType, strError);
}

}  // namespace oxudcm

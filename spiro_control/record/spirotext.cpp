#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cstring>

#include "platform/codepage.h"
#include "spiro_control/spirolayout.h"
#include "spiro_control/spirosections.h"

namespace spirofile {

DWORD FileLength(int nType, int nFormat) {
    static const DWORD kLengths[3][5] = {
        {37000, 97000, 10600, 37000, 73399},
        {38000, 98000, 11600, 38000, 74000},
        {38000, 98000, 11600, 38000, 74000},
    };
    if (nType < 1 || nType > 5 || nFormat < 0 || nFormat > 2) {
        return 0;
    }
    return kLengths[nFormat][nType - 1];
}

short CheckImage(DWORD nLength, int nType, int nFormat) {
    if (nFormat < 0 || nFormat > 2) {
        return kErrFormat;
    }
    if (nType < 1 || nType > 5) {
        return kErrUnknownType;
    }
    if (nLength < FileLength(nType, nFormat)) {
        return kErrLength;
    }
    return kOk;
}

const char* FileExtension(int nType) {
    switch (nType) {
        case kTypeFvc:
        case kTypeFvcExt:
        case kTypeFvcPost:
            return ".fvc";
        case kTypeSvc:
            return ".svc";
        case kTypeMvv:
            return ".mvv";
        default:
            return "";
    }
}

}  // namespace spirofile

namespace spirotext {

CString ReadField(const BYTE* pField, std::size_t nWidth) {
    std::size_t n = 0;
    while (n < nWidth && pField[n] != 0) {
        ++n;
    }
    return CString(reinterpret_cast<const char*>(pField), n);
}

void WriteField(BYTE* pField, std::size_t nWidth, const CString& strText) {
    std::memset(pField, 0, nWidth);
    CString strCut = platform::CutToRoom(strText, nWidth);
    std::memcpy(pField, strCut.data(), strCut.size());
}

// Files and devices write numbers with a decimal point; a host program may have set a
// process locale that writes commas.
static locale_t CLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

float ParseParam(const BYTE* pField) {
    CString strText = ReadField(pField, spirofile::kParamTextWidth);
    return static_cast<float>(strtod_l(strText.c_str(), nullptr, CLocale()));
}

CString TwoDecimals(double dValue) {
    char szText[400];
    const auto result =
        std::to_chars(szText, szText + sizeof szText, dValue, std::chars_format::fixed, 2);
    return CString(szText, result.ptr);
}

void FormatParam(BYTE* pField, float fValue) {
    const CString strText = TwoDecimals(static_cast<double>(fValue));
    std::memset(pField, 0, spirofile::kParamTextWidth);
    std::size_t n = strText.size();
    if (n > static_cast<std::size_t>(spirofile::kParamTextWidth)) {
        n = spirofile::kParamTextWidth;
    }
    std::memcpy(pField, strText.data(), n);
}

DWORD GetLE32(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
           (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}

void PutLE32(BYTE* p, DWORD dwValue) {
    p[0] = static_cast<BYTE>(dwValue);
    p[1] = static_cast<BYTE>(dwValue >> 8);
    p[2] = static_cast<BYTE>(dwValue >> 16);
    p[3] = static_cast<BYTE>(dwValue >> 24);
}

DWORD GetBE32(const BYTE* p) {
    return (static_cast<DWORD>(p[0]) << 24) | (static_cast<DWORD>(p[1]) << 16) |
           (static_cast<DWORD>(p[2]) << 8) | static_cast<DWORD>(p[3]);
}

float FloatFromBits(DWORD dwBits) {
    float f;
    std::memcpy(&f, &dwBits, sizeof f);
    return f;
}

DWORD BitsFromFloat(float fValue) {
    DWORD dw;
    std::memcpy(&dw, &fValue, sizeof dw);
    return dw;
}

}  // namespace spirotext

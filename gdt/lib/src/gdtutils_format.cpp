// Value texts of the GDT format. Numbers are written with a decimal point whatever the
// process locale, since practice software reads them that way.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "zeqgdt/gdtconfig.h"
#include "zeqgdt/gdtutils.h"

namespace {

CString Printf(const char* fmt, int n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, fmt, n);
    return buf;
}

// Positions of "DD", "MM" and "YYYY" in the configured date format; FALSE when one lacks.
bool DateLayout(std::size_t& d, std::size_t& m, std::size_t& y) {
    const CString format = CGDTConfig().m_strDateFormat;
    d = format.find("DD");
    m = format.find("MM");
    y = format.find("YYYY");
    return d != CString::npos && m != CString::npos && y != CString::npos;
}

// The C library's atof without the process locale: leading blanks, a sign, digits, a point.
double ParseReal(const CString& s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    double value = 0;
    const char* first = s.c_str() + i;
    if (*first == '+') ++first;
    std::from_chars(first, s.c_str() + s.size(), value);
    return value;
}

}  // namespace

CString CGDTUtils::GetString(int n) { return std::to_string(n); }

CString CGDTUtils::GetString(int n, int nWidth) {
    switch (nWidth) {
    case 3: return Printf("%03d", n);
    case 4: return Printf("%04d", n);
    case 5: return Printf("%05d", n);
    default: return {};
    }
}

CString CGDTUtils::GetString(double d) {
    // "%lf", then the trailing zeros and a bare point removed.
    char buf[512];
    auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, 6);
    if (res.ec != std::errc()) return {};
    CString text(buf, res.ptr);
    if (text.find('.') != CString::npos) {
        while (!text.empty() && text.back() == '0') text.pop_back();
        if (!text.empty() && text.back() == '.') text.pop_back();
    }
    if (text == "-0") text = "0";
    return text;
}

CString CGDTUtils::GetString(const CString& str) { return str; }

CString CGDTUtils::GetString(const CString& str, int n) {
    if (n <= 0) return {};
    CString out = str.substr(0, static_cast<std::size_t>(n));
    out.resize(static_cast<std::size_t>(n), ' ');
    return out;
}

CString CGDTUtils::GetString(eFIELD_ID id) { return Printf("%04d", id); }
CString CGDTUtils::GetString(eSENTENCE_ID id) { return Printf("%04d", id); }
CString CGDTUtils::GetString(eGENDER gender) { return Printf("%d", gender); }
CString CGDTUtils::GetString(eCHAR_TYPE type) { return Printf("%d", type); }

CString CGDTUtils::GetString(eVERSION version) {
    switch (version) {
    case VERSION_0210: return "02.10";
    case VERSION_0300: return "03.00";
    default: return {};
    }
}

CString CGDTUtils::GetString(eDEVICE device) {
    static const char* const kCodes[] = {"ALLG00", "EKG01", "LUFU01", "LUFU02", "LUFU03"};
    return device >= 1 && device <= 5 ? kCodes[device - 1] : "";
}

CString CGDTUtils::GetString(eUNIT unit) {
    static const char* const kUnits[] = {"cm",  "inch", "kg",  "lb",   "mmHg", "kPa", "F",  "C",
                                         "bpm", "rpm",  "sec", "msec", "%",    "mV",  "L",  "LPS"};
    return unit >= 1 && unit <= 16 ? kUnits[unit - 1] : "";
}

BOOL CGDTUtils::GetStringFromDate(CString& strOut, int nYear, int nMonth, int nDay) {
    std::size_t d, m, y;
    if (!DateLayout(d, m, y)) return FALSE;
    struct Part {
        std::size_t at;
        CString text;
    } parts[] = {{d, Printf("%02d", nDay)}, {m, Printf("%02d", nMonth)}, {y, Printf("%04d", nYear)}};
    std::sort(std::begin(parts), std::end(parts), [](const Part& a, const Part& b) { return a.at < b.at; });
    strOut = parts[0].text + parts[1].text + parts[2].text;
    return TRUE;
}

CString CGDTUtils::GetStringFromTime(int nHour, int nMinute, int nSecond) {
    return Printf("%02d", nHour) + Printf("%02d", nMinute) + Printf("%02d", nSecond);
}

BOOL CGDTUtils::GetDateFromString(const CString& strText, int& nYear, int& nMonth, int& nDay) {
    std::size_t d, m, y;
    if (strText.size() != 8 || !DateLayout(d, m, y)) return FALSE;
    // The parts sit in the text in the order of their markers in the format.
    std::size_t at[3] = {d, m, y};
    const std::size_t width[3] = {2, 2, 4};
    std::size_t pos[3];
    for (int i = 0; i < 3; ++i) {
        pos[i] = 0;
        for (int j = 0; j < 3; ++j) {
            if (at[j] < at[i]) pos[i] += width[j];
        }
    }
    nDay = std::atoi(strText.substr(pos[0], 2).c_str());
    nMonth = std::atoi(strText.substr(pos[1], 2).c_str());
    nYear = std::atoi(strText.substr(pos[2], 4).c_str());
    return TRUE;
}

void CGDTUtils::GetTimeFromString(const CString& strText, int& nHour, int& nMinute, int& nSecond) {
    if (strText.size() != 6) return;
    nHour = std::atoi(strText.substr(0, 2).c_str());
    nMinute = std::atoi(strText.substr(2, 2).c_str());
    nSecond = std::atoi(strText.substr(4, 2).c_str());
}

int CGDTUtils::GetInt(const CString& str) { return std::atoi(str.c_str()); }
double CGDTUtils::GetDouble(const CString& str) { return ParseReal(str); }

BOOL CGDTUtils::IsValidDateFormat(const CString& str) {
    return str.find("DD") != CString::npos && str.find("MM") != CString::npos &&
           str.find("YYYY") != CString::npos;
}

CString CGDTUtils::GetFieldName(eFIELD_ID id) {
    static const struct {
        int id;
        const char* name;
    } kNames[] = {
        {102, "SW_MAKER"},           {103, "SW_NAME"},         {132, "SW_VERSION"},
        {3000, "PATIENT_ID"},        {3100, "PREFIX_NAME"},    {3101, "LAST_NAME"},
        {3102, "FIRST_NAME"},        {3103, "BIRTH_DATE"},     {3104, "PATIENT_TITLE"},
        {3105, "INSURANCE_NUMBER"},  {3106, "RESIDENCE"},      {3107, "STREET"},
        {3108, "INSURANCE_STATUS"},  {3110, "GENDER"},         {3622, "HEIGHT"},
        {3623, "WEIGHT"},            {6302, "ARCHIVE_ATTRIBUTE"}, {6303, "ARCHIVE_FORMAT"},
        {6304, "ARCHIVE_DESC"},      {6305, "ARCHIVE_PATH"},   {8000, "SENTENCE_ID"},
        {8100, "SENTENCE_LENGTH"},   {8315, "RECEIVER_ID"},    {8316, "SENDER_ID"},
        {8402, "MEASURE_INFO"},      {8410, "TEST_ID"},        {8411, "TEST_NAME"},
        {8420, "TEST_VALUE"},        {8421, "TEST_UNIT"},      {8430, "STREAM_LABEL"},
        {8432, "TEST_DATE"},         {8437, "STREAM_UNIT"},    {8438, "STREAM_DATA"},
        {8439, "TEST_TIME"},         {8460, "TEST_STANDARD_LIMIT"}, {8461, "TEST_LOW_LIMIT"},
        {8462, "TEST_HIGH_LIMIT"},   {8470, "COMMENT"},        {8480, "RESULT_TEXT"},
        {9206, "CHAR_TYPE"},         {9218, "GDT_VERSION"},
    };
    for (const auto& n : kNames) {
        if (n.id == id) return n.name;
    }
    return "UNKNOWN" + Printf("%04d", id);
}

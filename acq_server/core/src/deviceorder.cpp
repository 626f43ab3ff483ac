#include "acq_server/deviceorder.h"

#include <cstdio>
#include <cstring>

#include "platform/codepage.h"

namespace acq {

namespace {
constexpr std::size_t kIdAt = 0, kIdField = 15;
constexpr std::size_t kNameAt = 15, kNameField = 17;
constexpr std::size_t kDepartmentAt = 43, kDepartmentField = 65;
constexpr std::size_t kTimeAt = 114;

void PutText(std::array<BYTE, kOrderRecordSize>& rec, std::size_t nAt, std::size_t nField,
             const CString& str) {
    // Cut on a whole character of the code page: a double-byte name never runs into the
    // next field and never ends on half a character. The field's last byte stays 0.
    const CString strCut = platform::CutToRoom(str.substr(0, str.find('\0')), nField - 1);
    std::memcpy(rec.data() + nAt, strCut.data(), strCut.size());
}

void PutLE(std::array<BYTE, kOrderRecordSize>& rec, std::size_t nAt, unsigned long long n,
           int nBytes) {
    for (int i = 0; i < nBytes; ++i)
        rec[nAt + static_cast<std::size_t>(i)] = static_cast<BYTE>((n >> (8 * i)) & 0xFF);
}

bool Outside(long long n, long long nMax) {
    return n < 0 || n > nMax;
}
}  // namespace

COrderCheck CheckOrder(const COrderValues& v) {
    const struct {
        EOrderField eField;
        long long nValue, nMax;
        bool bChecked;
    } kNumbers[] = {
        {EOrderField::Age, v.m_nAge, 255, true},
        {EOrderField::Height, v.m_nHeight, 65535, true},
        {EOrderField::Weight, v.m_nWeight, 65535, true},
        {EOrderField::SmokeYears, v.m_nSmokeYears, 255, v.m_bSmoker != FALSE},
        {EOrderField::Room, v.m_nRoom, kMaxRoom, true},
    };
    for (const auto& row : kNumbers)
        if (row.bChecked && Outside(row.nValue, row.nMax))
            return {row.eField, 0, row.nMax};
    if (v.m_strID.empty())
        return {EOrderField::ID};
    if (v.m_strName.empty())
        return {EOrderField::Name};
    if ((v.m_nExams & 15) == 0)
        return {EOrderField::Exam};
    return {};
}

void CDeviceOrder::Fill(const COrderValues& v, std::time_t tNow) {
    m_abyRecord.fill(0);
    auto& r = m_abyRecord;
    PutText(r, kIdAt, kIdField, v.m_strID);
    PutText(r, kNameAt, kNameField, v.m_strName);
    r[32] = static_cast<BYTE>(v.m_nAge);
    r[33] = static_cast<BYTE>(v.m_nAgeUnit);
    r[34] = static_cast<BYTE>(v.m_nSex);
    PutLE(r, 36, static_cast<unsigned long long>(v.m_nHeight), 2);
    PutLE(r, 38, static_cast<unsigned long long>(v.m_nWeight), 2);
    // Amount and years belong to a smoker only.
    r[40] = v.m_bSmoker ? 1 : 0;
    r[41] = v.m_bSmoker ? static_cast<BYTE>(v.m_nSmokeAmount) : 0;
    r[42] = v.m_bSmoker ? static_cast<BYTE>(v.m_nSmokeYears) : 0;
    PutText(r, kDepartmentAt, kDepartmentField, v.m_strDepartment);
    PutLE(r, 108, static_cast<unsigned long long>(v.m_nRoom), 4);
    r[112] = static_cast<BYTE>(v.m_nEthnic);
    r[113] = static_cast<BYTE>(v.m_nExams & 15);
    std::tm tm{};
    localtime_r(&tNow, &tm);
    char sz[32];
    const int n = std::snprintf(sz, sizeof sz, "%04d%02d%02d%02d%02d%02d", tm.tm_year + 1900,
                                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    if (n == 14)
        std::memcpy(r.data() + kTimeAt, sz, 14);
}

std::array<BYTE, kOrderWireSize> CDeviceOrder::Wire() const {
    std::array<BYTE, kOrderWireSize> out{};
    out[0] = 0x30;
    std::memcpy(out.data() + kOrderPrefixSize, m_abyRecord.data(), kOrderRecordSize);
    return out;
}

std::u16string FilterOrderID(const std::u16string& strText, bool& bChanged) {
    static const char16_t kForbidden[] = u"\"'*,-./:<>?\\|";
    std::u16string out;
    for (char16_t c : strText) {
        const bool bBad = c < 32 || c >= 127 || std::char_traits<char16_t>::find(
                                                     kForbidden, sizeof kForbidden / 2 - 1, c);
        if (!bBad)
            out += c;
    }
    bChanged = out != strText;
    return out;
}

}  // namespace acq

#pragma once
// The patient order that the operator sends to a device (TCP port 2000): a 132-byte record
// behind the 3-byte prefix 0x30 0x00 0x00, 135 bytes on the wire. Built from plain values
// and a clock, so the server's order dialog and the viewers' share one encoder.
//
// Record layout (numbers little-endian, every byte not written is 0):
//   0 ID (15: at most 14 bytes and a 0)      15 name (17: at most 16 bytes and a 0)
//  32 age  33 age unit (0 years, 1 weeks)  34 sex (0 female, 1 male)  35 0
//  36 height cm (16)  38 weight kg (16)  40 smoker  41 amount smoked  42 years of smoking
//  43 department (65: at most 64 bytes and a 0)  108 room number (32)  112 ethnic group
// 113 examinations (1 ECG, 2 FVC, 4 SVC, 8 MVV)  114 order time "%Y%m%d%H%M%S" and a 0
// Texts are in the installation code page and are cut on whole characters.
#include <array>
#include <cstddef>
#include <ctime>
#include <string>

#include "platform/wintypes.h"

namespace acq {

constexpr std::size_t kOrderRecordSize = 132;
constexpr std::size_t kOrderPrefixSize = 3;
constexpr std::size_t kOrderWireSize = kOrderPrefixSize + kOrderRecordSize;
constexpr int kOrderPort = 2000;
constexpr long long kMaxRoom = 999999;

enum EOrderExam { kExamEcg = 1, kExamFvc = 2, kExamSvc = 4, kExamMvv = 8 };

// What the operator filled in. Numbers are kept as typed (wide) so that a value beyond its
// field is refused instead of losing its high bytes.
struct COrderValues {
    CString m_strID;
    CString m_strName;
    CString m_strDepartment;
    long long m_nAge = 0;
    int m_nAgeUnit = 0;  // 0 years, 1 weeks
    int m_nSex = 0;      // 0 female, 1 male
    long long m_nHeight = 0;
    long long m_nWeight = 0;
    BOOL m_bSmoker = FALSE;
    int m_nSmokeAmount = 0;  // 0..4
    long long m_nSmokeYears = 0;
    long long m_nRoom = 0;
    int m_nEthnic = 0;  // 0 white, 1 oriental, 2 black
    int m_nExams = 0;   // EOrderExam bits
};

// The first entry that keeps the order from being sent.
enum class EOrderField { None, Age, Height, Weight, SmokeYears, Room, ID, Name, Exam };

struct COrderCheck {
    EOrderField m_eField = EOrderField::None;
    long long m_nMin = 0, m_nMax = 0;  // the allowed range of a number
};

// Numbers first (each within its field: age and years 0..255, height and weight 0..65535,
// room 0..999999; years only for a smoker), then the ID, the name and an examination.
COrderCheck CheckOrder(const COrderValues& values);

class CDeviceOrder {
public:
    CDeviceOrder() = default;
    // Fills the record (zeroed first) from checked values; the order time is tNow's local
    // time. Values are not checked here: numbers are stored in their field's width.
    void Fill(const COrderValues& values, std::time_t tNow);

    const std::array<BYTE, kOrderRecordSize>& Record() const { return m_abyRecord; }
    // Prefix and record as they go on the wire.
    std::array<BYTE, kOrderWireSize> Wire() const;

private:
    std::array<BYTE, kOrderRecordSize> m_abyRecord{};
};

// The order dialog's ID filter on UTF-16 text: characters outside ASCII and the forbidden
// ones (control characters, DEL, " ' * , - . / : < > ? \ |) are removed; bChanged says
// whether anything went.
std::u16string FilterOrderID(const std::u16string& strText, bool& bChanged);

}  // namespace acq

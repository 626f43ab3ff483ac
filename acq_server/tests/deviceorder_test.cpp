// The device order record: every field where a device reads it, the checks before sending,
// texts cut on whole characters, the ID filter.
#include <gtest/gtest.h>

#include <cstring>

#include "acq_server/deviceorder.h"
#include "platform/codepage.h"
#include "streams.h"
#include "testsupport/testsupport.h"

namespace {

acq::COrderValues Sample() {
    acq::COrderValues v;
    v.m_strID = "A12";
    v.m_strName = "DOE JOHN";
    v.m_strDepartment = "CARDIOLOGY";
    v.m_nAge = 52;
    v.m_nAgeUnit = 1;
    v.m_nSex = 1;
    v.m_nHeight = 1720;
    v.m_nWeight = 65535;
    v.m_bSmoker = TRUE;
    v.m_nSmokeAmount = 3;
    v.m_nSmokeYears = 255;
    v.m_nRoom = 999999;
    v.m_nEthnic = 2;
    v.m_nExams = acq::kExamEcg | acq::kExamMvv;
    return v;
}

std::string Text(const std::array<BYTE, acq::kOrderRecordSize>& r, std::size_t at, std::size_t n) {
    const char* p = reinterpret_cast<const char*>(r.data() + at);
    return std::string(p, strnlen(p, n));
}

TEST(DeviceOrder, EveryFieldInPlace) {
    acq::CDeviceOrder order;
    order.Fill(Sample(), teststream::FixedClock());
    const auto& r = order.Record();
    EXPECT_EQ(Text(r, 0, 15), "A12");
    EXPECT_EQ(Text(r, 15, 17), "DOE JOHN");
    EXPECT_EQ(r[32], 52);
    EXPECT_EQ(r[33], 1);
    EXPECT_EQ(r[34], 1);
    EXPECT_EQ(r[35], 0);
    EXPECT_EQ(r[36] | (r[37] << 8), 1720);
    EXPECT_EQ(r[38] | (r[39] << 8), 65535);
    EXPECT_EQ(r[40], 1);
    EXPECT_EQ(r[41], 3);
    EXPECT_EQ(r[42], 255);
    EXPECT_EQ(Text(r, 43, 65), "CARDIOLOGY");
    EXPECT_EQ(r[108] | (r[109] << 8) | (r[110] << 16) | (r[111] << 24), 999999);
    EXPECT_EQ(r[112], 2);
    EXPECT_EQ(r[113], 9);
    EXPECT_EQ(Text(r, 114, 15), "20260102030405");
    EXPECT_EQ(r[128], 0);
    EXPECT_EQ(r[129] | r[130] | r[131], 0);
    const auto wire = order.Wire();
    ASSERT_EQ(wire.size(), 135u);
    EXPECT_EQ(wire[0], 0x30);
    EXPECT_EQ(wire[1] | wire[2], 0);
    EXPECT_EQ(0, std::memcmp(wire.data() + 3, r.data(), 132));
}

TEST(DeviceOrder, MasksAndTheSmokerRule) {
    const struct {
        int nExams;
        int nMask;
    } masks[] = {{acq::kExamEcg | acq::kExamMvv, 9},
                 {acq::kExamEcg | acq::kExamFvc | acq::kExamSvc | acq::kExamMvv, 15},
                 {acq::kExamFvc, 2},
                 {acq::kExamSvc, 4}};
    for (const auto& m : masks) {
        auto v = Sample();
        v.m_nExams = m.nExams;
        acq::CDeviceOrder order;
        order.Fill(v, 0);
        EXPECT_EQ(order.Record()[113], m.nMask);
    }
    // No smoker: amount and years are not the device's business, nor checked.
    auto v = Sample();
    v.m_bSmoker = FALSE;
    v.m_nSmokeYears = 999;
    EXPECT_EQ(acq::CheckOrder(v).m_eField, acq::EOrderField::None);
    acq::CDeviceOrder order;
    order.Fill(v, 0);
    EXPECT_EQ(order.Record()[40], 0);
    EXPECT_EQ(order.Record()[41], 0);
    EXPECT_EQ(order.Record()[42], 0);
}

TEST(DeviceOrder, ChecksBeforeSending) {
    using F = acq::EOrderField;
    const struct {
        const char* pszWhat;
        void (*change)(acq::COrderValues&);
        F eField;
        long long nMax;
    } cases[] = {
        {"valid", [](acq::COrderValues&) {}, F::None, 0},
        {"room 1000000", [](acq::COrderValues& v) { v.m_nRoom = 1000000; }, F::Room, 999999},
        {"room -1", [](acq::COrderValues& v) { v.m_nRoom = -1; }, F::Room, 999999},
        {"age 256", [](acq::COrderValues& v) { v.m_nAge = 256; }, F::Age, 255},
        {"age -1", [](acq::COrderValues& v) { v.m_nAge = -1; }, F::Age, 255},
        {"height 65536", [](acq::COrderValues& v) { v.m_nHeight = 65536; }, F::Height, 65535},
        {"weight -5", [](acq::COrderValues& v) { v.m_nWeight = -5; }, F::Weight, 65535},
        {"years 256", [](acq::COrderValues& v) { v.m_nSmokeYears = 256; }, F::SmokeYears, 255},
        {"empty ID", [](acq::COrderValues& v) { v.m_strID.clear(); }, F::ID, 0},
        {"empty name", [](acq::COrderValues& v) { v.m_strName.clear(); }, F::Name, 0},
        {"no exam", [](acq::COrderValues& v) { v.m_nExams = 0; }, F::Exam, 0},
    };
    for (const auto& c : cases) {
        auto v = Sample();
        c.change(v);
        const acq::COrderCheck check = acq::CheckOrder(v);
        EXPECT_EQ(check.m_eField, c.eField) << c.pszWhat;
        if (c.nMax) {
            EXPECT_EQ(check.m_nMax, c.nMax) << c.pszWhat;
        }
    }
}

TEST(DeviceOrder, TextsCutOnWholeCharacters) {
    testsupport::CCodePageScope cp("CP949");
    // 16 Korean syllables: 32 bytes in CP949, cut to 8 whole characters (16 bytes) and a 0.
    const std::string strName = platform::FromUtf8(
        "\xea\xb0\x80\xea\xb0\x80\xea\xb0\x80\xea\xb0\x80\xea\xb0\x80\xea\xb0\x80\xea\xb0\x80"
        "\xea\xb0\x80\xea\xb0\x80\xea\xb0\x80\xea\xb0\x80\xea\xb0\x80\xea\xb0\x80\xea\xb0\x80"
        "\xea\xb0\x80\xea\xb0\x80");
    ASSERT_EQ(strName.size(), 32u);
    auto v = Sample();
    v.m_strName = strName;
    v.m_strID = "A" + strName;        // one byte, then double-byte characters
    v.m_strDepartment = strName + strName + "X" + strName;
    acq::CDeviceOrder order;
    order.Fill(v, 0);
    const auto& r = order.Record();
    EXPECT_EQ(Text(r, 15, 17), strName.substr(0, 16));
    EXPECT_EQ(r[31], 0);
    EXPECT_EQ(r[32], 52);  // the age is untouched
    EXPECT_EQ(Text(r, 0, 15), "A" + strName.substr(0, 12));  // 13 bytes: no half character
    EXPECT_EQ(r[14], 0);
    EXPECT_EQ(Text(r, 43, 65), (strName + strName).substr(0, 64));
    EXPECT_EQ(r[107], 0);
}

TEST(DeviceOrder, IdFilter) {
    const struct {
        std::u16string in, out;
    } cases[] = {
        {u"A-1.2", u"A12"},
        {u"A\u00e91", u"A1"},
        {u"a b!#$%&()+;=@[]^_`{}~", u"a b!#$%&()+;=@[]^_`{}~"},
        {u"\"'*,-./:<>?\\|", u""},
        {u"X\tY\x7fZ", u"XYZ"},
        {u"\uac00K", u"K"},
    };
    for (const auto& c : cases) {
        bool bChanged = false;
        EXPECT_EQ(acq::FilterOrderID(c.in, bChanged), c.out);
        EXPECT_EQ(bChanged, c.in != c.out);
    }
}

}  // namespace

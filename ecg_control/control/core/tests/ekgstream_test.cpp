// The cart's record stream and monitoring datagrams, fed without a socket.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ecg_control/link/ekgstream.h"
#include "ecg_control/link/monitordatagram.h"

using namespace ekglink;

namespace {

using Bytes = std::vector<BYTE>;

void Put16(Bytes& b, int v) {
    b.push_back(static_cast<BYTE>((v >> 8) & 0xFF));
    b.push_back(static_cast<BYTE>(v & 0xFF));
}

// One sample item: set s of item n carries I = n*5+s, II = 2 I, V1..V6 = I + 100 k.
Bytes SampleItem(BYTE tag, int n) {
    Bytes b{tag, 80};
    for (int s = 0; s < 5; ++s) {
        const int i = (n * 5 + s) % 3000;
        Put16(b, i);
        Put16(b, 2 * i);
        for (int k = 1; k <= 6; ++k) Put16(b, i + 100 * k);
    }
    return b;
}

void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

Bytes PatientItem() {
    Bytes b(58, 0);
    b[0] = 0x16;
    b[1] = 0x3A;
    return b;
}

struct CRun {
    CWaveBuffer wave;
    CEkgRecordInfo info;
    std::vector<float> percents;
    std::vector<BYTE> ends;
    CEkgStreamParser parser{wave, info,
                            {[this](float f) { percents.push_back(f); },
                             [this](BYTE t) { ends.push_back(t); }}};
    CRun() { wave.CreateLeads(5000, 2); }
};

Bytes Recording(BYTE tag, int nItems) {
    Bytes s;
    Append(s, PatientItem());
    Bytes filter{0x22, 4, 1, 2, 0xFF, 0};
    Append(s, filter);
    Bytes pace{0x37, 2};
    Put16(pace, 1234);
    Put16(pace, 2345);
    pace.resize(82, 0);
    Append(s, pace);
    Bytes statement{0x19, 80};
    const char* text = "Sinus rhythm   ";
    statement.insert(statement.end(), text, text + std::strlen(text));
    statement.resize(82, 0);
    Append(s, statement);
    for (int n = 0; n < nItems; ++n) Append(s, SampleItem(tag, n));
    Append(s, Bytes{tag, 0});
    Append(s, SampleItem(tag, 0));  // after the end: never read
    return s;
}

}  // namespace

TEST(EkgStream, DecodesTheDerivedLeadsWithIntegerArithmetic) {
    Bytes b{};
    for (int s = 0; s < 5; ++s) {
        Put16(b, -7);
        Put16(b, 4);
        for (int k = 0; k < 6; ++k) Put16(b, -32768 + k);
    }
    short sets[5][12];
    DecodeSampleSets(b.data(), sets);
    EXPECT_EQ(sets[0][0], -7);
    EXPECT_EQ(sets[0][1], 4);
    EXPECT_EQ(sets[0][2], 11);          // III = II - I
    EXPECT_EQ(sets[0][3], 1);           // aVR = -((I + II) / 2) = -(-3 / 2) = 1
    EXPECT_EQ(sets[0][4], -9);          // aVL = (I - III) / 2 = -18 / 2
    EXPECT_EQ(sets[0][5], 7);           // aVF = (II + III) / 2 = 15 / 2
    EXPECT_EQ(sets[4][6], -32768);
    EXPECT_EQ(sets[4][11], -32763);
}

TEST(EkgStream, EverySplitPointGivesTheSameRecord) {
    const Bytes stream = Recording(0x03, 60);
    CRun whole;
    whole.parser.Feed(stream.data(), stream.size());
    ASSERT_EQ(whole.parser.ItemCount(), 60);
    ASSERT_EQ(whole.ends, (std::vector<BYTE>{0x03}));
    for (std::size_t cut = 1; cut < stream.size(); cut += 13) {
        CRun split;
        split.parser.Feed(stream.data(), cut);
        split.parser.Feed(stream.data() + cut, stream.size() - cut);
        ASSERT_EQ(split.parser.ItemCount(), 60) << cut;
        ASSERT_EQ(split.ends.size(), 1u) << cut;
        ASSERT_EQ(split.wave.m_adwMarks, whole.wave.m_adwMarks) << cut;
        ASSERT_EQ(0, std::memcmp(split.wave.Data(), whole.wave.Data(), whole.wave.GetSize())) << cut;
    }
    // One byte at a time as well.
    CRun bytewise;
    for (BYTE b : stream) bytewise.parser.Feed(&b, 1);
    EXPECT_EQ(bytewise.parser.ItemCount(), 60);
    EXPECT_EQ(0, std::memcmp(bytewise.wave.Data(), whole.wave.Data(), whole.wave.GetSize()));
}

TEST(EkgStream, StoresSamplesMarksStatementsAndFilter) {
    CRun run;
    const Bytes stream = Recording(0x03, 100);
    run.parser.Feed(stream.data(), stream.size());
    EXPECT_EQ(run.wave.GetSample(0, 499), 499);
    EXPECT_EQ(run.wave.GetSample(1, 499), 998);
    EXPECT_EQ(run.wave.GetSample(2, 499), 499);
    EXPECT_EQ(run.wave.GetSample(11, 3), 603);
    EXPECT_EQ(run.wave.m_adwMarks, (std::vector<DWORD>{1234, 2345}));
    ASSERT_EQ(run.info.GetStatements().size(), 1u);
    EXPECT_EQ(run.info.GetStatements()[0], "Sinus rhythm");
    EXPECT_EQ(run.info.GetFilterItem()[2], 1);
    EXPECT_EQ(run.info.GetFilterItem()[4], 0xFF);
    EXPECT_EQ(run.percents, (std::vector<float>{5.0f, 10.0f}));
    EXPECT_TRUE(run.parser.Ended());
    // Nothing after the end item is taken.
    const Bytes more = SampleItem(0x03, 0);
    run.parser.Feed(more.data(), more.size());
    EXPECT_EQ(run.parser.ItemCount(), 100);
}

TEST(EkgStream, FixedSizesOfPatientAndPaceItemsWhateverTheirLengthByte) {
    struct Case {
        BYTE tag, length;
        std::size_t size;
    } cases[] = {{0x16, 0x3A, 58}, {0x16, 0, 58}, {0x16, 255, 58}, {0x37, 2, 82},
                 {0x37, 200, 82}, {0x37, 0, 82},  {0x03, 82, 84},  {0x55, 9, 11}};
    for (const Case& c : cases) {
        CRun run;
        Bytes s{c.tag, c.length};
        s.resize(c.size, 0);
        Append(s, SampleItem(0x03, 0));
        run.parser.Feed(s.data(), s.size());
        EXPECT_EQ(run.parser.ItemCount(), 1) << int(c.tag) << " " << int(c.length);
        EXPECT_EQ(run.parser.CarryOver(), 0u);
    }
}

TEST(EkgStream, PacePositionsOnlyFromInsideTheirItem) {
    CRun run;
    Bytes pace{0x37, 200};  // promises 200 positions; its 80 data bytes hold 40
    for (int i = 0; i < 40; ++i) Put16(pace, 10 + i);
    Bytes in82{0x03, 82};  // 82 data bytes: 41 positions
    for (int i = 0; i < 41; ++i) Put16(in82, 100 + i);
    Bytes s = pace;
    Append(s, in82);
    Append(s, Bytes{0x40, 82});  // cut short: waits as carry-over, nothing read
    run.parser.Feed(s.data(), s.size());
    ASSERT_EQ(run.wave.m_adwMarks.size(), 81u);
    EXPECT_EQ(run.wave.m_adwMarks[39], 49u);
    EXPECT_EQ(run.wave.m_adwMarks[80], 140u);
    EXPECT_EQ(run.parser.CarryOver(), 2u);
}

TEST(EkgStream, ItemsPastTheBufferAreCountedNotStored) {
    CRun run;
    const Bytes stream = Recording(0x40, 1200);
    run.parser.Feed(stream.data(), stream.size());
    EXPECT_EQ(run.parser.ItemCount(), 1200);
    EXPECT_EQ(run.wave.GetSamplesPerChannel(), 5000u);
    EXPECT_EQ(run.wave.GetSample(0, 4999), 4999 % 3000);
    ASSERT_FALSE(run.percents.empty());
    EXPECT_FLOAT_EQ(run.percents.back(), 1200 / 12.0f);
    EXPECT_EQ(run.ends, (std::vector<BYTE>{0x40}));
}

TEST(EkgStream, DeviceTextIsTakenFromUtf8) {
    CRun run;
    Bytes s{0x35, 6, 'C', 'a', 'f', 0xC3, 0xA9, '!'};
    run.parser.Feed(s.data(), s.size());
    EXPECT_EQ(run.info.GetDeviceText(), "Caf\xE9!");
    Bytes mode{0x24, 1, 5};
    run.parser.Feed(mode.data(), mode.size());
    EXPECT_EQ(run.info.GetAnalysisMode(), 5);
}

TEST(MonitorDatagram, KindsAndShortDatagrams) {
    Bytes d80 = SampleItem(3, 0);
    Bytes d82 = SampleItem(3, 0);
    d82[1] = 82;
    d82.push_back(0x40);
    d82.push_back(0x01);
    struct Case {
        Bytes data;
        CMonitorDatagram::Kind kind;
    } cases[] = {
        {d80, CMonitorDatagram::kSamples},
        {d82, CMonitorDatagram::kSamplesAndFlags},
        {Bytes(d80.begin(), d80.end() - 1), CMonitorDatagram::kIgnored},  // 81 of 82 bytes
        {Bytes(d82.begin(), d82.end() - 1), CMonitorDatagram::kIgnored},  // 83 of 84
        {Bytes{4, 80}, CMonitorDatagram::kIgnored},
        {Bytes{3, 81}, CMonitorDatagram::kIgnored},
        {Bytes{3}, CMonitorDatagram::kIgnored},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseMonitorDatagram(c.data.data(), c.data.size()).kind, c.kind) << c.data.size();
    }
    EXPECT_TRUE(ParseMonitorDatagram(d82.data(), d82.size()).SignalNotGood());
}

TEST(MonitorDatagram, LeadFaultTextsAndEventsInOrder) {
    struct Case {
        BYTE f1, f2;
        bool fault;
        const char* text;
        std::vector<short> events;
    } cases[] = {
        {0x00, 0x00, false, "", {}},
        {0x00, 0x1F, false, "", {}},  // pacemaker bits only
        {0x3F, 0xE0, true, "Lead fault : All leads", {12}},
        {0x21, 0xA0, true, "Lead fault : RA LL V1 V6", {1, 3, 6, 11}},
        {0x3F, 0x40, true, "Lead fault : LA V1 V2 V3 V4 V5 V6", {2, 6, 7, 8, 9, 10, 11}},
        {0x04, 0x00, true, "Lead fault : V3", {8}},
    };
    for (const Case& c : cases) {
        const CLeadFault r = CheckLeadFault(c.f1, c.f2);
        EXPECT_EQ(r.bFault != 0, c.fault);
        EXPECT_EQ(r.strText, c.text);
        EXPECT_EQ(r.events, c.events);
    }
}

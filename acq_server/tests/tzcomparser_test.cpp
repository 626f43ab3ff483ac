// Packet codec: the parser across every split, the builders and the reserved commands.
#include <gtest/gtest.h>

#include "acq_server/tzcomparser.h"
#include "testsupport/testsupport.h"

namespace {

using Bytes = std::vector<BYTE>;

struct CDelivered {
    BYTE nTag;
    DWORD nCommand, nDataValue, nSize, nType, nOrder;
    unsigned long long nNumber;
    Bytes value;
    bool operator==(const CDelivered&) const = default;
};

class CCollector {
public:
    CCollector() { m_parser.SetCallback(&CCollector::Callback, this); }
    void Feed(const Bytes& b, std::vector<std::size_t> cuts = {}) {
        std::size_t nPos = 0;
        cuts.push_back(b.size());
        for (std::size_t c : cuts) {
            if (c < nPos)
                continue;
            m_parser.Parse(b.data() + nPos, static_cast<int>(c - nPos));
            nPos = c;
        }
    }
    static void Callback(const TzPacket& p, void* pContext) {
        auto* self = static_cast<CCollector*>(pContext);
        CDelivered d{
            p.m_nTag, p.m_nCommand, p.m_nDataValue, p.m_nSize, p.m_value.m_nType, p.m_nByteOrder, 0,
            {}};
        if (p.m_value.m_nType == TZ_TYPE_VARIABLE)
            d.value = p.m_value.m_abyBytes;
        else
            d.nNumber = p.m_value.Number();
        self->m_delivered.push_back(d);
    }
    TzComParser m_parser;
    std::vector<CDelivered> m_delivered;
};

Bytes Stream() {
    Bytes b = {0x00, 0x13};                                         // noise before a packet
    b.insert(b.end(), {0xF1, 0x12, 0x34, 0x44, 0x12, 0x34, 0x00});  // 16-bit big-endian
    b.insert(b.end(), {0xF1, 0x12, 0x35, 0x04, 0x34, 0x12, 0x00});  // 16-bit little-endian
    b.insert(b.end(), {0xF1, 0x00, 0x01, 0x00, 0x00});              // no value
    b.insert(b.end(), {0xF1, 0x00, 0x02, 0x48, 1, 2, 3, 4, 5, 6, 7, 8, 0x00});  // 64-bit
    b.insert(b.end(), {0xF2, 0, 0, 0, 9, 0, 0});                                // empty data
    b.insert(b.end(), {0xF2, 0, 0, 1, 0, 0, 3, 'a', 'b', 'c'});
    Bytes ext = {0xF1, 0xFF, 0x01, 0xFF};
    for (int i = 0; i < 127; ++i)
        ext.push_back(static_cast<BYTE>(i + 1));
    ext.push_back(0x5A);
    b.insert(b.end(), ext.begin(), ext.end());
    b.insert(b.end(), {0xF1, 0x00, 0x03, 0x09, 0x00});  // fixed code 9: empty
    b.insert(b.end(), {0xF1, 0x00, 0x04, 0x0C, 0x00});  // code 12: empty
    return b;
}

TEST(TzComParser, DeliversEveryPacketInOrder) {
    CCollector c;
    c.Feed(Stream());
    ASSERT_EQ(c.m_delivered.size(), 9u);
    EXPECT_EQ(c.m_delivered[0].nCommand, 0x1234u);
    EXPECT_EQ(c.m_delivered[0].nNumber, 0x1234u);
    EXPECT_EQ(c.m_delivered[0].nOrder, 64u);
    EXPECT_EQ(c.m_delivered[1].nNumber, 0x1234u);
    EXPECT_EQ(c.m_delivered[2].nSize, 0u);
    EXPECT_EQ(c.m_delivered[3].nNumber, 0x0102030405060708ull);
    EXPECT_EQ(c.m_delivered[4].nTag, TZ_TAG_DATA);
    EXPECT_EQ(c.m_delivered[4].nDataValue, 9u);
    EXPECT_TRUE(c.m_delivered[4].value.empty());
    EXPECT_EQ(c.m_delivered[5].nDataValue, 256u);
    EXPECT_EQ(c.m_delivered[5].value, (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(c.m_delivered[6].nSize, 127u);
    EXPECT_EQ(c.m_delivered[6].value.size(), 127u);
    EXPECT_EQ(c.m_delivered[6].value.back(), 127);
    EXPECT_EQ(c.m_delivered[7].nSize, 0u);
    EXPECT_EQ(c.m_delivered[8].nType, 12u);
    EXPECT_EQ(c.m_parser.m_nWaitType, 0);
}

TEST(TzComParser, EverySplitGivesTheSameDeliveries) {
    const Bytes b = Stream();
    CCollector whole;
    whole.Feed(b);
    for (std::size_t i = 1; i < b.size(); ++i) {
        for (std::size_t j = i; j < b.size(); j += 7) {
            CCollector c;
            c.Feed(b, {i, j});
            ASSERT_EQ(c.m_delivered, whole.m_delivered) << i << " " << j;
        }
    }
    CCollector bytewise;
    std::vector<std::size_t> cuts;
    for (std::size_t i = 1; i < b.size(); ++i)
        cuts.push_back(i);
    bytewise.Feed(b, cuts);
    EXPECT_EQ(bytewise.m_delivered, whole.m_delivered);
}

TEST(TzComParser, SplitExtendedValueKeepsItsCheckByteOut) {
    // A FILE command cut right before its check byte: the value stays 127 bytes and the
    // check byte lands nowhere (the sanitizer watches the value's buffer).
    TzProtocolState state;
    state.m_bChecksum = TRUE;
    Bytes b;
    ASSERT_EQ(tz::MakeFile(b, 2500, 0, "777_20160504101500.mwf", 0, state), 132);
    for (std::size_t cut : {5u, 60u, 130u, 131u}) {
        CCollector c;
        c.Feed(b, {cut});
        ASSERT_EQ(c.m_delivered.size(), 1u);
        ASSERT_EQ(c.m_delivered[0].value.size(), 127u);
        TzPacket p;
        p.m_nTag = TZ_TAG_COMMAND;
        p.m_nCommand = RESERVED_CMD_FILE;
        p.m_value = TzValue::Bytes(c.m_delivered[0].value.data(), 127);
        tz::TzFileInfo info;
        ASSERT_TRUE(tz::ReadFile(p, info));
        EXPECT_EQ(info.m_nSize, 2500u);
        EXPECT_STREQ(info.m_szName, "777_20160504101500.mwf");
    }
}

TEST(TzComParser, NoCallbackParsesNothing) {
    TzComParser p;
    const Bytes b = Stream();
    EXPECT_EQ(p.Parse(b.data(), static_cast<int>(b.size())), static_cast<int>(b.size()));
}

TEST(TzBuilders, AcknowledgementWithAndWithoutCheckByte) {
    TzProtocolState state;
    Bytes b;
    ASSERT_EQ(tz::MakeAck(b, RESERVED_CMD_FILE, state), 7);
    EXPECT_EQ(b, (Bytes{0xF1, 0xFF, 0x04, 0x04, 0x01, 0xFF, 0x00}));
    state.m_bChecksum = TRUE;
    ASSERT_EQ(tz::MakeAck(b, RESERVED_CMD_FILE, state), 7);
    EXPECT_EQ(b[6], 0xF1 ^ 0xFF ^ 0x04 ^ 0x04 ^ 0x01 ^ 0xFF);
}

TEST(TzBuilders, ReservedCommandsRoundTrip) {
    TzProtocolState state;
    Bytes b;
    ASSERT_EQ(tz::MakeStart(b, 0x1234, 1, state), 25);
    EXPECT_EQ(b[3], 0x94);
    CCollector c;
    c.Feed(b);
    ASSERT_EQ(c.m_delivered.size(), 1u);
    TzPacket p;
    p.m_nTag = TZ_TAG_COMMAND;
    p.m_nCommand = c.m_delivered[0].nCommand;
    p.m_value = TzValue::Bytes(c.m_delivered[0].value.data(), c.m_delivered[0].value.size());
    tz::TzStartInfo start;
    ASSERT_TRUE(tz::ReadStart(p, start));
    EXPECT_EQ(start.m_nValue, 0x1234);
    EXPECT_EQ(start.m_nSwitch, 1);
    tz::TzFileInfo file;
    EXPECT_FALSE(tz::ReadFile(p, file)) << "not a FILE command";

    struct Case {
        int nLength;
        WORD nId;
        BYTE nType;
    };
    Bytes out;
    const Case cases[] = {{tz::MakeFinish(out, 3, state), 0xFF02, 0x02},
                          {tz::MakeCmd03(out, state), 0xFF03, 0x00},
                          {tz::MakeCmd05(out, 1, 2, state), 0xFF05, 0x06},
                          {tz::MakeCmd06(out, 1, state), 0xFF06, 0x02},
                          {tz::MakeCmd07(out, state), 0xFF07, 0x00},
                          {tz::MakeCmd08(out, 1, state), 0xFF08, 0x06},
                          {tz::MakeCmd09(out, state), 0xFF09, 0x00}};
    const int nSizes[] = {6, 5, 9, 6, 5, 9, 5};
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].nLength, nSizes[i]);
    tz::MakeCmd05(out, 0x0102, 0x03, state);
    EXPECT_EQ(out, (Bytes{0xF1, 0xFF, 0x05, 0x06, 0x03, 0x02, 0x01, 0x00, 0x00}));
}

TEST(TzBuilders, FileNameIsConvertedAndCut) {
    testsupport::CCodePageScope cp("CP1252");
    TzProtocolState state;
    Bytes b;
    // UTF-8 "é?" and a name without a terminating zero inside the payload.
    tz::MakeFile(b, 1, 2, "\xC3\xA9?.ekg", 5, state);
    TzPacket p;
    p.m_nTag = TZ_TAG_COMMAND;
    p.m_nCommand = RESERVED_CMD_FILE;
    p.m_value = TzValue::Bytes(b.data() + 4, 127);
    tz::TzFileInfo info;
    ASSERT_TRUE(tz::ReadFile(p, info));
    EXPECT_STREQ(info.m_szName, "\xE9!.ekg");
    EXPECT_EQ(info.m_nOffset, 2u);
    EXPECT_EQ(info.m_nFlag, 5);
    Bytes full(127, 'x');
    full[4] = 0;
    p.m_value = TzValue::Bytes(full.data(), full.size());
    ASSERT_TRUE(tz::ReadFile(p, info));
    EXPECT_EQ(std::string(info.m_szName).size(), 116u);
}

TEST(TzBuilders, DataPacketLimits) {
    Bytes data(65535, 1), out;
    EXPECT_EQ(tz::MakeDataPacket(out, data.data(), data.size(), 7), 65542);
    EXPECT_EQ(out[5], 0xFF);
    EXPECT_EQ(out[6], 0xFF);
    data.push_back(1);
    EXPECT_EQ(tz::MakeDataPacket(out, data.data(), data.size(), 7), 0);
    EXPECT_EQ(tz::MakeDataPacket(out, nullptr, 3, 7), 0);
    TzProtocolState state;
    Bytes big(128, 0);
    EXPECT_EQ(tz::MakeCommandPacket(out, 1, TzValue::Bytes(big.data(), big.size()), 0, state), 0);
}

}  // namespace

TEST(TzBuilders, ReservedCommandWithEmptyValueReadsAsZeros) {
    // START and FILE sent with the fixed type code 9 (an empty variable value): the readers
    // must take them as all-zero values without touching the value's absent buffer.
    struct CRead {
        int nStarts = 0, nFiles = 0;
        tz::TzStartInfo start;
        tz::TzFileInfo file;
        static void Callback(const TzPacket& p, void* pContext) {
            auto* self = static_cast<CRead*>(pContext);
            self->nStarts += tz::ReadStart(p, self->start) ? 1 : 0;
            self->nFiles += tz::ReadFile(p, self->file) ? 1 : 0;
        }
    } read;
    read.start.m_nSwitch = 7;
    TzComParser parser;
    parser.SetCallback(&CRead::Callback, &read);
    const Bytes b = {0xF1, 0xFF, 0x00, 0x49, 0x00, 0xF1, 0xFF, 0x01, 0x49, 0x00};
    parser.Parse(b.data(), static_cast<int>(b.size()));
    EXPECT_EQ(read.nStarts, 1);
    EXPECT_EQ(read.nFiles, 1);
    EXPECT_EQ(read.start.m_nSwitch, 0);
    EXPECT_EQ(read.file.m_nSize, 0u);
    EXPECT_STREQ(read.file.m_szName, "");
}

// A test built message by message, as the server receives it from a spirometer: legacy
// tagged messages and the 0xFD frames 0xB0-0xBC; then written and read back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "spiro_control/spirotestfile.h"
#include "testsupport/testsupport.h"

using testsupport::CTempDir;
using Bytes = std::vector<BYTE>;

namespace {

// Tag, length byte (the data size unless given) and data.
Bytes Msg(BYTE nTag, const Bytes& data, int nLengthByte = -1) {
    Bytes m{nTag, static_cast<BYTE>(nLengthByte < 0 ? data.size() : nLengthByte)};
    m.insert(m.end(), data.begin(), data.end());
    return m;
}

void Add(CSpiroTestFile& f, const Bytes& m) {
    f.AddDeviceMessage(m[0], m.data(), static_cast<int>(m.size()));
}

void PutBE(Bytes& b, std::size_t at, DWORD v) {
    b[at] = static_cast<BYTE>(v >> 24);
    b[at + 1] = static_cast<BYTE>(v >> 16);
    b[at + 2] = static_cast<BYTE>(v >> 8);
    b[at + 3] = static_cast<BYTE>(v);
}
void PutBEFloat(Bytes& b, std::size_t at, float f) {
    PutBE(b, at, spirotext::BitsFromFloat(f));
}
void PutText(Bytes& b, std::size_t at, const std::string& s) {
    std::memcpy(b.data() + at, s.data(), s.size());
}

Bytes Params(int nCount, float fFirst) {
    Bytes d(6 * nCount, 0);
    for (int i = 0; i < nCount; ++i) {
        char sz[16];
        std::snprintf(sz, sizeof sz, "%.2f", fFirst + i);
        PutText(d, 6 * i, std::string(sz).substr(0, 6));
    }
    return d;
}

// 80 bytes of big-endian words n, n+1, ...
Bytes Curve(DWORD nFirst, std::size_t nBytes = 80) {
    Bytes d(nBytes, 0);
    for (std::size_t i = 0; i + 4 <= nBytes; i += 4) {
        PutBE(d, i, nFirst + static_cast<DWORD>(i / 4));
    }
    return d;
}

}  // namespace

TEST(SpiroDeviceMessages, ParameterCounterRuns) {
    CSpiroTestFile f;
    f.Reset();
    Add(f, Msg(0x75, Params(10, 1.0f)));
    Add(f, Msg(0x75, Params(10, 2.0f)));
    EXPECT_EQ(f.m_Param.m_afFvc[0][1], 2.0f);
    // An empty message stores nothing and starts a new run at column 0.
    Add(f, Msg(0x75, {}));
    EXPECT_EQ(f.GetMessageCounter(), 0);
    Add(f, Msg(0x75, Params(10, 7.0f)));
    EXPECT_EQ(f.m_Param.m_afFvc[0][0], 7.0f);
    EXPECT_EQ(f.m_Param.m_afFvc[9][0], 16.0f);
    // 0x79 fills columns 6-11 by the same counter; past column 11 nothing is stored.
    Add(f, Msg(0x75, {}));
    for (int i = 0; i < 8; ++i) {
        Add(f, Msg(0x79, Params(10, 100.0f + i)));
    }
    EXPECT_EQ(f.m_Param.m_afFvc[0][6], 100.0f);
    EXPECT_EQ(f.m_Param.m_afFvc[0][11], 105.0f);
    EXPECT_EQ(f.GetMessageCounter(), 8);
    // MVV: the counter is added to the index, so only a message at counter 0 fits.
    Add(f, Msg(0x77, {}));
    Add(f, Msg(0x77, Params(3, 50.0f)));
    Add(f, Msg(0x77, Params(3, 60.0f)));
    EXPECT_EQ(f.m_Param.m_afMvv[0], 50.0f);
    EXPECT_EQ(f.m_Param.m_afMvv[1], 60.0f);
    EXPECT_EQ(f.m_Param.m_afMvv[2], 61.0f);
    Add(f, Msg(0x76, {}));
    for (int i = 0; i < 6; ++i) {
        Add(f, Msg(0x76, Params(5, 10.0f * i)));
    }
    EXPECT_EQ(f.m_Param.m_afSvc[4][3], 34.0f);
}

TEST(SpiroDeviceMessages, CurveMessagesByCounterAndTestType) {
    CSpiroTestFile f;
    f.Reset();
    for (int i = 0; i < 3; ++i) {
        Add(f, Msg(0x86, Curve(1000 + 20 * i)));
    }
    EXPECT_EQ(f.m_Curve.GetWord(CSpiroCurveData::kBase, 0), 1000u);
    EXPECT_EQ(f.m_Curve.GetWord(CSpiroCurveData::kBase, 236), 1059u);
    EXPECT_EQ(f.m_Curve.GetWord(CSpiroCurveData::kBase, 240), 0u);

    CSpiroTestFile post;
    post.Reset();
    Add(post, Msg(0x70, {5, 0x32, 0x21}));
    for (int i = 0; i < 3; ++i) {
        Add(post, Msg(0x86, Curve(1000 + 20 * i)));
    }
    EXPECT_EQ(post.m_Curve.GetWord(CSpiroCurveData::kPost, 236), 1059u);
    EXPECT_EQ(post.m_Curve.GetWord(CSpiroCurveData::kBase, 0), 0u);
    // 0x97 always goes to the base kind-2 curves.
    Add(post, Msg(0x97, {}));
    Add(post, Msg(0x97, Curve(7)));
    EXPECT_FLOAT_EQ(post.m_Curve.GetWord(CSpiroCurveData::kBase, 18000), 7u);
    EXPECT_FLOAT_EQ(post.m_Curve.GetFvcSample(FALSE, 2, 0, 1), spirotext::FloatFromBits(8));
}

TEST(SpiroDeviceMessages, CurveStoresStayInsideTheirRuns) {
    CSpiroTestFile f;
    f.Reset();
    // 18000 bytes of kind-1 curves take 225 messages of 80 bytes; later ones have no place
    // and must not spill into the kind-2 curves.
    for (int i = 0; i < 300; ++i) {
        Add(f, Msg(0x86, Curve(1)));
    }
    EXPECT_EQ(f.m_Curve.GetWord(CSpiroCurveData::kBase, 17996), 20u);
    EXPECT_EQ(f.m_Curve.GetWord(CSpiroCurveData::kBase, 18000), 0u);
    // A message whose place reaches past the run keeps the part that fits.
    Add(f, Msg(0x89, {}));
    for (int i = 0; i < 40; ++i) {
        Add(f, Msg(0x89, Curve(1, 250)));  // the 39th lands at 9500: 100 bytes fit
    }
    EXPECT_EQ(f.m_Curve.GetWord(CSpiroCurveData::kMvv, 9576), 20u);
    EXPECT_EQ(f.m_Curve.GetWord(CSpiroCurveData::kMvv, 9596), 0x19000000u)
        << "words past the first 20 keep their byte order";
    // A shorter message than its length byte promises: only the bytes that came are used.
    CSpiroTestFile g;
    g.Reset();
    Bytes m = Msg(0x88, Curve(5, 8), 80);
    g.AddDeviceMessage(0x88, m.data(), static_cast<int>(m.size()));
    EXPECT_EQ(g.m_Curve.GetWord(CSpiroCurveData::kSvc, 0), 5u);
    EXPECT_EQ(g.m_Curve.GetWord(CSpiroCurveData::kSvc, 4), 6u);
    EXPECT_EQ(g.m_Curve.GetWord(CSpiroCurveData::kSvc, 8), 0u);
    Bytes m2 = Msg(0x88, Curve(9, 6), 80);  // a word and a half
    g.AddDeviceMessage(0x88, m2.data(), static_cast<int>(m2.size()));
    EXPECT_EQ(g.m_Curve.GetWord(CSpiroCurveData::kSvc, 80), 9u);
}

TEST(SpiroDeviceMessages, HeaderTextsCountsAndPredictedValues) {
    CSpiroTestFile f;
    f.Reset();
    Add(f, Msg(0x70, {4, 3, 2, 1}, 6));
    EXPECT_EQ(f.GetTestType(), 4);
    EXPECT_EQ(f.GetFormat(), 1);
    Add(f, Msg(0x70, {4, 3, 2, 9, 0}, 6));
    EXPECT_EQ(f.GetFormat(), 0) << "an unknown format is taken as 0";
    Add(f, Msg(0x70, {3, 3, 2}));
    EXPECT_EQ(f.GetFormat(), 0);
    EXPECT_EQ(f.m_Info.m_nTrials, 1);
    EXPECT_EQ(f.m_Info.m_nBestTrial, 1);
    Add(f, Msg(0x70, {1, 3, 2, 2}, 6));

    Bytes p(66, 0);
    PutText(p, 1, "ID-42");
    PutText(p, 18, "Kim");
    PutText(p, 35, "63");
    PutText(p, 40, "Female");
    PutText(p, 47, "160");
    PutText(p, 52, "120l");
    p[57] = 'O', p[59] = 'N', p[65] = 'H';
    PutText(p, 61, "5");
    Add(f, Msg(0x71, p));
    EXPECT_EQ(f.GetInformation(0), "ID-42");
    EXPECT_EQ(f.GetInformation(3), "Female");
    EXPECT_EQ(f.GetInformation(5), "120");
    EXPECT_EQ(f.GetInformation(27), "1");
    EXPECT_EQ(f.m_Info.GetSmokePackString(), "Half pack/day");

    f.SetInformation(18, "old comment");
    Bytes s(34, 0);
    PutText(s, 1, "Clinic");
    PutText(s, 18, "Dr. Lee");
    Add(f, Msg(0x73, s));
    EXPECT_EQ(f.GetInformation(16), "Clinic");
    EXPECT_EQ(f.GetInformation(18), "");

    Add(f, Msg(0x74, {'S', 'E', 'O'}));
    Add(f, Msg(0x74, {'N', 'O', 'R', 'x', 'y'}));
    EXPECT_EQ(f.GetInformation(19), "SEO") << "a length of 5 changes nothing";
    Add(f, Msg(0x78, {'M', 'I', 'O', 'N', 'O', 'R'}));
    EXPECT_EQ(f.GetInformation(23), "NOR");
    Add(f, Msg(0x74, {'B', 'O', 'O'}));
    EXPECT_EQ(f.GetInformation(23), "");

    Bytes e(4, 0);
    PutBEFloat(e, 0, 1.5f);
    Add(f, Msg(0x80, e));
    EXPECT_EQ(f.GetInformation(24), "1.50");
    EXPECT_EQ(f.m_Predict.GetFloat(47), 0.0f);

    Bytes c(12, 0);
    PutBE(c, 0, 10), PutBE(c, 4, 20), PutBE(c, 8, 30000);
    Add(f, Msg(0x91, c));
    EXPECT_EQ(f.m_Predict.GetInt(1), 10);
    EXPECT_EQ(f.m_Predict.GetInt(3), 1500) << "held at the curve's length";
    EXPECT_EQ(f.m_Predict.GetInt(7), 0) << "0x91 leaves the expiratory counts alone";
    Add(f, Msg(0x92, c));
    EXPECT_EQ(f.m_Predict.GetInt(8), 20);

    Bytes v(52, 0);
    for (int k = 0; k < 13; ++k) {
        PutBEFloat(v, 4 * k, 0.5f + k);
    }
    Add(f, Msg(0x84, v));
    EXPECT_EQ(f.m_Predict.GetFloat(22), 0.5f);
    EXPECT_EQ(f.m_Predict.GetFloat(34), 12.5f);
    EXPECT_EQ(f.m_Predict.GetFloat(45), 10.5f);
    EXPECT_EQ(f.m_Predict.GetFloat(46), 1.5f);
    // Tags outside the table are ignored, and so are messages without a length byte.
    Add(f, Msg(0x55, {1, 2, 3}));
    BYTE one = 0x70;
    f.AddDeviceMessage(0x70, &one, 1);
    EXPECT_EQ(f.GetTestType(), 1);
}

TEST(SpiroDeviceMessages, ALegacyTestIsSavedAndReadBack) {
    CTempDir dir;
    CSpiroTestFile f(TRUE);
    f.Reset();
    Add(f, Msg(0x70, {5, 0x32, 0x21, 2}, 6));
    Bytes d(14, 0);
    PutText(d, 0, "2026"), PutText(d, 4, "05"), PutText(d, 6, "17"), PutText(d, 8, "10"),
        PutText(d, 10, "20"), PutText(d, 12, "30");
    Add(f, Msg(0x72, d));
    Add(f, Msg(0x78, {'M', 'I', 'O', 'N', 'O', 'R'}));
    for (int i = 0; i < 6; ++i) {
        Add(f, Msg(0x75, Params(10, 1.0f + i)));
    }
    Add(f, Msg(0x75, {}));
    for (int i = 0; i < 6; ++i) {
        Add(f, Msg(0x79, Params(10, 20.0f + i)));
    }
    Bytes c(12, 0);
    PutBE(c, 0, 100), PutBE(c, 4, 200), PutBE(c, 8, 300);
    Add(f, Msg(0x81, c));
    Add(f, Msg(0x93, c));
    Add(f, Msg(0x86, {}));
    Add(f, Msg(0x86, Curve(77)));
    ASSERT_EQ(f.Save(dir / "legacy.fvc"), 0);

    CSpiroTestFile r;
    ASSERT_EQ(r.Open(dir / "legacy.fvc", 5), 5);
    EXPECT_EQ(r.GetFormat(), 2);
    EXPECT_EQ(r.m_Info.m_nTrials, 3);
    EXPECT_EQ(r.m_Info.m_nPostTrials, 2);
    EXPECT_EQ(r.m_Info.m_nPostBestTrial, 1);
    EXPECT_EQ(r.GetInformation(10) + r.GetInformation(15), "202630");
    EXPECT_EQ(r.m_Info.GetAnalysisString(), "Mild Obstruction");
    EXPECT_EQ(r.m_Param.GetParam(5, 0, 2), 1.0f) << "post best";
    EXPECT_EQ(r.m_Param.GetParam(5, 0, 0), 20.0f) << "base best";
    EXPECT_EQ(r.m_Predict.GetInt(4), 100) << "0x81 of a type-5 test counts the post curves";
    EXPECT_EQ(r.m_Predict.GetInt(13), 100);
    EXPECT_EQ(r.m_Curve.GetWord(CSpiroCurveData::kPost, 4), 78u);
}

namespace {

Bytes Frame(BYTE nTag, std::size_t nLength) {
    Bytes b(nLength, 0);
    b[0] = 0xFD;
    b[1] = nTag;
    b[2] = static_cast<BYTE>(nLength >> 8);
    b[3] = static_cast<BYTE>(nLength);
    b[nLength - 1] = 0xEF;
    return b;
}

void AddFrame(CSpiroTestFile& f, const Bytes& b, int nVariant = 1) {
    f.AddFrameMessage(nVariant, b[1], b.data(), static_cast<int>(b.size()));
}

void PutParamText(Bytes& b, std::size_t at, float v) {
    char sz[16];
    std::snprintf(sz, sizeof sz, "%.2f", v);
    PutText(b, at, std::string(sz).substr(0, 6));
}

}  // namespace

TEST(SpiroFrameMessages, AServerTestFromFramesIsSavedAndReadBack) {
    CTempDir dir;
    CSpiroTestFile f(TRUE);
    f.Reset();
    Bytes h = Frame(0xB0, 204);
    PutText(h, 4, "FRAME-ID");
    PutText(h, 36, "Lee");
    PutText(h, 92, "200L");
    h[96] = 'B', h[97] = 'Y', h[101] = 'Q';
    PutText(h, 102, "2026"), PutText(h, 106, "12"), PutText(h, 114, "59");
    PutText(h, 116, "A Hospital With A Long Name");
    PutText(h, 172, "Doctor Long Name Of Twenty8!");
    AddFrame(f, h, 3);
    EXPECT_EQ(f.GetInformation(16), "A Hospital With A Long Name");
    EXPECT_EQ(f.GetInformation(17), "Doctor Long Name Of Twenty8!");

    Bytes b1 = Frame(0xB1, 480);
    b1[4] = 1, b1[5] = 4, b1[6] = 0x23, b1[7] = 0x12;
    PutText(b1, 8, "MOO"), PutText(b1, 12, "NOR");
    PutBEFloat(b1, 16, 0.25f), PutBEFloat(b1, 20, 0.75f);
    for (int k = 0; k < 10; ++k) {
        PutBEFloat(b1, 24 + 4 * k, 3.0f + k);
    }
    for (int c = 0; c < 6; ++c) {
        for (int r = 0; r < 10; ++r) {
            PutParamText(b1, 76 + 60 * c + 6 * r, 10.0f * c + r);
        }
    }
    PutBE(b1, 436, 111), PutBE(b1, 452, 222), PutBE(b1, 468, 333);
    AddFrame(f, b1);
    EXPECT_EQ(f.GetTestType(), 5);
    EXPECT_EQ(f.GetFormulaIndex(), 4);
    EXPECT_EQ(f.GetFormulaString(), "Korean(CJK)");

    Bytes b2 = Frame(0xB2, 404);
    for (int c = 6; c < 12; ++c) {
        for (int r = 0; r < 10; ++r) {
            PutParamText(b2, 4 + 60 * (c - 6) + 6 * r, 100.0f + 10.0f * c + r);
        }
    }
    PutBE(b2, 364, 44);
    AddFrame(f, b2);

    Bytes bb = Frame(0xBB, 168);
    for (int c = 0; c < 6; ++c) {
        for (int r = 10; r < 14; ++r) {
            PutParamText(bb, 4 + 24 * c + 6 * (r - 10), 0.5f * r + c);
        }
    }
    PutText(bb, 148, "010101000111");
    AddFrame(f, bb);
    Bytes bc = Frame(0xBC, 168);
    PutParamText(bc, 4 + 24 * 5 + 6 * 3, 9.75f);
    PutText(bc, 148, "111000");
    AddFrame(f, bc);

    // Curve frames: data of frame length - 8 bytes, every word big-endian, own counters.
    for (int i = 0; i < 2; ++i) {
        Bytes k = Frame(0xB3, 8 + 40);
        for (int w = 0; w < 10; ++w) {
            PutBE(k, 4 + 4 * w, 1000 * (i + 1) + w);
        }
        AddFrame(f, k);
    }
    Bytes k5 = Frame(0xB5, 8 + 8);
    PutBE(k5, 4, 5), PutBE(k5, 8, 6);
    AddFrame(f, k5);
    EXPECT_EQ(f.GetFrameCounter(0), 2);
    EXPECT_EQ(f.GetFrameCounter(2), 1);
    // Frames shorter than their 8 bytes of head and tail, and foreign tags, are ignored.
    Bytes tiny = {0xFD, 0xB3, 0x00, 0x05, 0xEF};
    f.AddFrameMessage(1, 0xB3, tiny.data(), 5);
    f.AddFrameMessage(1, 0xBD, h.data(), static_cast<int>(h.size()));
    EXPECT_EQ(f.GetFrameCounter(0), 2);

    ASSERT_EQ(f.Save(dir / "frames.fvc"), 0);
    std::string raw = testsupport::ReadFile(dir / "frames.fvc");
    ASSERT_EQ(raw.size(), 74000u);
    EXPECT_EQ(raw[6], 4) << "the server keeps the formula index in header byte 6";
    EXPECT_EQ(raw.substr(123, 16), "A Hospital With ");

    CSpiroTestFile r;
    ASSERT_EQ(r.Open(dir / "frames.fvc", 0), 5);
    EXPECT_EQ(r.GetFormat(), 2);
    EXPECT_EQ(r.GetInformation(0), "FRAME-ID");
    EXPECT_EQ(r.GetInformation(5), "200");
    EXPECT_EQ(r.GetInformation(27), "1");
    EXPECT_EQ(r.m_Info.GetRaceString(), "Black");
    EXPECT_EQ(r.GetInformation(10) + r.GetInformation(11) + r.GetInformation(15), "20261259");
    EXPECT_EQ(r.m_Info.m_nTrials, 2);
    EXPECT_EQ(r.m_Info.m_nPostTrials, 3);
    EXPECT_EQ(r.m_Info.m_nBestTrial, 1);
    EXPECT_EQ(r.m_Info.m_nPostBestTrial, 2);
    EXPECT_EQ(r.GetInformation(19), "MOO");
    EXPECT_EQ(r.GetInformation(23), "NOR");
    EXPECT_EQ(r.GetInformation(24), "0.25");
    EXPECT_EQ(r.GetInformation(25), "0.75");
    EXPECT_EQ(r.GetFormulaIndex(), 4);
    EXPECT_EQ(r.m_Predict.GetPredicted(5, 0), 3.0f);
    EXPECT_EQ(r.m_Param.GetParam(5, 9, 2), 9.0f) << "post best row 9";
    EXPECT_EQ(r.m_Param.GetParam(5, 0, 0), 160.0f) << "base best";
    EXPECT_EQ(r.m_Param.GetParam(5, 13, 11), 11.5f) << "row 13 of stored column 5";
    EXPECT_EQ(r.m_Param.m_afFvc[13][11], 9.75f);
    EXPECT_EQ(r.m_Param.GetEcodeValue(3, 2), 1);
    EXPECT_EQ(r.m_Param.GetEcodeValue(4, 0), 1);
    EXPECT_EQ(r.m_Param.GetEcodeValue(5, 2), 0);
    EXPECT_EQ(r.m_Predict.GetInt(4), 111) << "post volume-time count";
    EXPECT_EQ(r.m_Predict.GetInt(10 + 1), 222);
    EXPECT_EQ(r.m_Predict.GetInt(16 + 2), 333);
    EXPECT_EQ(r.m_Predict.GetInt(1), 44) << "base volume-time count";
    EXPECT_EQ(r.m_Curve.GetWord(CSpiroCurveData::kPost, 0), 1000u);
    EXPECT_EQ(r.m_Curve.GetWord(CSpiroCurveData::kPost, 40), 2000u);
    EXPECT_EQ(r.m_Curve.GetWord(CSpiroCurveData::kBase, 4), 6u);
}

TEST(SpiroFrameMessages, SvcAndMvvFramesAndShortFrames) {
    CSpiroTestFile f(TRUE);
    f.Reset();
    Bytes s = Frame(0xB7, 146);
    s[4] = 3, s[5] = 2;
    PutParamText(s, 6 + 30 * 3 + 6 * 4, 4.25f);
    PutBE(s, 126, 7999), PutBE(s, 134, 9000);
    AddFrame(f, s);
    EXPECT_EQ(f.GetTestType(), 2);
    EXPECT_EQ(f.m_Param.GetParam(2, 4, 3), 4.25f);
    EXPECT_EQ(f.m_Predict.GetInt(19), 7999);
    EXPECT_EQ(f.m_Predict.GetInt(21), 8000);
    // A fixed-layout frame shorter than its layout reads what is missing as zeros.
    Bytes m = {0xFD, 0xB9, 0x00, 0x0C, '1', '2', '.', '5', 0, 0, 0, 0xEF};
    f.AddFrameMessage(1, 0xB9, m.data(), static_cast<int>(m.size()));
    EXPECT_EQ(f.GetTestType(), 3);
    EXPECT_EQ(f.m_Param.GetParam(3, 0, 0), 12.5f);
    EXPECT_EQ(f.m_Param.GetParam(3, 1, 0), 0.0f);
    // MVV curve frames fill 9600 bytes and no more.
    for (int i = 0; i < 30; ++i) {
        Bytes k = Frame(0xBA, 8 + 400);
        PutBE(k, 4 + 396, 0x01020304);
        AddFrame(f, k);
    }
    EXPECT_EQ(f.m_Curve.GetWord(CSpiroCurveData::kMvv, 9596), 0x01020304u);
    // A header frame of an unknown transfer option is not taken.
    Bytes h = Frame(0xB0, 200);
    PutText(h, 4, "X");
    AddFrame(f, h, 4);
    EXPECT_EQ(f.GetInformation(0), "");
    AddFrame(f, h, 2);
    EXPECT_EQ(f.GetInformation(0), "X");
    EXPECT_EQ(f.GetFrameCounter(5), 0) << "a header frame starts every counter at 0";
}

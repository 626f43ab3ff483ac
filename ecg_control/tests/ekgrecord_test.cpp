#include "ecg_control/ekgrecord.h"

#include "ecg_control/ekgfile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "testsupport/testsupport.h"

namespace {

using Block = std::vector<BYTE>;

Block EncodeOf(const CEkgRecordInfo& info) {
    Block block(ekgblock::kSize, 0xEE);
    info.Encode(block.data());
    return block;
}

void PutText(Block& b, int nOffset, const std::string& s) {
    std::memcpy(b.data() + nOffset, s.data(), s.size());
}

CEkgRecordInfo& FullRecord(CEkgRecordInfo& info) {
    for (short i : {0, 1, 2, 3, 4, 5, 6, 8}) {
        info.SetPatientInfo(i, "P" + std::to_string(i));
    }
    info.SetPatientInfo(9, "2");
    info.SetMisc(0, "Doctor");
    info.SetMisc(1, "Hospital");
    info.SetComment("Comment");
    info.SetTime(2023, 7, 4, 18, 5);
    info.SetFilterInfo(1, 2, 1, 0);
    return info;
}

}  // namespace

TEST(EkgRecordInfo, NewRecordValues) {
    CEkgRecordInfo info;
    for (short k = 0; k < 8; ++k) {
        EXPECT_EQ(info.GetRhythmParam(k), 0);
    }
    EXPECT_EQ(info.GetAnalysisCnt(), 0);
    EXPECT_EQ(info.GetAnalysis(0), "");
    EXPECT_EQ(info.GetTime(), "000000000000");
    EXPECT_EQ(info.GetAnalysisMode(), -1);
    EXPECT_EQ(info.GetMisc(2), "Corvane Co., Ltd.");
    EXPECT_EQ(info.GetMisc(3), "Pelvorn II");
    EXPECT_EQ(info.GetMisc(4), "");
    const std::array<BYTE, 6> ff = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(info.GetFilterItem(), ff);
}

TEST(EkgRecordInfo, PatientTextIndexTable) {
    CEkgRecordInfo info;
    FullRecord(info);
    info.SetUnit("C");
    EXPECT_EQ(info.GetPatientInfo(0), "P0");
    EXPECT_EQ(info.m_patient.m_strID, "P0");
    EXPECT_EQ(info.m_patient.m_strSex, "P3");
    EXPECT_EQ(info.m_patient.m_strHeight, "P4");
    EXPECT_EQ(info.m_patient.m_strWeight, "P5");
    EXPECT_EQ(info.m_patient.m_strHistory, "P6");
    EXPECT_EQ(info.m_patient.m_strSurname, "P8");
    EXPECT_EQ(info.m_patient.m_strAgeUnit, "2");
    EXPECT_EQ(info.GetPatientInfo(7), "C");
    EXPECT_EQ(info.GetPatientInfo(10), "");
    EXPECT_EQ(info.GetPatientInfo(-1), "");
    info.SetPatientInfo(10, "ignored");
    info.SetPatientInfo(7, "");
    EXPECT_EQ(info.GetPatientInfo(7), std::string(1, '\0'));
    EXPECT_EQ(info.m_patient.m_strMisc0, "Doctor");  // misc 0 is the text at block offset 150
    EXPECT_EQ(info.m_patient.m_strMisc1, "Hospital");
    EXPECT_EQ(info.GetTime(), "202307041805");
    info.SetDeviceInfo(2, 9, 9, 9);
    EXPECT_EQ(info.GetAnalysisMode(), 2);
}

TEST(EkgRecordInfo, FilterAndGlobalValues) {
    CEkgRecordInfo info;
    info.SetFilterInfo(1, 2, 1, 0);
    const std::array<BYTE, 6> want = {0x22, 0x04, 0x01, 0x02, 0x01, 0x00};
    EXPECT_EQ(info.GetFilterItem(), want);

    const BYTE item[18] = {0x18, 0x10, 0xFF, 0x9C, 0, 160};
    ASSERT_TRUE(info.TakeDirectoryItem(item, sizeof item));
    EXPECT_EQ(info.GetRhythmParam(0), -100);
    EXPECT_EQ(info.GetRhythmParam(1), 160);
    EXPECT_EQ(info.GetRhythmParam(8), 0);
    EXPECT_FALSE(info.TakeDirectoryItem(item, 17));
}

TEST(EkgRecordInfo, EncodeDecodeRoundTrip) {
    CEkgRecordInfo info;
    FullRecord(info);
    info.SetGlobalValue(6, -30);
    const BYTE dir[18] = {0x18, 0x10};
    info.TakeDirectoryItem(dir, sizeof dir);
    info.SetGlobalValue(6, -30);
    ASSERT_TRUE(info.m_arrays.Make(2, 3));
    info.m_arrays.Set(2, 3, -5);
    info.AddStatement("Sinus rhythm");
    info.AddStatement("Normal ECG");
    Block block = EncodeOf(info);

    EXPECT_EQ(block[50], 0x16);
    EXPECT_EQ(block[90], 2);  // age unit code
    EXPECT_EQ(block[12], 0x19);
    EXPECT_EQ(block[13], 12);
    EXPECT_EQ(block[16], 0x00);  // terminator after the last entry
    EXPECT_EQ(block[3], 0);      // array 0 absent: length 0
    EXPECT_EQ(block[7], 6);

    CEkgRecordInfo back;
    back.AddStatement("left over from an earlier record");
    back.Decode(block.data());
    EXPECT_EQ(back.GetStatements(), (CStringArray{"Sinus rhythm", "Normal ECG"}));
    EXPECT_EQ(back.GetPatientInfo(0), "P0");
    EXPECT_EQ(back.GetPatientInfo(6), "P6");
    EXPECT_EQ(back.GetPatientInfo(8), "P8");
    EXPECT_EQ(back.GetPatientInfo(9), "2");
    EXPECT_EQ(back.GetMisc(0), "Doctor");
    EXPECT_EQ(back.GetMisc(1), "Hospital");
    EXPECT_EQ(back.GetComment(), "Comment");
    EXPECT_EQ(back.GetTime(), "202307041805");
    EXPECT_EQ(back.GetRhythmParam(6), -30);
    EXPECT_EQ(back.GetFilterItem(), info.GetFilterItem());
    EXPECT_EQ(back.m_arrays.Count(2), 3);
    EXPECT_EQ(back.m_arrays.Value(2, 3), -5);
    EXPECT_EQ(EncodeOf(back), block);
}

TEST(EkgRecordInfo, AgeUnitCodes) {
    for (auto [text, code, back] :
         std::vector<std::tuple<std::string, int, std::string>>{{"1", 1, "1"},
                                                                {"2", 2, "2"},
                                                                {"0", 0, "0"},
                                                                {"3", 0, "0"},
                                                                {"", 0, "0"},
                                                                {"days", 0, "0"}}) {
        CEkgRecordInfo info;
        info.SetPatientInfo(9, text);
        Block block = EncodeOf(info);
        EXPECT_EQ(block[90], code) << text;
        CEkgRecordInfo decoded;
        decoded.Decode(block.data());
        EXPECT_EQ(decoded.GetPatientInfo(9), back) << text;
    }
}

TEST(EkgRecordInfo, ZeroBlockKeepsFilterAndGlobals) {
    CEkgRecordInfo info;
    FullRecord(info);
    const BYTE dir[18] = {0x18, 0x10, 0, 77};
    info.TakeDirectoryItem(dir, sizeof dir);
    info.AddStatement("x");
    Block zeros(ekgblock::kSize, 0);
    info.Decode(zeros.data());
    EXPECT_EQ(info.GetPatientInfo(0), "");
    EXPECT_EQ(info.GetComment(), "");
    EXPECT_EQ(info.GetTime(), "000000000000");
    EXPECT_EQ(info.GetAnalysisCnt(), 0);
    EXPECT_EQ(info.GetRhythmParam(0), 77);
    const std::array<BYTE, 6> want = {0x22, 0x04, 0x01, 0x02, 0x01, 0x00};
    EXPECT_EQ(info.GetFilterItem(), want);
}

TEST(EkgRecordInfo, CommentAndHistoryLengthForms) {
    Block b(ekgblock::kSize, 0);
    b[299] = 0x62;  // one-byte length form
    b[300] = 5;
    PutText(b, 301, "Hello");
    b[9000] = 0x50;
    b[9001] = 3;
    PutText(b, 9002, "abc");
    CEkgRecordInfo info;
    info.Decode(b.data());
    EXPECT_EQ(info.GetComment(), "Hello");
    EXPECT_EQ(info.GetPatientInfo(6), "abc");

    Block b2(ekgblock::kSize, 0);
    b2[298] = 0x62;
    b2[299] = 0;
    b2[300] = 5;
    PutText(b2, 301, "Hello");
    CEkgRecordInfo info2;
    info2.Decode(b2.data());
    EXPECT_EQ(info2.GetComment(), "Hello");
}

TEST(EkgRecordInfo, StatementListEnds) {
    // Entry with length 255 (engine), entry starting 0x00 (control), CR LF after a text.
    Block b(ekgblock::kSize, 0);
    PutText(b, 12, std::string("\x19\x03\x19\x02\x19\xFF\x19\x01", 8));
    PutText(b, 3016, "ABC\r\nDE");
    CEkgRecordInfo info;
    info.Decode(b.data());
    EXPECT_EQ(info.GetStatements(), (CStringArray{"ABC", "DE"}));

    Block c(ekgblock::kSize, 0);
    PutText(c, 12, std::string("\x19\x02\x00\x00\x19\x01", 6));
    PutText(c, 3016, " Z X");
    CEkgRecordInfo info2;
    info2.Decode(c.data());
    EXPECT_EQ(info2.GetStatements(), (CStringArray{"Z"}));
}

TEST(DecodeDeviceText, PairsAndPlainText) {
    testsupport::CCodePageScope cp("CP1252");
    EXPECT_EQ(DecodeDeviceText("Plain ASCII"), "Plain ASCII");
    EXPECT_EQ(DecodeDeviceText("Caf\xE9"), "Caf\xE9");  // no pair: unchanged
    EXPECT_EQ(DecodeDeviceText("\xA9\xB0"), "\xC0");
    EXPECT_EQ(DecodeDeviceText("a\xAA\x10"), "a\xDF");  // 0x10 + 0xCF = U+00DF
    EXPECT_EQ(DecodeDeviceText("\xAC\xA2"), "\x01");    // 0xA2 - 0xA1
    // A trailing pair prefix ends the text.
    EXPECT_EQ(DecodeDeviceText("AB\xA9"), "AB");
    EXPECT_EQ(DecodeDeviceText("\xA9\xB0Z\xAC"), "\xC0Z");
    // A pair that yields the code unit 0 ends the text like a terminator.
    EXPECT_EQ(DecodeDeviceText("AB\xAC\xA1\x43\x44"), "AB");
    EXPECT_EQ(DecodeDeviceText("\xA9\xB0\xAC\xA1\x43\x44"), "\xC0");
    EXPECT_EQ(DecodeDeviceText("\xAC\xA1"), "");
    // At most 199 code units.
    std::string strLong = "\xA9\xB0" + std::string(300, 'x');
    EXPECT_EQ(DecodeDeviceText(strLong).size(), 199u);
}

TEST(EkgRecordInfo, EncoderCutsTextsOnWholeCharacters) {
    testsupport::CCodePageScope cp("CP949");
    CEkgRecordInfo info;
    // 15 ASCII bytes then a two-byte character: the character does not fit in 16.
    info.SetPatientInfo(0, std::string(15, 'A') + "\xB0\xA1");
    info.SetPatientInfo(1, std::string(20, 'N'));
    info.SetMisc(1, std::string(28, 'h') + "\xB0\xA1");
    info.SetComment(std::string(3000, 'c'));
    info.SetPatientInfo(6, std::string(1200, 'h'));
    Block b = EncodeOf(info);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&b[53]), 16), std::string(15, 'A') + '\0');
    EXPECT_EQ(b[69], 16);  // the next sub-item is untouched
    EXPECT_EQ(b[120], 28);
    EXPECT_EQ((b[299] << 8) | b[300], ekgblock::kCommentRoom);
    EXPECT_EQ(b[2982], 'c');
    EXPECT_EQ(b[2983], 16);  // the surname item after the comment's room
    EXPECT_EQ((b[9000] << 8) | b[9001], ekgblock::kHistoryRoom);

    CEkgRecordInfo back;
    back.Decode(b.data());
    EXPECT_EQ(back.GetPatientInfo(0), std::string(15, 'A'));
    EXPECT_EQ(back.GetPatientInfo(1), std::string(16, 'N'));
    EXPECT_EQ(back.GetComment().size(), static_cast<std::size_t>(ekgblock::kCommentRoom));
    EXPECT_EQ(back.GetPatientInfo(6).size(), static_cast<std::size_t>(ekgblock::kHistoryRoom));
}

TEST(EkgRecordInfo, EncoderStatementLimits) {
    // 19 statements fill the directory: no terminator is written over the patient item.
    CEkgRecordInfo info;
    for (int i = 0; i < 25; ++i) {
        info.AddStatement("S" + std::to_string(i));
    }
    info.SetPatientInfo(0, "ID");
    Block b = EncodeOf(info);
    EXPECT_EQ(b[48], 0x19);
    EXPECT_EQ(b[50], 0x16);
    EXPECT_EQ(b[51], 58);
    CEkgRecordInfo back;
    back.Decode(b.data());
    EXPECT_EQ(back.GetAnalysisCnt(), 19);
    EXPECT_EQ(back.GetAnalysis(18), "S18");
    EXPECT_EQ(back.GetPatientInfo(0), "ID");

    // A statement longer than 254 bytes is cut; statements that would pass offset 4000
    // are left out whole.
    CEkgRecordInfo big;
    for (int i = 0; i < 5; ++i) {
        big.AddStatement(std::string(300, static_cast<char>('a' + i)));
    }
    Block c = EncodeOf(big);
    EXPECT_EQ(c[13], 254);
    CEkgRecordInfo back2;
    back2.Decode(c.data());
    ASSERT_EQ(back2.GetAnalysisCnt(), 3);  // 3016 + 3 x 254 = 3778; a fourth passes 4000
    EXPECT_EQ(back2.GetAnalysis(2), std::string(254, 'c'));
    for (int i = ekgblock::kPaceList; i < ekgblock::kPaceList + 520; ++i) {
        ASSERT_EQ(c[i], 0) << i;
    }
}

TEST(EkgRecordInfo, StatementsPastTheDirectoryKeepTheClassLineAndMarkTheCut) {
    // A writer that did not stop at 19 entries: 21 statements and the class line, the
    // directory running on over the patient item.
    Block b(ekgblock::kSize, 0);
    std::vector<std::string> texts;
    for (int i = 0; i < 21; ++i) {
        texts.push_back("Statement " + std::to_string(i));
    }
    texts.push_back("[ Markedly Abnormal ECG ]");
    int nPos = ekgblock::kDataArea;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        b[ekgblock::kStatementEntries + 2 * i] = ekgblock::kTagStatement;
        b[ekgblock::kStatementEntries + 2 * i + 1] = static_cast<BYTE>(texts[i].size());
        std::memcpy(&b[nPos], texts[i].data(), texts[i].size());
        nPos += static_cast<int>(texts[i].size());
    }
    b[ekgblock::kStatementEntries + 2 * texts.size()] = ekgblock::kTagStatement;
    b[ekgblock::kStatementEntries + 2 * texts.size() + 1] = 0xFF;
    CEkgRecordInfo info;
    info.Decode(b.data());
    ASSERT_EQ(info.GetAnalysisCnt(), 19);
    EXPECT_EQ(info.GetAnalysis(16), "Statement 16");
    EXPECT_EQ(info.GetAnalysis(17), "... (+4)");
    EXPECT_EQ(info.GetAnalysis(18), "[ Markedly Abnormal ECG ]");
    // Saved again, the record keeps what it read.
    CEkgRecordInfo back;
    back.Decode(EncodeOf(info).data());
    ASSERT_EQ(back.GetAnalysisCnt(), 19);
    EXPECT_EQ(back.GetAnalysis(18), "[ Markedly Abnormal ECG ]");

    // 19 entries and the patient item after them: all read, nothing marked.
    CEkgRecordInfo nineteen;
    for (int i = 0; i < 19; ++i) {
        nineteen.AddStatement("S" + std::to_string(i));
    }
    nineteen.SetPatientInfo(0, "ID");
    CEkgRecordInfo back19;
    back19.Decode(EncodeOf(nineteen).data());
    ASSERT_EQ(back19.GetAnalysisCnt(), 19);
    EXPECT_EQ(back19.GetAnalysis(18), "S18");
}

TEST(EkgRecordInfo, EncoderArrayLimits) {
    CEkgRecordInfo info;
    for (int id = 0; id < 5; ++id) {
        ASSERT_TRUE(info.m_arrays.Make(id, 300));
        for (int i = 1; i <= 300; ++i) {
            info.m_arrays.Set(id, i, static_cast<short>(i));
        }
    }
    Block b = EncodeOf(info);
    EXPECT_EQ(b[3], 254);  // 127 values: the length byte holds 2 x count
    for (int i = ekgblock::kPaceList; i < ekgblock::kPaceList + 520; ++i) {
        ASSERT_EQ(b[i], 0) << i;
    }
    CEkgRecordInfo back;
    back.Decode(b.data());
    int nTotal = 0;
    for (int id = 0; id < 5; ++id) {
        nTotal += back.m_arrays.Count(id);
        EXPECT_EQ(back.m_arrays.Value(id, back.m_arrays.Count(id)),
                  back.m_arrays.Count(id) == 0 ? 0 : back.m_arrays.Count(id));
    }
    EXPECT_EQ(nTotal, (ekgblock::kPaceList - ekgblock::kDataArea) / 2);
}

TEST(EkgRecordInfo, AllocAndFreeKeepValues) {
    CEkgRecordInfo info;
    FullRecord(info);
    info.AddStatement("kept");
    info.SetAnalysisMode(2);
    ASSERT_TRUE(info.AllocBlock(FALSE));
    EXPECT_EQ(info.GetPatientInfo(0), "P0");
    EXPECT_EQ(info.Data()[53], 'P');  // the block holds the current values
    info.Free();
    EXPECT_FALSE(info.HasBlock());
    EXPECT_EQ(info.GetAnalysis(0), "kept");
    ASSERT_TRUE(info.Alloc(ekgblock::kSize, TRUE));
    EXPECT_EQ(info.GetComment(), "Comment");
    EXPECT_TRUE(info.Serialize(FALSE));  // a zero block decodes to empty patient values
    EXPECT_EQ(info.GetPatientInfo(0), "");

    info.Reset();
    EXPECT_FALSE(info.HasBlock());
    EXPECT_EQ(info.GetAnalysisCnt(), 0);
    EXPECT_EQ(info.GetAnalysisMode(), 2);  // survives Reset
    CEkgRecordInfo empty;
    EXPECT_FALSE(empty.Serialize(TRUE));
}

TEST(EkgRecordInfo, DevicePatientItemAndCopy) {
    Block item(58, 0);
    item[0] = 0x16;
    item[1] = 58;
    PutText(item, 3, " ID7 ");
    PutText(item, 20, "Name  ");
    PutText(item, 37, "42 ");
    item[40] = 1;
    PutText(item, 42, "F");
    PutText(item, 49, "170");
    PutText(item, 54, "65");
    CEkgRecordInfo info;
    EXPECT_FALSE(info.TakeDevicePatientItem(item.data(), 57));
    ASSERT_TRUE(info.TakeDevicePatientItem(item.data(), item.size()));
    EXPECT_EQ(info.GetPatientInfo(0), "ID7");
    EXPECT_EQ(info.GetPatientInfo(1), "Name");
    EXPECT_EQ(info.GetPatientInfo(2), "42");
    EXPECT_EQ(info.GetPatientInfo(9), "1");
    EXPECT_EQ(info.GetPatientInfo(4), "170");

    info.SetUnit("\x01");
    info.SetTime(2020, 1, 2, 3, 4);
    info.SetComment("c");
    CEkgRecordInfo other;
    other.SetUnit("\x00");
    other.m_patient.CopyValuesFrom(info.m_patient);
    EXPECT_EQ(other.GetPatientInfo(0), "ID7");
    EXPECT_EQ(other.GetComment(), "c");
    EXPECT_EQ(other.GetTime(), "202001020304");
    EXPECT_EQ(other.m_patient.m_nUnit, 0);  // the unit is not copied
}

TEST(EkgBeatArrays, PositionsAndBounds) {
    CEkgBeatArrays arrays;
    EXPECT_FALSE(arrays.Make(5, 3));
    EXPECT_FALSE(arrays.Make(-1, 3));
    ASSERT_TRUE(arrays.Make(1, 5));
    for (int i = 1; i <= 5; ++i) {
        EXPECT_TRUE(arrays.Set(1, i, static_cast<short>(10 * i)));
    }
    EXPECT_FALSE(arrays.Set(1, 6, 1));
    EXPECT_FALSE(arrays.Set(1, 0, 1));
    EXPECT_FALSE(arrays.Set(0, 1, 1));
    EXPECT_EQ(arrays.Value(1, 5), 50);
    EXPECT_EQ(arrays.Value(1, 0), 0);
    EXPECT_EQ(arrays.Value(1, 6), 0);
    EXPECT_EQ(arrays.Count(1), 5);
    arrays.FreeAll();
    EXPECT_FALSE(arrays.Exists(1));
}

TEST(MorphologyTable, ValuesAndKinds) {
    CMorphologyTable table;
    EXPECT_EQ(table.GetMorphologyParam(0, 0), 0);  // no block
    ASSERT_TRUE(table.Create());
    EXPECT_TRUE(table.IsKeptLocked());
    EXPECT_EQ(table.Data()[0], 0x60);
    EXPECT_EQ(table.Data()[1], 12);
    ASSERT_TRUE(table.SetValue(11, 3, -7));
    EXPECT_EQ(table.GetMorphologyParam(0, 11), -7);
    EXPECT_EQ(table.Data()[2 + 36 * 11 + 6], 0xFF);
    EXPECT_EQ(table.Data()[2 + 36 * 11 + 7], 0xF9);
    EXPECT_EQ(table.GetMorphologyParam(15, 11), 0);
    EXPECT_EQ(table.GetMorphologyParam(0, 12), 0);
    EXPECT_EQ(table.GetMorphologyParam(-1, 0), 0);
    EXPECT_FALSE(table.SetValue(12, 0, 1));
    // Alloc always keeps the block locked.
    ASSERT_TRUE(table.Alloc(500, FALSE));
    EXPECT_TRUE(table.IsKeptLocked());
}

// Hostile blocks: every length and position read from the block is bounded.
TEST(EkgRecordInfo, HostileBlocksDecodeBounded) {
    struct Case {
        const char* name;
        void (*build)(Block&);
        void (*check)(const CEkgRecordInfo&);
    };
    const Case cases[] = {
        {"huge comment and history lengths",
         [](Block& b) {
             b[298] = 0x62;
             b[299] = 0xFF;
             b[300] = 0xFF;
             std::memset(&b[301], 'c', 9699);
             b[8999] = 0x50;
             b[9000] = 0xFF;
             b[9001] = 0xFF;
         },
         [](const CEkgRecordInfo& i) {
             EXPECT_EQ(i.GetComment().size(), static_cast<std::size_t>(ekgblock::kCommentRoom));
             EXPECT_LE(i.GetPatientInfo(6).size(),
                       static_cast<std::size_t>(ekgblock::kHistoryRoom));
         }},
        {"huge misc lengths",
         [](Block& b) {
             b[120] = 0xFF;
             std::memset(&b[121], 'm', 200);
             b[150] = 0xFF;
         },
         [](const CEkgRecordInfo& i) {
             EXPECT_EQ(i.GetMisc(1).size(), 29u);
             EXPECT_EQ(i.GetMisc(0).size(), 39u);
         }},
        {"directory full of 0x19",
         [](Block& b) {
             std::memset(&b[0], 0x19, 50);
             std::memset(&b[3016], 'S', ekgblock::kSize - 3016);
         },
         [](const CEkgRecordInfo& i) {
             EXPECT_EQ(i.GetAnalysisCnt(), 19);
             EXPECT_EQ(i.GetAnalysis(0), std::string(0x19, 'S'));
         }},
        {"whole block 0x19", [](Block& b) { std::memset(b.data(), 0x19, b.size()); },
         [](const CEkgRecordInfo& i) { EXPECT_LE(i.GetAnalysisCnt(), 19); }},
        {"statements running off the block end",
         [](Block& b) {
             for (int e = 0; e < 19; ++e) {
                 b[12 + 2 * e] = 0x19;
                 b[13 + 2 * e] = 254;
             }
             b[2] = '0';
             b[3] = 254;
             b[4] = '1';
             b[5] = 254;
             std::memset(&b[3016], 'T', ekgblock::kSize - 3016);
         },
         [](const CEkgRecordInfo& i) {
             EXPECT_EQ(i.m_arrays.Count(0), 127);
             EXPECT_GT(i.GetAnalysisCnt(), 0);
             EXPECT_LE(i.GetAnalysisCnt(), 19);
         }},
        {"odd array lengths",
         [](Block& b) {
             const BYTE dir[10] = {'0', 3, '1', 255, '2', 1, '3', 0, '4', 5};
             std::memcpy(&b[2], dir, sizeof dir);
             for (int k = 0; k < 300; ++k) {
                 b[3016 + 2 * k] = 0;
                 b[3017 + 2 * k] = static_cast<BYTE>(k);
             }
         },
         [](const CEkgRecordInfo& i) {
             EXPECT_EQ(i.m_arrays.Count(0), 1);
             EXPECT_EQ(i.m_arrays.Value(0, 1), 0);
             EXPECT_EQ(i.m_arrays.Count(1), 127);
             EXPECT_EQ(i.m_arrays.Count(2), 0);
             EXPECT_EQ(i.m_arrays.Count(4), 2);
             EXPECT_EQ(i.m_arrays.Value(4, 3), 0);
         }},
        {"bad directory ids",
         [](Block& b) {
             const BYTE dir[10] = {'9', 4, 0xFF, 4, '/', 2, '0', 2, '0', 2};
             std::memcpy(&b[2], dir, sizeof dir);
             b[3016] = 0x12;
             b[3017] = 0x34;
             b[3018] = 0x56;
             b[3019] = 0x78;
         },
         [](const CEkgRecordInfo& i) {
             EXPECT_EQ(i.m_arrays.Count(0), 1);
             EXPECT_EQ(i.m_arrays.Value(0, 1), 0x5678);  // the later entry makes it anew
             EXPECT_FALSE(i.m_arrays.Exists(1));
         }},
        {"year text out of range",
         [](Block& b) {
             b[110] = 0x21;
             b[111] = 10;
             std::memcpy(&b[112], "\xFF\xFF\xFF\xFF", 4);
             b[116] = 200;
         },
         [](const CEkgRecordInfo& i) { EXPECT_EQ(i.GetTime().substr(0, 4), "0000"); }},
        {"pacemaker list of 255 marks, most of them outside the record",
         [](Block& b) {
             b[4000] = 0x37;
             b[4001] = 0xFF;
             for (int i = 0; i < 255; ++i) {
                 b[4002 + 2 * i] = static_cast<BYTE>(i);
                 b[4003 + 2 * i] = static_cast<BYTE>(i < 10 ? 0x10 : 0xF0);
             }
         },
         [](const CEkgRecordInfo& i) { EXPECT_EQ(i.GetAnalysisCnt(), 0); }},
        {"trailing pair prefix in a statement",
         [](Block& b) {
             b[12] = 0x19;
             b[13] = 4;
             std::memcpy(&b[3016], "OK \xA9", 4);
         },
         [](const CEkgRecordInfo& i) {
             ASSERT_EQ(i.GetAnalysisCnt(), 1);
             EXPECT_EQ(i.GetAnalysis(0), "OK");
         }},
        {"statement that decodes to a terminator only",
         [](Block& b) {
             b[12] = 0x19;
             b[13] = 2;
             b[14] = 0x19;
             b[15] = 2;
             std::memcpy(&b[3016], "\xAC\xA1OK", 4);
         },
         [](const CEkgRecordInfo& i) { EXPECT_EQ(i.GetStatements(), (CStringArray{"OK"})); }},
    };
    testsupport::CTempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Block b(ekgblock::kSize, 0);
        c.build(b);
        // Exactly one block's worth of memory, so any read past it is caught.
        std::vector<BYTE> exact(b.begin(), b.end());
        CEkgRecordInfo info;
        info.Decode(exact.data());
        c.check(info);
        Block again = EncodeOf(info);  // what comes back out stays in its place
        EXPECT_EQ(again[50], 0x16);
        for (int k = ekgblock::kPaceList; k < ekgblock::kPaceList + 520; ++k) {
            ASSERT_EQ(again[k], 0) << k;
        }

        // The same block in a file, ending right after the block.
        std::string strFile(12 * 10200, '\0');
        strFile.append(reinterpret_cast<const char*>(b.data()), b.size());
        ASSERT_TRUE(testsupport::WriteFile(dir / "hostile.ekg", strFile));
        CWaveBuffer wave;
        CEkgRecordInfo fileInfo;
        CMorphologyTable morph;
        ASSERT_TRUE(ReadEkgFile(dir / "hostile.ekg", &wave, &fileInfo, &morph, 0));
        c.check(fileInfo);
        for (DWORD m : wave.m_adwMarks) {
            EXPECT_LT(m, 5000u);
        }
        std::string strImage;
        ASSERT_TRUE(BuildEkgFileImage(&wave, &fileInfo, &morph, strImage));
        EXPECT_EQ(strImage.size(), ekgfile::FileSize(5000));
    }
}

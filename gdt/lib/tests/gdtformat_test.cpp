// GDT records against hand-made bytes.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <csignal>

#include "testsupport/testsupport.h"
#include "zeqgdt/gdtconfig.h"
#include "zeqgdt/gdtsentence.h"
#include "zeqgdt/gdtutils.h"

namespace {

// Every test runs with a home folder of its own, so "ZeqGDT.ini" starts from its defaults.
class GdtTest : public ::testing::Test {
protected:
    testsupport::CTempDir m_home;
    testsupport::CEnvScope m_scope{"CORVANE_HOME", m_home.Path().c_str()};
};

}  // namespace

using GdtFormat = GdtTest;

TEST_F(GdtFormat, SmallestRecord) {
    CGDTSentence s;
    s.AddSentenceInfo(SENTENCE_RESULT, GDT_NO_TEXT, GDT_NO_TEXT, VERSION_NONE, CHAR_TYPE_NONE);
    const std::string path = m_home / "r.gdt";
    ASSERT_TRUE(s.Save(path));
    EXPECT_EQ(testsupport::ReadFile(path), "01380006310\r\n014810000027\r\n");
    CGDTSentence back;
    EXPECT_TRUE(back.Load(path));
    EXPECT_EQ(back.GetCount(), 2);
    EXPECT_EQ(back.GetFieldValueToInt(FIELD_SENTENCE_LENGTH), 27);
}

TEST_F(GdtFormat, SaveReplacesTheRecordLength) {
    CGDTSentence s;
    s.AddComment("first");
    s.AddSentenceInfo(SENTENCE_RESULT, "HIS", "CORVANE", VERSION_0210, CHAR_TYPE_NONE);
    s.AddResultsText("x");
    const std::string path = m_home / "r.gdt";
    ASSERT_TRUE(s.Save(path));
    // An 8100 the record held is replaced, directly after the first 8000.
    ASSERT_TRUE(s.Save(path));
    const std::string expected =
        "0148470first\r\n"
        "01380006310\r\n"
        "014810000099\r\n"
        "0178315HIS     \r\n"
        "0178316CORVANE \r\n"
        "014921802.10\r\n"
        "0108480x\r\n";
    EXPECT_EQ(testsupport::ReadFile(path), expected);
    EXPECT_EQ(expected.size(), 99u);
}

TEST_F(GdtFormat, RefusedSaves) {
    const std::string path = m_home / "r.gdt";
    CGDTSentence noType;
    noType.AddComment("no record type");
    EXPECT_FALSE(noType.Save(path));
    EXPECT_FALSE(testsupport::Exists(path));

    // A value that cannot state its length in three digits, outside comments and results.
    CGDTSentence longValue;
    longValue.AddSentenceInfo(SENTENCE_RESULT, GDT_NO_TEXT, GDT_NO_TEXT, VERSION_NONE, CHAR_TYPE_NONE);
    longValue.AddFiles(GDT_NO_TEXT, GDT_NO_TEXT, GDT_NO_TEXT, std::string(991, 'a'));
    EXPECT_FALSE(longValue.Save(path));
    EXPECT_FALSE(testsupport::Exists(path));

    // A record over 99,999 bytes cannot state its size.
    CGDTSentence huge;
    huge.AddSentenceInfo(SENTENCE_RESULT, GDT_NO_TEXT, GDT_NO_TEXT, VERSION_NONE, CHAR_TYPE_NONE);
    for (int i = 0; i < 102; ++i) huge.AddComment(std::string(990, 'c'));
    EXPECT_FALSE(huge.Save(path));
    EXPECT_FALSE(testsupport::Exists(path));

    // A folder that does not exist: FALSE, nothing left.
    CGDTSentence ok;
    ok.AddSentenceInfo(SENTENCE_RESULT, GDT_NO_TEXT, GDT_NO_TEXT, VERSION_NONE, CHAR_TYPE_NONE);
    EXPECT_FALSE(ok.Save(m_home / "missing/r.gdt"));
}

TEST_F(GdtFormat, LongTextsGoOverSeveralLines) {
    CGDTSentence s;
    s.AddSentenceInfo(SENTENCE_RESULT, GDT_NO_TEXT, GDT_NO_TEXT, VERSION_NONE, CHAR_TYPE_NONE);
    s.AddResultsText(std::string(2000, 'r'));
    const std::string path = m_home / "r.gdt";
    ASSERT_TRUE(s.Save(path));
    CGDTSentence back;
    ASSERT_TRUE(back.Load(path));
    CStringArray parts;
    EXPECT_EQ(back.GetFieldValues(FIELD_RESULT_TEXT, parts), 3);
    EXPECT_EQ(parts[0].size(), 990u);
    EXPECT_EQ(parts[1].size(), 990u);
    EXPECT_EQ(parts[2].size(), 20u);
    // A double-byte text is cut between whole characters.
    testsupport::CCodePageScope cp("CP949");
    CGDTSentence k;
    k.AddSentenceInfo(SENTENCE_RESULT, GDT_NO_TEXT, GDT_NO_TEXT, VERSION_NONE, CHAR_TYPE_NONE);
    k.AddComment("a" + std::string(1000, '\xB0'));  // 0xB0B0 pairs after one single byte
    ASSERT_TRUE(k.Save(path));
    CGDTSentence kb;
    ASSERT_TRUE(kb.Load(path));
    CStringArray c;
    kb.GetFieldValues(FIELD_COMMENT, c);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].size(), 989u);
}

TEST_F(GdtFormat, LoadChecksTheSize) {
    const std::string path = m_home / "o.gdt";
    struct Case {
        const char* name;
        std::string bytes;
        bool valid;
        int fields;
    } const cases[] = {
        {"valid", "01380006310\r\n014810000027\r\n", true, 2},
        {"8100 one byte off", "01380006310\r\n014810000028\r\n", false, 2},
        {"no 8100", "01380006310\r\n0108470x\r\n", false, 2},
        {"length 9: empty value", "01380006310\r\n014810000036\r\n0096305\r\n", true, 3},
        {"length 8 ends reading", "01380006310\r\n014810000035\r\n0086305\r\n", false, 2},
        {"no CR LF", "01380006310\r\n014810000027\n\n", false, 1},
    };
    for (const Case& c : cases) {
        testsupport::WriteFile(path, c.bytes);
        CGDTSentence s;
        EXPECT_EQ(s.Load(path), c.valid ? TRUE : FALSE) << c.name;
        EXPECT_EQ(s.GetCount(), c.fields) << c.name;
    }
    CGDTSentence s;
    EXPECT_FALSE(s.Load(m_home / "none.gdt"));
}

TEST_F(GdtFormat, Getters) {
    CGDTSentence s;
    s.AddPatientInfo("P1", "Doe", GDT_NO_TEXT, 1970, 12, 31, GENDER_FEMALE, 170.5, GDT_NO_REAL);
    EXPECT_EQ(s.GetFieldValue(FIELD_PATIENT_ID), "P1");
    EXPECT_EQ(s.GetFieldValue(FIELD_FIRST_NAME), GDT_NO_TEXT);
    EXPECT_EQ(s.GetFieldValue(FIELD_BIRTH_DATE), "12311970");  // MMDDYYYY by default
    EXPECT_EQ(s.GetFieldValueToEnum(FIELD_GENDER), 2);
    EXPECT_EQ(s.GetFieldValue(FIELD_HEIGHT), "170.5");
    EXPECT_EQ(s.GetFieldValueToDouble(FIELD_WEIGHT), GDT_NO_REAL);
    EXPECT_EQ(s.GetFieldValueToInt(FIELD_WEIGHT), -1);
    EXPECT_EQ(s.GetFieldValueToEnum(FIELD_WEIGHT), 0);
    EXPECT_EQ(s.GetID(99), FIELD_NONE);
    EXPECT_EQ(s.GetValue(-1), GDT_NO_TEXT);
    EXPECT_EQ(s.Remove(99), 0);
    std::vector<int> idx;
    s.AddComment("a");
    s.AddComment("b");
    EXPECT_EQ(s.FindFields(FIELD_COMMENT, idx), 2);
    EXPECT_EQ(s.RemoveFields(FIELD_COMMENT), 2);
}

TEST_F(GdtFormat, ValueTexts) {
    EXPECT_EQ(CGDTUtils::GetString(0.0), "0");
    EXPECT_EQ(CGDTUtils::GetString(12.50), "12.5");
    EXPECT_EQ(CGDTUtils::GetString(-3.0), "-3");
    EXPECT_EQ(CGDTUtils::GetString(100.0), "100");
    EXPECT_EQ(CGDTUtils::GetString(std::string("AB"), 8), "AB      ");
    EXPECT_EQ(CGDTUtils::GetString(std::string("ABCDEFGHIJ"), 8), "ABCDEFGH");
    EXPECT_EQ(CGDTUtils::GetString(7, 3), "007");
    EXPECT_EQ(CGDTUtils::GetString(7, 6), "");
    EXPECT_EQ(CGDTUtils::GetString(VERSION_0210), "02.10");
    EXPECT_EQ(CGDTUtils::GetString(DEVICE_LUFU02), "LUFU02");
    EXPECT_EQ(CGDTUtils::GetString(UNIT_LB), "lb");
    EXPECT_EQ(CGDTUtils::GetString(FIELD_SW_MAKER), "0102");
    EXPECT_EQ(CGDTUtils::GetFieldName(FIELD_3628), "UNKNOWN3628");
    EXPECT_EQ(CGDTUtils::GetFieldName(FIELD_RESULT_TEXT), "RESULT_TEXT");
    EXPECT_EQ(CGDTUtils::GetStringFromTime(9, 5, 0), "090500");
    int h = -1, m = -1, sec = -1;
    CGDTUtils::GetTimeFromString("0905", h, m, sec);
    EXPECT_EQ(h, -1);
    CGDTUtils::GetTimeFromString("090507", h, m, sec);
    EXPECT_EQ(sec, 7);
}

TEST_F(GdtFormat, DateFormats) {
    CGDTConfig c;
    c.m_strDateFormat = "DDMMYYYY";
    c.Save();
    CString text;
    ASSERT_TRUE(CGDTUtils::GetStringFromDate(text, 2026, 12, 31));
    EXPECT_EQ(text, "31122026");
    int y = 0, mo = 0, d = 0;
    ASSERT_TRUE(CGDTUtils::GetDateFromString(text, y, mo, d));
    EXPECT_EQ(y, 2026);
    EXPECT_EQ(mo, 12);
    EXPECT_EQ(d, 31);
    EXPECT_FALSE(CGDTUtils::GetDateFromString("31.12.2026", y, mo, d));
    c.m_strDateFormat = "DDMM";
    c.Save();
    text = "kept";
    EXPECT_FALSE(CGDTUtils::GetStringFromDate(text, 2026, 12, 31));
    EXPECT_EQ(text, "kept");
    // Without a usable format the birth date is left out.
    CGDTSentence s;
    s.AddPatientInfo("P", GDT_NO_TEXT, GDT_NO_TEXT, 1970, 1, 2, GENDER_NONE, GDT_NO_REAL, GDT_NO_REAL);
    EXPECT_EQ(s.GetFieldValue(FIELD_BIRTH_DATE), GDT_NO_TEXT);
}

// A host whose locale writes decimal commas changes no byte.
TEST_F(GdtFormat, DecimalPointWhateverTheLocale) {
    int nStatus = -1;
    testsupport::RunCommand("localedef -i de_DE -f UTF-8 " + (m_home / "de_DE.UTF-8") + " 2>&1", &nStatus);
    testsupport::CEnvScope locPath("LOCPATH", m_home.Path().c_str());
    ASSERT_EQ(nStatus, 0);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    struct CRestore {
        ~CRestore() { std::setlocale(LC_ALL, "C"); }
    } restore;
    EXPECT_EQ(CGDTUtils::GetString(12.5), "12.5");
    EXPECT_DOUBLE_EQ(CGDTUtils::GetDouble("12.5"), 12.5);
    CGDTSentence s;
    s.AddSentenceInfo(SENTENCE_RESULT, GDT_NO_TEXT, GDT_NO_TEXT, VERSION_NONE, CHAR_TYPE_NONE);
    s.AddTest("FVC", 3.25, GDT_NO_REAL, GDT_NO_REAL, GDT_NO_REAL, "L");
    ASSERT_TRUE(s.Save(m_home / "r.gdt"));
    EXPECT_NE(testsupport::ReadFile(m_home / "r.gdt").find("01384203.25\r\n"), std::string::npos);
}

// A disk that fills up during the write: FALSE and no file, not a short file reported written.
TEST_F(GdtFormat, FullDiskIsAFailure) {
    const std::string path = m_home / "r.gdt";
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        CGDTSentence s;
        s.AddSentenceInfo(SENTENCE_RESULT, GDT_NO_TEXT, GDT_NO_TEXT, VERSION_NONE, CHAR_TYPE_NONE);
        for (int i = 0; i < 20; ++i) s.AddComment(std::string(900, 'c'));
        _exit(s.Save(path) ? 1 : 0);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(testsupport::Exists(path));
    EXPECT_EQ(testsupport::RunCommand("ls -A " + testsupport::ShellQuote(m_home.Path()) + " | grep -c gdt-"), "0\n");
}

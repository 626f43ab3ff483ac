// The destination file, read from files the tests' own writer makes from the layout.
#include <gtest/gtest.h>

#include "acq_server/ftp/ftpinfofile.h"
#include "testsupport/testsupport.h"

using testsupport::CTempDir;
using testsupport::ReadFile;
using testsupport::ShellQuote;

namespace {

struct CValues {
    std::string server = "127.0.0.1", user = "corvane", password = "secret";
    int port = 2121;
    std::string maker = "Corvane Co.,Ltd.", format = "FTPINFO File v1.0";
};

// Writes a file with the fixture writer and returns its bytes.
std::string Write(const std::string& path, const CValues& v) {
    std::string cmd = std::string("/usr/bin/python3 ") + FTPINFO_PY + " " + ShellQuote(path) +
                      " --server=" + ShellQuote(v.server) + " --user=" + ShellQuote(v.user) +
                      " --password=" + ShellQuote(v.password) +
                      " --port=" + std::to_string(v.port) + " --maker=" + ShellQuote(v.maker) +
                      " --format=" + ShellQuote(v.format) + " 2>&1";
    int status = -1;
    std::string out = testsupport::RunCommand(cmd, &status);
    EXPECT_EQ(status, 0) << out;
    return ReadFile(path);
}

void Preload(CFtpInfoFile& info) {
    info.m_strServer = "old.server";
    info.m_strUser = "old";
    info.m_strPassword = "pw";
    info.m_nPort = 99;
}

void ExpectEmpty(const CFtpInfoFile& info) {
    EXPECT_EQ(info.m_strServer, "");
    EXPECT_EQ(info.m_strUser, "");
    EXPECT_EQ(info.m_strPassword, "");
    EXPECT_EQ(info.m_nPort, 0);
}

}  // namespace

TEST(FtpInfoFile, CharacterCodes) {
    struct {
        char ch;
        std::uint16_t code;
    } cases[] = {{'a', 0x02A7},    {'b', 0x02AE}, {'c', 0x02B5},    {'\xff', 0xFFF9},
                 {'\x80', 0xFC80}, {'\0', 0},     {'\x7f', 0x0379}, {'\xe9', 0xFF5F}};
    for (const auto& c : cases) {
        EXPECT_EQ(CFtpInfoFile::EncodeChar(c.ch), c.code) << int(c.ch);
        EXPECT_EQ(CFtpInfoFile::DecodeChar(c.code), c.ch) << int(c.ch);
    }
    // Decoding divides with truncation toward zero and keeps the low 8 bits.
    EXPECT_EQ(CFtpInfoFile::DecodeChar(0x02AD), 'a');     // 685 / 7 = 97
    EXPECT_EQ(CFtpInfoFile::DecodeChar(0xFFF8), '\xff');  // -8 / 7 = -1
    EXPECT_EQ(CFtpInfoFile::DecodeChar(0xFFFA), '\0');    // -6 / 7 = 0
    EXPECT_EQ(CFtpInfoFile::DecodeChar(0x7FFF), static_cast<char>(4681 & 0xFF));
}

TEST(FtpInfoFile, LoadsHandMadeFiles) {
    CTempDir dir;
    struct Case {
        const char* name;
        CValues values;
        bool ok;
    };
    CValues abc;
    abc.server = "abc";
    CValues ff;
    ff.password = "\xff\x80x";
    CValues blank;
    blank.maker = "Corvane Co., Ltd.";
    CValues format;
    format.format = "FTPINFO File v1.1";
    CValues len254;
    len254.server = std::string(254, 's');
    CValues len255;
    len255.user = std::string(255, 'u');
    CValues maker255;
    maker255.maker = std::string(255, 'm');
    CValues negPort;
    negPort.port = -5;
    const Case cases[] = {
        {"abc", abc, true},
        {"ff", ff, true},
        {"blank", blank, false},
        {"format", format, false},
        {"254", len254, true},
        {"255", len255, false},
        {"maker255", maker255, false},
        {"negport", negPort, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir / (std::string(c.name) + ".cfg");
        Write(path, c.values);
        CFtpInfoFile info;
        Preload(info);
        EXPECT_EQ(info.Load(path.c_str()), c.ok ? 1 : 0);
        if (c.ok) {
            EXPECT_EQ(info.m_strServer, c.values.server);
            EXPECT_EQ(info.m_strUser, c.values.user);
            EXPECT_EQ(info.m_strPassword, c.values.password);
            EXPECT_EQ(info.m_nPort, c.values.port);
        } else {
            ExpectEmpty(info);
        }
    }
}

TEST(FtpInfoFile, AbcIsStoredAsItsCodes) {
    CTempDir dir;
    CValues v;
    v.server = "abc";
    std::string bytes = Write(dir / "abc.cfg", v);
    const std::string codes("\x03\x00\x00\x00\xA7\x02\xAE\x02\xB5\x02", 10);
    // After the two header lines: 4 + 16 + 4 + 17 bytes.
    ASSERT_GE(bytes.size(), 41u + codes.size());
    EXPECT_EQ(bytes.substr(41, codes.size()), codes);
}

TEST(FtpInfoFile, MissingFileKeepsValuesDamagedOneEmptiesThem) {
    CTempDir dir;
    CFtpInfoFile info;
    Preload(info);
    EXPECT_EQ(info.Load((dir / "none.cfg").c_str()), 0);
    EXPECT_EQ(info.m_strServer, "old.server");
    EXPECT_EQ(info.m_nPort, 99);

    struct {
        const char* name;
        std::string bytes;
    } damaged[] = {
        {"garbage", "this is no destination file at all, not even close...."},
        {"zero length", std::string("\x00\x00\x00\x00", 4)},
        {"negative length", std::string("\xff\xff\xff\xff", 4) + "Corvane Co.,Ltd."},
        {"huge length", std::string("\x00\x00\x00\x7f", 4) + "Corvane Co.,Ltd."},
    };
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.name);
        ASSERT_TRUE(testsupport::WriteFile(dir / "bad.cfg", d.bytes));
        Preload(info);
        EXPECT_EQ(info.Load((dir / "bad.cfg").c_str()), 0);
        ExpectEmpty(info);
    }
    // A text of length 0 inside an otherwise sound file.
    CValues v;
    std::string good = Write(dir / "good.cfg", v);
    std::string zeroUser = good;
    std::size_t userAt = 41 + 4 + 2 * v.server.size();
    zeroUser.replace(userAt, 4, std::string(4, '\0'));
    ASSERT_TRUE(testsupport::WriteFile(dir / "bad.cfg", zeroUser));
    Preload(info);
    EXPECT_EQ(info.Load((dir / "bad.cfg").c_str()), 0);
    ExpectEmpty(info);
}

TEST(FtpInfoFile, FileCutAtEveryOffsetIsRefused) {
    CTempDir dir;
    CValues v;
    std::string bytes = Write(dir / "whole.cfg", v);
    CFtpInfoFile whole;
    ASSERT_EQ(whole.Load((dir / "whole.cfg").c_str()), 1);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(testsupport::WriteFile(dir / "cut.cfg", bytes.substr(0, n)));
        CFtpInfoFile info;
        Preload(info);
        EXPECT_EQ(info.Load((dir / "cut.cfg").c_str()), 0);
        ExpectEmpty(info);
    }
}

TEST(FtpInfoFile, SaveWritesTheLayoutAndLoadReadsItBack) {
    CTempDir dir;
    CValues v;
    v.server = "ftp.example.test";
    v.user = "Jos\xe9";
    v.password = "p\xffss w\x80rd";
    v.port = 65535;
    std::string expected = Write(dir / "fixture.cfg", v);

    CFtpInfoFile info;
    info.m_strServer = v.server;
    info.m_strUser = v.user;
    info.m_strPassword = v.password;
    info.m_nPort = v.port;
    std::string path = dir / "senderinfo.cfg";
    ASSERT_TRUE(testsupport::WriteFile(path, "an older file"));
    ASSERT_EQ(info.Save(path.c_str()), 1);
    EXPECT_EQ(ReadFile(path), expected);

    CFtpInfoFile back;
    ASSERT_EQ(back.Load(path.c_str()), 1);
    EXPECT_EQ(back.m_strServer, v.server);
    EXPECT_EQ(back.m_strUser, v.user);
    EXPECT_EQ(back.m_strPassword, v.password);
    EXPECT_EQ(back.m_nPort, v.port);
    EXPECT_EQ(back.ToBytes(), expected);
}

TEST(FtpInfoFile, SaveRefusesWhatLoadWouldRefuse) {
    CTempDir dir;
    std::string path = dir / "senderinfo.cfg";
    ASSERT_TRUE(testsupport::WriteFile(path, "kept"));
    struct {
        const char* name;
        std::string server, user, password;
    } cases[] = {
        {"empty server", "", "u", "p"},
        {"empty password", "h", "u", ""},
        {"255 user", "h", std::string(255, 'u'), "p"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CFtpInfoFile info;
        info.m_strServer = c.server;
        info.m_strUser = c.user;
        info.m_strPassword = c.password;
        EXPECT_EQ(info.Save(path.c_str()), 0);
        EXPECT_EQ(ReadFile(path), "kept");
    }
    CFtpInfoFile info;
    info.m_strServer = "h";
    info.m_strUser = "u";
    info.m_strPassword = "p";
    EXPECT_EQ(info.Save((dir / "no/such/folder/x.cfg").c_str()), 0);
}

// The received-data list file and rows, and the private INI file class.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "acq_server/list/privateinifile.h"
#include "acq_server/list/recordlist.h"
#include "acq_server/list/recordlistfile.h"
#include "platform/profile.h"
#include "testsupport/testsupport.h"

namespace {

std::string Entry(const std::string& id, const std::string& time, const std::string& path) {
    return "PAT" + id + "_" + time + "=" + id + " " + time + " " + path;
}

}  // namespace

TEST(RecordList, ListFilePathDropsOneTrailingSeparator) {
    EXPECT_EQ(CRecordList::ListFilePath("/w/Data/"), "/w/Data/FQarServer.ini");
    EXPECT_EQ(CRecordList::ListFilePath("/w/Data"), "/w/Data/FQarServer.ini");
    EXPECT_EQ(CRecordList::ListFilePath("/w/Data\\"), "/w/Data/FQarServer.ini");
}

TEST(RecordList, EntriesReadBackEveryIDAndPath) {
    const struct {
        const char *key, *value;
        bool ok;
        CRecordRow row;
    } cases[] = {
        {"PAT123_202603040506",
         "123 202603040506 /d/a b/123.ekg",
         true,
         {"2026/03/04 05:06", "123", "/d/a b/123.ekg"}},
        {"PATA_202603040506", "A 202603040506 x", true, {"2026/03/04 05:06", "A", "x"}},
        // The key tells how long the ID is: blanks, "=" (written "_" in the key), ";",
        // code-page bytes, a later record of the same ID and minute.
        {"PATJ S_202603040506", "J S 202603040506 /p", true, {"2026/03/04 05:06", "J S", "/p"}},
        {"PAT X Y _202603040506_3",
         " X Y  202603040506 /p q",
         true,
         {"2026/03/04 05:06", " X Y ", "/p q"}},
        {"PATA_B;C_202603040506_2",
         "A=B;C 202603040506 /r",
         true,
         {"2026/03/04 05:06", "A=B;C", "/r"}},
        {"PAT\xC9 1_202603040506",
         "\xC9 1 202603040506 /\xC9",
         true,
         {"2026/03/04 05:06", "\xC9 1", "/\xC9"}},
        // An ID that itself ends like a time.
        {"PATX_202603040506_202603040507",
         "X_202603040506 202603040507 /x",
         true,
         {"2026/03/04 05:07", "X_202603040506", "/x"}},
        // A key that does not fit its value (an entry written by hand): the ID ends at the
        // first blank.
        {"PATother", "J S 202603040506 /p", true, {"S", "J", "202603040506 /p"}},
        {"PAT1_202603040506", "123 202603040506", false, {}},
        {"PAT1_202603040506", "nothing", false, {}},
        {"PAT1_202603040506", "", false, {}},
    };
    for (const auto& c : cases) {
        CRecordRow row;
        EXPECT_EQ(CRecordList::ParseEntry(c.key, c.value, row), c.ok) << c.value;
        if (c.ok) {
            EXPECT_EQ(row, c.row) << c.value;
        }
    }
    EXPECT_EQ(CRecordList::KeyTimeToListTime("202612312359"), "2026/12/31 23:59");
    EXPECT_EQ(CRecordList::KeyTimeToListTime("2026"), "2026");
}

TEST(RecordList, IDsWithBlanksAndSignsComeBackFromTheFile) {
    testsupport::CTempDir dir;
    for (const char* id : {"AB CD", "A=B", ";X", " L", "\xC9\xE7"})
        ASSERT_TRUE(CRecordList::UpdateDataList(dir.Path(), id, "202603040506",
                                                std::string("/r/") + id + ".ekg"));
    CRecordList list;
    list.LoadRows(dir.Path());
    ASSERT_EQ(list.Size(), 5u);
    const char* expected[] = {"\xC9\xE7", " L", ";X", "A=B", "AB CD"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(list.Row(i).m_strPatientID, expected[i]);
        EXPECT_EQ(list.Row(i).m_strPath, std::string("/r/") + expected[i] + ".ekg");
    }
}

TEST(RecordList, SecondRecordOfAPatientInOneMinuteKeepsTheFirst) {
    testsupport::CTempDir dir;
    std::string k1, k2, k3;
    ASSERT_TRUE(CRecordList::UpdateDataList(dir.Path(), "77", "202603040506", "/r/77_a.ekg", &k1));
    ASSERT_TRUE(CRecordList::UpdateDataList(dir.Path(), "77", "202603040506", "/r/77_b.ekg", &k2));
    ASSERT_TRUE(CRecordList::UpdateDataList(dir.Path(), "77", "202603040506", "/r/77_c.fvc", &k3));
    EXPECT_EQ(k1, "PAT77_202603040506");
    EXPECT_EQ(k2, "PAT77_202603040506_2");
    EXPECT_EQ(k3, "PAT77_202603040506_3");
    CRecordList list;
    list.LoadRows(dir.Path());
    ASSERT_EQ(list.Size(), 3u);
    EXPECT_EQ(list.Row(0).m_strPath, "/r/77_c.fvc");
    EXPECT_EQ(list.Row(1).m_strPath, "/r/77_b.ekg");
    EXPECT_EQ(list.Row(2).m_strPath, "/r/77_a.ekg");
}

TEST(RecordList, AnIDHoldingAnEqualSignKeepsItsEntry) {
    testsupport::CTempDir dir;
    std::string key;
    ASSERT_TRUE(CRecordList::UpdateDataList(dir.Path(), "A", "202603040506", "/r/A.ekg"));
    ASSERT_TRUE(CRecordList::UpdateDataList(dir.Path(), "A=B", "202603040506", "/r/AB.ekg", &key));
    EXPECT_EQ(key, "PATA_B_202603040506");
    CRecordList list;
    list.LoadRows(dir.Path());
    ASSERT_EQ(list.Size(), 2u);
    EXPECT_EQ(list.Row(0).m_strPatientID, "A=B");
    EXPECT_EQ(list.Row(0).m_strPath, "/r/AB.ekg");
    EXPECT_EQ(list.Row(1).m_strPath, "/r/A.ekg");
}

TEST(RecordList, EarlierDaysArePrunedWhenARecordComesAndAtStart) {
    testsupport::CTempDir dir;
    const std::string file = CRecordList::ListFilePath(dir.Path());
    ASSERT_TRUE(platform::WriteProfileSection(
        file, "DATA_LIST",
        {Entry("1", "202603030900", "/a"), Entry("2", "202603032359", "/b"),
         Entry("3", "202603040001", "/c")}));
    // Start-up of the day after: only today's entry stays.
    ASSERT_TRUE(CRecordList::PruneListFile(dir.Path(), "20260304"));
    EXPECT_EQ(platform::GetProfileKeyNames(file, "DATA_LIST"),
              std::vector<std::string>{"PAT3_202603040001"});
    // A record of the next day removes the rest.
    ASSERT_TRUE(CRecordList::UpdateDataList(dir.Path(), "4", "202603050800", "/d"));
    EXPECT_EQ(platform::GetProfileKeyNames(file, "DATA_LIST"),
              std::vector<std::string>{"PAT4_202603050800"});
    // Nothing of an earlier day: the file is left alone.
    const std::string before = testsupport::ReadFile(file);
    ASSERT_TRUE(CRecordList::PruneListFile(dir.Path(), "20260305"));
    EXPECT_EQ(testsupport::ReadFile(file), before);
}

TEST(RecordList, BusyDayIsReadWholeAndTheNewest10000Kept) {
    testsupport::CTempDir dir;
    std::vector<std::string> lines;
    const int nCount = 10050;  // about 700 KB: far beyond the old 32 KB buffer
    for (int i = 0; i < nCount; ++i) {
        const std::string id = "ID" + std::to_string(i);
        lines.push_back(
            Entry(id, "202603040506", "/data/some folder/" + id + "_20260304050607.ekg"));
    }
    ASSERT_TRUE(
        platform::WriteProfileSection(CRecordList::ListFilePath(dir.Path()), "DATA_LIST", lines));
    CRecordList list;
    list.LoadRows(dir.Path());
    ASSERT_EQ(list.Size(), CRecordList::kMaxRows);
    EXPECT_EQ(list.Row(0).m_strPatientID, "ID10049");
    EXPECT_EQ(list.Row(0).m_strPath, "/data/some folder/ID10049_20260304050607.ekg");
    EXPECT_EQ(list.Rows().back().m_strPatientID, "ID50");
}

TEST(RecordList, LinesThatDoNotParseAreSkipped) {
    testsupport::CTempDir dir;
    ASSERT_TRUE(testsupport::WriteFile(CRecordList::ListFilePath(dir.Path()),
                                       "[DATA_LIST]\r\nPAT1_202603040506=1 202603040506 /a\r\n"
                                       "=2 202603040506 /b\r\nbare line\r\nPAT3=3only\r\n"
                                       "PAT4_202603040507=4 202603040507 /d e\r\n"));
    CRecordList list;
    list.LoadRows(dir.Path());
    ASSERT_EQ(list.Size(), 2u);
    EXPECT_EQ(list.Row(0).m_strPath, "/d e");
    EXPECT_EQ(list.Row(1).m_strPath, "/a");
    // A missing file: empty.
    list.LoadRows(dir / "nowhere");
    EXPECT_EQ(list.Size(), 0u);
}

TEST(RecordList, The10001stRowDropsTheOldest) {
    CRecordList list;
    for (std::size_t i = 0; i < CRecordList::kMaxRows; ++i)
        EXPECT_FALSE(list.AddRow({"t", std::to_string(i), "p"}));
    EXPECT_TRUE(list.AddRow({"t", "new", "p"}));
    EXPECT_EQ(list.Size(), CRecordList::kMaxRows);
    EXPECT_EQ(list.Row(0).m_strPatientID, "new");
    EXPECT_EQ(list.Rows().back().m_strPatientID, "1");
}

TEST(PrivateIniFile, ReadsWritesAndSections) {
    testsupport::CTempDir dir;
    CPrivateIniFile ini(dir / "x.ini");
    CStringArray arr{"kept"};
    EXPECT_EQ(ini.GetSection("NONE", arr), 1);
    EXPECT_EQ(arr, CStringArray{"kept"});
    ASSERT_TRUE(ini.WriteInt("S", "a", -5));
    ASSERT_TRUE(ini.WriteHex("S", "b", 0xBEEF));
    ASSERT_TRUE(ini.WriteString("S", "c", "text"));
    ASSERT_TRUE(ini.WriteFloat("S", "d", 2.5));
    EXPECT_EQ(ini.GetInt("S", "a", 0), -5);
    EXPECT_EQ(ini.GetString("S", "b", ""), "0x0000BEEF");
    EXPECT_EQ(ini.GetInt("S", "b", 0), 0xBEEF);
    EXPECT_FLOAT_EQ(ini.GetFloat("S", "d", 0), 2.5f);
    EXPECT_FLOAT_EQ(ini.GetFloat("S", "missing", 1.25), 1.25f);
    const unsigned char data[3] = {1, 2, 0xFF};
    ASSERT_TRUE(ini.WriteStruct("S", "e", data, sizeof data));
    unsigned char back[3] = {};
    EXPECT_TRUE(ini.GetStruct("S", "e", back, sizeof back));
    EXPECT_EQ(std::memcmp(back, data, 3), 0);
    // No value: only that key goes.
    ASSERT_TRUE(ini.WriteString("S", "c", nullptr));
    CStringArray lines;
    EXPECT_EQ(ini.GetSection("S", lines), 4);
    EXPECT_EQ(lines[0], "a=-5");
    EXPECT_EQ(ini.GetString("S", "c", "gone"), "gone");
    // Texts are cut to 255 characters.
    ASSERT_TRUE(ini.WriteString("S", "long", std::string(400, 'x').c_str()));
    EXPECT_EQ(ini.GetString("S", "long", "").size(), 255u);
}

TEST(RecordList, ABusyDayAppendsAndReadsBackLikeAWholeWrite) {
    // The same entries through the short way (appended) and the whole-file way must read
    // back alike, and a file of another shape takes the whole way.
    testsupport::CTempDir dir;
    const std::string file = CRecordList::ListFilePath(dir.Path());
    ASSERT_TRUE(testsupport::WriteFile(file,
                                       "[OTHER]\r\nx=1\r\n[DATA_LIST]\r\n"
                                       "PAT1_202603040000=1 202603040000 /a\r\n"));
    std::string key;
    ASSERT_TRUE(CRecordList::UpdateDataList(dir.Path(), "ab", "202603040506", "/p/ab 1.ekg", &key));
    EXPECT_EQ(key, "PATab_202603040506");
    // Keys compare without case, as the profile engine does.
    ASSERT_TRUE(CRecordList::UpdateDataList(dir.Path(), "AB", "202603040506", "/p/AB.ekg", &key));
    EXPECT_EQ(key, "PATAB_202603040506_2");
    ASSERT_TRUE(
        CRecordList::UpdateDataList(dir.Path(), "ab", "202603040506", "/p/x\r\ny.ekg", &key));
    EXPECT_EQ(key, "PATab_202603040506_3");
    EXPECT_EQ(testsupport::ReadFile(file),
              "[OTHER]\r\nx=1\r\n[DATA_LIST]\r\nPAT1_202603040000=1 202603040000 /a\r\n"
              "PATab_202603040506=ab 202603040506 /p/ab 1.ekg\r\n"
              "PATAB_202603040506_2=AB 202603040506 /p/AB.ekg\r\n"
              "PATab_202603040506_3=ab 202603040506 /p/x  y.ekg\r\n");
    EXPECT_EQ(platform::GetProfileKeyNames(file, "DATA_LIST").size(), 4u);
    // A new day: the earlier entries go, the whole file is written.
    ASSERT_TRUE(CRecordList::UpdateDataList(dir.Path(), "n", "202603050101", "/n", &key));
    EXPECT_EQ(platform::GetProfileKeyNames(file, "DATA_LIST"),
              std::vector<std::string>{"PATn_202603050101"});
    // The list section not last: the whole way keeps the other section.
    ASSERT_TRUE(testsupport::WriteFile(file,
                                       "[DATA_LIST]\r\nPATn_202603050101=n 202603050101 /n\r\n"
                                       "[OTHER]\r\nx=1\r\n"));
    ASSERT_TRUE(CRecordList::UpdateDataList(dir.Path(), "m", "202603050102", "/m", &key));
    EXPECT_EQ(platform::GetProfileKeyNames(file, "DATA_LIST").size(), 2u);
    EXPECT_EQ(platform::GetProfileString(file, "OTHER", "x", ""), "1");
    // No file at all: made whole.
    testsupport::CTempDir fresh;
    ASSERT_TRUE(CRecordList::UpdateDataList(fresh.Path(), "f", "202603050102", "/f"));
    EXPECT_EQ(testsupport::ReadFile(CRecordList::ListFilePath(fresh.Path())),
              "[DATA_LIST]\r\nPATf_202603050102=f 202603050102 /f\r\n");
}

namespace {
ino_t Inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}
}  // namespace

TEST(RecordListFile, ABusyDayIsAppendedToAndAFileChangedElsewhereIsReadAgain) {
    testsupport::CTempDir dir;
    const std::string file = CRecordList::ListFilePath(dir.Path());
    std::vector<std::string> lines;
    for (int i = 0; i < 5000; ++i)
        lines.push_back(
            Entry("P" + std::to_string(i), "202603040506", "/d/P" + std::to_string(i) + ".ekg"));
    ASSERT_TRUE(platform::WriteProfileSection(file, "DATA_LIST", lines));
    const ino_t nBefore = Inode(file);
    CRecordListFile list(dir.Path());
    EXPECT_TRUE(list.Lists("/d/P4999.ekg"));
    EXPECT_FALSE(list.Lists("/d/new.ekg"));
    std::string key;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(list.Add("P7", "202603040506", "/d/new" + std::to_string(i) + ".ekg", &key));
        EXPECT_EQ(key, "PATP7_202603040506_" + std::to_string(i + 2));
    }
    EXPECT_TRUE(list.Lists("/d/new2.ekg"));
    // Appended: the same file, one entry more each time, nothing else moved.
    EXPECT_EQ(Inode(file), nBefore);
    EXPECT_EQ(platform::GetProfileSection(file, "DATA_LIST").size(), 5003u);
    // Another program adds an entry under the next key: this writer sees it.
    ASSERT_TRUE(platform::WriteProfileString(file, "DATA_LIST", "PATP7_202603040506_5",
                                             "P7 202603040506 /o"));
    ASSERT_TRUE(list.Add("P7", "202603040506", "/d/after.ekg", &key));
    EXPECT_EQ(key, "PATP7_202603040506_6");
    EXPECT_TRUE(list.Lists("/o"));
    // The first record of the next day writes the file whole, without the earlier entries.
    // The old file is held open so its inode cannot be handed to the new one.
    const int fdOld = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(fdOld, 0);
    struct stat stOld {};
    ASSERT_EQ(::fstat(fdOld, &stOld), 0);
    ASSERT_TRUE(list.Add("N", "202603050001", "/d/n.ekg", &key));
    EXPECT_NE(Inode(file), stOld.st_ino);
    ::close(fdOld);
    EXPECT_EQ(platform::GetProfileKeyNames(file, "DATA_LIST"),
              std::vector<std::string>{"PATN_202603050001"});
    EXPECT_FALSE(list.Lists("/d/P1.ekg"));
    // The file removed meanwhile: made again.
    ASSERT_EQ(std::remove(file.c_str()), 0);
    ASSERT_TRUE(list.Add("M", "202603050002", "/d/m.ekg"));
    EXPECT_EQ(testsupport::ReadFile(file),
              "[DATA_LIST]\r\nPATM_202603050002=M 202603050002 /d/m.ekg\r\n");
}

TEST(ConversionMark, EntriesBehindTheMarkAreOwed) {
    testsupport::CTempDir dir;
    const std::string folder = dir / "work/";
    // A folder without a list: marked, nothing owed; then every entry is.
    EXPECT_TRUE(CConversionMark::Owed(folder).empty());
    EXPECT_EQ(testsupport::ReadFile(CConversionMark::MarkPath(folder)), "\n");
    for (const char* id : {"A", "B C", "D"})
        ASSERT_TRUE(CRecordList::UpdateDataList(folder, id, "202603040506",
                                                std::string("/r/") + id + ".ekg"));
    auto keys = [&] {
        std::vector<std::string> out;
        for (const COwedEntry& e : CConversionMark::Owed(folder))
            out.push_back(e.strKey + "|" + e.row.m_strPatientID + "|" + e.row.m_strPath);
        return out;
    };
    EXPECT_EQ(keys(), (std::vector<std::string>{"PATA_202603040506|A|/r/A.ekg",
                                                "PATB C_202603040506|B C|/r/B C.ekg",
                                                "PATD_202603040506|D|/r/D.ekg"}));
    ASSERT_TRUE(CConversionMark::Mark(folder, "PATB C_202603040506"));
    EXPECT_EQ(keys(), std::vector<std::string>{"PATD_202603040506|D|/r/D.ekg"});
    ASSERT_TRUE(CConversionMark::Mark(folder, "PATD_202603040506"));
    EXPECT_TRUE(keys().empty());
    // The marked entry went with its day: every entry of the new day is owed.
    ASSERT_TRUE(CRecordList::UpdateDataList(folder, "E", "202603050001", "/r/E.ekg"));
    EXPECT_EQ(keys(), std::vector<std::string>{"PATE_202603050001|E|/r/E.ekg"});
    // A list kept before marks existed counts as converted.
    testsupport::CTempDir old;
    ASSERT_TRUE(CRecordList::UpdateDataList(old.Path(), "O", "202603040506", "/r/O.ekg"));
    EXPECT_TRUE(CConversionMark::Owed(old.Path()).empty());
    EXPECT_EQ(testsupport::ReadFile(CConversionMark::MarkPath(old.Path())), "PATO_202603040506\n");
}

// Entries still owed their conversions stay on disk across a new day and a start.
TEST(ConversionMark, EntriesOfAnEarlierDayStayUntilConverted) {
    testsupport::CTempDir dir;
    const std::string file = CRecordList::ListFilePath(dir.Path());
    EXPECT_TRUE(CConversionMark::Owed(dir.Path()).empty());
    for (const char* id : {"A", "B", "C"})
        ASSERT_TRUE(
            CRecordList::UpdateDataList(dir.Path(), id, "202603042359", std::string("/r/") + id));
    ASSERT_TRUE(CConversionMark::Mark(dir.Path(), "PATA_202603042359"));
    // The next day's first record: A goes, B and C wait for their conversions.
    CRecordListFile list(dir.Path());
    ASSERT_TRUE(list.Add("D", "202603050001", "/r/D"));
    EXPECT_EQ(
        platform::GetProfileKeyNames(file, "DATA_LIST"),
        (std::vector<std::string>{"PATB_202603042359", "PATC_202603042359", "PATD_202603050001"}));
    // Appended while they wait, not written whole each time.
    const ino_t nInode = Inode(file);
    ASSERT_TRUE(list.Add("E", "202603050002", "/r/E"));
    EXPECT_EQ(Inode(file), nInode);
    ASSERT_TRUE(CRecordList::PruneListFile(dir.Path(), "20260305"));
    EXPECT_EQ(CConversionMark::Owed(dir.Path()).size(), 4u);
    // Converted: the next start removes them.
    ASSERT_TRUE(CConversionMark::Mark(dir.Path(), "PATC_202603042359"));
    ASSERT_TRUE(CRecordList::PruneListFile(dir.Path(), "20260305"));
    EXPECT_EQ(platform::GetProfileKeyNames(file, "DATA_LIST"),
              (std::vector<std::string>{"PATD_202603050001", "PATE_202603050002"}));
}

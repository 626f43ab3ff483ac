// What the real QarServer program makes of every record a device was answered for: kept
// under a name of its own, listed whatever its patient ID holds, read back after a
// restart, converted through the real controls, and still listed when the program is
// stopped in the middle of a burst.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QProcess>
#include <algorithm>
#include <iterator>
#include <sstream>

#include "acq_server/list/recordlist.h"
#include "platform/profile.h"
#include "qarserverrun.h"
#include "qtenv.h"
#include "testsupport/testsupport.h"
#include "testsupport/xvfb.h"

namespace {

using qare2e::Exists;
using qare2e::Today;
using qare2e::WaitForFile;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::ShellQuote;

constexpr const char* kEcgOutputs[] = {"_ekg.jpg", "_ekg.pdf", "_ekg.txt", "_ekg.xml"};

// Entries of devsim's carts mode (--expect): patient ID, record time, whether answered,
// reply in ms.
struct CCartEntry {
    std::string id, date;
    bool answered = false;
    double ms = 0;
};
std::vector<CCartEntry> CartEntries(const std::string& strJson) {
    const std::string script =
        "import json,sys\n"
        "for e in json.load(open(sys.argv[1])):\n"
        "    print(e['patient_id'], e['date'], 1 if e['answered'] else 0, e['reply_ms'] or 0)\n";
    std::istringstream in(
        RunCommand("python3 -c " + ShellQuote(script) + " " + ShellQuote(strJson)));
    std::vector<CCartEntry> out;
    for (CCartEntry e; in >> e.id >> e.date >> e.answered >> e.ms;)
        out.push_back(e);
    return out;
}

class QarServerRecordsE2E : public qare2e::CServerTest {
protected:
    // The real ECG control registered and every ECG output on.
    void EcgOutputsOn() {
        Register(WAVELIN_PATH);
        for (const char* key : {"JPEG EKG", "PDF EKG", "TXT EKG", "XML EKG"})
            WriteSetting(key, "1");
    }
    // Waits for every output of a record (its path without ".ekg") and judges them.
    void ExpectEcgOutputs(const std::string& strBase, int nSeconds = 120) {
        SCOPED_TRACE(strBase);
        for (const char* ext : kEcgOutputs)
            ASSERT_TRUE(WaitForFile(strBase + ext, nSeconds)) << strBase + ext;
        EXPECT_EQ(RunCommand("identify -format '%m' " + ShellQuote(strBase + "_ekg.jpg")), "JPEG");
        int nStatus = -1;
        RunCommand("qpdf --check " + ShellQuote(strBase + "_ekg.pdf") + " >/dev/null 2>&1",
                   &nStatus);
        EXPECT_EQ(nStatus, 0);
        RunCommand("xmllint --noout " + ShellQuote(strBase + "_ekg.xml") + " 2>&1", &nStatus);
        EXPECT_EQ(nStatus, 0);
    }
    // The list file's entries as the server reads them back at its start.
    std::vector<CRecordRow> Rows() {
        CRecordList list;
        list.LoadRows(m_pServer->Data());
        return std::vector<CRecordRow>(list.Rows().begin(), list.Rows().end());
    }
    std::size_t RowsOf(const std::string& strPath) {
        const std::vector<CRecordRow> rows = Rows();
        return static_cast<std::size_t>(std::count_if(
            rows.begin(), rows.end(), [&](const CRecordRow& r) { return r.m_strPath == strPath; }));
    }
    std::size_t FilesNamed(const std::string& strPattern) {
        return static_cast<std::size_t>(
            std::stoul(RunCommand("find " + ShellQuote(m_pServer->Data()) + " -name " +
                                  ShellQuote(strPattern) + " | wc -l")));
    }
};

}  // namespace

// Emergency ECGs of unknown patients: no ID at all (a frame-mode cart) or only bytes the ID
// cleaning drops (a legacy cart). Each is listed under its file's title and converted.
TEST_F(QarServerRecordsE2E, RecordsWithoutAPatientIDAreListedAndConverted) {
    EcgOutputsOn();
    ASSERT_TRUE(m_pServer->Start());
    EXPECT_NE(m_pServer->Device("frame-ecg --id ''").find("REPLY fc0600ef"), std::string::npos);
    m_pServer->Device("legacy-ecg --id " + ShellQuote("\xC2\xB0\xC2\xB1") +
                      " --date 20260304050700");
    const std::string data = m_pServer->Data();
    for (const char* title : {"_20260304050607", "_202603040507"}) {
        SCOPED_TRACE(title);
        ASSERT_TRUE(Exists(data + title + ".ekg"));
        ExpectEcgOutputs(data + title);
        const std::string list = ListByConfigParser();
        EXPECT_NE(list.find(std::string("PAT") + title + "_" + Today()), std::string::npos) << list;
        EXPECT_NE(list.find(std::string("=") + title + " " + Today()), std::string::npos) << list;
        EXPECT_EQ(RowsOf(data + title + ".ekg"), 1u);
    }
    EXPECT_EQ(m_pServer->Stop(SIGTERM), 0);
}

// A legacy cart's names stop at the minute: a retake in the same minute is another record
// and keeps a name of its own; a record sent again (same bytes) stays one file and one row.
TEST_F(QarServerRecordsE2E, RecordsOfOneMinuteKeepTheirOwnNamesAndARecordSentTwiceStaysOne) {
    EcgOutputsOn();
    ASSERT_TRUE(m_pServer->Start());
    const std::string data = m_pServer->Data();
    const std::string first = data + "R1_202603040506";
    const std::string second = data + "R1_202603040506_2";
    m_pServer->Device("legacy-ecg --id R1 --seed 1");
    ASSERT_TRUE(WaitForFile(first + ".ekg", 30));
    const std::string firstBytes = ReadFile(first + ".ekg");
    m_pServer->Device("legacy-ecg --id R1 --seed 2");
    ASSERT_TRUE(WaitForFile(second + ".ekg", 30));
    EXPECT_EQ(ReadFile(first + ".ekg"), firstBytes);
    EXPECT_NE(ReadFile(second + ".ekg"), firstBytes);
    ExpectEcgOutputs(first);
    ExpectEcgOutputs(second);
    // The first record again, then a frame-mode record twice: answered each time, kept once.
    m_pServer->Device("legacy-ecg --id R1 --seed 1");
    for (int i = 0; i < 2; ++i)
        EXPECT_NE(m_pServer->Device("frame-ecg --id F1").find("REPLY fc0600ef"), std::string::npos);
    ASSERT_EQ(m_pServer->Stop(SIGTERM), 0);
    EXPECT_EQ(FilesNamed("R1_*.ekg"), 2u);
    EXPECT_EQ(FilesNamed("F1_*.ekg"), 1u);
    EXPECT_EQ(RowsOf(first + ".ekg"), 1u);
    EXPECT_EQ(RowsOf(second + ".ekg"), 1u);
    EXPECT_EQ(RowsOf(data + "F1_20260304050607.ekg"), 1u);
    EXPECT_EQ(Rows().size(), 3u);
    EXPECT_EQ(FilesNamed("R1_*_ekg.xml"), 2u);
}

// IDs with blanks, "=", ";" and code-page bytes (a packet device's file name, here in the
// default code page) come back whole from the list file after a restart: ID and path.
TEST_F(QarServerRecordsE2E, EveryPatientIDReadsBackFromTheListAfterARestart) {
    const std::string fixtures = m_dir / "fixtures/";
    int nStatus = -1;
    RunCommand("python3 " FIXTURES_DIR "/ekg_fixtures.py " + ShellQuote(fixtures), &nStatus);
    ASSERT_EQ(nStatus, 0);
    ASSERT_TRUE(m_pServer->Start());
    for (const char* id : {"AB CD", "A=B;C", " X  Y "})
        EXPECT_NE(m_pServer->Device("frame-ecg --id " + ShellQuote(id)).find("REPLY fc0600ef"),
                  std::string::npos);
    // "\xC9" is "É" in the installation code page.
    EXPECT_NE(m_pServer
                  ->Device("packet-files --send " + ShellQuote(fixtures + "server.ekg") + " --as " +
                           ShellQuote("\xC3\x89 D_20260102030405.EKG"))
                  .find("REPLY fc0600ef"),
              std::string::npos);
    ASSERT_EQ(m_pServer->Stop(SIGTERM), 0);
    ASSERT_TRUE(m_pServer->Start());
    EXPECT_NE(m_pServer->Device("frame-ecg --id Z9").find("REPLY fc0600ef"), std::string::npos);
    ASSERT_EQ(m_pServer->Stop(SIGTERM), 0);
    const std::string data = m_pServer->Data();
    const struct {
        const char *id, *path;
    } expected[] = {{"Z9", "Z9_20260304050607.ekg"},
                    {"\xC9 D", "\xC9 D_20260102030405.EKG"},
                    {" X  Y ", " X  Y _20260304050607.ekg"},
                    {"A=B;C", "A=B;C_20260304050607.ekg"},
                    {"AB CD", "AB CD_20260304050607.ekg"}};
    const std::vector<CRecordRow> rows = Rows();
    ASSERT_EQ(rows.size(), std::size(expected));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(expected[i].id);
        EXPECT_EQ(rows[i].m_strPatientID, expected[i].id);
        EXPECT_EQ(rows[i].m_strPath, data + expected[i].path);
        EXPECT_TRUE(Exists(rows[i].m_strPath));
    }
}

// The list on a real X server after a restart: a double click on the row of "AB CD" starts
// the viewer set in "Lindar" with that record's path (a stand-in viewer that notes it).
TEST_F(QarServerRecordsE2E, ARowWithABlankInItsIDOpensAfterARestart) {
    testsupport::CXvfb xvfb;
    ASSERT_TRUE(xvfb.Start()) << "Xvfb is needed";
    const std::string viewer = m_dir / "viewer.sh";
    const std::string opened = m_dir / "opened.txt";
    ASSERT_TRUE(testsupport::WriteFile(
        viewer, "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + ShellQuote(opened) + "\n"));
    ::chmod(viewer.c_str(), 0755);
    WriteSetting("Lindar", viewer);
    // Controls that can be made (a stand-in), so that no message box covers the list.
    Register(RECCTL_PATH);
    ASSERT_TRUE(m_pServer->Start());
    EXPECT_NE(m_pServer->Device("frame-ecg --id " + ShellQuote("AB CD")).find("REPLY fc0600ef"),
              std::string::npos);
    std::string strFirst;
    ASSERT_EQ(m_pServer->Stop(SIGTERM, &strFirst), 0) << strFirst;

    m_pServer->SetDisplay(xvfb.Display());
    ASSERT_TRUE(m_pServer->Start());
    const std::string x = "DISPLAY=" + xvfb.Display() + " ";
    // Waited for until it is viewable: a busy machine maps the window a while after it exists.
    const std::string frame = xvfb.WaitForWindowId("^Qar Server$");
    ASSERT_FALSE(frame.empty()) << xvfb.Tree();
    // Row 0 lies under the menu bar and the column headings.
    for (int nTry = 0; nTry < 5 && !Exists(opened); ++nTry) {
        RunFor(500);
        RunCommand(x + "xdotool mousemove --window " + frame +
                   " 300 46 click --repeat 2 --delay 80 1");
        RunUntil([&] { return Exists(opened); }, 3000);
    }
    EXPECT_EQ(ReadFile(opened), m_pServer->Data() + "AB CD_20260304050607.ekg\n");
    std::string strLast;
    EXPECT_EQ(m_pServer->Stop(SIGTERM, &strLast), 0) << strLast;
}

// SIGTERM while 8 carts send: the program finishes what it received. Every record that lies
// in its file is listed once and its cart was answered "taken"; every cart answered has its
// record listed.
TEST_F(QarServerRecordsE2E, SigtermDuringABurstLeavesEveryAnsweredRecordListed) {
    ASSERT_TRUE(m_pServer->Start());
    const std::string expect = m_dir / "carts.json";
    QProcess carts;
    carts.start("python3",
                {DEVSIM_PY, "--port", QString::number(m_pServer->Port()), "--carts", "8",
                 "--records", "60", "--id", "BU", "--expect", QString::fromStdString(expect)});
    ASSERT_TRUE(carts.waitForStarted(10000));
    const std::string list = m_pServer->Data() + "FQarServer.ini";
    ASSERT_TRUE(RunUntil(
        [&] { return platform::GetProfileSection(list, "DATA_LIST").size() >= 24; }, 60000));
    EXPECT_EQ(m_pServer->Stop(SIGTERM), 0);
    ASSERT_TRUE(carts.waitForFinished(120000));
    std::vector<std::string> answered;
    for (const CCartEntry& e : CartEntries(expect)) {
        if (e.answered)
            answered.push_back(m_pServer->Data() + e.id + "_" + e.date + ".ekg");
    }
    std::istringstream storedText(
        RunCommand("find " + ShellQuote(m_pServer->Data()) + " -name 'BU*.ekg' | sort"));
    std::vector<std::string> stored;
    for (std::string path; std::getline(storedText, path);)
        stored.push_back(path);
    std::sort(answered.begin(), answered.end());
    std::vector<std::string> unanswered, missing;
    std::set_difference(stored.begin(), stored.end(), answered.begin(), answered.end(),
                        std::back_inserter(unanswered));
    std::set_difference(answered.begin(), answered.end(), stored.begin(), stored.end(),
                        std::back_inserter(missing));
    EXPECT_TRUE(unanswered.empty())
        << unanswered.size() << " stored, not answered, e.g. " << unanswered.front();
    EXPECT_TRUE(missing.empty()) << missing.size() << " answered, not stored, e.g. "
                                 << missing.front();
    EXPECT_GE(answered.size(), 24u);
    const std::vector<CRecordRow> rows = Rows();
    for (const std::string& path : stored)
        EXPECT_EQ(RowsOf(path), 1u) << path;
    EXPECT_EQ(rows.size(), stored.size());
}

namespace {

// The records the debug log says were opened for their conversions, in that order.
std::vector<std::string> OpenedForConversion(const std::string& strLog) {
    std::vector<std::string> out;
    const std::string kOpen = "CMainFrame::MakeFile Open - m_Wavelin.EKGOpenFile(";
    for (std::size_t at = strLog.find(kOpen); at != std::string::npos;
         at = strLog.find(kOpen, at + 1)) {
        const std::size_t from = at + kOpen.size();
        out.push_back(strLog.substr(from, strLog.find(")\n", from) - from));
    }
    return out;
}

}  // namespace

// A record whose every lead swings between the 16-bit extremes (a saturated cart, or any
// file a packet device sends) is being converted; 8 carts meanwhile get every answer, each
// within a second, and the saturated record gets its picture, PDF, XML and text report.
TEST_F(QarServerRecordsE2E, EveryCartIsAnsweredWhileASaturatedRecordIsConverted) {
    EcgOutputsOn();
    const std::string fixtures = m_dir / "fixtures/";
    int nStatus = -1;
    RunCommand("python3 " FIXTURES_DIR "/ekg_fixtures.py " + ShellQuote(fixtures), &nStatus);
    ASSERT_EQ(nStatus, 0);
    const std::string saturated = fixtures + "saturated.ekg";
    const std::string script =
        "import struct,sys\n"
        "b=bytearray(open(sys.argv[1],'rb').read())\n"
        "for l in range(12):\n"
        "    for i in range(5000): struct.pack_into('<h',b,l*10200+2*i,32767 if i%2==0 else "
        "-32768)\n"
        "open(sys.argv[2],'wb').write(b)\n";
    RunCommand("python3 -c " + ShellQuote(script) + " " + ShellQuote(fixtures + "server.ekg") +
                   " " + ShellQuote(saturated),
               &nStatus);
    ASSERT_EQ(nStatus, 0);
    ASSERT_TRUE(m_pServer->Start());
    EXPECT_NE(m_pServer
                  ->Device("packet-files --send " + ShellQuote(saturated) +
                           " --as SAT_20260304050607.EKG")
                  .find("REPLY fc0600ef"),
              std::string::npos);
    const std::string sat = m_pServer->Data() + "SAT_20260304050607";
    ASSERT_TRUE(
        RunUntil([&] { return OpenedForConversion(m_pServer->DebugLog()).size() == 1; }, 30000));
    const std::string expect = m_dir / "carts.json";
    m_pServer->Device("--carts 8 --records 5 --id CA --expect " + ShellQuote(expect));
    const std::vector<CCartEntry> entries = CartEntries(expect);
    ASSERT_EQ(entries.size(), 40u);
    std::vector<double> ms;
    for (const CCartEntry& e : entries) {
        EXPECT_TRUE(e.answered) << e.id;
        ms.push_back(e.ms);
    }
    // Answers that waited behind the conversions would come seconds late, nearly all of them.
    // A disk sync stalled by the other tests of a parallel run can hold every cart at once for
    // a few seconds: the median is what tells, with a generous bound on the slowest.
    std::sort(ms.begin(), ms.end());
    EXPECT_LT(ms[ms.size() / 2], 1000);
    EXPECT_LT(ms.back(), 5000);
    // An ordinary cost: seconds, not the minutes a stroke per sample takes.
    ExpectEcgOutputs(sat, 60);
    // The carts' records are converted after it.
    ASSERT_TRUE(RunUntil([&] { return FilesNamed("CA*_ekg.xml") == 40u; }, 300000));
    EXPECT_EQ(m_pServer->Stop(SIGTERM), 0);
}

// A burst of 20 records is being converted; a record sent meanwhile is answered before the
// burst's conversions end, and every record is converted in the order it came.
TEST_F(QarServerRecordsE2E, ARecordIsAnsweredWhileABurstIsConvertedAndAllAreConvertedInOrder) {
    EcgOutputsOn();
    ASSERT_TRUE(m_pServer->Start());
    const std::string out = m_pServer->Device("frame-ecg --load 4 --count 5 --id BR");
    ASSERT_NE(out.find("\"stored\": 20"), std::string::npos) << out;
    EXPECT_NE(m_pServer->Device("frame-ecg --id LATE").find("REPLY fc0600ef"), std::string::npos);
    EXPECT_LT(OpenedForConversion(m_pServer->DebugLog()).size(), 20u);
    EXPECT_LT(FilesNamed("BR*_ekg.xml"), 20u);
    ASSERT_TRUE(
        RunUntil([&] { return OpenedForConversion(m_pServer->DebugLog()).size() == 21; }, 300000));
    ASSERT_TRUE(WaitForFile(m_pServer->Data() + "LATE_20260304050607_ekg.xml", 60));
    EXPECT_EQ(m_pServer->Stop(SIGTERM), 0);
    // The list file holds the records in the order they came.
    std::vector<std::string> listed;
    const std::vector<CRecordRow> rows = Rows();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        listed.push_back(it->m_strPath);
    EXPECT_EQ(OpenedForConversion(m_pServer->DebugLog()), listed);
    EXPECT_EQ(listed.back(), m_pServer->Data() + "LATE_20260304050607.ekg");
}

// Records answered and listed are owed their conversions: killed before it converted them,
// the program converts them at its next start.
TEST_F(QarServerRecordsE2E, ConversionsOwedAtAKillAreDoneAtTheNextStart) {
    EcgOutputsOn();
    ASSERT_TRUE(m_pServer->Start());
    const std::string out = m_pServer->Device("frame-ecg --load 2 --count 4 --id KO");
    ASSERT_NE(out.find("\"stored\": 8"), std::string::npos) << out;
    const std::size_t nBefore = FilesNamed("KO*_ekg.xml");
    m_pServer->Kill();
    EXPECT_LT(nBefore, 8u) << "the conversions were done before the kill";
    ASSERT_TRUE(m_pServer->Start());
    ASSERT_TRUE(RunUntil([&] { return FilesNamed("KO*_ekg.xml") == 8u; }, 300000));
    for (const CRecordRow& row : Rows()) {
        SCOPED_TRACE(row.m_strPath);
        ExpectEcgOutputs(row.m_strPath.substr(0, row.m_strPath.size() - 4));
    }
    EXPECT_EQ(m_pServer->Stop(SIGTERM), 0);
    // Nothing is owed any more: a start converts nothing.
    ASSERT_TRUE(m_pServer->Start());
    RunFor(1000);
    EXPECT_EQ(m_pServer->Stop(SIGTERM), 0);
    EXPECT_EQ(OpenedForConversion(m_pServer->DebugLog()).size(), 0u);
}

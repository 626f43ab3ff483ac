#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <chrono>
#include <thread>

#include "acq_server/ftp/ftpqueue.h"
#include "acq_server/ftp/ftpthread.h"
#include <type_traits>
#include "oxuutil/singleinstancelock.h"

#include "oxudb/oxudbconnect.h"
#include "oxudb/oxudbuidgen.h"
#include "oxudb/serverdb.h"
#include "oxudb/sqlquery.h"
#include "server_lib/oxuservercom.h"
#include "server_lib/oxuserversetting.h"
#include "testsupport/testsupport.h"

namespace {

using testsupport::CEnvScope;
using testsupport::CTempDir;

// The host's home folder of this test program, in a fresh folder.
class OxuHome : public ::testing::Test {
protected:
    OxuHome() : m_home("CORVANE_HOME", m_dir.Path().c_str()) {}
    ~OxuHome() override { COxuServerLogger::SetClock(nullptr); }
    std::string Home() const { return m_dir.Path() + "oxuserver_tests/"; }
    std::string Log(const char* pszDay, const char* pszSuffix = "_oxu.log") const {
        return testsupport::ReadFile(Home() + "Log/" + pszDay + pszSuffix);
    }
    CTempDir m_dir;
    CEnvScope m_home;
};

std::time_t LocalTime(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// ---------------------------------------------------------------------------------------
// Settings

TEST_F(OxuHome, SettingsReadDefaultsWithoutWriting) {
    COxuServerSetting s;
    EXPECT_EQ(s.GetPathName(), Home() + "Oxu.ini");
    EXPECT_EQ(s.GetEcgServerPort(), 2003);
    EXPECT_EQ(s.GetFileServerPort(), 6003);
    EXPECT_EQ(s.GetDicomConv(), 0);
    EXPECT_EQ(s.GetDbAccessMdb(), 0);
    EXPECT_STREQ(s.GetDbPasswd(), "");
    EXPECT_FALSE(testsupport::Exists(Home() + "Oxu.ini"));
}

TEST_F(OxuHome, DefaultSettingsKeepAnotherProgramButResetTheDatabase) {
    COxuServerSetting s;
    s.WriteString("OXU_SERVER_DICOM_SCU", "PROGRAM_FILE", "MyStore");
    s.SetEcgServerPort(9999);
    s.SetDbName("x");
    s.SetDbUser("y");
    s.SetDbPasswd("z");
    s.SetDbAccessMdb(0);
    s.WriteDefaultSetting();
    EXPECT_EQ(s.GetString("OXU_SERVER_DICOM_SCU", "PROGRAM_FILE"), "MyStore");
    EXPECT_EQ(s.GetString("OXU_SERVER_JPEG_GW", "PROGRAM_FILE"), "OxuEkgJpegGW");
    EXPECT_EQ(s.GetString("OXU_SERVER_JPEG_GW", "PROGRAM_PATH") + "/",
              COxuServerSetting::LibraryFolder());
    EXPECT_EQ(s.GetEcgServerPort(), 2003);
    EXPECT_EQ(s.GetDbHost(), Home() + "Database/oxunet.mdb");
    EXPECT_EQ(s.GetDbName(), "");
    EXPECT_EQ(s.GetDbUser(), "");
    EXPECT_STREQ(s.GetDbPasswd(), "");
    EXPECT_EQ(s.GetDbAccessMdb(), 1);
    EXPECT_EQ(s.GetDataStoragePath(), Home() + "DataDB");
    struct stat st {};
    EXPECT_EQ(::stat((Home() + "DataDB").c_str(), &st), 0);
}

TEST_F(OxuHome, APasswordKeepsAtMost49Bytes) {
    COxuServerSetting s;
    const std::string str60(60, 'p');
    s.SetDbPasswd(str60.c_str());
    EXPECT_EQ(std::string(COxuServerSetting().GetDbPasswd()), str60.substr(0, 49));
    s.SetDbPasswd("short");
    EXPECT_STREQ(COxuServerSetting().GetDbPasswd(), "short");
}

// ---------------------------------------------------------------------------------------
// Logs

TEST_F(OxuHome, ALineGoesToTheFileOfItsDayAfterMidnightTheNext) {
    std::time_t now = LocalTime(2026, 3, 4, 23, 59, 59);
    COxuServerLogger::SetClock([&] { return now; });
    COxuEcgServerLogger log;
    log.Log("Success to save all data");
    now = LocalTime(2026, 3, 5, 0, 0, 1);
    log.Log("Fail to save [%s] DICOM File!!!", "a.dcm");
    COxuFileServerLogger file;
    file.Log("x");
    EXPECT_EQ(Log("20260304"), "[2026/03/04 23:59:59] Success to save all data\r\n");
    EXPECT_EQ(Log("20260305"), "[2026/03/05 00:00:01] Fail to save [a.dcm] DICOM File!!!\r\n");
    EXPECT_EQ(Log("20260305", "_file.log"), "[2026/03/05 00:00:01] x\r\n");
}

TEST_F(OxuHome, AnUnwritableLogTellsTheNotifierAndWritesNothing) {
    testsupport::WriteFile(Home() + "Log", "a file where the folder should be");
    testsupport::CScriptedNotifier notifier;
    COxuEcgServerLogger().Log("lost");
    ASSERT_EQ(notifier.calls.size(), 1u);
    EXPECT_EQ(notifier.calls[0].text, "Fail to create log file !!!");
    EXPECT_EQ(notifier.calls[0].type, static_cast<unsigned>(platform::MB_OK));
}

// ---------------------------------------------------------------------------------------
// Data manager on an SQLite database

class DataManager : public OxuHome {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_db.Connect((m_dir / "db.sqlite").c_str(), "", "", "", 1));
        m_manager.Initialize(&m_db);
        m_manager.SetLoggerObj(&m_log);
        m_manager.SetSendFlag(&m_nSend);
        COxuServerLogger::SetClock([] { return LocalTime(2026, 3, 4, 12, 0, 0); });
    }
    CString One(const char* sql) {
        CSQLQuery q(&m_db);
        EXPECT_TRUE(q.Open(sql)) << sql << ": " << q.GetLastError();
        return q.GetValue(0);
    }
    CString Row(const char* sql) {
        CSQLQuery q(&m_db);
        EXPECT_TRUE(q.Open(sql)) << sql << ": " << q.GetLastError();
        CString str;
        for (int i = 0; !q.IsEOF() && i < q.GetColumnCount(); ++i)
            str += (i ? "|" : "") + q.GetValue(i);
        return str;
    }
    COxuEkgFile Ekg(const char* pszTime = "202603040506", const char* pszID = "P1",
                    const std::string& strName = "P1_202603040506.ekg") {
        COxuEkgFile f;
        f.m_strID = pszID;
        f.m_strName = "DOE JOHN";
        f.m_strSex = "Male";
        f.m_strAge = "052";
        f.m_strHeight = "172";
        f.m_strWeight = "68";
        f.m_strHospital = "CLINIC";
        f.m_strDoctor = "DR SIM";
        f.m_strStudyTime = pszTime;
        f.SetFilePath(m_dir / strName);
        for (int j = 0; j < 12; ++j)
            for (int k = 0; k < 5100; ++k)
                f.GetLead(j)[k] = static_cast<short>((k * 13 + j * 1000) % 4000 - 2000);
        testsupport::WriteFile(f.GetFilePath(), "record");
        return f;
    }
    std::string OxuLog() { return Log("20260304"); }

    COxuDbConnect m_db;
    COxuEcgServerLogger m_log;
    int m_nSend = 0;
    COxuDbDataManager m_manager;
};

TEST_F(DataManager, AnEcgRecordGivesFiveRowsWithTheirColumns) {
    COxuEkgFile f = Ekg();
    ASSERT_TRUE(m_manager.Save(&f)) << OxuLog();
    const CString r = m_db.GetUidRoot();
    EXPECT_EQ(Row("SELECT * FROM patient"), "P1|DOE JOHN||M|");
    EXPECT_EQ(Row("SELECT * FROM study"), "1|" + r + ".1|P1|20260304|0506|DR SIM||EKG|||052|172|68||");
    EXPECT_EQ(Row("SELECT * FROM series"),
              "1|" + r + ".1.1|1|P1|ECG|1|20260304|0506|||EKG|EKG||Corvane Co., Ltd.|CLINIC|EKG|"
              "EKG ####|OXU Net Server 1.0.1");
    EXPECT_EQ(Row("SELECT * FROM instance"), "1|" + r + ".1.1.1|1|1|1|202603040506|20260304|0506|" +
                                                 m_dir.Path().substr(0, m_dir.Path().size() - 1) +
                                                 "|P1_202603040506.ekg");
    EXPECT_EQ(Row("SELECT instance_key, instance_uid, series_key, study_key, originality, "
                  "channels, samples, frequency, bits_allocated, interpretation, padding, "
                  "length(wave_data) FROM waveform"),
              "1|" + r + ".1.1.1|1|1|ORIGIN|12|5000|500|16|SS|0|120000");
    oxudb::CDbResult result;
    ASSERT_TRUE(m_db.GetDb()->Execute("SELECT wave_data FROM waveform", {}, &result));
    const std::string& bytes = result.rows.at(0).at(0);
    ASSERT_EQ(bytes.size(), 120000u);
    for (int k = 0; k < 5000; k += 7)
        for (int j = 0; j < 12; ++j) {
            const std::size_t at = 2 * (12 * k + j);
            const short v = static_cast<short>(static_cast<BYTE>(bytes[at]) |
                                               static_cast<BYTE>(bytes[at + 1]) << 8);
            ASSERT_EQ(v, f.GetLead(j)[k]) << k << " " << j;
        }
    EXPECT_NE(OxuLog().find("] Success to save all data\r\n"), std::string::npos);
}

TEST_F(DataManager, AStudyTimeNotOf12CharactersGivesEmptyDateAndTime) {
    for (const char* pszTime : {"20260304050", "", "20260304050607"}) {
        COxuEkgFile f = Ekg(pszTime, "P1", std::string("P1_") + pszTime + ".ekg");
        ASSERT_TRUE(m_manager.Save(&f));
    }
    EXPECT_EQ(One("SELECT COUNT(*) FROM study WHERE study_date = '' AND study_time = ''"), "3");
    EXPECT_EQ(One("SELECT COUNT(*) FROM series WHERE series_date = '' AND series_time = ''"), "3");
    EXPECT_EQ(One("SELECT COUNT(*) FROM instance WHERE content_datetime = ''"), "3");
    EXPECT_EQ(One("SELECT COUNT(*) FROM patient"), "1");  // one patient, three records
}

TEST_F(DataManager, SpirometryTestsGiveFourRowsAndTheirStudyType) {
    const struct {
        int nType;
        const char* pszStudyType;
    } cases[] = {{1, "FVC"}, {2, "SVC"}, {3, "MVV"}, {4, ""}};
    for (const auto& c : cases) {
        COxuSpiroFile f;
        f.m_nTestType = static_cast<BYTE>(c.nType);
        f.m_strID = "S" + std::to_string(c.nType);
        f.m_strName = "ROE ANN";
        f.m_strSex = "F";
        f.m_bDatePresent = c.nType != 4;
        f.m_strYear = "2025";
        f.m_strMonth = "1";
        f.m_strDay = "02";
        f.m_strHour = "3";
        f.m_strMinute = "04";
        f.m_strSecond = "5";
        f.m_strHospital = "H";
        f.m_strDoctor = "D";
        f.SetFilePath(m_dir / ("S_" + std::to_string(c.nType) + ".fvc"));
        ASSERT_TRUE(m_manager.Save(&f)) << OxuLog();
        const CString strKey = One("SELECT MAX(study_key) FROM study");
        EXPECT_EQ(One(("SELECT study_type FROM study WHERE study_key = " + strKey).c_str()),
                  c.pszStudyType);
    }
    EXPECT_EQ(One("SELECT COUNT(*) FROM waveform"), "0");
    EXPECT_EQ(One("SELECT COUNT(*) FROM instance"), "4");
    EXPECT_EQ(Row("SELECT study_date, study_time, doctor FROM study WHERE patient_id = 'S1'"),
              "20250102|030405|D");
    EXPECT_EQ(Row("SELECT study_date, study_time FROM study WHERE patient_id = 'S4'"), "|");
    EXPECT_EQ(Row("SELECT series_desc, series_type, station_name, model_name, modality, "
                  "institution FROM series WHERE patient_id = 'S1'"),
              "SPIRO|SPIRO|SPIRO||ECG|H");
}

// A trigger of the test refuses the study rows of one patient: a record-level failure.
void RefuseStudiesOf(COxuDbConnect& db, const char* pszID) {
    ASSERT_TRUE(db.GetDb()->ExecuteScript(
        std::string("CREATE TRIGGER refuse BEFORE INSERT ON study WHEN NEW.patient_id = '") +
        pszID + "' BEGIN SELECT RAISE(ABORT, 'refused by the test'); END;"));
}

TEST_F(DataManager, AFailedRowRollsTheRecordBackAndTheNextTryStoresIt) {
    RefuseStudiesOf(m_db, "P1");
    COxuEkgFile f = Ekg();
    EXPECT_FALSE(m_manager.Save(&f));
    for (const char* table : {"patient", "study", "series", "instance", "waveform"})
        EXPECT_EQ(One((std::string("SELECT COUNT(*) FROM ") + table).c_str()), "0") << table;
    // The database's own reason is logged, not a symptom of it.
    EXPECT_NE(OxuLog().find("Fail to save Study data (refused by the test)"), std::string::npos)
        << OxuLog();
    ASSERT_TRUE(m_db.GetDb()->ExecuteScript("DROP TRIGGER refuse"));
    EXPECT_TRUE(m_manager.Save(&f)) << OxuLog();
    EXPECT_EQ(One("SELECT COUNT(*) FROM waveform"), "1");
}

TEST_F(DataManager, WaitingRecordsShareOneTransaction) {
    std::vector<COxuEkgFile> files;
    for (int i = 0; i < 3; ++i)
        files.push_back(Ekg("202603040506", "P1", "P1_" + std::to_string(i) + ".ekg"));
    std::vector<COxuBaseFile*> apFiles{&files[0], &files[1], &files[2]};
    std::vector<BOOL> abDone;
    m_manager.SaveAll(apFiles, abDone);
    EXPECT_EQ(abDone, std::vector<BOOL>({TRUE, TRUE, TRUE}));
    EXPECT_EQ(Row("SELECT GROUP_CONCAT(study_key || '.' || series_key || '.' || instance_key, ' ') "
                  "FROM instance"),
              "1.1.1 2.2.2 3.3.3");
    const std::string log = OxuLog();
    std::size_t nCommits = 0;
    for (std::size_t n = log.find("Success to save all data"); n != std::string::npos;
         n = log.find("Success to save all data", n + 1))
        ++nCommits;
    EXPECT_EQ(nCommits, 1u) << log;
}

TEST_F(DataManager, ARecordWhoseRowsFailHoldsBackNoOther) {
    RefuseStudiesOf(m_db, "BAD");
    COxuEkgFile a = Ekg("202603040506", "A", "A.ekg"), bad = Ekg("202603040506", "BAD", "BAD.ekg"),
                b = Ekg("202603040506", "B", "B.ekg");
    std::vector<BOOL> abDone;
    m_manager.SaveAll({&a, &bad, &b}, abDone);
    EXPECT_EQ(abDone, std::vector<BOOL>({TRUE, FALSE, TRUE}));
    EXPECT_EQ(Row("SELECT GROUP_CONCAT(patient_id, ' ') FROM study"), "A B");
    EXPECT_EQ(One("SELECT COUNT(*) FROM patient WHERE patient_id = 'BAD'"), "0");
}

TEST_F(DataManager, EachRecordFileGetsItsRowsOnce) {
    COxuEkgFile f = Ekg();
    ASSERT_TRUE(m_manager.Save(&f));
    // Tried again after its rows were in (a kill before the marker went), or sent again.
    COxuEkgFile again = Ekg();
    EXPECT_TRUE(m_manager.Save(&again));
    EXPECT_EQ(Row("SELECT COUNT(*), MAX(instance_key) FROM instance"), "1|1");
    EXPECT_EQ(One("SELECT COUNT(*) FROM waveform"), "1");
    EXPECT_EQ(One("SELECT int_value FROM oxu_info WHERE name = 'study_key'"), "1");
}

// A name freed by archiving takes a new record: the file holds other bytes, so it is
// another record and gets rows of its own; the same bytes again are that record.
TEST_F(DataManager, AFileOfTheSameNameWithOtherBytesIsAnotherRecord) {
    COxuEkgFile f = Ekg();
    ASSERT_TRUE(m_manager.Save(&f));
    testsupport::WriteFile(f.GetFilePath(), "another record");
    COxuEkgFile g = Ekg();
    testsupport::WriteFile(g.GetFilePath(), "another record");
    ASSERT_TRUE(m_manager.Save(&g));
    EXPECT_TRUE(m_manager.Save(&g));
    EXPECT_EQ(Row("SELECT COUNT(*), COUNT(DISTINCT file_name) FROM instance"), "2|1");
    EXPECT_EQ(One("SELECT COUNT(*) FROM waveform"), "2");
    EXPECT_EQ(One("SELECT COUNT(DISTINCT file_digest) FROM instance_digest"), "2");
    // Rows an older version wrote have no digest: the samples tell that these are the same.
    ASSERT_TRUE(m_db.GetDb()->ExecuteScript("DELETE FROM instance_digest"));
    testsupport::WriteFile(g.GetFilePath(), "a third");
    EXPECT_TRUE(m_manager.Save(&g));
    EXPECT_EQ(One("SELECT COUNT(*) FROM instance"), "2");
}

TEST_F(DataManager, RecordsWithoutPatientIdGetAPatientOfTheirOwn) {
    ASSERT_TRUE(m_db.GetDb()->ExecuteScript(
        "INSERT INTO patient (patient_id) VALUES ('_20260304050609')"));  // a real patient's ID
    COxuEkgFile a = Ekg("202603040506", "", "_20260304050607.ekg");
    COxuEkgFile b = Ekg("202603040506", "", "_20260304050608.ekg");
    COxuEkgFile c = Ekg("202603040506", "", "_20260304050609.ekg");
    COxuSpiroFile s;
    s.m_nTestType = 1;
    s.SetFilePath(m_dir / "_20260304050607.fvc");
    std::vector<BOOL> abDone;
    m_manager.SaveAll({&a, &b, &c, &s}, abDone);
    EXPECT_EQ(abDone, std::vector<BOOL>({TRUE, TRUE, TRUE, TRUE})) << OxuLog();
    EXPECT_EQ(Row("SELECT GROUP_CONCAT(s.patient_id || '=' || i.file_name, ' ') FROM study s "
                  "JOIN instance i ON i.study_key = s.study_key JOIN patient p ON "
                  "p.patient_id = s.patient_id"),
              "_20260304050607=_20260304050607.ekg _20260304050608=_20260304050608.ekg "
              "_20260304050609_2=_20260304050609.ekg _20260304050607_2=_20260304050607.fvc");
    EXPECT_EQ(One("SELECT COUNT(*) FROM patient"), "5");
}

TEST_F(DataManager, ALockedDatabaseFailsWithItsReasonAndIsTriedAgain) {
    COxuDbConnect other;
    ASSERT_TRUE(other.Connect((m_dir / "db.sqlite").c_str(), "", "", "", 1));
    m_db.SetBusyTimeout(200);
    ASSERT_TRUE(m_db.Connect((m_dir / "db.sqlite").c_str(), "", "", "", 1));
    ASSERT_TRUE(other.BeginTransaction());  // holds the write lock
    COxuEkgFile f = Ekg();
    EXPECT_FALSE(m_manager.Save(&f));
    const std::string log = OxuLog();
    EXPECT_NE(log.find("database is locked"), std::string::npos) << log;
    EXPECT_EQ(log.find("key or UID is missing"), std::string::npos) << log;
    other.Rollback();
    EXPECT_TRUE(m_manager.Save(&f)) << OxuLog();
    EXPECT_EQ(One("SELECT COUNT(*) FROM instance"), "1");
}

TEST_F(DataManager, AnInterruptEndsTheWaitForALockAtOnce) {
    COxuDbConnect other;
    ASSERT_TRUE(other.Connect((m_dir / "db.sqlite").c_str(), "", "", "", 1));
    ASSERT_TRUE(other.BeginTransaction());
    COxuEkgFile f = Ekg();
    const auto start = std::chrono::steady_clock::now();
    std::thread stop([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        m_manager.Interrupt(TRUE);
    });
    EXPECT_FALSE(m_manager.Save(&f));  // would wait the busy time-out of 30 s
    stop.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    m_manager.Interrupt(FALSE);
    other.Rollback();
    EXPECT_TRUE(m_manager.Save(&f)) << OxuLog();
}

TEST_F(DataManager, WithoutAConnectionNothingIsStored) {
    COxuDbDataManager none;
    none.SetLoggerObj(&m_log);
    COxuEkgFile f = Ekg();
    EXPECT_FALSE(none.Save(&f));
    EXPECT_NE(OxuLog().find("\n COxuDbDataManager::Save(): DB Connect is NULL"),
              std::string::npos);
}

TEST_F(DataManager, ProgramStepsLogTheirEmptySettingsAndTheNextStepsRun) {
    COxuServerSetting s;
    s.SetJpegConvSend(1);
    s.SetDicomSend(1);  // with DICOM_CONV 0: no file, so the store program is not started
    s.WriteString("OXU_SERVER_JPEG_GW", "PROGRAM_FILE", "OxuEkgJpegGW");
    m_nSend = 1;
    COxuEkgFile f = Ekg();
    EXPECT_TRUE(m_manager.Save(&f));
    const std::string log = OxuLog();
    EXPECT_NE(log.find("External JPEG G/W Program Path is empty"), std::string::npos) << log;
    EXPECT_NE(log.find("the store program is not started"), std::string::npos) << log;
    EXPECT_EQ(log.find("External Program Path is empty"), std::string::npos) << log;
    // The upload step ran after the failed program step: the file waits in the FTP queue
    // (there is no FTP destination here).
    EXPECT_EQ(m_manager.GetFtpQueue().GetCount(), 1);
}

TEST_F(DataManager, OnlySendFlagOneQueuesTheUpload) {
    for (int nFlag : {0, 2}) {
        m_nSend = nFlag;
        COxuEkgFile f = Ekg();
        EXPECT_TRUE(m_manager.Save(&f));
    }
    EXPECT_EQ(m_manager.GetFtpQueue().GetCount(), 0);
    EXPECT_FALSE(m_manager.GetFtpThread().IsRunning());
}

TEST_F(DataManager, AProgramThatCannotStartIsLogged) {
    COxuServerSetting s;
    s.SetJpegConvSend(1);
    s.WriteString("OXU_SERVER_JPEG_GW", "PROGRAM_PATH", m_dir.Path().c_str());
    s.WriteString("OXU_SERVER_JPEG_GW", "PROGRAM_FILE", "NoSuchProgram");
    COxuEkgFile f = Ekg();
    EXPECT_TRUE(m_manager.Save(&f));
    EXPECT_NE(OxuLog().find(" : Running the External Program"), std::string::npos);
}

// The start's own error is logged: a program still open for writing cannot be run.
TEST_F(DataManager, AProgramThatCannotStartIsLoggedWithTheReasonOfTheStart) {
    const std::string program = m_dir / "Busy";
    testsupport::WriteFile(program, "#!/bin/sh\n");
    ASSERT_EQ(::chmod(program.c_str(), 0755), 0);
    const int fd = ::open(program.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    COxuServerSetting s;
    s.SetJpegConvSend(1);
    s.WriteString("OXU_SERVER_JPEG_GW", "PROGRAM_PATH", m_dir.Path().c_str());
    s.WriteString("OXU_SERVER_JPEG_GW", "PROGRAM_FILE", "Busy");
    COxuEkgFile f = Ekg();
    errno = 0;
    EXPECT_TRUE(m_manager.Save(&f));
    ::close(fd);
    EXPECT_NE(
        OxuLog().find(std::string(std::strerror(ETXTBSY)) + " : Running the External Program"),
        std::string::npos)
        << OxuLog();
}

// ---------------------------------------------------------------------------------------
// Data manager on rows an older version wrote (no digest of their file)

// The version before the file digests left rows without one: a record is then the one whose
// samples the waveform row holds, whatever else its file's bytes say.
TEST_F(DataManager, RowsWithoutADigestAreTheRecordWhoseSamplesTheyHold) {
    COxuEkgFile f = Ekg();
    ASSERT_TRUE(m_manager.Save(&f));
    ASSERT_TRUE(m_db.GetDb()->ExecuteScript("DELETE FROM instance_digest"));
    // The same record again (a retry after a kill, or sent again), its file rewritten.
    COxuEkgFile again = Ekg();
    testsupport::WriteFile(again.GetFilePath(), "the same samples");
    EXPECT_TRUE(m_manager.Save(&again));
    EXPECT_EQ(One("SELECT COUNT(*) FROM instance"), "1");
    // Archived, then a new record under the freed name with the same time.
    COxuEkgFile g = Ekg();
    g.GetLead(3)[4999] += 1;  // one sample differs, within the 5000 a waveform holds
    testsupport::WriteFile(g.GetFilePath(), "another record");
    ASSERT_TRUE(m_manager.Save(&g)) << OxuLog();
    EXPECT_TRUE(m_manager.Save(&g));
    for (const char* table : {"study", "series", "instance", "waveform"})
        EXPECT_EQ(One((std::string("SELECT COUNT(*) FROM ") + table).c_str()), "2") << table;
    EXPECT_EQ(Row("SELECT COUNT(DISTINCT file_name), MAX(instance_key) FROM instance"), "1|2");
    EXPECT_EQ(One("SELECT instance_key FROM instance_digest"), "2");
}

// ---------------------------------------------------------------------------------------
// Work callback

struct CMessages : COxuSocketCallback {
    void MessageOut(LPCSTR text) override { texts.push_back(text); }
    std::vector<CString> texts;
};

TEST_F(OxuHome, WorkWithoutDataManagerOrWithAStrangeRecord) {
    int nSend = 0;
    COxuServerWorkCallback work(&nSend);
    CMessages messages;
    COxuEcgServerLogger log;
    COxuEkgFile ekg;
    EXPECT_EQ(work.Work(&ekg, &messages, &log), 0);
    COxuDbConnect db;  // not connected
    work.InitDataManager(&db);
    COxuBaseFile strange;
    EXPECT_EQ(work.Work(&strange, &messages, &log), 0);
    ekg.m_strID = "P";
    EXPECT_EQ(work.Work(&ekg, &messages, &log), 1);
    ASSERT_EQ(messages.texts.size(), 2u);
    EXPECT_EQ(messages.texts[0], "Invalid File Type: !!!");
    EXPECT_EQ(messages.texts[1], "Fail to save EKG file data to Database!!!");
}

// ---------------------------------------------------------------------------------------
// Facade

TEST_F(OxuHome, StartingTwiceFailsAndKeepsTheFirstServer) {
    COxuServerSetting s;
    s.SetBindAddress("127.0.0.1");
    s.SetEcgServerPort(0);
    s.SetFileServerPort(0);
    COxuServerCom com;
    EXPECT_STREQ(com.GetEcgServerStartTime("%Y"), "");
    ASSERT_TRUE(com.StartEcgServer()) << com.GetLastError();
    EXPECT_FALSE(com.StartEcgServer());
    EXPECT_STREQ(com.GetLastError(), "ECG Server is already running");
    EXPECT_TRUE(com.IsStartedEcgServer());
    EXPECT_GT(com.GetEcgPort(), 0);
    EXPECT_EQ(std::string(com.GetEcgServerStartTime("%Y")).size(), 4u);
    // Without STORAGE_PATH the folder DataDB was made and stored.
    EXPECT_EQ(s.GetDataStoragePath(), Home() + "DataDB");
    ASSERT_TRUE(com.StartFileServer());
    EXPECT_FALSE(com.StartFileServer());
    EXPECT_STREQ(com.GetLastError(), "FILE Server is already running");
    com.StopEcgServer();
    EXPECT_FALSE(com.IsStartedEcgServer());
    EXPECT_EQ(com.GetEcgPort(), -1);
    EXPECT_STREQ(com.GetEcgServerStartTime("%Y"), "");
    ASSERT_TRUE(com.StartEcgServer());  // again after a stop
}

TEST_F(OxuHome, ABusyPortFailsTheStart) {
    COxuServerSetting s;
    s.SetBindAddress("127.0.0.1");
    s.SetEcgServerPort(0);
    COxuServerCom first;
    ASSERT_TRUE(first.StartEcgServer());
    s.SetEcgServerPort(first.GetEcgPort());
    COxuServerCom second;
    EXPECT_FALSE(second.StartEcgServer());
    EXPECT_STREQ(second.GetLastError(), "ECG Server start failed!!!");
    EXPECT_FALSE(second.IsStartedEcgServer());
}

TEST_F(OxuHome, DbConnectWithoutHostWritesTheDefaultsAndMakesTheDatabase) {
    COxuServerCom com;
    ASSERT_TRUE(com.DbConnect()) << com.GetLastError();
    EXPECT_TRUE(com.IsDbConnect());
    EXPECT_EQ(std::string(com.GetLastError()),
              "DbConnect(): Connect Succeed. ([INFO] Host: " + Home() +
                  "Database/oxunet.mdb, DB: , User: )");
    EXPECT_TRUE(testsupport::Exists(Home() + "Database/oxunet.mdb"));
    EXPECT_NE(testsupport::RunCommand("ls " + Home() + "Log/").find("_oxu.log"), std::string::npos);
    EXPECT_NE(com.GetWorkCallback().GetDataManager(), nullptr);
}

TEST_F(OxuHome, DbConnectToPostgresNeedsNameAndUser) {
    COxuServerSetting s;
    s.SetDbHost("/nonexistent");
    s.SetDbAccessMdb(0);
    COxuServerCom com;
    EXPECT_FALSE(com.DbConnect());
    EXPECT_STREQ(com.GetLastError(), "DbConnect(): Connect Failed. ([Reason] DB Name is empty)");
    s.SetDbName("oxudb");
    EXPECT_FALSE(com.DbConnect());
    EXPECT_STREQ(com.GetLastError(),
                 "DbConnect(): Connect Failed. ([Reason] DB UserName is empty)");
    EXPECT_EQ(com.GetWorkCallback().GetDataManager(), nullptr);
    s.SetDbUser("oxu");
    EXPECT_FALSE(com.DbConnect());
    EXPECT_STREQ(com.GetLastError(),
                 "DbConnect(): Connect Failed. ([Reason] Host: /nonexistent, DB: oxudb, User: oxu)");
    // The data manager exists after a connection attempt, whatever its result.
    EXPECT_NE(com.GetWorkCallback().GetDataManager(), nullptr);
}

}  // namespace

namespace {

// Objects that own servers, threads, a connection or a lock cannot be copied: a copy freed
// what it shared a second time.
TEST(OxuOwners, AreNotCopyable) {
    static_assert(!std::is_copy_constructible_v<COxuServerCom>);
    static_assert(!std::is_copy_assignable_v<COxuServerCom>);
    static_assert(!std::is_copy_constructible_v<COxuDbDataManager>);
    static_assert(!std::is_copy_assignable_v<COxuDbDataManager>);
    static_assert(!std::is_copy_constructible_v<COxuServerWorkCallback>);
    static_assert(!std::is_copy_constructible_v<COxuDbConnect>);
    static_assert(!std::is_copy_assignable_v<COxuDbConnect>);
    static_assert(!std::is_copy_constructible_v<CSingleInstanceLock>);
    static_assert(!std::is_copy_assignable_v<CSingleInstanceLock>);
    static_assert(!std::is_copy_constructible_v<COxuEcgServerSocket>);
    // The value classes stay copyable.
    static_assert(std::is_copy_constructible_v<COxuServerSetting>);
    static_assert(std::is_copy_constructible_v<COxuEcgServerLogger>);
    static_assert(std::is_copy_constructible_v<COxuDbUIDGen>);
    SUCCEED();
}

}  // namespace

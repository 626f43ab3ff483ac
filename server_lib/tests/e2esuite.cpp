#include "e2esuite.h"

#include <signal.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#include "hostprocess.h"
#include "platform/folders.h"
#include "testsupport/testsupport.h"

namespace oxutest {
namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;

TEST_P(OxuE2e, AnEcgRecordOverTcpBecomesFiveRows) {
    CRun run(GetParam());
    const std::string expect = run.Dir("e.json");
    run.Devsim("--quiet 1 legacy-ecg --id P42 --name 'DOE JOHN' --date 20260304050607 --expect " +
               ShellQuote(expect));
    ASSERT_FALSE(run.Host().WaitFor("RECEIVE 127.0.0.1 EKG", 30000).empty()) << run.Host().Text();
    EXPECT_EQ(WEXITSTATUS(run.Host().Terminate()), 0);  // works what it received, then ends
    EXPECT_EQ(run.Sql("SELECT patient_id, patient_name, sex FROM patient"), "P42|DOE JOHN|M");
    EXPECT_EQ(run.Sql("SELECT study_key, patient_id, study_date, study_time, doctor, study_type, "
                      "patient_age, patient_height, patient_weight FROM study"),
              "1|P42|20260304|0506|DR SIM|EKG|052|172|68");
    EXPECT_EQ(run.Sql("SELECT modality, series_number, manufacturer, institution, model_name, "
                      "software FROM series"),
              "ECG|1|Corvane Co., Ltd.|CLINIC|EKG ####|OXU Net Server 1.0.1");
    const std::string instance =
        run.Sql("SELECT content_datetime, file_folder, file_name FROM instance");
    const std::string folder = run.Home() + "DataDB";
    EXPECT_EQ(instance.substr(0, 13 + folder.size()), "202603040506|" + folder) << instance;
    const std::string name = instance.substr(instance.rfind('|') + 1);
    EXPECT_TRUE(testsupport::Exists(folder + "/" + name)) << name;
    EXPECT_EQ(run.Sql("SELECT channels, samples, frequency, bits_allocated, interpretation, "
                      "padding FROM waveform"),
              "12|5000|500|16|SS|0");
    const std::string hex = run.Sql("SELECT " + GetParam().strHexFn + " FROM waveform");
    ASSERT_EQ(hex.size(), 240000u);
    const auto channels = testsupport::ExpectedChannels(expect);
    ASSERT_EQ(channels.size(), 8u);
    const int aLead[8] = {0, 1, 6, 7, 8, 9, 10, 11};  // I, II, V1..V6
    for (int k = 0; k < 5000; ++k) {
        for (int c = 0; c < 8; ++c)
            ASSERT_EQ(SampleAt(hex, k, aLead[c]), channels[c][k]) << "k " << k << " c " << c;
        ASSERT_EQ(SampleAt(hex, k, 2), channels[1][k] - channels[0][k]) << "III at " << k;
    }
}

TEST_P(OxuE2e, SpirometryTestsOfOnePatientGiveFourRowsEach) {
    CRun run(GetParam());
    for (const char* script : {"frame-svc", "frame-mvv", "frame-fvc"})
        EXPECT_NE(run.Devsim(std::string(script) + " --id S7 --name 'ROE ANN'").find("REPLY fc06"),
                  std::string::npos);
    run.Host().Terminate();
    EXPECT_EQ(run.Sql("SELECT study_type || '.' FROM study ORDER BY study_key"), "SVC.\nMVV.\n.");
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM patient"), "1");
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM series WHERE series_desc = 'SPIRO'"), "3");
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM instance"), "3");
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM waveform"), "0");
}

TEST_P(OxuE2e, EveryRecordAnsweredInASigtermBurstHasItsRows) {
    CRun run(GetParam());
    constexpr int kDevices = 8;
    std::vector<std::string> outs(kDevices);
    std::vector<std::thread> devices;
    for (int i = 0; i < kDevices; ++i)
        devices.emplace_back(
            [&, i] { outs[i] = run.Devsim("frame-ecg --id B" + std::to_string(i)); });
    // SIGTERM once a few records are in, while the others are on their way.
    for (int i = 0; i < 600; ++i) {
        int nIn = 0;
        for (const auto& line : run.Host().Lines())
            nIn += line.rfind("RECEIVE", 0) == 0;
        if (nIn >= 3)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    run.Host().Terminate();
    for (auto& t : devices)
        t.join();
    int nAnswered = 0;
    for (int i = 0; i < kDevices; ++i) {
        const std::string id = "B" + std::to_string(i);
        const bool bTaken = outs[i].find("REPLY fc0600ef") != std::string::npos;
        nAnswered += bTaken;
        if (bTaken)
            EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM study s JOIN waveform w ON w.study_key = "
                              "s.study_key WHERE s.patient_id = '" +
                              id + "'"),
                      "1")
                << id;
    }
    EXPECT_GE(nAnswered, 1) << outs[0] << run.Host().Text();
}

TEST_P(OxuE2e, RecordsBeforeDbConnectGetRowsOnceConnected) {
    CRun run(GetParam(), {"--no-db"});
    EXPECT_NE(run.Devsim("frame-ecg --id N1").find("REPLY fc0600ef"), std::string::npos);
    run.Devsim("--quiet 1 legacy-fvc --id N2");
    ASSERT_FALSE(run.Host().WaitFor("RECEIVE 127.0.0.1 SPIRO", 30000).empty()) << run.Host().Text();
    run.Host().Signal(SIGUSR1);  // the host connects the database now
    EXPECT_FALSE(run.Host().WaitFor("DB 1", 30000).empty()) << run.Host().Text();
    EXPECT_EQ(run.WaitForSql("SELECT patient_id FROM study ORDER BY patient_id", "N1\nN2", 30000),
              "N1\nN2");
    run.Host().Terminate();
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM instance"), "2");
}

// The database stopped for 20 s (long enough for several failed tries and growing pauses):
// the records answered meanwhile get their rows once it is back, without a new record to
// wake the host, and none twice.
TEST_P(OxuE2e, ADatabaseAwayMidRunLosesNoRowsLater) {
    if (!GetParam().stop)
        GTEST_SKIP() << "a file database cannot go away this way; the lock tests hold it instead";
    CRun run(GetParam());
    run.Devsim("frame-ecg --id A1");
    ASSERT_EQ(run.WaitForSql("SELECT COUNT(*) FROM instance", "1", 30000), "1");
    const auto away = std::chrono::steady_clock::now();
    ASSERT_TRUE(GetParam().stop());
    EXPECT_NE(run.Devsim("frame-ecg --id A2").find("REPLY fc0600ef"), std::string::npos);
    EXPECT_NE(run.Devsim("frame-ecg --id A3").find("REPLY fc0600ef"), std::string::npos);
    EXPECT_FALSE(
        run.Host().WaitFor("MESSAGE Fail to save EKG file data to Database!!!", 30000).empty())
        << run.Host().Text();
    std::this_thread::sleep_until(away + std::chrono::seconds(20));
    ASSERT_TRUE(GetParam().restart());
    EXPECT_EQ(
        run.WaitForSql("SELECT patient_id FROM study ORDER BY patient_id", "A1\nA2\nA3", 30000),
        "A1\nA2\nA3")
        << run.Log();
    run.Host().Terminate();
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM instance"), "3");
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM waveform"), "3");
    // The log names the real reason of the failed tries.
    EXPECT_NE(run.Log().find("Fail to begin a database transaction: "), std::string::npos)
        << run.Log();
}

}  // namespace
}  // namespace oxutest

namespace oxutest {
namespace {

// The follow-up steps: the DICOM file (judged by pydicom and dciodvfy) and the gateway's
// JPEG (judged by identify).
TEST_P(OxuE2e, DicomFileAndGatewayPictureOfAnEcgRecord) {
    CRun run(GetParam(), {}, FollowUps);
    run.Devsim("frame-ecg --id D1 --name 'DOE JOHN'");
    ASSERT_FALSE(run.Host().WaitFor("RECEIVE", 30000).empty());
    run.Host().Terminate();
    const std::string folder = run.Sql("SELECT file_folder FROM instance");
    const std::string name = run.Sql("SELECT file_name FROM instance");
    const std::string record = folder + "/" + name;
    const std::string dcm = record + ".dcm";
    ASSERT_TRUE(testsupport::Exists(dcm)) << RunCommand("cat " + ShellQuote(run.Home()) + "Log/*");
    const std::string uid = run.Sql("SELECT instance_uid FROM instance");
    int nStatus = -1;
    const std::string judged = RunCommand(
        "/usr/bin/python3 " + ShellQuote(DCMJUDGE_PY) + " ecg " + ShellQuote(dcm) + " " +
            ShellQuote(record) + " -- attrs " + ShellQuote(dcm) + " SOPInstanceUID=" + uid +
            " SOPClassUID=1.2.840.10008.5.1.4.1.1.9.1.1 PatientID=D1 Modality=ECG"
            " WaveformSequence[0].WaveformPaddingValue! 2>&1",
        &nStatus);
    EXPECT_EQ(nStatus, 0) << judged;
    const std::string verify = RunCommand("dciodvfy " + ShellQuote(dcm) + " 2>&1");
    EXPECT_EQ(verify.find("Error"), std::string::npos) << verify;
    // The gateway runs detached: wait for its picture.
    std::string identify;
    for (int i = 0; i < 300 && identify.empty(); ++i) {
        identify = RunCommand("identify -format '%m %w %h' " + ShellQuote(record + ".jpg") +
                              " 2>/dev/null");
        if (identify.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(identify, "JPEG 800 600");
}

}  // namespace
}  // namespace oxutest

namespace oxutest {
namespace {

std::string CheckRows(const CE2eBackend& backend, const std::string& expect,
                      const std::string& home, int* pStatus) {
    return RunCommand("/usr/bin/python3 " + ShellQuote(OXUROWS_CHECK_PY) + " " +
                          ShellQuote(expect) + " " + backend.checkArgs(home) + " 2>&1",
                      pStatus);
}

// Carts at once, records one after another: every record answered 6 has its file, its
// rows and the samples it was sent.
TEST_P(OxuE2e, CartsAtOnceLoseNoRecord) {
    CRun run(GetParam());
    const std::string expect = run.Dir("carts.json");
    const std::string out =
        run.Devsim("--carts 10 --records 3 --id L --expect " + ShellQuote(expect));
    run.Host().Terminate();
    EXPECT_NE(out.find("\"answered\": 30"), std::string::npos) << out;
    int nStatus = -1;
    const std::string check = CheckRows(GetParam(), expect, run.Home(), &nStatus);
    EXPECT_EQ(nStatus, 0) << check;
}

// Two hosts on one database never share a key or a UID.
TEST_P(OxuE2e, TwoHostsOnOneDatabaseShareNoKeyOrUid) {
    CRun first(GetParam());
    CIniFile firstIni((first.Home() + "Oxu.ini").c_str());
    const CString strHost = firstIni.GetString("OXU_DB", "DB_HOST");
    CRun second(
        GetParam(), {},
        [&](CIniFile& ini) { ini.WriteString("OXU_DB", "DB_HOST", strHost.c_str()); },
        /*bReset=*/false);
    std::string outs[2];
    std::thread a([&] {
        outs[0] = first.Devsim("--carts 5 --records 3 --id H --expect " +
                               ShellQuote(first.Dir("a.json")));
    });
    std::thread b([&] {
        outs[1] = second.Devsim("--carts 5 --records 3 --id K --expect " +
                                ShellQuote(second.Dir("b.json")));
    });
    a.join();
    b.join();
    first.Host().Terminate();
    second.Host().Terminate();
    for (const auto& out : outs)
        EXPECT_NE(out.find("\"answered\": 15"), std::string::npos) << out;
    for (const auto& e : {first.Dir("a.json"), second.Dir("b.json")}) {
        int nStatus = -1;
        const std::string check = CheckRows(GetParam(), e, first.Home(), &nStatus);
        EXPECT_EQ(nStatus, 0) << check;
    }
    EXPECT_EQ(first.Sql("SELECT COUNT(DISTINCT instance_uid) FROM instance"), "30");
}

}  // namespace
}  // namespace oxutest

namespace oxutest {
namespace {

// Answered while the database was locked, then killed: a restart stores every record
// once, with its follow-up outputs.
TEST_P(OxuE2e, AKillWhileTheDatabaseIsLockedLosesNoAnsweredRecord) {
    CRun run(GetParam(), {}, FollowUps);
    const std::string expect = run.Dir("k.json");
    auto lock = run.Lock();
    const std::string out =
        run.Devsim("--carts 5 --records 1 --id K --expect " + ShellQuote(expect));
    EXPECT_NE(out.find("\"answered\": 5"), std::string::npos) << out;
    run.Host().Kill();
    lock.reset();
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM instance"), "0");
    run.Restart();
    EXPECT_EQ(run.WaitForSql("SELECT COUNT(*) FROM instance", "5", 60000), "5") << run.Log();
    int nStatus = -1;
    const std::string check = CheckRows(GetParam(), expect, run.Home(), &nStatus);
    EXPECT_EQ(nStatus, 0) << check;
    const std::string rows = run.Sql("SELECT file_folder || '/' || file_name FROM instance");
    std::istringstream paths(rows);
    for (std::string path; std::getline(paths, path);) {
        EXPECT_TRUE(WaitForFile(path + ".dcm", 30000)) << path << run.Log();
        EXPECT_TRUE(WaitForFile(path + ".jpg", 30000)) << path;
    }
    run.Host().Terminate();
    EXPECT_NE(run.Log().find("5 owed records found in "), std::string::npos) << run.Log();
    EXPECT_EQ(RunCommand("ls -A " + ShellQuote(run.Home() + "DataDB/.owed")), "");
}

// A lock held past the busy time-out fails the tries with the database's reason; every
// row arrives once the lock is gone, none twice.
TEST_P(OxuE2e, ALockHeldPastTheBusyTimeOutDelaysTheRowsButLosesNone) {
    CRun run(GetParam(), {}, [](CIniFile& ini) { ini.WriteInt("OXU_DB", "DB_BUSY_TIMEOUT", 300); });
    const std::string expect = run.Dir("l.json");
    auto lock = run.Lock();
    const std::string out =
        run.Devsim("--carts 4 --records 2 --id M --expect " + ShellQuote(expect));
    EXPECT_NE(out.find("\"answered\": 8"), std::string::npos) << out;
    EXPECT_FALSE(
        run.Host().WaitFor("MESSAGE Fail to save EKG file data to Database!!!", 30000).empty())
        << run.Host().Text();
    std::this_thread::sleep_for(std::chrono::seconds(2));  // a few tries more
    lock.reset();
    EXPECT_EQ(run.WaitForSql("SELECT COUNT(*) FROM instance", "8", 30000), "8") << run.Log();
    run.Host().Terminate();
    int nStatus = -1;
    const std::string check = CheckRows(GetParam(), expect, run.Home(), &nStatus);
    EXPECT_EQ(nStatus, 0) << check;
    const std::string log = run.Log();
    EXPECT_TRUE(log.find("database is locked") != std::string::npos ||
                log.find("lock timeout") != std::string::npos)
        << log;
    EXPECT_EQ(log.find("key or UID is missing"), std::string::npos) << log;
}

// A stop does not wait for a locked database, nor for a server that hangs: what is not
// stored waits for the next start.
TEST_P(OxuE2e, AStopTakesSecondsWhateverTheDatabaseDoes) {
    CRun run(GetParam());  // the busy time-out of 30 s
    auto lock = run.Lock();
    EXPECT_NE(run.Devsim("frame-ecg --id W1").find("REPLY fc0600ef"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the work waits for the lock
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WEXITSTATUS(run.Host().Terminate()), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    lock.reset();
    if (GetParam().freeze) {
        run.Restart();
        ASSERT_EQ(run.WaitForSql("SELECT patient_id FROM study", "W1", 30000), "W1") << run.Log();
        ASSERT_TRUE(GetParam().freeze(true));
        EXPECT_NE(run.Devsim("frame-ecg --id W2").find("REPLY fc0600ef"), std::string::npos);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the work hangs with it
        const auto hung = std::chrono::steady_clock::now();
        EXPECT_EQ(WEXITSTATUS(run.Host().Terminate()), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - hung, std::chrono::seconds(10));
        ASSERT_TRUE(GetParam().freeze(false));
        run.Restart();
        EXPECT_EQ(
            run.WaitForSql("SELECT patient_id FROM study ORDER BY patient_id", "W1\nW2", 30000),
            "W1\nW2")
            << run.Log();
        run.Host().Terminate();
        return;
    }
    run.Restart();
    EXPECT_EQ(run.WaitForSql("SELECT patient_id FROM study", "W1", 30000), "W1") << run.Log();
    run.Host().Terminate();
}

// A record without patient ID (an emergency ECG) and legacy spirometry tests get rows; each
// unknown patient has a patient row of its own, named after the record's file title.
TEST_P(OxuE2e, EmptyIdRecordsAndLegacySpirometryTestsGetRows) {
    CRun run(GetParam());
    EXPECT_NE(run.Devsim("frame-ecg --id '' --date 20260304050607").find("REPLY fc0600ef"),
              std::string::npos);
    EXPECT_NE(run.Devsim("frame-ecg --id '' --date 20260304050608").find("REPLY fc0600ef"),
              std::string::npos);
    run.Devsim("--quiet 1 legacy-fvc --id F1 --date 20250102030405");
    run.Devsim("--quiet 1 legacy-svc --id '' --date 20250102030406");
    EXPECT_EQ(run.WaitForSql("SELECT COUNT(*) FROM instance", "4", 30000), "4") << run.Log();
    run.Host().Terminate();
    EXPECT_EQ(
        run.Sql("SELECT s.patient_id, s.study_type, i.file_name FROM study s JOIN instance i ON "
                "i.study_key = s.study_key JOIN patient p ON p.patient_id = s.patient_id "
                "ORDER BY i.file_name"),
        "F1|FVC|F1_20250102030405.fvc\n"
        "_20250102030406|SVC|_20250102030406.svc\n"
        "_20260304050607|EKG|_20260304050607.ekg\n"
        "_20260304050608|EKG|_20260304050608.ekg");
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM patient"), "4");
}

// A device that sends a record again (its answer was lost) gets no second set of rows.
TEST_P(OxuE2e, ARecordSentTwiceHasOneSetOfRows) {
    CRun run(GetParam());
    for (int i = 0; i < 2; ++i)
        EXPECT_NE(run.Devsim("frame-ecg --id R1 --date 20260304050607").find("REPLY fc0600ef"),
                  std::string::npos);
    run.Host().Terminate();
    EXPECT_EQ(RunCommand("ls " + ShellQuote(run.Home() + "DataDB")), "R1_20260304050607.ekg\n");
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM instance"), "1");
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM study"), "1");
}

// A retake under the same name (another record, same patient and minute) keeps both.
TEST_P(OxuE2e, TwoRecordsOfOneNameKeepBothFilesAndRows) {
    CRun run(GetParam());
    for (const char* pszSeed : {"1", "2"})
        EXPECT_NE(
            run.Devsim(std::string("frame-ecg --id R1 --date 20260304050607 --seed ") + pszSeed)
                .find("REPLY fc0600ef"),
            std::string::npos);
    run.Host().Terminate();
    EXPECT_EQ(RunCommand("ls " + ShellQuote(run.Home() + "DataDB")),
              "R1_20260304050607.ekg\nR1_20260304050607_2.ekg\n");
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM instance"), "2");
    EXPECT_EQ(run.Sql("SELECT COUNT(DISTINCT file_name) FROM instance"), "2");
}

}  // namespace
}  // namespace oxutest

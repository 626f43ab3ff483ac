#include "dbsuite.h"

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include "oxudb/oxudbrows.h"
#include "oxudb/oxudbuidgen.h"
#include "oxudb/serverdb.h"
#include "oxudb/sqlquery.h"
#include "testsupport/testsupport.h"

namespace oxutest {
namespace {

CString One(COxuDbConnect& db, const char* sql) {
    CSQLQuery q(&db);
    EXPECT_TRUE(q.Open(sql)) << q.GetLastError();
    return q.GetValue(0);
}

// A study with its patient, keys and UIDs, as the data manager makes them.
struct CRecordRows {
    explicit CRecordRows(COxuDbConnect& db)
        : patient(&db), study(&db), series(&db), instance(&db), wave(&db) {
        COxuDbUIDGen uid(&db);
        patient.m_strPatientID = "P1";
        patient.m_strName = "DOE JOHN";
        patient.m_strSex = "M";
        study.m_nStudyKey = study.GetNextKey();
        study.m_strStudyUID = uid.GenStudyUID(study.m_nStudyKey);
        study.m_strPatientID = "P1";
        study.m_strStudyType = "EKG";
        series.m_nSeriesKey = series.GetNextKey();
        series.m_nStudyKey = study.m_nStudyKey;
        series.m_strSeriesUID = uid.GenSeriesUID(study.m_nStudyKey, series.m_nSeriesKey);
        series.m_strPatientID = "P1";
        series.m_nSeriesNumber = 1;
        instance.m_nInstanceKey = instance.GetNextKey();
        instance.m_nSeriesKey = series.m_nSeriesKey;
        instance.m_nStudyKey = study.m_nStudyKey;
        instance.m_strInstanceUID = uid.GenInstanceUID(study.m_nStudyKey, series.m_nSeriesKey,
                                                       instance.m_nInstanceKey);
        instance.m_strFileName = "P1_202603040506.ekg";
        wave.m_nInstanceKey = instance.m_nInstanceKey;
        wave.m_strInstanceUID = instance.m_strInstanceUID;
        wave.m_nChannels = 12;
        wave.m_abyData.resize(120000);
        for (std::size_t i = 0; i < wave.m_abyData.size(); ++i)
            wave.m_abyData[i] = static_cast<BYTE>(i * 7 + 3);  // every byte value, also 0
    }
    bool Save() {
        return patient.Save() > 0 && study.Save() > 0 && series.Save() > 0 &&
               instance.Save() > 0 && wave.Save() > 0;
    }
    COxuDbPatient patient;
    COxuDbStudy study;
    COxuDbSeries series;
    COxuDbInstance instance;
    COxuDbWaveform wave;
};

TEST_P(DbSuite, SchemaHoldsVersionAndOneUidRoot) {
    EXPECT_EQ(One(m_db, "SELECT int_value FROM oxu_info WHERE name = 'version'"), "1");
    const CString strRoot = m_db.GetUidRoot();
    EXPECT_EQ(strRoot.rfind("2.25.", 0), 0u) << strRoot;
    EXPECT_EQ(strRoot.size(), 30u);
    EXPECT_EQ(strRoot.find_first_not_of("0123456789.", 0), CString::npos);
    for (const char* table : {"patient", "study", "series", "instance", "waveform"}) {
        CSQLQuery q(&m_db);
        EXPECT_TRUE(q.Open((std::string("SELECT COUNT(*) FROM ") + table).c_str())) << table;
        EXPECT_EQ(q.GetIntValue(0), 0) << table;
    }
    if (GetParam().bShared) {
        // Connecting again keeps the root: it is made once per database.
        COxuDbConnect again;
        ASSERT_TRUE(GetParam().connect(again)) << again.GetLastError();
        EXPECT_EQ(again.GetUidRoot(), strRoot);
    }
}

TEST_P(DbSuite, KeysCountUpPerCounter) {
    EXPECT_EQ(m_db.TakeKey("study_key"), 1);
    EXPECT_EQ(m_db.TakeKey("study_key"), 2);
    EXPECT_EQ(m_db.TakeKey("series_key"), 1);
    EXPECT_EQ(m_db.TakeKey("no_such_counter"), 0);
    // Keys for several records in one statement, inside their transaction.
    ASSERT_TRUE(m_db.BeginTransaction());
    EXPECT_EQ(m_db.TakeKeys("study_key", 5), 3);
    ASSERT_TRUE(m_db.Rollback());
    EXPECT_EQ(m_db.TakeKey("study_key"), 3);  // the rollback gave them back
    ASSERT_TRUE(m_db.BeginTransaction());
    EXPECT_EQ(m_db.TakeKeys("study_key", 5), 4);
    ASSERT_TRUE(m_db.Commit());
    EXPECT_EQ(m_db.TakeKey("study_key"), 9);
}

TEST_P(DbSuite, RecordRowsCommitAndReadBack) {
    CRecordRows rows(m_db);
    ASSERT_TRUE(m_db.BeginTransaction());
    ASSERT_TRUE(rows.Save()) << rows.wave.GetLastError();
    ASSERT_TRUE(m_db.Commit());

    CSQLQuery q(&m_db);
    ASSERT_TRUE(q.Open("SELECT s.study_uid, s.study_type, i.instance_uid, i.file_name, "
                       "w.channels, w.wave_data FROM study s JOIN instance i ON "
                       "i.study_key = s.study_key JOIN waveform w ON w.instance_key = "
                       "i.instance_key"));
    ASSERT_EQ(q.GetRowCount(), 1);
    EXPECT_EQ(q.GetValue("study_uid"), m_db.GetUidRoot() + ".1");
    EXPECT_EQ(q.GetValue("instance_uid"), m_db.GetUidRoot() + ".1.1.1");
    EXPECT_EQ(q.GetValue("study_type"), "EKG");
    EXPECT_EQ(q.GetValue("file_name"), "P1_202603040506.ekg");
    EXPECT_EQ(q.GetIntValue("channels"), 12);
    // Bytes of the waveform, read by the backend itself (no code page conversion).
    oxudb::CDbResult result;
    ASSERT_TRUE(m_db.GetDb()->Execute("SELECT wave_data FROM waveform", {}, &result));
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.rows[0][0],
              std::string(rows.wave.m_abyData.begin(), rows.wave.m_abyData.end()));
}

TEST_P(DbSuite, RollbackLeavesNoRow) {
    CRecordRows rows(m_db);
    ASSERT_TRUE(m_db.BeginTransaction());
    ASSERT_GT(rows.patient.Save(), 0);
    ASSERT_GT(rows.study.Save(), 0);
    // The same study again: the key is taken, the save fails and the record goes back.
    EXPECT_LE(rows.study.Save(), 0);
    EXPECT_FALSE(rows.study.GetLastError().empty());
    EXPECT_TRUE(m_db.Rollback());
    EXPECT_EQ(One(m_db, "SELECT COUNT(*) FROM patient"), "0");
    EXPECT_EQ(One(m_db, "SELECT COUNT(*) FROM study"), "0");
    // The connection serves the next record.
    CRecordRows next(m_db);
    ASSERT_TRUE(m_db.BeginTransaction());
    ASSERT_TRUE(next.Save());
    ASSERT_TRUE(m_db.Commit());
    EXPECT_EQ(One(m_db, "SELECT COUNT(*) FROM study"), "1");
}

// Rows sent without waiting for each answer: the good ones are in after the flush, a
// refused one shows there as the record's own fault.
TEST_P(DbSuite, QueuedRowsShowTheirFailureAtTheFlushAsADataError) {
    CRecordRows rows(m_db);
    ASSERT_TRUE(m_db.BeginTransaction());
    m_db.SetQueueing(TRUE);
    EXPECT_TRUE(rows.Save());
    EXPECT_TRUE(m_db.Flush()) << m_db.GetLastError();
    COxuDbStudy again = rows.study;  // the same key once more
    const bool bSent = again.Save() > 0;
    const bool bFlushed = m_db.Flush();
    EXPECT_FALSE(bSent && bFlushed);
    EXPECT_TRUE(m_db.IsDataError()) << m_db.GetLastError();
    m_db.SetQueueing(FALSE);
    ASSERT_TRUE(m_db.Rollback());
    EXPECT_EQ(One(m_db, "SELECT COUNT(*) FROM study"), "0");

    CRecordRows next(m_db);
    ASSERT_TRUE(m_db.BeginTransaction());
    m_db.SetQueueing(TRUE);
    EXPECT_TRUE(next.Save());
    m_db.SetQueueing(FALSE);
    ASSERT_TRUE(m_db.Commit()) << m_db.GetLastError();  // the commit flushes first
    EXPECT_EQ(One(m_db, "SELECT COUNT(*) FROM waveform"), "1");
}

// Rows of kinds not yet sent in this session, queued behind a refused one, are skipped
// with it; the next transaction stores them all the same.
TEST_P(DbSuite, RowsQueuedBehindARefusedOneAreStoredByTheNextTransaction) {
    CRecordRows first(m_db);
    ASSERT_TRUE(first.patient.Save() > 0 && first.study.Save() > 0)  // not queued
        << m_db.GetLastError();
    ASSERT_TRUE(m_db.BeginTransaction());
    m_db.SetQueueing(TRUE);
    COxuDbStudy again = first.study;  // refused: its key is taken
    CRecordRows behind(m_db);
    const bool bSent = again.Save() > 0 && behind.Save();
    EXPECT_FALSE(bSent && m_db.Flush());
    m_db.SetQueueing(FALSE);
    ASSERT_TRUE(m_db.Rollback());

    CRecordRows next(m_db);
    ASSERT_TRUE(m_db.BeginTransaction());
    m_db.SetQueueing(TRUE);
    EXPECT_TRUE(next.Save()) << m_db.GetLastError();
    m_db.SetQueueing(FALSE);
    ASSERT_TRUE(m_db.Commit()) << m_db.GetLastError();
    EXPECT_EQ(One(m_db, "SELECT COUNT(*) FROM study"), "2");
    EXPECT_EQ(One(m_db, "SELECT COUNT(*) FROM waveform"), "1");
}

TEST_P(DbSuite, PatientIsInsertedOnceAndUpdated) {
    for (const char* name : {"DOE JOHN", "DOE JANE"}) {
        COxuDbPatient patient(&m_db);
        patient.m_strPatientID = "P7";
        patient.m_strName = name;
        ASSERT_GT(patient.Save(), 0) << patient.GetLastError();
    }
    EXPECT_EQ(One(m_db, "SELECT COUNT(*) FROM patient"), "1");
    EXPECT_EQ(One(m_db, "SELECT patient_name FROM patient"), "DOE JANE");
    COxuDbPatient empty(&m_db);
    EXPECT_LE(empty.Save(), 0);
}

TEST_P(DbSuite, TextsAreStoredAsUtf8AndReadInTheCodePage) {
    testsupport::CCodePageScope cp("CP1252");
    COxuDbPatient patient(&m_db);
    patient.m_strPatientID = "P\xE9";  // "Pé" in CP1252
    patient.m_strName = "M\xFCller";
    ASSERT_GT(patient.Save(), 0) << patient.GetLastError();
    oxudb::CDbResult result;
    ASSERT_TRUE(m_db.GetDb()->Execute("SELECT patient_id, patient_name FROM patient", {}, &result));
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.rows[0][0], "P\xC3\xA9");
    EXPECT_EQ(result.rows[0][1], "M\xC3\xBCller");
    CSQLQuery q(&m_db);
    ASSERT_TRUE(q.Open("SELECT patient_name FROM patient WHERE patient_id = $1", {"P\xE9"}));
    EXPECT_EQ(q.GetValue(0), "M\xFCller");
}

TEST_P(DbSuite, QueryTransactionCalls) {
    CSQLQuery q(&m_db);
    EXPECT_EQ(q.BeginTrans(), 0);
    COxuDbPatient patient(&m_db);
    patient.m_strPatientID = "P2";
    ASSERT_GT(patient.Save(), 0);
    EXPECT_EQ(q.Abort(), 0);
    EXPECT_EQ(One(m_db, "SELECT COUNT(*) FROM patient"), "0");
    EXPECT_FALSE(q.Open("SELECT nothing FROM nowhere"));
    EXPECT_FALSE(q.GetLastError().empty());
    CSQLQuery none;
    EXPECT_EQ(none.BeginTrans(), 1);
    EXPECT_EQ(none.Commit(), 1);
    EXPECT_EQ(none.Abort(), 1);
}

// The stored samples are compared where they lie, byte for byte.
TEST_P(DbSuite, AWaveformRowIsComparedWithTheBytesStored) {
    CRecordRows rows(m_db);
    ASSERT_TRUE(rows.Save()) << rows.wave.GetLastError();
    COxuDbWaveform probe(&m_db);
    probe.m_nInstanceKey = rows.wave.m_nInstanceKey;
    probe.m_abyData = rows.wave.m_abyData;
    EXPECT_EQ(probe.CompareStored(), 1);
    probe.m_abyData.back() ^= 0x80;
    EXPECT_EQ(probe.CompareStored(), 0);
    probe.m_abyData = rows.wave.m_abyData;
    probe.m_abyData.pop_back();
    EXPECT_EQ(probe.CompareStored(), 0);
    probe.m_abyData = rows.wave.m_abyData;
    probe.m_nInstanceKey += 1;  // no such row
    EXPECT_EQ(probe.CompareStored(), 0);
    EXPECT_EQ(COxuDbWaveform().CompareStored(), -1);
}

TEST_P(DbWriters, KeysOfConcurrentWritersNeverCollide) {
    constexpr int kWriters = 4, kRecords = 25;
    std::vector<std::unique_ptr<COxuDbConnect>> connections;
    for (int i = 0; i < kWriters; ++i) {
        connections.push_back(std::make_unique<COxuDbConnect>());
        ASSERT_TRUE(GetParam().connect(*connections.back()));
    }
    std::atomic<int> nFailed{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w)
        threads.emplace_back([&, w] {
            for (int r = 0; r < kRecords; ++r) {
                CRecordRows rows(*connections[w]);
                rows.patient.m_strPatientID = "W" + std::to_string(w);
                rows.study.m_strPatientID = rows.series.m_strPatientID = rows.patient.m_strPatientID;
                if (!connections[w]->BeginTransaction() || !rows.Save() ||
                    !connections[w]->Commit()) {
                    connections[w]->Rollback();
                    ++nFailed;
                }
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(nFailed, 0);
    const int nTotal = kWriters * kRecords;
    EXPECT_EQ(One(m_db, "SELECT COUNT(*) FROM study"), std::to_string(nTotal));
    EXPECT_EQ(One(m_db, "SELECT COUNT(DISTINCT instance_uid) FROM waveform"),
              std::to_string(nTotal));
    EXPECT_EQ(One(m_db, "SELECT COUNT(*) FROM patient"), std::to_string(kWriters));
}

// A writer that waits for another's lock gives up at the busy time-out with the
// database's reason, and at once when it is interrupted (a server that stops).
TEST_P(DbWriters, AWaitForAnotherWritersLockEndsAtTheBusyTimeOutOrAtAnInterrupt) {
    // Connected first: connecting writes too (the schema's rows).
    COxuDbConnect holder, timed, interrupted;
    timed.SetBusyTimeout(300);
    interrupted.SetBusyTimeout(60000);
    for (COxuDbConnect* p : {&holder, &timed, &interrupted})
        ASSERT_TRUE(GetParam().connect(*p)) << p->GetLastError();
    ASSERT_TRUE(holder.BeginTransaction());
    ASSERT_GT(holder.TakeKey("study_key"), 0);  // the counter's row is held until the end
    for (COxuDbConnect* p : {&timed, &interrupted}) {
        const bool bInterrupt = p == &interrupted;
        std::thread interrupt([&] {
            if (!bInterrupt)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            p->Interrupt(TRUE);
        });
        const auto start = std::chrono::steady_clock::now();
        const bool bTaken = p->BeginTransaction() && p->TakeKey("study_key") > 0;
        const auto waited = std::chrono::steady_clock::now() - start;
        interrupt.join();
        EXPECT_FALSE(bTaken) << bInterrupt;
        EXPECT_LT(waited, std::chrono::seconds(10)) << bInterrupt;
        if (!bInterrupt)
            EXPECT_NE(p->GetLastError().find("lock"), std::string::npos) << p->GetLastError();
        EXPECT_FALSE(p->IsDataError()) << p->GetLastError();  // the database's, not a record's
        p->Rollback();
        p->Interrupt(FALSE);
    }
    holder.Rollback();
    // Both work again once the other writer is done.
    EXPECT_EQ(timed.TakeKey("study_key"), 1) << timed.GetLastError();
    EXPECT_EQ(interrupted.TakeKey("study_key"), 2) << interrupted.GetLastError();
}

}  // namespace

TEST(UidGen, UidsStayWithin64Characters) {
    const CString strRoot = COxuDbUIDGen::MakeRoot();
    EXPECT_EQ(strRoot.size(), 30u);
    EXPECT_NE(COxuDbUIDGen::MakeRoot(), strRoot);
    COxuDbUIDGen uid(strRoot);
    EXPECT_EQ(uid.GenStudyUID(12), strRoot + ".12");
    EXPECT_EQ(uid.GenSeriesUID(12, 3), strRoot + ".12.3");
    EXPECT_EQ(uid.GenInstanceUID(12, 3, 4), strRoot + ".12.3.4");
    const std::int64_t nBig = 9999999999;  // ten digits each still fit
    EXPECT_EQ(uid.GenInstanceUID(nBig, nBig, nBig).size(), 63u);
    EXPECT_EQ(uid.GenInstanceUID(nBig * 100, nBig, nBig), "");
    EXPECT_EQ(uid.GenStudyUID(0), "");
    EXPECT_EQ(COxuDbUIDGen().GenStudyUID(1), "");
}

}  // namespace oxutest

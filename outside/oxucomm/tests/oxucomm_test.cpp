#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "oxucomm/oxufiles.h"
#include "oxucomm/oxuowed.h"
#include "oxucomm/oxusockets.h"
#include "testsupport/testsupport.h"

namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;

// Collects what the server reports; the work callback can be slowed down.
struct CRecorder : COxuSocketCallback, COxuSocketWorkCallback {
    void OnAccept(LPCSTR peer) override { Add("accept " + CString(peer)); }
    void OnClose(LPCSTR peer) override { Add("close " + CString(peer)); }
    void OnReceive(LPCSTR, LPCSTR type, LPCSTR) override { Add("receive " + CString(type)); }
    int Work(COxuBaseFile* pFile, COxuSocketCallback* pCallback, COxuSocketLogger*) override {
        {
            std::unique_lock<std::mutex> lock(mutex);
            gate.wait(lock, [this] { return !bHold; });
        }
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(pCallback, this);
        if (auto* p = dynamic_cast<COxuEkgFile*>(pFile))
            ekg.push_back(*p);
        if (auto* p = dynamic_cast<COxuSpiroFile*>(pFile))
            spiro.push_back(*p);
        return 1;
    }
    void Add(const CString& str) {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(str);
    }
    std::mutex mutex;
    std::vector<CString> events;
    std::vector<COxuEkgFile> ekg;
    std::vector<COxuSpiroFile> spiro;
    std::condition_variable gate;
    bool bHold = false;
    void Release() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            bHold = false;
        }
        gate.notify_all();
    }
};

class OxuComm : public ::testing::Test {
protected:
    void SetUp() override {
        m_server.SetBindAddress("127.0.0.1");
        m_server.SetStoragePath(m_dir.Path().c_str());
        m_server.InitCallback(&m_rec);
        m_server.SetWorkCallback(&m_rec);
        ASSERT_TRUE(m_server.Listen(0));
        ASSERT_GT(m_server.m_nPort, 0);
    }
    std::string Devsim(const std::string& args) {
        return RunCommand("python3 " + ShellQuote(DEVSIM_PY) + " --port " +
                          std::to_string(m_server.m_nPort) + " --quiet 0.3 " + args + " 2>&1");
    }
    testsupport::CTempDir m_dir;
    CRecorder m_rec;
    COxuEcgServerSocket m_server;
};

TEST_F(OxuComm, AnEcgRecordReachesTheWorkThreadWithItsTextsAndLeads) {
    const std::string out =
        Devsim("--quiet 1 legacy-ecg --id P42 --name 'DOE JOHN' --date 20260304050607 --expect " +
               ShellQuote(m_dir / "e.json"));
    EXPECT_EQ(out.find("REPLY"), std::string::npos) << "the legacy path answers nothing";
    m_server.Stop();  // returns once the record was worked
    ASSERT_EQ(m_rec.ekg.size(), 1u);
    COxuEkgFile& f = m_rec.ekg[0];
    EXPECT_EQ(f.GetFileType(), "EKG");
    EXPECT_EQ(f.GetID(), "P42");
    EXPECT_EQ(f.GetName(), "DOE JOHN");
    EXPECT_EQ(f.GetStudyTime(), "202603040506");
    EXPECT_EQ(f.GetAge(), "052");
    EXPECT_EQ(f.GetHospital(), "CLINIC");
    EXPECT_EQ(f.GetDoctor(), "DR SIM");
    EXPECT_EQ(f.GetFolder() + "/", m_dir.Path());
    EXPECT_TRUE(testsupport::Exists(f.GetFilePath())) << f.GetFilePath();
    // Leads I, II and V1..V6 are the cart's channels; III = II - I.
    const int aLead[8] = {0, 1, 6, 7, 8, 9, 10, 11};
    const auto channels = testsupport::ExpectedChannels(m_dir / "e.json");
    ASSERT_EQ(channels.size(), 8u);
    for (int c = 0; c < 8; ++c) {
        ASSERT_EQ(channels[c].size(), 5000u);
        for (int k = 0; k < 5000; ++k)
            ASSERT_EQ(f.GetLead(aLead[c])[k], channels[c][k]) << "channel " << c << " k " << k;
    }
    for (int k = 0; k < 5000; ++k)
        ASSERT_EQ(f.GetLead(2)[k], channels[1][k] - channels[0][k]);
    std::lock_guard<std::mutex> lock(m_rec.mutex);
    EXPECT_EQ(m_rec.events.front(), "accept 127.0.0.1");
    EXPECT_NE(std::find(m_rec.events.begin(), m_rec.events.end(), "receive EKG"),
              m_rec.events.end());
}

TEST_F(OxuComm, SpirometryTestsCarryTheirFixedFields) {
    for (const char* script : {"frame-svc", "frame-mvv", "frame-fvc"})
        Devsim(std::string(script) + " --id S7 --name 'ROE ANN' --date 20250102030405");
    m_server.Stop();
    ASSERT_EQ(m_rec.spiro.size(), 3u);
    const int aType[3] = {2, 3, 4};
    for (int i = 0; i < 3; ++i) {
        const COxuSpiroFile& s = m_rec.spiro[i];
        EXPECT_EQ(s.GetFileType(), "SPIRO");
        EXPECT_EQ(s.m_nTestType, aType[i]);
        EXPECT_EQ(s.m_strID, "S7");
        EXPECT_EQ(s.m_strName, "ROE ANN");
        EXPECT_EQ(s.m_bDatePresent, 1);
        EXPECT_EQ(s.m_strYear + s.m_strMonth + s.m_strDay + s.m_strHour + s.m_strMinute +
                      s.m_strSecond,
                  "20250102030405");
    }
}

TEST_F(OxuComm, StopReturnsOnceEveryAnsweredRecordWasWorked) {
    {
        std::lock_guard<std::mutex> lock(m_rec.mutex);
        m_rec.bHold = true;  // the work thread waits until the devices were answered
    }
    std::vector<std::thread> devices;
    for (int i = 0; i < 4; ++i)
        devices.emplace_back([this, i] { Devsim("frame-ecg --id D" + std::to_string(i)); });
    for (auto& t : devices)
        t.join();
    EXPECT_EQ(m_server.GetPendingCount(), 4);
    EXPECT_EQ(m_rec.ekg.size(), 0u);
    std::thread release([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        m_rec.Release();
    });
    m_server.Stop();
    release.join();
    EXPECT_EQ(m_rec.ekg.size(), 4u);
    EXPECT_EQ(m_server.GetPendingCount(), 0);
}

// What stands in the storage folder's ".owed" folder: the markers' texts by file name.
std::map<std::string, std::string> Markers(const std::string& storage) {
    std::map<std::string, std::string> markers;
    std::istringstream names(RunCommand("ls -A " + ShellQuote(storage + ".owed") + " 2>/dev/null"));
    for (std::string name; std::getline(names, name);)
        markers[name] = testsupport::ReadFile(storage + ".owed/" + name);
    return markers;
}

TEST_F(OxuComm, TheAnswerLeavesOnlyOnceTheRecordIsOwedOnDisk) {
    {
        std::lock_guard<std::mutex> lock(m_rec.mutex);
        m_rec.bHold = true;
    }
    const std::string out = Devsim("frame-ecg --id O1 --date 20260304050607");
    ASSERT_NE(out.find("REPLY fc0600ef"), std::string::npos) << out;
    // Answered: the marker is on disk while the work is still to come.
    const auto markers = Markers(m_dir.Path());
    ASSERT_EQ(markers.size(), 1u);
    EXPECT_EQ(markers.begin()->first, "O1_20260304050607.ekg");
    EXPECT_EQ(markers.begin()->second,
              "KIND=EKG\nPATH=" + m_dir.Path() + "O1_20260304050607.ekg\nID=O1\nPEER=127.0.0.1\n");
    m_rec.Release();
    m_server.Stop();
    EXPECT_EQ(m_rec.ekg.size(), 1u);
    EXPECT_TRUE(Markers(m_dir.Path()).empty());
}

// A work callback that finishes nothing (a database that is away).
struct CNeverDone : COxuSocketWorkCallback {
    void WorkAll(const std::vector<COxuBaseFile*>& apFiles, std::vector<BOOL>&, COxuSocketCallback*,
                 COxuSocketLogger*) override {
        nCalls += static_cast<int>(apFiles.size());
    }
    std::atomic<int> nCalls{0};
};

TEST_F(OxuComm, AStopLeavesWhatIsNotWorkedOwedAndTheNextStartWorksItFirst) {
    CNeverDone never;
    m_server.SetWorkCallback(&never);
    Devsim("--quiet 1 legacy-ecg --id K1 --name 'DOE JOHN' --date 20260304050607");
    EXPECT_NE(Devsim("frame-fvc --id K2 --date 20250102030405").find("REPLY fc0600ef"),
              std::string::npos);
    const auto start = std::chrono::steady_clock::now();
    m_server.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(COxuEcgServerSocket::kStopGraceMs + 3000));
    EXPECT_GE(never.nCalls, 2);
    EXPECT_EQ(Markers(m_dir.Path()).size(), 2u);

    // The next start on that folder works them, read from their files, before anything new.
    COxuEcgServerSocket next;
    next.SetBindAddress("127.0.0.1");
    next.SetStoragePath(m_dir.Path().c_str());
    next.InitCallback(&m_rec);
    next.SetWorkCallback(&m_rec);
    ASSERT_TRUE(next.Listen(0));
    next.Stop();
    ASSERT_EQ(m_rec.ekg.size(), 1u);
    EXPECT_EQ(m_rec.ekg[0].GetID(), "K1");
    EXPECT_EQ(m_rec.ekg[0].GetName(), "DOE JOHN");
    EXPECT_EQ(m_rec.ekg[0].GetStudyTime(), "202603040506");
    EXPECT_EQ(m_rec.ekg[0].m_strPeer, "127.0.0.1");
    ASSERT_EQ(m_rec.spiro.size(), 1u);
    EXPECT_EQ(m_rec.spiro[0].m_strID, "K2");
    EXPECT_TRUE(Markers(m_dir.Path()).empty());
}

// Legacy tests are answered nothing and handed over by no one: they are owed all the same.
TEST_F(OxuComm, ALegacySpirometryTestReachesTheWorkThread) {
    Devsim("--quiet 1 legacy-fvc --id L7 --date 20250102030405");
    m_server.Stop();
    ASSERT_EQ(m_rec.spiro.size(), 1u);
    EXPECT_EQ(m_rec.spiro[0].m_strID, "L7");
    EXPECT_TRUE(testsupport::Exists(m_rec.spiro[0].GetFilePath()));
}

// Finishes a record only at its second try.
struct CSecondTime : COxuSocketWorkCallback {
    void WorkAll(const std::vector<COxuBaseFile*>& apFiles, std::vector<BOOL>& abDone,
                 COxuSocketCallback*, COxuSocketLogger*) override {
        std::lock_guard<std::mutex> lock(mutex);
        times.push_back(std::chrono::steady_clock::now());
        if (times.size() > 1)
            abDone.assign(apFiles.size(), TRUE);
    }
    std::mutex mutex;
    std::vector<std::chrono::steady_clock::time_point> times;
};

TEST_F(OxuComm, AnUnfinishedRecordIsTriedAgainAfterAPause) {
    CSecondTime work;
    m_server.SetWorkCallback(&work);
    Devsim("frame-ecg --id T1");
    for (int i = 0; i < 100 && m_server.GetPendingCount() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(m_server.GetPendingCount(), 0);
    std::lock_guard<std::mutex> lock(work.mutex);
    ASSERT_EQ(work.times.size(), 2u);
    EXPECT_GE(work.times[1] - work.times[0], std::chrono::milliseconds(400));
    EXPECT_TRUE(Markers(m_dir.Path()).empty());
}

TEST_F(OxuComm, ARecordThatCannotBeMadeOwedIsRefused) {
    testsupport::WriteFile(m_dir / ".owed", "a file where the folder should be");
    EXPECT_NE(Devsim("frame-ecg --id R1").find("REPLY fc0700ef"), std::string::npos);
    Devsim("--quiet 1 legacy-ecg --id R2");
    m_server.Stop();
    EXPECT_TRUE(m_rec.ekg.empty());
    // Neither file took its name: a record file in the folder always has its marker.
    EXPECT_EQ(RunCommand("ls " + ShellQuote(m_dir.Path())), "");
}

TEST(OxuOwed, AMarkerKeepsEveryByteOfItsValues) {
    COxuOwed owed;
    owed.m_strKind = "EKG";
    owed.m_strPath = "/d/a%0A b\r\n.ekg";
    owed.m_strID = "ID=1;%";
    owed.m_strPeer = "127.0.0.1";
    const CString strText = COxuOwedRecords::Encode(owed);
    EXPECT_EQ(std::count(strText.begin(), strText.end(), '\n'), 4);
    COxuOwed back;
    ASSERT_TRUE(COxuOwedRecords::Decode(strText, back));
    EXPECT_EQ(back.m_strPath, owed.m_strPath);
    EXPECT_EQ(back.m_strID, owed.m_strID);
    EXPECT_EQ(back.m_strPeer, owed.m_strPeer);
    EXPECT_FALSE(COxuOwedRecords::Decode("PATH=/x\n", back));  // no kind: not a marker
}

TEST(OxuOwed, AScanFindsTheMarkersOldestFirstAndDropsATornWrite) {
    testsupport::CTempDir dir;
    COxuOwedRecords owed(dir.Path());
    for (const char* name : {"b.ekg", "a.ekg"}) {
        COxuOwed o;
        o.m_strKind = "EKG";
        o.m_strPath = dir / name;
        CString strError;
        ASSERT_TRUE(owed.Add(o, strError)) << strError;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    testsupport::WriteFile(dir / ".owed/.c.ekg.AbC123", "KIND=EKG\n");  // a killed writer's
    const auto found = owed.Scan();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].m_strPath, dir / "b.ekg");
    EXPECT_EQ(found[1].m_strPath, dir / "a.ekg");
    EXPECT_FALSE(testsupport::Exists(dir / ".owed/.c.ekg.AbC123"));
    owed.Remove(found[0]);
    EXPECT_EQ(owed.Scan().size(), 1u);
}

// Markers named after records whose names start with "." are markers like any other; a
// killed writer's temporary files go, and an older version's whole one becomes the marker
// it was being written as.
TEST(OxuOwed, TemporaryFilesAreToldByTheirNamesAlone) {
    testsupport::CTempDir dir;
    COxuOwedRecords owed(dir.Path());
    COxuOwed dot;
    dot.m_strKind = "EKG";
    dot.m_strPath = dir / ".AB_20260304050607.ekg";
    CString strError;
    ASSERT_TRUE(owed.Add(dot, strError)) << strError;
    testsupport::WriteFile(dir / ".owed/:P1_x.ekg.Ab12Cd", "KIND=EKG\nPATH=/x/P1_x.ekg\n");
    testsupport::WriteFile(dir / ".owed/.P2_x.ekg.Qw34Er",
                           "KIND=SPIRO\nPATH=" + dir / "P2_x.fvc" + "\nID=P2\nPEER=1.2.3.4\n");
    testsupport::WriteFile(dir / ".owed/.P3_x.ekg.Zx56Cv", "KIND=EK");  // torn
    const auto found = owed.Scan();
    ASSERT_EQ(found.size(), 2u);
    std::set<std::string> paths;
    for (const auto& o : found)
        paths.insert(o.m_strPath);
    EXPECT_EQ(paths, (std::set<std::string>{dir / ".AB_20260304050607.ekg", dir / "P2_x.fvc"}));
    EXPECT_EQ(RunCommand("ls -A " + ShellQuote(dir / ".owed")),
              ".AB_20260304050607.ekg\nP2_x.fvc\n");
    EXPECT_EQ(testsupport::ReadFile(dir / ".owed/P2_x.fvc"),
              "KIND=SPIRO\nPATH=" + dir / "P2_x.fvc" + "\nID=P2\nPEER=1.2.3.4\n");
}

// A marker kept for a file about to take its name never replaces another marker.
TEST(OxuOwed, KeepNeverReplacesAMarker) {
    testsupport::CTempDir dir;
    COxuOwedRecords owed(dir.Path());
    COxuOwed first, second;
    first.m_strKind = second.m_strKind = "EKG";
    first.m_strPath = second.m_strPath = dir / "K1_20260304050607.ekg";
    first.m_strID = "FIRST";
    second.m_strID = "SECOND";
    CString strError;
    ASSERT_EQ(owed.Keep(first, strError), 0) << strError;
    EXPECT_EQ(owed.Keep(second, strError), EEXIST);
    const auto found = owed.Scan();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].m_strID, "FIRST");
    EXPECT_EQ(RunCommand("ls -A " + ShellQuote(dir / ".owed")), "K1_20260304050607.ekg\n");
}

TEST_F(OxuComm, SecondListenAndBusyPortFail) {
    EXPECT_FALSE(m_server.Listen(0));
    COxuEcgServerSocket other;
    other.SetBindAddress("127.0.0.1");
    EXPECT_FALSE(other.Listen(m_server.m_nPort));
    COxuEcgServerSocket bad;
    bad.SetBindAddress("not an address");
    EXPECT_FALSE(bad.Listen(0));
}

TEST(OxuCommPool, GetAtOutsideThePoolIsNull) {
    COxuBaseSocketPool pool;
    EXPECT_EQ(pool.GetCount(), 0);
    EXPECT_EQ(pool.GetAt(0), nullptr);
    COxuBaseSocket socket;
    pool.Add(&socket);
    EXPECT_EQ(pool.GetAt(0), &socket);
    EXPECT_EQ(pool.GetAt(1), nullptr);
    EXPECT_EQ(pool.GetAt(-1), nullptr);
}

TEST(OxuFileServer, EachConnectionIsClosed) {
    CRecorder rec;
    COxuFileServerSocket server;
    server.SetBindAddress("127.0.0.1");
    server.InitCallback(&rec);
    ASSERT_TRUE(server.Listen(0));
    const std::string out = RunCommand(
        "python3 -c 'import socket,sys; s=socket.create_connection((\"127.0.0.1\", int(sys.argv[1])), 5); "
        "print(\"EOF\" if s.recv(10) == b\"\" else \"DATA\")' " + std::to_string(server.m_nPort));
    EXPECT_EQ(out, "EOF\n");
    server.Stop();
    EXPECT_FALSE(server.IsListening());
    std::lock_guard<std::mutex> lock(rec.mutex);
    EXPECT_EQ(rec.events.size(), 2u);
}

TEST(OxuLogger, LogFormatsAndHandsTheLineToTheSubclass) {
    struct CLines : COxuSocketLogger {
        void LogWrite(LPCSTR lpsz) override { lines.push_back(lpsz); }
        std::vector<CString> lines;
    } logger;
    logger.Log("Fail to save [%s] DICOM File!!!", "a.dcm");
    ASSERT_EQ(logger.lines.size(), 1u);
    EXPECT_EQ(logger.lines[0], "Fail to save [a.dcm] DICOM File!!!");
    EXPECT_EQ(COleDateTime(0).Format("%Y").size(), 4u);
}

}  // namespace

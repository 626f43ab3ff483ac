// The host ended at any moment of a burst, and names that come back: every record file in
// the storage folder gets its own rows, once.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <set>

#include "e2esuite.h"

namespace oxutest {

using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {
bool IsRecordName(const std::string& name) {
    static const std::set<std::string> kExtensions = {".ekg", ".raw", ".fvc", ".svc", ".mvv"};
    const std::size_t nDot = name.rfind('.');
    return nDot != std::string::npos && kExtensions.count(name.substr(nDot)) > 0;
}
}  // namespace

std::set<std::string> RecordFiles(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* pDir = ::opendir(folder.c_str())) {
        while (const dirent* pEntry = ::readdir(pDir))
            if (IsRecordName(pEntry->d_name))
                names.insert(pEntry->d_name);
        ::closedir(pDir);
    }
    return names;
}

std::string CheckEveryFile(CRun& run, const std::vector<std::string>& astrSteps,
                           const std::string& storage) {
    const std::string folder = storage.empty() ? run.Home() + "DataDB" : storage;
    const std::set<std::string> files = RecordFiles(folder);
    std::map<std::string, std::string> rows;  // file name: "instances|waveforms"
    std::istringstream in(run.Sql(
        "SELECT i.file_name, COUNT(DISTINCT i.instance_key), COUNT(w.instance_key) FROM "
        "instance i LEFT JOIN waveform w ON w.instance_key = i.instance_key GROUP BY "
        "i.file_name"));
    for (std::string line; std::getline(in, line);) {
        const std::size_t nBar = line.find('|');
        rows[line.substr(0, nBar)] = line.substr(nBar + 1);
    }
    std::string errors;
    // Programs run detached: their files get one wait for all of them.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    auto exists = [&](const std::string& path) {
        while (!testsupport::Exists(path) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return testsupport::Exists(path);
    };
    for (const auto& name : files) {
        const auto it = rows.find(name);
        if (it == rows.end() || it->second != "1|1")
            errors += name + ": rows " + (it == rows.end() ? "none" : it->second) + "\n";
        for (const auto& step : astrSteps)
            if (!exists(folder + "/" + name + step))
                errors += name + ": no " + step + "\n";
    }
    for (const auto& [name, count] : rows)
        if (!files.count(name))
            errors += name + ": rows without a file\n";
    return errors;
}

bool WaitUntilNothingOwed(const std::string& storage) {
    const std::string owed = "ls -A " + ShellQuote(storage + "/.owed") + " 2>/dev/null";
    for (int i = 0; i < 600 && !RunCommand(owed).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return RunCommand(owed).empty();
}

namespace {

// 80 legacy carts at once (they get no answer, so they never send again); the host is
// ended when about half their records lie in the storage folder, then started again.
void EndMidBurstAndRestart(const CE2eBackend& backend, bool bKill) {
    constexpr int kCarts = 80;
    for (int nRun = 0; nRun < 3; ++nRun) {
        SCOPED_TRACE("run " + std::to_string(nRun + 1));
        const CMarkingGateway gateway;
        CRun run(backend, {}, gateway.Settings());
        const std::string folder = run.Home() + "DataDB";
        std::string out;
        std::thread carts([&] {
            out = run.Devsim("--carts " + std::to_string(kCarts) + " --legacy --id G");
        });
        std::size_t nStored = 0;
        for (int i = 0; i < 6000 && nStored < kCarts / 2; ++i) {
            nStored = RecordFiles(folder).size();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (bKill)
            run.Host().Kill();
        else
            EXPECT_EQ(WEXITSTATUS(run.Host().Terminate()), 0);
        carts.join();
        EXPECT_GE(nStored, static_cast<std::size_t>(kCarts / 2)) << out;
        const std::size_t nFiles = RecordFiles(folder).size();
        run.Restart();
        const std::string want = std::to_string(nFiles);
        EXPECT_EQ(run.WaitForSql("SELECT COUNT(*) FROM instance", want, 60000), want)
            << run.Log();
        // The markers go once the follow-up steps ran too.
        EXPECT_TRUE(WaitUntilNothingOwed(folder));
        const std::string errors = CheckEveryFile(run, {".step"});
        EXPECT_EQ(errors, "") << run.Log();
        run.Host().Terminate();
        EXPECT_EQ(CheckEveryFile(run, {".step"}), errors);  // nothing more came
        EXPECT_EQ(RunCommand("ls -A " + ShellQuote(folder + "/.owed")), "");
    }
}

TEST_P(OxuE2e, ASigtermMidBurstLeavesNoRecordFileWithoutRows) {
    EndMidBurstAndRestart(GetParam(), false);
}

TEST_P(OxuE2e, ASigkillMidBurstLeavesNoRecordFileWithoutRows) {
    EndMidBurstAndRestart(GetParam(), true);
}

// A patient ID that starts with "." names a marker that starts with "." too: it is owed as
// any other, answered while the database was locked and killed before the rows.
TEST_P(OxuE2e, ARecordOfAPatientWithALeadingDotGetsItsRowsAfterAKill) {
    CRun run(GetParam());
    auto lock = run.Lock();
    for (const char* pszID : {".AB", "OK1"})
        EXPECT_NE(run.Devsim(std::string("frame-ecg --id ") + pszID).find("REPLY fc0600ef"),
                  std::string::npos)
            << pszID;
    run.Host().Kill();
    lock.reset();
    run.Restart();
    EXPECT_EQ(run.WaitForSql("SELECT patient_id FROM study ORDER BY patient_id", ".AB\nOK1", 30000),
              ".AB\nOK1")
        << run.Log();
    run.Host().Terminate();
    EXPECT_EQ(run.Sql("SELECT file_name FROM instance ORDER BY file_name"),
              ".AB_20260304050607.ekg\nOK1_20260304050607.ekg");
}

// Lead I of the waveform rows, oldest instance first, as devsim's channel 0 of which seed.
std::vector<int> WaveformSeeds(CRun& run, const std::vector<std::string>& expects) {
    std::vector<std::vector<int>> leads;
    for (const auto& e : expects)
        leads.push_back(testsupport::ExpectedChannels(e).at(0));
    std::vector<int> seeds;
    std::istringstream in(
        run.Sql("SELECT " + std::string(run.HexFn()) + " FROM waveform ORDER BY instance_key"));
    for (std::string hex; std::getline(in, hex);) {
        int nSeed = 0;
        for (std::size_t s = 0; s < leads.size() && !nSeed; ++s) {
            bool bSame = hex.size() == 240000;
            for (int k = 0; k < 5000 && bSame; ++k)
                bSame = SampleAt(hex, k, 0) == leads[s][k];
            nSeed = bSame ? static_cast<int>(s) + 1 : 0;
        }
        seeds.push_back(nSeed);
    }
    return seeds;
}

// Archiving moves stored files out of the storage folder; a cart whose clock is unset then
// sends the same ID and time again, under the name that is free again. With bOlderRows the
// first record's rows are as the version before the file digests left them: the host is
// stopped, the digest table dropped and the host started again (which makes the table
// afresh, empty), and the first record is sent again before it is archived.
void NewRecordUnderAFreedName(const CE2eBackend& backend, bool bOlderRows) {
    CRun run(backend, {}, FollowUps);
    const std::string folder = run.Home() + "DataDB/";
    const std::string name = "F1_20260304050607.ekg";
    const std::string args = "frame-ecg --id F1 --date 20260304050607 --seed ";
    const std::vector<std::string> expects = {run.Dir("1.json"), run.Dir("2.json")};
    ASSERT_NE(run.Devsim(args + "1 --expect " + ShellQuote(expects[0])).find("REPLY fc0600ef"),
              std::string::npos);
    ASSERT_EQ(run.WaitForSql("SELECT COUNT(*) FROM instance", "1", 30000), "1") << run.Log();
    ASSERT_TRUE(WaitUntilNothingOwed(folder));
    ASSERT_TRUE(WaitForFile(folder + name + ".jpg", 30000));
    if (bOlderRows) {
        EXPECT_EQ(WEXITSTATUS(run.Host().Terminate()), 0);
        ASSERT_EQ(run.Sql("DROP TABLE instance_digest"), "");
        run.Restart();
        ASSERT_EQ(run.Sql("SELECT COUNT(*) FROM instance_digest"), "0");
        // Sent again (its answer lost): the same samples, so the same record.
        ASSERT_NE(run.Devsim(args + "1").find("REPLY fc0600ef"), std::string::npos);
        ASSERT_TRUE(WaitUntilNothingOwed(folder));
        ASSERT_EQ(run.Sql("SELECT COUNT(*) FROM instance"), "1") << run.Log();
    }
    const std::string archive = run.Dir("archive/");
    platform::MakeDirs(archive);
    for (const char* pszExt : {"", ".dcm", ".dcm.jpg", ".jpg"})
        ASSERT_EQ(std::rename((folder + name + pszExt).c_str(), (archive + name + pszExt).c_str()),
                  0)
            << pszExt;
    // The new record, then the same again (its answer lost): one new set of rows.
    for (int i = 0; i < 2; ++i)
        ASSERT_NE(run.Devsim(args + "2 --expect " + ShellQuote(expects[1])).find("REPLY fc0600ef"),
                  std::string::npos);
    EXPECT_EQ(run.WaitForSql("SELECT COUNT(*) FROM instance", "2", 30000), "2") << run.Log();
    EXPECT_TRUE(WaitUntilNothingOwed(folder));
    EXPECT_TRUE(WaitForFile(folder + name + ".jpg", 30000));
    run.Host().Terminate();
    EXPECT_EQ(RecordFiles(folder), std::set<std::string>{name});
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM instance WHERE file_name = '" + name + "'"), "2");
    EXPECT_EQ(run.Sql("SELECT (SELECT COUNT(*) FROM patient), (SELECT COUNT(*) FROM study), "
                      "(SELECT COUNT(*) FROM series)"),
              "1|2|2");  // one patient, two records
    EXPECT_EQ(WaveformSeeds(run, expects), std::vector<int>({1, 2}));
    // The new DICOM file carries the new record's rows.
    const std::string uid = run.Sql("SELECT instance_uid FROM instance ORDER BY instance_key "
                                    "DESC LIMIT 1");
    int nStatus = -1;
    const std::string judged =
        RunCommand("/usr/bin/python3 " + ShellQuote(DCMJUDGE_PY) + " attrs " +
                       ShellQuote(folder + name + ".dcm") + " SOPInstanceUID=" + uid + " 2>&1",
                   &nStatus);
    EXPECT_EQ(nStatus, 0) << judged;
}

TEST_P(OxuE2e, ARecordUnderAFreedNameGetsRowsOfItsOwn) {
    NewRecordUnderAFreedName(GetParam(), false);
}

TEST_P(OxuE2e, ARecordUnderANameFreedFromRowsWithoutDigestGetsRowsOfItsOwn) {
    NewRecordUnderAFreedName(GetParam(), true);
}

}  // namespace
}  // namespace oxutest

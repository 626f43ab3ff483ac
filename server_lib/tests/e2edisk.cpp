// The storage folder on a small file system that fills up: every record either lies there
// with its rows and its follow-up step, or the server log and the host (MessageOut) are
// told which record it was and why it was not stored; a device that waits for an answer
// hears "refused" for it, never "taken".
#include <set>

#include "e2esuite.h"
#include "testsupport/smallfolder.h"

namespace oxutest {
namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;

// Room for about 15 ECG records (132640 bytes each).
constexpr std::size_t kSmallDisk = 2 * 1024 * 1024;
const std::string kNoSpace = "No space left on device";

// The host's storage folder is the given one; and the marking gateway.
std::function<void(CIniFile&)> StorageIn(const std::string& folder,
                                         const CMarkingGateway& gateway) {
    return [folder, more = gateway.Settings()](CIniFile& ini) {
        ini.WriteString("OXU_SERVER", "STORAGE_PATH", folder.c_str());
        more(ini);
    };
}

// Whether a line of the text starts with the prefix and holds both texts.
bool HasLine(const std::string& text, const std::string& prefix, const std::string& a,
             const std::string& b) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0 && line.find(a) != std::string::npos &&
            line.find(b) != std::string::npos)
            return true;
    return false;
}

struct CSent {
    std::string strID;
    std::string strReply;  // the first four bytes of the answer as hex; empty: none
};

// The records of a carts run as devsim's expectation file lists them.
std::vector<CSent> SentRecords(const std::string& expect) {
    const std::string out =
        RunCommand("python3 -c " +
                   ShellQuote("import json, sys\n"
                              "for e in json.load(open(sys.argv[1])):\n"
                              "    print(e['patient_id'], e.get('reply') or '-')\n") +
                   " " + ShellQuote(expect));
    std::vector<CSent> sent;
    std::istringstream in(out);
    for (CSent s; in >> s.strID >> s.strReply;) {
        if (s.strReply == "-")
            s.strReply.clear();
        sent.push_back(s);
    }
    return sent;
}

// What the host has said of the records so far: kept (RECEIVE) or not stored (MESSAGE).
int Outcomes(CRun& run) {
    int n = 0;
    for (const auto& line : run.Host().Lines())
        n += line.rfind("RECEIVE ", 0) == 0 ||
             (line.rfind("MESSAGE ", 0) == 0 && line.find(kNoSpace) != std::string::npos);
    return n;
}

// Each record sent lies in the folder (then its device heard "taken"), or the log and a
// MessageOut name its file and the reason (then its device heard "refused"), not both.
// Empty when so; nStored and nTold count each kind.
std::string CheckEveryRecord(CRun& run, const std::vector<CSent>& sent, const std::string& folder,
                             bool bAnswers, int& nStored, int& nTold) {
    const std::set<std::string> files = RecordFiles(folder);
    const std::string log = run.Log();
    const std::string host = run.Host().Text();
    std::string errors;
    nStored = nTold = 0;
    for (const CSent& s : sent) {
        const std::string name = s.strID + "_";  // the file is named ID_time.ekg
        bool bStored = false;
        for (const auto& file : files)
            bStored = bStored || file.rfind(name, 0) == 0;
        const bool bLogged = HasLine(log, "[", "/" + name, kNoSpace);
        const bool bMessage = HasLine(host, "MESSAGE ", "/" + name, kNoSpace);
        nStored += bStored;
        nTold += !bStored;
        if (bStored && (bLogged || bMessage))
            errors += s.strID + ": stored, yet told as not stored\n";
        if (!bStored && !bLogged)
            errors += s.strID + ": not stored, and no log line names it with the reason\n";
        if (!bStored && !bMessage)
            errors += s.strID + ": not stored, and the host was not told\n";
        const std::string want = bStored ? "fc0600ef" : "fc0700ef";
        if (bAnswers && s.strReply != want)
            errors += s.strID + ": answered '" + s.strReply + "', not " + want + "\n";
    }
    return errors;
}

// 30 carts at once fill the small storage folder halfway through their records.
void CartsOnASmallDisk(const CE2eBackend& backend, bool bLegacy) {
    testsupport::CSmallFolder disk(kSmallDisk);
    ASSERT_EQ(disk.Error(), "");
    const std::string folder = disk.Path().substr(0, disk.Path().size() - 1);
    const CMarkingGateway gateway;
    CRun run(backend, {}, StorageIn(folder, gateway));
    const std::string expect = run.Dir("carts.json");
    constexpr int kCarts = 30;
    const std::string out =
        run.Devsim("--carts " + std::to_string(kCarts) + (bLegacy ? " --legacy" : "") +
                   " --id G --expect " + ShellQuote(expect));
    const std::vector<CSent> sent = SentRecords(expect);
    ASSERT_EQ(sent.size(), static_cast<std::size_t>(kCarts)) << out;
    // A legacy cart is gone before its record is stored: wait until each is said.
    for (int i = 0; i < 150 && Outcomes(run) < kCarts; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::string want = std::to_string(RecordFiles(folder).size());
    EXPECT_EQ(run.WaitForSql("SELECT COUNT(*) FROM instance", want, 30000), want) << run.Log();
    EXPECT_TRUE(WaitUntilNothingOwed(folder));
    run.Host().Terminate();
    EXPECT_EQ(CheckEveryFile(run, {".step"}, folder), "") << run.Log();
    int nStored = 0, nTold = 0;
    EXPECT_EQ(CheckEveryRecord(run, sent, folder, !bLegacy, nStored, nTold), "")
        << run.Host().Text() << run.Log();
    // The disk was full for some records, not for all.
    EXPECT_GE(nStored, 1);
    EXPECT_GE(nTold, 1) << RunCommand("df " + ShellQuote(folder));
}

TEST_P(OxuE2e, LegacyCartsOnAFullDiskLoseNoRecordUntold) {
    CartsOnASmallDisk(GetParam(), true);
}

TEST_P(OxuE2e, CartsOnAFullDiskAreRefusedWhatIsNotStored) {
    CartsOnASmallDisk(GetParam(), false);
}

// With no room left, ECG records and spirometry tests of either protocol are each told with
// their file and the reason, and refused where the device waits for an answer; once there
// is room again the same host stores the next record.
TEST_P(OxuE2e, RecordsOnAFullDiskAreToldAndRefused) {
    testsupport::CSmallFolder disk(kSmallDisk);
    ASSERT_EQ(disk.Error(), "");
    const std::string folder = disk.Path().substr(0, disk.Path().size() - 1);
    const CMarkingGateway gateway;
    CRun run(GetParam(), {}, StorageIn(folder, gateway));
    ASSERT_TRUE(disk.Fill("filler"));
    const struct {
        const char* pszScript;
        const char* pszID;
        bool bAnswers;
    } cases[] = {
        {"frame-ecg", "E1", true}, {"legacy-ecg", "E2", false}, {"frame-fvc", "S1", true},
        {"frame-svc", "S2", true}, {"legacy-mvv", "S3", false}, {"legacy-fvc", "S4", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszScript);
        const std::string out =
            run.Devsim(std::string("--quiet 1 ") + c.pszScript + " --id " + c.pszID);
        if (c.bAnswers) {
            EXPECT_NE(out.find("REPLY fc0700ef"), std::string::npos) << out;
        }
        EXPECT_EQ(out.find("REPLY fc06"), std::string::npos) << out;
        const std::string name = "/" + std::string(c.pszID) + "_";
        EXPECT_FALSE(run.Host()
                         .WaitFor("MESSAGE Record file cannot be written: " + folder + name, 30000)
                         .empty())
            << run.Host().Text();
        EXPECT_TRUE(HasLine(run.Host().Text(), "MESSAGE ", name, kNoSpace)) << run.Host().Text();
        EXPECT_TRUE(HasLine(run.Log(), "[", name, kNoSpace)) << run.Log();
    }
    EXPECT_EQ(RecordFiles(folder), std::set<std::string>{});
    ASSERT_EQ(std::remove((disk.Path() + "filler").c_str()), 0);
    EXPECT_NE(run.Devsim("frame-ecg --id E3").find("REPLY fc0600ef"), std::string::npos);
    EXPECT_EQ(run.WaitForSql("SELECT patient_id FROM study", "E3", 30000), "E3") << run.Log();
    run.Host().Terminate();
    EXPECT_EQ(CheckEveryFile(run, {".step"}, folder), "") << run.Log();
}

}  // namespace
}  // namespace oxutest

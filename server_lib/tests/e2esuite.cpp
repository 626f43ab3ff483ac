#include "e2esuite.h"

#include <signal.h>

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

class CRun {
public:
    explicit CRun(const CE2eBackend& backend, const std::vector<std::string>& args = {},
                  const std::function<void(CIniFile&)>& more = {}, bool bReset = true)
        : m_backend(backend), m_env("CORVANE_HOME", m_dir.Path().c_str()) {
        if (bReset)
            backend.reset();
        platform::MakeDirs(Home());
        CIniFile ini((Home() + "Oxu.ini").c_str());  // the host's file, where it looks
        ini.WriteString("OXU_SERVER", "BIND_ADDRESS", "127.0.0.1");
        ini.WriteInt("OXU_SERVER", "ECG_PORT", 0);
        ini.WriteInt("OXU_SERVER", "FILE_PORT", 0);
        backend.configure(ini);
        if (more)
            more(ini);
        EXPECT_TRUE(m_host.Start(OXUHOST_PATH, args, m_dir.Path()));
        const std::string ready = m_host.WaitFor("READY", 60000);
        EXPECT_FALSE(ready.empty()) << m_host.Text();
        if (ready.find("ecg=") != std::string::npos)
            m_nPort = std::atoi(ready.substr(ready.find("ecg=") + 4).c_str());
    }
    std::string Home() const { return m_dir.Path() + "oxuhost/"; }
    std::string Devsim(const std::string& args) {
        return RunCommand("python3 " + ShellQuote(DEVSIM_PY) + " --port " +
                          std::to_string(m_nPort) + " --timeout 60 " + args + " 2>&1");
    }
    std::string Sql(const std::string& sql) {
        std::string out = m_backend.query(Home(), sql);
        while (!out.empty() && out.back() == '\n')
            out.pop_back();
        return out;
    }
    std::string Dir(const std::string& name) const { return m_dir / name; }
    CHostProcess& Host() { return m_host; }

private:
    const CE2eBackend& m_backend;
    testsupport::CTempDir m_dir;
    testsupport::CEnvScope m_env;
    CHostProcess m_host;
    int m_nPort = 0;
};

std::vector<std::vector<int>> Channels(const std::string& expect) {
    std::istringstream in(RunCommand(
        "python3 -c 'import json,sys; [print(*c) for c in "
        "json.load(open(sys.argv[1]))[\"channels\"]]' " + ShellQuote(expect)));
    std::vector<std::vector<int>> channels;
    for (std::string line; std::getline(in, line);) {
        std::istringstream values(line);
        channels.emplace_back();
        for (int v; values >> v;)
            channels.back().push_back(v);
    }
    return channels;
}

short SampleAt(const std::string& hex, int k, int j) {
    const std::size_t at = 4 * static_cast<std::size_t>(12 * k + j);
    const int lo = std::stoi(hex.substr(at, 2), nullptr, 16);
    const int hi = std::stoi(hex.substr(at + 2, 2), nullptr, 16);
    return static_cast<short>(lo | hi << 8);
}

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
    const std::string instance = run.Sql("SELECT content_datetime, file_folder, file_name FROM instance");
    const std::string folder = run.Home() + "DataDB";
    EXPECT_EQ(instance.substr(0, 13 + folder.size()), "202603040506|" + folder) << instance;
    const std::string name = instance.substr(instance.rfind('|') + 1);
    EXPECT_TRUE(testsupport::Exists(folder + "/" + name)) << name;
    EXPECT_EQ(run.Sql("SELECT channels, samples, frequency, bits_allocated, interpretation, "
                      "padding FROM waveform"),
              "12|5000|500|16|SS|0");
    const std::string hex = run.Sql("SELECT " + GetParam().strHexFn + " FROM waveform");
    ASSERT_EQ(hex.size(), 240000u);
    const auto channels = Channels(expect);
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
        devices.emplace_back([&, i] { outs[i] = run.Devsim("frame-ecg --id B" + std::to_string(i)); });
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
                              "s.study_key WHERE s.patient_id = '" + id + "'"),
                      "1")
                << id;
    }
    EXPECT_GE(nAnswered, 1) << outs[0] << run.Host().Text();
}

TEST_P(OxuE2e, RecordsBeforeTheDatabaseAreFilesOnly) {
    CRun run(GetParam(), {"--no-db"});
    run.Devsim("frame-ecg --id N1");
    ASSERT_FALSE(run.Host().WaitFor("RECEIVE", 30000).empty());
    run.Host().Terminate();
    EXPECT_NE(RunCommand("ls " + ShellQuote(run.Home() + "DataDB")).find("N1_"), std::string::npos);
    const std::string out = run.Sql("SELECT COUNT(*) FROM study");
    EXPECT_TRUE(out == "0" || out.find("no such table") != std::string::npos ||
                out.find("unable to open database") != std::string::npos ||
                out.find("does not exist") != std::string::npos) << out;
}

TEST_P(OxuE2e, ADatabaseAwayMidRunLosesNoRowsLater) {
    if (!GetParam().stop)
        return;  // a file database cannot go away this way
    CRun run(GetParam());
    run.Devsim("frame-ecg --id A1");
    ASSERT_FALSE(run.Host().WaitFor("RECEIVE", 30000).empty());
    ASSERT_TRUE(GetParam().stop());
    EXPECT_NE(run.Devsim("frame-ecg --id A2").find("REPLY fc0600ef"), std::string::npos);
    EXPECT_FALSE(run.Host().WaitFor("MESSAGE Fail to save EKG file data to Database!!!", 30000).empty())
        << run.Host().Text();
    ASSERT_TRUE(GetParam().restart());
    run.Devsim("frame-ecg --id A3");
    run.Host().Terminate();
    EXPECT_EQ(run.Sql("SELECT patient_id FROM study ORDER BY patient_id"), "A1\nA3");
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM instance"), "2");
    EXPECT_EQ(run.Sql("SELECT COUNT(*) FROM patient WHERE patient_id = 'A2'"), "0");
    EXPECT_NE(RunCommand("ls " + ShellQuote(run.Home() + "DataDB")).find("A2_"), std::string::npos);
}

}  // namespace
}  // namespace oxutest

namespace oxutest {
namespace {

// The follow-up steps: the DICOM file (judged by pydicom and dciodvfy) and the gateway's
// JPEG (judged by identify).
TEST_P(OxuE2e, DicomFileAndGatewayPictureOfAnEcgRecord) {
    CRun run(GetParam(), {}, [](CIniFile& ini) {
        ini.WriteInt("OXU_SERVER", "DICOM_CONV", 1);
        ini.WriteInt("OXU_SERVER", "JPEG_CONV_SEND", 1);
        const std::string bin = std::string(OXUHOST_PATH).substr(0, std::string(OXUHOST_PATH).rfind('/'));
        ini.WriteString("OXU_SERVER_JPEG_GW", "PROGRAM_PATH", bin.c_str());
        ini.WriteString("OXU_SERVER_JPEG_GW", "PROGRAM_FILE", "OxuEkgJpegGW");
    });
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
        "/usr/bin/python3 " + ShellQuote(DCMJUDGE_PY) + " ecg " + ShellQuote(dcm) + " " + ShellQuote(record) +
            " -- attrs " + ShellQuote(dcm) + " SOPInstanceUID=" + uid +
            " SOPClassUID=1.2.840.10008.5.1.4.1.1.9.1.1 PatientID=D1 Modality=ECG"
            " WaveformSequence[0].WaveformPaddingValue! 2>&1",
        &nStatus);
    EXPECT_EQ(nStatus, 0) << judged;
    const std::string verify = RunCommand("dciodvfy " + ShellQuote(dcm) + " 2>&1");
    EXPECT_EQ(verify.find("Error"), std::string::npos) << verify;
    // The gateway runs detached: wait for its picture.
    std::string identify;
    for (int i = 0; i < 300 && identify.empty(); ++i) {
        identify = RunCommand("identify -format '%m %w %h' " + ShellQuote(record + ".jpg") + " 2>/dev/null");
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
    return RunCommand("/usr/bin/python3 " + ShellQuote(OXUROWS_CHECK_PY) + " " + ShellQuote(expect) +
                          " " + backend.checkArgs(home) + " 2>&1",
                      pStatus);
}

// Carts at once, records one after another: every record answered 6 has its file, its
// rows and the samples it was sent.
TEST_P(OxuE2e, CartsAtOnceLoseNoRecord) {
    CRun run(GetParam());
    const std::string expect = run.Dir("carts.json");
    const std::string out = run.Devsim("--carts 10 --records 3 --id L --expect " + ShellQuote(expect));
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
    CRun second(GetParam(), {}, [&](CIniFile& ini) { ini.WriteString("OXU_DB", "DB_HOST", strHost.c_str()); },
                /*bReset=*/false);
    std::string outs[2];
    std::thread a([&] { outs[0] = first.Devsim("--carts 5 --records 3 --id H --expect " + ShellQuote(first.Dir("a.json"))); });
    std::thread b([&] { outs[1] = second.Devsim("--carts 5 --records 3 --id K --expect " + ShellQuote(second.Dir("b.json"))); });
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

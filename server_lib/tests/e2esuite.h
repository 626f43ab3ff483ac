#pragma once
// The host end to end over TCP: oxuhost with the server library, devsim as the devices,
// the rows read back by the database's own client (sqlite3, psql). One suite, compiled
// for SQLite (label e2e) and for the test's own PostgreSQL (label peer).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "hostprocess.h"
#include "oxuutil/inifile.h"
#include "platform/folders.h"
#include "testsupport/childprocess.h"
#include "testsupport/testsupport.h"

namespace oxutest {

struct CE2eBackend {
    std::string strName;
    std::function<void()> reset;
    // Writes the database keys of "Oxu.ini" for this backend; home is the host's folder.
    std::function<void(CIniFile&)> configure;
    // Runs one statement with the client; unaligned rows, "|" between columns.
    std::function<std::string(const std::string& home, const std::string& sql)> query;
    // The database arguments of oxurows_check.py for the host of that home.
    std::function<std::string(const std::string& home)> checkArgs;
    // The SQL expression of a blob column as hex.
    std::string strHexFn;
    // Takes the database away and brings it back (empty when the backend cannot).
    std::function<bool()> stop, restart;
    // Makes the database server hang and go on again (empty when the backend has none).
    std::function<bool(bool)> freeze;
    // Another client that holds the database's write lock (of the host of that home)
    // until it is killed; its output says "LOCKED" once it holds it.
    std::function<std::unique_ptr<testsupport::CChildProcess>(const std::string& home,
                                                              const std::string& scratch)>
        lock;
    // Whether this program runs the outside peers (the FTP server): the peer program.
    bool bPeers = false;
};

inline void PrintTo(const CE2eBackend& b, std::ostream* os) {
    *os << b.strName;
}

class OxuE2e : public ::testing::TestWithParam<CE2eBackend> {};

// One host on a fresh home folder (and, unless told, a fresh database), started at once.
class CRun {
public:
    explicit CRun(const CE2eBackend& backend, const std::vector<std::string>& args = {},
                  const std::function<void(CIniFile&)>& more = {}, bool bReset = true)
        : m_backend(backend), m_env("CORVANE_HOME", m_dir.Path().c_str()), m_args(args) {
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
        Restart();
    }
    // Starts the host (again) on the same home folder and database.
    void Restart() {
        m_pHost = std::make_unique<CHostProcess>();
        EXPECT_TRUE(m_pHost->Start(OXUHOST_PATH, m_args, m_dir.Path()));
        const std::string ready = m_pHost->WaitFor("READY", 60000);
        EXPECT_FALSE(ready.empty()) << m_pHost->Text();
        if (ready.find("ecg=") != std::string::npos)
            m_nPort = std::atoi(ready.substr(ready.find("ecg=") + 4).c_str());
    }
    std::string Home() const { return m_dir.Path() + "oxuhost/"; }
    // The SQL expression of the waveform bytes as hex.
    const std::string& HexFn() const { return m_backend.strHexFn; }
    std::string Devsim(const std::string& args) {
        return testsupport::RunCommand("python3 " + testsupport::ShellQuote(DEVSIM_PY) + " --port " +
                          std::to_string(m_nPort) + " --timeout 60 " + args + " 2>&1");
    }
    std::string Sql(const std::string& sql) {
        std::string out = m_backend.query(Home(), sql);
        while (!out.empty() && out.back() == '\n')
            out.pop_back();
        return out;
    }
    // Asks until the statement gives the text or the time is up; its last output.
    std::string WaitForSql(const std::string& sql, const std::string& want, int nTimeoutMs) {
        std::string out;
        for (int t = 0; t <= nTimeoutMs; t += 200) {
            out = Sql(sql);
            if (out == want)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return out;
    }
    // Every log of the host (the daily files).
    std::string Log() const {
        return testsupport::RunCommand("cat " + testsupport::ShellQuote(Home()) + "Log/* 2>/dev/null");
    }
    std::string Dir(const std::string& name) const { return m_dir / name; }
    CHostProcess& Host() { return *m_pHost; }
    // Holds the database's write lock until the object goes.
    std::unique_ptr<testsupport::CChildProcess> Lock() {
        auto p = m_backend.lock(Home(), m_dir.Path());
        EXPECT_TRUE(p->WaitForText("LOCKED", 30000)) << p->Output();
        return p;
    }

private:
    const CE2eBackend& m_backend;
    testsupport::CTempDir m_dir;
    testsupport::CEnvScope m_env;
    std::vector<std::string> m_args;
    std::unique_ptr<CHostProcess> m_pHost;
    int m_nPort = 0;
};

inline short SampleAt(const std::string& hex, int k, int j) {
    const std::size_t at = 4 * static_cast<std::size_t>(12 * k + j);
    const int lo = std::stoi(hex.substr(at, 2), nullptr, 16);
    const int hi = std::stoi(hex.substr(at + 2, 2), nullptr, 16);
    return static_cast<short>(lo | hi << 8);
}

// The follow-up steps switched on: the DICOM file and the gateway's picture.
inline void FollowUps(CIniFile& ini) {
    ini.WriteInt("OXU_SERVER", "DICOM_CONV", 1);
    ini.WriteInt("OXU_SERVER", "JPEG_CONV_SEND", 1);
    const std::string bin =
        std::string(OXUHOST_PATH).substr(0, std::string(OXUHOST_PATH).rfind('/'));
    ini.WriteString("OXU_SERVER_JPEG_GW", "PROGRAM_PATH", bin.c_str());
    ini.WriteString("OXU_SERVER_JPEG_GW", "PROGRAM_FILE", "OxuEkgJpegGW");
}

// Waits until the file exists (the gateway runs detached).
inline bool WaitForFile(const std::string& path, int nTimeoutMs) {
    for (int t = 0; t < nTimeoutMs && !testsupport::Exists(path); t += 100)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return testsupport::Exists(path);
}

// The gateway step of each record, kept light for a burst: a program that marks the record
// it was started for (the real gateway and the DICOM step are judged on few records).
class CMarkingGateway {
public:
    CMarkingGateway() {
        testsupport::WriteFile(m_dir / "MarkGW", "#!/bin/sh\n: > \"$1.step\"\n");
        ::chmod((m_dir / "MarkGW").c_str(), 0755);
    }
    std::function<void(CIniFile&)> Settings() const {
        return [folder = m_dir.Path()](CIniFile& ini) {
            ini.WriteInt("OXU_SERVER", "JPEG_CONV_SEND", 1);
            ini.WriteString("OXU_SERVER_JPEG_GW", "PROGRAM_PATH", folder.c_str());
            ini.WriteString("OXU_SERVER_JPEG_GW", "PROGRAM_FILE", "MarkGW");
        };
    }

private:
    testsupport::CTempDir m_dir;
};

// The record files that lie in the folder.
std::set<std::string> RecordFiles(const std::string& folder);
// Every record file in the storage folder (the host's DataDB unless given) has one instance
// row and one waveform row and its files of the follow-up steps (suffixes); every instance
// row has its file. Empty when so.
std::string CheckEveryFile(CRun& run, const std::vector<std::string>& astrSteps,
                           const std::string& storage = "");
// Waits until no record is owed (its rows and its follow-up steps ran); whether so.
bool WaitUntilNothingOwed(const std::string& storage);


}  // namespace oxutest

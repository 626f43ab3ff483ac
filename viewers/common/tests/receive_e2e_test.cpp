// The receive dialog end to end: a hidden real ECG control records from the simulated cart
// on 127.0.0.1, the engine analyses, and the saved file is read back with the record reader.
#include <gtest/gtest.h>

#include <QTimer>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>

#include "ecg_control/ekgfile.h"
#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "testsupport/childprocess.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"
#include "viewers/common/receivedialog.h"

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

const std::string kRoot = SOURCE_ROOT;

int FreeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(fd);
    return ntohs(a.sin_port);
}

TEST(ReceiveE2E, RecordsFromTheCartAndTheFileHoldsTheSamplesSent) {
    testsupport::CTempDir dir;
    ::setenv("CORVANE_HOME", (dir / "home").c_str(), 1);
    const int nMonitor = FreeUdpPort();
    testsupport::CChildProcess cart;
    ASSERT_TRUE(
        cart.Start({"/usr/bin/python3", kRoot + "/tools/devsim/devsim.py", "cart", "--port", "0",
                    "--monitor-port", std::to_string(nMonitor), "--id", "../../x", "--seed", "3"},
                   dir / "cart.log"));
    const std::string port = cart.WaitForLine("LISTEN ", 20000);
    ASSERT_FALSE(port.empty()) << cart.Output();
    ::setenv("CORVANE_EKG_DEVICE_PORT", port.c_str(), 1);
    ::setenv("CORVANE_EKG_MONITOR_PORT", std::to_string(nMonitor).c_str(), 1);
    ::setenv("CORVANE_CONTROL_DIR", WAVELIN_DIR, 1);

    CViewerIni ini("Lindar");
    ini.WriteString(kEkgView, "EKG_TERMINAL_IP", "127.0.0.1");
    ini.WriteString(kEkgView, "EKG_DOCTOR", "Dr. Silva");
    ini.WriteString(kEkgView, "EKG_HOSPITAL", "Hospital Central");
    testsupport::CScriptedNotifier notifier;
    CEcgReceiveDialog dlg(ini);
    // Run modally as the viewers run it: the modal run itself must report the saved record.
    QTimer::singleShot(60000, &dlg, [&dlg] { dlg.done(-1); });
    const int nResult = dlg.exec();
    std::vector<std::string> texts;
    for (const auto& c : notifier.calls)
        texts.push_back(c.text);
    ASSERT_EQ(nResult, int(QDialog::Accepted)) << ::testing::PrintToString(texts) << cart.Output();
    EXPECT_EQ(texts, std::vector<std::string>{"Exame salvo com sucesso !!!"});

    // In the folder, whatever the device called its patient.
    const std::string folder = dir / "home/Lindar/PCData/";
    const std::string path = dlg.SavedPath();
    ASSERT_EQ(path.rfind(folder, 0), 0u) << path;
    EXPECT_EQ(path.find('/', folder.size()), std::string::npos) << path;
    EXPECT_EQ(path.substr(path.size() - 4), ".ekg");

    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    ASSERT_TRUE(ReadEkgFile(path, &wave, &info, &morph, 0)) << path;
    EXPECT_EQ(info.GetMisc(0), "Dr. Silva");
    EXPECT_EQ(info.GetMisc(1), "Hospital Central");

    // The sent leads are those of the cart's synthetic record.
    const std::string synth = dir / "synth.ekg";
    int st = -1;
    testsupport::RunCommand(
        "/usr/bin/python3 " + testsupport::ShellQuote(kRoot + "/tools/ecgsynth/ecgsynth.py") + " " +
            testsupport::ShellQuote(synth) + " --rate 75 --seed 3 >/dev/null",
        &st);
    ASSERT_EQ(st, 0);
    CWaveBuffer sent;
    CEkgRecordInfo sentInfo;
    ASSERT_TRUE(ReadEkgFile(synth, &sent, &sentInfo, &morph, 0));
    // The record passed the filters the dialog chose (2, 3, 1, 0), so the saved leads
    // follow the sent ones closely without being equal to the sample.
    ASSERT_EQ(wave.GetSamplesPerChannel(), 5000u);
    for (int lead : {0, 1, 6, 7, 8, 9, 10, 11}) {
        double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
        const double n = 5000;
        for (UINT i = 0; i < 5000; ++i) {
            const double x = wave.GetSample(lead, i), y = sent.GetSample(lead, i);
            sx += x, sy += y, sxx += x * x, syy += y * y, sxy += x * y;
        }
        const double r = (n * sxy - sx * sy) / std::sqrt((n * sxx - sx * sx) * (n * syy - sy * sy));
        EXPECT_GT(r, 0.9) << "lead " << lead;
    }
    cart.Kill();
    for (const char* v : {"CORVANE_HOME", "CORVANE_EKG_DEVICE_PORT", "CORVANE_EKG_MONITOR_PORT",
                          "CORVANE_CONTROL_DIR"})
        ::unsetenv(v);
}

}  // namespace

// The settings dialog's search with the real control's finder and a simulated cart that
// answers it, inside a network namespace of the test with only lo up: nothing leaves it.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QRadioButton>
#include <cstdlib>

#include "ecg_control/host/wavelin.h"
#include "oxuctrl/oxuctrl.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"
#include "viewers/common/devicedialogs.h"

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

const std::string kRoot = SOURCE_ROOT;

// Runs in the namespace, beside the simulated cart, started by the test below.
TEST(DiscoveryE2E, DISABLED_Inner) {
    const char* pszHome = std::getenv("DISCOVERY_INNER_HOME");
    ASSERT_NE(pszHome, nullptr) << "run by DiscoveryE2E.SearchFindsTheCartAndOkRegistersIt";
    ::setenv("CORVANE_HOME", pszHome, 1);
    QWidget parent;
    CWavelin wavelin;
    std::string err;
    ASSERT_TRUE(wavelin.Create(&parent, 0, &err, CWavelin::kLibraryName)) << err;
    wavelin.EKGSetIPExchangeType(16);
    CViewerIni ini("Lindar");
    ini.WriteString(kEkgView, "EKG_CONFIG_IP_TYPE", "0");
    CLindarSettingsDialog dlg(wavelin, ini);
    auto* list = dlg.findChild<CExComboBox*>("1093");
    dlg.findChild<CExComboBox*>("4106")->setCurrentIndex(1);  // 2 s
    dlg.findChild<QPushButton*>("4104")->click();
    ASSERT_TRUE(testsupport::ProcessUntil([&] { return list->count() > 1; }, 10000));
    EXPECT_TRUE(list->isEnabled());
    EXPECT_EQ(list->itemText(0), "NONE");
    EXPECT_EQ(list->itemText(1), "10.4.5.6:CART9:Cart nine");
    list->setCurrentIndex(1);
    dlg.accept();
    EXPECT_EQ(ini.GetString(kEkgView, "EKG_TERMINAL_IP", ""), "10.4.5.6");
    EXPECT_EQ(ini.GetString(kEkgView, "EKG_REGISTERED_ID", ""), "CART9");
    wavelin.Destroy();
}

TEST(DiscoveryE2E, SearchFindsTheCartAndOkRegistersIt) {
    testsupport::CTempDir dir;
    const std::string self =
        testsupport::RunCommand("readlink -f /proc/" + std::to_string(::getpid()) + "/exe");
    const std::string script =
        "ip link set lo up || exit 1; /usr/bin/python3 " +
        testsupport::ShellQuote(kRoot + "/tools/devsim/devsim.py") +
        " finder-device --id CART9 --text 'Cart nine' --ip 10.4.5.6 --seconds 20 > " +
        testsupport::ShellQuote(dir / "finder.log") +
        " 2>&1 & dev=$!; sleep 1; DISCOVERY_INNER_HOME=" + testsupport::ShellQuote(dir / "home") +
        " CORVANE_DISCOVERY=loopback CORVANE_CONTROL_DIR=" WAVELIN_DIR " " +
        testsupport::ShellQuote(self.substr(0, self.find('\n'))) +
        " --gtest_also_run_disabled_tests --gtest_filter=DiscoveryE2E.DISABLED_Inner; st=$?; kill "
        "$dev; wait $dev; exit $st";
    int st = -1;
    const std::string out = testsupport::RunCommand(
        "unshare -n sh -c " + testsupport::ShellQuote(script) + " 2>&1", &st);
    EXPECT_EQ(st, 0) << out << testsupport::ReadFile(dir / "finder.log");
    EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
}

}  // namespace

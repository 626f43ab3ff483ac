// Server settings: a clean profile, clamps, the fixed DICOM values, the IP check.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "acq_server/settings/serversettings.h"
#include "platform/profile.h"
#include "testsupport/testsupport.h"

using namespace acqsettings;

namespace {

class SettingsFixture : public ::testing::Test {
protected:
    SettingsFixture()
        : m_config("XDG_CONFIG_HOME", (m_dir / "config").c_str()),
          m_store(kKeyPath) {
        m_defaults.m_strHomeDir = m_dir / "home/";
        m_defaults.m_strProgramDir = m_dir / "bin/";
    }
    std::string File() const { return m_store.FilePath(); }

    testsupport::CTempDir m_dir;
    testsupport::CEnvScope m_config;
    platform::CSettingsStore m_store;
    CSettingsDefaults m_defaults;
};

bool IsDir(const std::string& s) {
    struct stat st{};
    return ::stat(s.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

TEST_F(SettingsFixture, CleanProfileGetsEveryKeyInOrderAndTheWorkingFolder) {
    CServerSettings s;
    LoadSettings(m_store, m_defaults, s);
    EXPECT_EQ(File(), m_dir.Path() + "config/Corvane/Corvane/Qar Server.ini");
    const std::vector<std::string> env = {
        "Port Num", "Working Folder", "Lindar", "Pulmetra", "Device IP", "JPEG EKG", "PDF EKG",
        "TXT EKG", "DICOM EKG", "JPEG Size EKG", "JPEG Type", "JPEG Gain", "JPEG Rhythm",
        "JPEG Filter", "PDF Type", "PDF Gain", "PDF Rhythm", "PDF Size EKG", "FOLDER TYPE",
        "TXT PAT EKG", "TXT PARAM EKG", "TXT DIAG EKG", "TXT HOSP EKG", "JPEG SPR", "PDF SPR",
        "TXT SPR", "DICOM SPR", "JPEG Size SPR", "PDF Size SPR", "TXT PAT SPR", "TXT PARAM SPR",
        "TXT DIAG SPR", "TXT HOSP SPR", "DICOM SCP SEND EKG", "DICOM SCP SEND SPR", "DICOM CH",
        "DICOM Gain", "DICOM Rhythm", "DICOM TYPE", "DICOM WIN_WIDTH", "DICOM WIN_CENTER",
        "XML EKG"};
    EXPECT_EQ(platform::GetProfileKeyNames(File(), "Environment"), env);
    const std::vector<std::string> store = {
        "DICOM SCP HOST EKG", "DICOM SCP PORT EKG", "DICOM SCP AE EKG", "DICOM SCP HOST SPR",
        "DICOM SCP PORT SPR", "DICOM SCP AE SPR", "DICOM MODALITY EKG", "DICOM MODALITY SPIRO"};
    EXPECT_EQ(platform::GetProfileKeyNames(File(), "OXU DICOM Store SCU"), store);
    EXPECT_EQ(s.m_strWorkingFolder, m_dir.Path() + "home/Data");
    EXPECT_TRUE(IsDir(s.m_strWorkingFolder));
    EXPECT_EQ(s.m_strLindar, m_dir.Path() + "bin/Lindar");
    EXPECT_EQ(s.m_strPulmetra, m_dir.Path() + "bin/Pulmetra");
    EXPECT_EQ(platform::GetProfileInt(File(), "Environment", "Port Num", 0), 2003);
    EXPECT_EQ(platform::GetProfileInt(File(), "Environment", "JPEG Gain", 0), 3);
    EXPECT_EQ(platform::GetProfileInt(File(), "Environment", "DICOM WIN_WIDTH", 0), 256);
    EXPECT_EQ(platform::GetProfileString(File(), "Environment", "Working Folder", ""),
              s.m_strWorkingFolder);
    // A second load changes nothing.
    const std::string strBefore = testsupport::ReadFile(File());
    CServerSettings again;
    LoadSettings(m_store, m_defaults, again);
    EXPECT_EQ(again, s);
    EXPECT_EQ(testsupport::ReadFile(File()), strBefore);
}

TEST_F(SettingsFixture, ValuesOutsideTheirRangeAreClampedAndWrittenBack) {
    struct Case {
        const char* key;
        const char* stored;
        int CServerSettings::*member;
        int expected;
    };
    const Case cases[] = {
        {"JPEG Gain", "9", &CServerSettings::m_nJpegGain, 4},
        {"JPEG Gain", "-1", &CServerSettings::m_nJpegGain, 0},
        {"JPEG Size EKG", "6", &CServerSettings::m_nJpegSizeEkg, 5},
        {"JPEG Type", "3", &CServerSettings::m_nJpegType, 2},
        {"JPEG Rhythm", "12", &CServerSettings::m_nJpegRhythm, 11},
        {"PDF Gain", "-5", &CServerSettings::m_nPdfGain, 0},
        {"PDF Size SPR", "99", &CServerSettings::m_nPdfSizeSpr, 5},
        {"JPEG Size SPR", "4", &CServerSettings::m_nJpegSizeSpr, 4},
        {"Port Num", "9999", &CServerSettings::m_nPortNum, 9999},
        {"JPEG Filter", "7", &CServerSettings::m_nJpegFilter, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.stored);
        ASSERT_TRUE(m_store.WriteString("Environment", c.key, c.stored));
        CServerSettings s;
        LoadSettings(m_store, m_defaults, s);
        EXPECT_EQ(s.*c.member, c.expected);
        EXPECT_EQ(platform::GetProfileInt(File(), "Environment", c.key, -100), c.expected);
    }
}

TEST_F(SettingsFixture, DicomValuesAreResetAtEveryLoad) {
    m_store.WriteString("Environment", "DICOM EKG", "1");
    m_store.WriteString("Environment", "DICOM SCP SEND EKG", "1");
    m_store.WriteString("Environment", "DICOM WIN_WIDTH", "999");
    m_store.WriteString("OXU DICOM Store SCU", "DICOM MODALITY EKG", "ECG");
    m_store.WriteString("OXU DICOM Store SCU", "DICOM SCP HOST EKG", "pacs");
    CServerSettings s;
    s.m_dicom.m_nDicomEkg = 1;
    LoadSettings(m_store, m_defaults, s);
    EXPECT_EQ(s.m_dicom, CDicomSettings{});
    EXPECT_EQ(platform::GetProfileString(File(), "Environment", "DICOM EKG", "x"), "0");
    EXPECT_EQ(platform::GetProfileString(File(), "Environment", "DICOM SCP SEND EKG", "x"), "0");
    EXPECT_EQ(platform::GetProfileString(File(), "Environment", "DICOM WIN_WIDTH", "x"), "256");
    EXPECT_EQ(platform::GetProfileString(File(), "OXU DICOM Store SCU", "DICOM MODALITY EKG", "x"), "");
    EXPECT_EQ(platform::GetProfileString(File(), "OXU DICOM Store SCU", "DICOM SCP HOST EKG", "x"), "");
}

TEST_F(SettingsFixture, StoredPathsAndSwitchesSurvive) {
    CServerSettings s;
    LoadSettings(m_store, m_defaults, s);
    s.m_strWorkingFolder = m_dir / "work folder";
    s.m_strLindar = "/opt/viewer/Lindar";
    s.m_strDeviceIP = "127.0.0.1";
    s.m_nJpegEkg = s.m_nXmlEkg = s.m_nTxtHospSpr = 1;
    s.m_nFolderType = 2;
    SaveSettings(m_store, s);
    CServerSettings back;
    LoadSettings(m_store, m_defaults, back);
    EXPECT_EQ(back, s);
    EXPECT_TRUE(IsDir(m_dir / "work folder"));
}

TEST(ServerSettings, SizeTables) {
    EXPECT_EQ(EkgWidth(0), 800);
    EXPECT_EQ(EkgWidth(2), 1024);
    EXPECT_EQ(EkgWidth(5), 2700);
    EXPECT_EQ(EkgWidth(9), 2700);
    EXPECT_EQ(EkgWidth(-1), 800);
    EXPECT_EQ(SpiroWidth(2), 768);
    EXPECT_EQ(SpiroWidth(5), 2025);
}

TEST(ServerSettings, IPAddressCheck) {
    const struct {
        const char* text;
        bool ok;
    } cases[] = {
        {"", true},           {"192.168.1.30", true}, {"0.0.0.0", true},
        {"255.255.255.255", true}, {"1.2.3.4", true},
        {"192.168.1.300", false}, {"1.2.3", false},     {"1.2.3.4.5", false},
        {"1..2.3", false},    {"a.b.c.d", false},      {"1.2.3.4 ", false},
        {"1234.1.1.1", false}, {".1.2.3", false},      {"1.2.3.", false},
        {"1.2.3.4444", false}, {"001.002.003.004", true}, {"256.1.1.1", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidIPAddress(c.text), c.ok) << '"' << c.text << '"';
}
